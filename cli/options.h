#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/read_lines.h"

namespace varnak::cli {

enum class Command { None, Read, Write, Outputs, Watch, Ports, Help, Version };

struct Options {
  Command command = Command::None;
  unsigned reg = 0;                   // register number (write; read: the first)
  std::vector<ReadItem> reads;        // read: every register, in the order given
  ReadStyle style;                    // read: what each line shows
  std::uint16_t value = 0;            // for write
  std::string device;                 // a device path given with --port
  std::optional<int> portNumber = 1;  // or a port number, as the window numbers the ports
  int timeoutMs = 500;
  int retries = 2;
  long count = 0;  // watch: lines before stopping, 0 for no end
  bool json = false;
  bool trace = false;
  bool csv = false;               // watch: CSV rows on stdout instead of the usual lines
  std::string vcdPath;            // watch: a VCD written as it goes
  std::string listPath;           // read, watch: --watch FILE, the register list
  std::vector<ReadItem> watched;  // watch: --registers or --watch FILE, read between the polls
  std::string error;              // a usage error
};

Options ParseOptions(int argc, const char* const* argv);

// "R2000" or "2000": octal digits only, 0 to 77777.
bool ParseRegisterNumber(const std::string& text, unsigned* reg);
// One to four hex digits.
bool ParseValue(const std::string& text, std::uint16_t* value);

extern const char kUsage[];

}  // namespace varnak::cli
