#include "options.h"

#include <cstdlib>
#include <optional>
#include <vector>

#include "control/port_number.h"
#include "link/codec.h"
#include "link/decode.h"
#include "link/text.h"

namespace varnak::cli {

const char kUsage[] =
    "Usage: varnak [options] COMMAND\n"
    "Talks to the controller (station 1) over a serial line at 9600 baud, odd parity, 8 data bits, 1 stop "
    "bit.\n"
    "\n"
    "Commands:\n"
    "  read REG          print the register's value as four hex digits, high byte first\n"
    "  write REG VALUE   write VALUE (one to four hex digits) to the register\n"
    "  outputs           print the eight outputs once: Q0=1 Q1=0 ...\n"
    "  watch             poll every 200 ms and print a timestamped line each time the outputs change\n"
    "  ports             list the serial ports, one per line: number, device, stable name,\n"
    "                    description, manufacturer, serial number, USB vendor:product id\n"
    "REG is an octal register number, with or without the leading R (R2000, 2000).\n"
    "\n"
    "Options:\n"
    "  --port DEVICE|N   the serial device, or port number N as listed by 'varnak ports' (default 1)\n"
    "  --timeout MS      how long to wait for each reply (default 500)\n"
    "  --retries N       further attempts after a failed one, each from the enquiry (default 2)\n"
    "  --count N         watch: stop after N lines\n"
    "  --csv             watch: CSV rows on stdout instead of the lines: local time, ms since start,\n"
    "                    Q0..Q7 as 0/1, and the event (\"not live\", \"live again\")\n"
    "  --vcd FILE        watch: also write FILE as a value change dump (1 ms, wires Q0..Q7 and live),\n"
    "                    flushed at every change and closed at Ctrl+C or when watch stops\n"
    "  --json            one JSON object per result line\n"
    "  --trace           every chunk sent and received on stderr, with a decoding\n"
    "  --version         the version\n"
    "  --help            this text\n"
    "\n"
    "Exit codes:\n"
    "  0  done\n"
    "  2  usage error\n"
    "  3  the port cannot be opened, or no port has that number\n"
    "  4  no reply in time after all retries\n"
    "  5  refused or corrupted replies after all retries\n";

namespace {

std::optional<long> Whole(const std::string& s, long lo, long hi) {
  if (s.empty() || s.size() > 9) return std::nullopt;
  for (char c : s)
    if (c < '0' || c > '9') return std::nullopt;
  const long v = std::strtol(s.c_str(), nullptr, 10);
  if (v < lo || v > hi) return std::nullopt;
  return v;
}

}  // namespace

bool ParseRegisterNumber(const std::string& text, unsigned* reg) {
  const auto r = ParseRegisterName(text);
  if (r) *reg = *r;
  return r.has_value();
}

bool ParseValue(const std::string& text, std::uint16_t* value) {
  if (text.empty() || text.size() > 4) return false;
  unsigned v = 0;
  for (char c : text) {
    const int d = HexDigitValue(static_cast<unsigned char>(c));
    if (d < 0) return false;
    v = v * 16 + static_cast<unsigned>(d);
  }
  *value = static_cast<std::uint16_t>(v);
  return true;
}

Options ParseOptions(int argc, const char* const* argv) {
  Options o;
  std::vector<std::string> words;
  auto fail = [&](const std::string& e) {
    o.error = e;
    return o;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= argc) return std::nullopt;
      return std::string(argv[++i]);
    };
    if (a == "--help" || a == "-h") {
      o.command = Command::Help;
      return o;
    } else if (a == "--version") {
      o.command = Command::Version;
      return o;
    } else if (a == "--json") {
      o.json = true;
    } else if (a == "--trace") {
      o.trace = true;
    } else if (a == "--csv") {
      o.csv = true;
    } else if (a == "--vcd") {
      const auto v = value();
      if (!v || v->empty()) return fail("--vcd wants a file name");
      o.vcdPath = *v;
    } else if (a == "--port") {
      const auto v = value();
      if (!v || v->empty()) return fail("--port wants a device or a port number");
      if (const auto n = ParsePortNumber(FromUtf8(*v))) {
        o.portNumber = n;
        o.device.clear();
      } else if ((*v)[0] == '/' || (*v)[0] == '.') {
        o.device = *v;
        o.portNumber.reset();
      } else {
        return fail("--port wants a device path or a port number from 1 to 32767, got: " + *v);
      }
    } else if (a == "--timeout" || a == "--retries" || a == "--count") {
      const auto v = value();
      const auto n = v ? Whole(*v, a == "--timeout" ? 1 : 0,
                               a == "--timeout"   ? 600000
                               : a == "--retries" ? 100
                                                  : 100000000)
                       : std::nullopt;
      if (!n) return fail(a + " wants a whole number" + (v ? ", got: " + *v : std::string()));
      if (a == "--timeout") o.timeoutMs = static_cast<int>(*n);
      if (a == "--retries") o.retries = static_cast<int>(*n);
      if (a == "--count") o.count = *n;
    } else if (a.size() > 1 && a[0] == '-') {
      return fail("unknown option: " + a);
    } else {
      words.push_back(a);
    }
  }
  if (words.empty()) return fail("no command: read, write, outputs, watch or ports");
  const std::string& c = words[0];
  const std::size_t args = words.size() - 1;
  if (c == "read" && args == 1) {
    o.command = Command::Read;
  } else if (c == "write" && args == 2) {
    o.command = Command::Write;
    if (!ParseValue(words[2], &o.value))
      return fail("value must be one to four hex digits, got: " + words[2]);
  } else if (c == "outputs" && args == 0) {
    o.command = Command::Outputs;
  } else if (c == "watch" && args == 0) {
    o.command = Command::Watch;
  } else if (c == "ports" && args == 0) {
    o.command = Command::Ports;
  } else {
    return fail("bad command: " + c +
                (args ? " with " + std::to_string(args) + " argument(s)" : std::string()));
  }
  if ((o.command == Command::Read || o.command == Command::Write) && !ParseRegisterNumber(words[1], &o.reg))
    return fail("register must be an octal number from 0 to 77777, with or without R, got: " + words[1]);
  if (o.count && o.command != Command::Watch) return fail("--count is for watch");
  if ((o.csv || !o.vcdPath.empty()) && o.command != Command::Watch)
    return fail("--csv and --vcd are for watch");
  if (o.csv && o.json) return fail("--csv and --json both say what goes to stdout: give one");
  return o;
}

}  // namespace varnak::cli
