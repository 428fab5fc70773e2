#include "options.h"

#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "link/frames.h"
#include "link/register_number.h"

namespace varnak::sim {

const char kUsage[] =
    "Usage: varnak-sim [options]\n"
    "Plays the controller (station 1) on a pseudo-terminal and prints its device path\n"
    "on the first line of stdout. Runs until SIGINT/SIGTERM or --seconds.\n"
    "\n"
    "  --link PATH          also make PATH a symbolic link to the device (removed on exit)\n"
    "  --tcp PORT           serve on 127.0.0.1:PORT over raw TCP instead (one client at a time,\n"
    "                       a second is told \"Port already in use\"), as a serial device server's\n"
    "                       raw port; prints tcp://127.0.0.1:PORT on the first line\n"
    "  --seconds N          stop after N seconds\n"
    "  --outputs-from OCT   the outputs Q0-Q7 follow the low byte of this register (default R2000)\n"
    "  --outputs HEX        fix the output byte instead, e.g. --outputs 81\n"
    "  --no-pace            answer at once, without wire time, turnaround or byte pacing\n"
    "  --seed N             seed of the fault dice (default 1): the same seed, the same faults\n"
    "  --drop P             leave a reply out with probability P (0-1)\n"
    "  --corrupt P          flip one bit of a reply with probability P\n"
    "  --split P            pause 50 ms inside a reply with probability P\n"
    "  --delay-ms N         send every reply N ms late\n"
    "  --usb-latency MS     hand reply bytes over only at MS-millisecond ticks of a free-running\n"
    "                       timer, as a USB serial adapter does (16 by default in the common chips)\n"
    "  --nak P              refuse a frame with NAK instead of ACK with probability P\n"
    "  --drop-first KIND    leave out the reply to the first frame of KIND: enquiry, header or data\n"
    "  --demo               play a running machine: R1000 counts seconds (wrapping at 65536),\n"
    "                       R1001 steps 0-999 every 100 ms, R1002 a temperature from -50 to 150\n"
    "                       (signed), R1003/R1004 a 32-bit total (low word, high word) growing by\n"
    "                       some 15,000 a second, both words changed at once. A value written to\n"
    "                       one of them is taken and the machine goes on from it (the temperature\n"
    "                       drifts back to its swing); the outputs still follow R2000\n"
    "  --log                print every frame received and sent, with ms timestamps and a decoding,\n"
    "                       and at exit the counts of exchanges and faults and the tool's turnaround\n"
    "  --control            read commands on stdin, answer on stdout after \"= \":\n"
    "                       get R2000 | set R2000 1234 | outputs [HEX|follow] | faults off | stats\n"
    "                       | silent on|off (answer nothing, as a controller switched off);\n"
    "                       the simulator ends when its standard input closes\n"
    "  --version            the version\n"
    "  --help               this text\n"
    "Values go as --opt VALUE or --opt=VALUE; options are never abbreviated.\n";

namespace {

std::string Plain(double v) {
  char s[32];
  std::snprintf(s, sizeof s, "%g", v);
  return s;
}

std::optional<double> Number(const char* s, double lo, double hi) {
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(s, &end);
  if (errno || end == s || *end || v < lo || v > hi) return std::nullopt;
  return v;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options& o, std::string& error) {
  enum Id {
    kHelp = 'h',
    kVersion = 1000,
    kNoPace,
    kLog,
    kControl,
    kDemo,
    kLink,
    kDropFirst,
    kOutputsFrom,
    kOutputs,
    kSeconds,
    kSeed,
    kDrop,
    kCorrupt,
    kSplit,
    kNak,
    kDelayMs,
    kUsbLatency,
    kTcp,
  };
  static const option kLong[] = {{"help", no_argument, nullptr, kHelp},
                                 {"version", no_argument, nullptr, kVersion},
                                 {"no-pace", no_argument, nullptr, kNoPace},
                                 {"log", no_argument, nullptr, kLog},
                                 {"control", no_argument, nullptr, kControl},
                                 {"demo", no_argument, nullptr, kDemo},
                                 {"link", required_argument, nullptr, kLink},
                                 {"drop-first", required_argument, nullptr, kDropFirst},
                                 {"outputs-from", required_argument, nullptr, kOutputsFrom},
                                 {"outputs", required_argument, nullptr, kOutputs},
                                 {"seconds", required_argument, nullptr, kSeconds},
                                 {"seed", required_argument, nullptr, kSeed},
                                 {"drop", required_argument, nullptr, kDrop},
                                 {"corrupt", required_argument, nullptr, kCorrupt},
                                 {"split", required_argument, nullptr, kSplit},
                                 {"nak", required_argument, nullptr, kNak},
                                 {"delay-ms", required_argument, nullptr, kDelayMs},
                                 {"usb-latency", required_argument, nullptr, kUsbLatency},
                                 {"tcp", required_argument, nullptr, kTcp},
                                 {nullptr, 0, nullptr, 0}};
  optind = 0;  // a fresh scan at every call (glibc), so that a table of command lines can be parsed in turn
  opterr = 0;  // the errors are said here, in one line
  for (;;) {
    int index = -1;
    const int at = optind ? optind : 1;  // where the option stands as typed
    const int id = getopt_long(argc, argv, "+:h", kLong, &index);
    if (id == -1) break;
    const std::string name = index >= 0 ? std::string("--") + kLong[index].name : std::string(argv[at]);
    // getopt_long takes any unique prefix (--no-p); only whole names are options here.
    if (index >= 0) {
      const std::string typed = argv[at];
      if (typed != name && typed.rfind(name + "=", 0) != 0) {
        error = "unknown option: " + typed.substr(0, typed.find('=')) + " (did you mean " + name + "?)";
        return false;
      }
    }
    const char* v = optarg;
    auto bad = [&] {
      error = name + " wants " + (id == kLink ? "a path" : "a value") +
              (v ? std::string(", got '") + v + "'" : "");
      return false;
    };
    auto number = [&](double lo, double hi) {
      const auto n = Number(v, lo, hi);
      if (!n) {
        error = name + " wants a number from " + Plain(lo) + " to " + Plain(hi) + ", got '" + v + "'";
      }
      return n;
    };
    switch (id) {
      case kHelp:
        o.help = true;
        break;
      case kVersion:
        o.version = true;
        break;
      case kNoPace:
        o.pace = false;
        break;
      case kLog:
        o.log = true;
        break;
      case kControl:
        o.control = true;
        break;
      case kDemo:
        o.demo = true;
        break;
      case kLink:
        if (!*v) return bad();
        o.link = v;
        break;
      case kDropFirst: {
        const std::string k = v;
        o.dropFirst = k == "enquiry" ? 0x4E : k == "header" ? kSoh : k == "data" ? kStx : 0;
        if (!o.dropFirst) {
          error = name + " wants enquiry, header or data, got '" + k + "'";
          return false;
        }
        break;
      }
      case kOutputsFrom: {
        const auto r = ParseRegisterName(v);
        if (!r) {
          error = name + " wants an octal register number (R2000), got '" + std::string(v) + "'";
          return false;
        }
        o.outputsFrom = *r;
        break;
      }
      case kOutputs: {
        char* end = nullptr;
        const long x = std::strtol(v, &end, 16);
        if (!*v || *end || x < 0 || x > 255) {
          error = name + " wants one or two hex digits, got '" + std::string(v) + "'";
          return false;
        }
        o.outputs = static_cast<std::uint8_t>(x);
        break;
      }
      case kSeconds: {
        const auto n = number(0, 1e9);
        if (!n) return false;
        o.seconds = *n;
        break;
      }
      case kSeed: {
        const auto n = number(0, 1e18);
        if (!n) return false;
        o.faults.seed = static_cast<std::uint64_t>(*n);
        break;
      }
      case kDrop:
      case kCorrupt:
      case kSplit:
      case kNak: {
        const auto n = number(0, 1);
        if (!n) return false;
        (id == kDrop      ? o.faults.drop
         : id == kCorrupt ? o.faults.corrupt
         : id == kSplit   ? o.faults.split
                          : o.faults.nak) = *n;
        break;
      }
      case kDelayMs: {
        const auto n = number(0, 60000);
        if (!n) return false;
        o.faults.delayMs = static_cast<int>(*n);
        break;
      }
      case kTcp: {
        const auto n = number(1, 65535);
        if (!n || *n != static_cast<int>(*n)) {
          if (n) error = name + " wants a whole port number from 1 to 65535, got '" + v + "'";
          return false;
        }
        o.tcpPort = static_cast<int>(*n);
        break;
      }
      case kUsbLatency: {
        const auto n = number(0, 1000);
        if (!n) return false;
        o.usbLatencyMs = static_cast<int>(*n);
        break;
      }
      case ':':
        error = name + " needs a value";
        return false;
      default:
        error = "unknown option: " + std::string(argv[at]);
        return false;
    }
  }
  if (optind < argc) {
    error = std::string("unexpected argument: ") + argv[optind];
    return false;
  }
  return true;
}

}  // namespace varnak::sim
