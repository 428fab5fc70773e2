// The list file read by name, as every program reads it: files that cannot be
// read, files too large to be a list (a device that never ends among them), a
// list the rows of which the list itself refuses, and a good one.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "watch/watch_file_read.h"

namespace varnak {
namespace {

struct Case {
  const char* name;
  std::string bytes;    // written to the file first; "-" for no file
  std::string path;     // "" for the temporary file
  std::string error;    // the start of the error after the path, "" for none
  std::size_t entries;  // rows taken
};

TEST(WatchFileRead, TakesOrRefusesTheWholeFile) {
  const std::string head = "register,name,format\n";
  const Case cases[] = {
      {"Missing", "-", "", ": No such file or directory", 0},
      {"Directory", "-", "/tmp", "", 0},
      {"EndlessDevice", "-", "/dev/zero", ": larger than 4 MB", 0},
      {"TooLarge", head + std::string(kMaxWatchFileBytes, '\n'), "", ": larger than 4 MB", 0},
      {"PairPastTheTop", head + "R77777,,u32\n", "", ":2: ", 0},
      {"Twice", head + "R1000,,hex\nR1000,,hex\n", "", ":3: ", 0},
      {"BadRow", head + "R2008,,hex\n", "", ":2: ", 0},
      {"Good", head + "R1000,a,hex\nR1001,b,u32\n", "", "", 2},
      {"HeaderOnly", head, "", "", 0},
  };
  char pattern[] = "/tmp/watch-read-XXXXXX";
  const std::string dir = mkdtemp(pattern);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = c.path.empty() ? dir + "/" + c.name : c.path;
    if (c.bytes != "-") std::ofstream(path, std::ios::binary) << c.bytes;
    const WatchFile read = ReadWatchFile(path);
    EXPECT_EQ(read.entries.size(), c.entries);
    if (std::string(c.name) == "Directory") {
      EXPECT_NE(read.error, "");  // a directory is no list, whatever the system calls it
      continue;
    }
    if (c.error.empty()) {
      EXPECT_EQ(read.error, "");
    } else {
      EXPECT_NE(read.error.find(path + c.error), std::string::npos) << read.error;
    }
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace varnak
