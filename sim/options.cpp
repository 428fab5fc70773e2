#include "options.h"

#include <cerrno>
#include <cstdlib>

#include "link/decode.h"
#include "link/frames.h"

namespace varnak::sim {

const char kUsage[] =
    "Usage: varnak-sim [options]\n"
    "Plays the controller (station 1) on a pseudo-terminal and prints its device path\n"
    "on the first line of stdout. Runs until SIGINT/SIGTERM or --seconds.\n"
    "\n"
    "  --link PATH          also make PATH a symbolic link to the device (removed on exit)\n"
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
    "  --log                print every frame received and sent, with ms timestamps and a decoding,\n"
    "                       and at exit the counts of exchanges and faults and the tool's turnaround\n"
    "  --control            read commands on stdin, answer on stdout after \"= \":\n"
    "                       get R2000 | set R2000 1234 | outputs [HEX|follow] | faults off | stats\n"
    "                       | silent on|off (answer nothing, as a controller switched off)\n"
    "  --version            the version\n"
    "  --help               this text\n";

namespace {

std::optional<double> Number(const char* s, double lo, double hi) {
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(s, &end);
  if (errno || end == s || *end || v < lo || v > hi) return std::nullopt;
  return v;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options& o, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    auto bad = [&](const char* v) {
      error = a + ": bad or missing value" + (v ? std::string(" '") + v + "'" : std::string());
      return false;
    };
    if (a == "--version") {
      o.version = true;
    } else if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--no-pace") {
      o.pace = false;
    } else if (a == "--log") {
      o.log = true;
    } else if (a == "--control") {
      o.control = true;
    } else if (a == "--link") {
      const char* v = value();
      if (!v || !*v) return bad(v);
      o.link = v;
    } else if (a == "--drop-first") {
      const char* v = value();
      const std::string k = v ? v : "";
      o.dropFirst = k == "enquiry" ? 0x4E : k == "header" ? kSoh : k == "data" ? kStx : 0;
      if (!o.dropFirst) return bad(v);
    } else if (a == "--outputs-from") {
      const char* v = value();
      const auto r = v ? ParseRegisterName(v) : std::nullopt;
      if (!r) return bad(v);
      o.outputsFrom = *r;
    } else if (a == "--outputs") {
      const char* v = value();
      char* end = nullptr;
      const long x = v ? std::strtol(v, &end, 16) : -1;
      if (!v || !*v || *end || x < 0 || x > 255) return bad(v);
      o.outputs = static_cast<std::uint8_t>(x);
    } else {
      const char* v = value();
      std::optional<double> n;
      if (!v) return bad(v);
      if (a == "--seconds")
        n = Number(v, 0, 1e9), o.seconds = n.value_or(0);
      else if (a == "--seed")
        n = Number(v, 0, 1e18), o.faults.seed = static_cast<std::uint64_t>(n.value_or(0));
      else if (a == "--drop")
        n = Number(v, 0, 1), o.faults.drop = n.value_or(0);
      else if (a == "--corrupt")
        n = Number(v, 0, 1), o.faults.corrupt = n.value_or(0);
      else if (a == "--split")
        n = Number(v, 0, 1), o.faults.split = n.value_or(0);
      else if (a == "--nak")
        n = Number(v, 0, 1), o.faults.nak = n.value_or(0);
      else if (a == "--usb-latency")
        n = Number(v, 0, 1000), o.usbLatencyMs = static_cast<int>(n.value_or(0));
      else if (a == "--delay-ms")
        n = Number(v, 0, 60000), o.faults.delayMs = static_cast<int>(n.value_or(0));
      else {
        error = "unknown option: " + a;
        return false;
      }
      if (!n) return bad(v);
    }
  }
  return true;
}

}  // namespace varnak::sim
