// The register list as a file: CSV with the header "register,name,format", one
// row per register, UTF-8, quoted as RFC 4180 (a name may hold commas, quotes,
// line breaks), CRLF or LF line ends, a UTF-8 byte order mark accepted. A file
// with a bad row is refused whole, naming the file, the line as numbered in the
// file (the header is line 1) and why: "list.csv:3: register R2008 is not octal".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "link/words.h"
#include "watch/register_format.h"

namespace varnak {

// The most rows a list holds.
constexpr std::size_t kMaxWatchRows = 1000;

struct WatchEntry {
  unsigned reg = 0;  // 0 to 077777; a pair format's second register is reg + 1, at most 077777
  std::string name;  // UTF-8, may be empty
  RegisterFormat format = RegisterFormat::Hex;
  bool operator==(const WatchEntry& o) const { return reg == o.reg && name == o.name && format == o.format; }
};

struct WatchFile {
  std::vector<WatchEntry> entries;
  std::string error;  // empty when the whole file was taken; then `entries` holds every row
};

// `fileName` is what the error names (as the user gave it).
WatchFile ParseWatchFile(std::string_view bytes, const std::string& fileName, Translate lang = English);
// The file's bytes: the header and one row per entry, LF line ends, fields quoted only where needed.
std::string FormatWatchFile(const std::vector<WatchEntry>& entries);

}  // namespace varnak
