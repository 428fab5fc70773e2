#include "options.h"

#include <QCommandLineParser>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "cli/watch_registers.h"
#include "line/port_number.h"
#include "link/codec.h"
#include "link/register_number.h"
#include "link/text.h"
#include "net/address.h"
#include "watch/register_format.h"
#include "watch/watch_file_read.h"

namespace varnak::cli {

const char kUsage[] =
    "Usage: varnak [options] COMMAND\n"
    "Talks to the controller (station 1) over a serial line at 9600 baud, odd parity, 8 data bits, 1 stop "
    "bit.\n"
    "\n"
    "Commands:\n"
    "  read REG...       print each register's value on a line of its own, in the order given:\n"
    "                    four hex digits, high byte first, or as --format says\n"
    "  write REG VALUE   write VALUE (one to four hex digits) to the register\n"
    "  outputs           print the eight outputs once: Q0=1 Q1=0 ...\n"
    "  watch             poll every 200 ms and print a timestamped line each time the outputs change\n"
    "  ports             list the serial ports, one per line: number, device, stable name,\n"
    "                    description, manufacturer, serial number, USB vendor:product id\n"
    "  bridge            publish the outputs and registers to an MQTT broker (see varnak bridge --help)\n"
    "REG is an octal register number, with or without the leading R (R2000, 2000).\n"
    "When a read fails, its line on stderr says why, the other values are printed, and the\n"
    "exit code is the first failure's.\n"
    "\n"
    "Options:\n"
    "  --port DEVICE|N   the serial device, or port number N as listed by 'varnak ports' (default 1),\n"
    "                    or a serial device server: tcp://HOST:PORT (raw, also socket://; the line\n"
    "                    runs at the server's settings) or rfc2217://HOST:PORT (9600 8O1 set from\n"
    "                    here); HOST an IPv4 address, [IPv6] or a name\n"
    "  --timeout MS      how long to wait for each reply (default 500, on a network line too)\n"
    "  --retries N       further attempts after a failed one, each from the enquiry (default 2)\n"
    "  --count N         watch: stop after N lines (or CSV rows)\n"
    "  --csv             watch: CSV rows on stdout instead of the lines: local time, ms since start,\n"
    "                    Q0..Q7 as 0/1, and the event (\"not live\", \"live again\")\n"
    "  --vcd FILE        watch: also write FILE as a value change dump (1 ms, wires Q0..Q7 and live),\n"
    "                    flushed at every change and closed at Ctrl+C or when watch stops\n"
    "  --format NAME     read: show every register as NAME: hex, unsigned (0..65535), signed\n"
    "                    (-32768..32767), binary (16 digits, bit 0 at the right), or REG and the\n"
    "                    next register as one value: u32, s32, f32 (IEEE 754 single) with the low\n"
    "                    word in REG, or 'u32 hi-lo', 's32 hi-lo', 'f32 hi-lo' with the high word in REG\n"
    "  --watch FILE      read: the registers of a list file, in its order, each as its row says:\n"
    "                    CSV with the header register,name,format (an empty format is hex);\n"
    "                    watch: read them between the polls, as --registers does\n"
    "  --registers LIST  watch: read these registers (R1000,R1001) between the polls; each line\n"
    "                    adds R1000=0041 ..., each change of one is a line, the first line comes\n"
    "                    once all are read; --csv and --vcd get a column or vector per register\n"
    "  --json            one JSON object per result line; read with --format or --watch adds\n"
    "                    \"format\", \"words\" (the registers' words as four hex digits) and, from\n"
    "                    a list file, \"name\"\n"
    "  --trace           every chunk sent and received on stderr, with a decoding\n"
    "  --version         the version\n"
    "  --help            this text\n"
    "Values go as --opt VALUE or --opt=VALUE; options are never abbreviated.\n"
    "\n"
    "Exit codes:\n"
    "  0  done\n"
    "  2  usage error\n"
    "  3  the port cannot be opened (in use by another program: its name and pid are\n"
    "     given), no port has that number, or the device hung up or vanished; a server\n"
    "     refused, could not be reached, closed the connection, serves another client,\n"
    "     or did not take the line settings\n"
    "  4  no reply in time after all retries\n"
    "  5  refused or corrupted replies after all retries\n"
    "  6  the result could not be written (standard output closed or full)\n"
    "  130, 143  stopped by SIGINT or SIGTERM (the port closed and unlocked)\n";

namespace {

std::optional<long> WholeNumber(const std::string& s, long lo, long hi) {
  if (s.empty() || s.size() > 9) return std::nullopt;
  for (char c : s)
    if (c < '0' || c > '9') return std::nullopt;
  const long v = std::strtol(s.c_str(), nullptr, 10);
  if (v < lo || v > hi) return std::nullopt;
  return v;
}

// "hex, unsigned, ..., s32 hi-lo or f32 hi-lo"
std::string FormatNames() {
  std::string s;
  for (int i = 0; i < kRegisterFormatCount; ++i) {
    if (i) s += i + 1 == kRegisterFormatCount ? " or " : ", ";
    s += FormatName(static_cast<RegisterFormat>(i));
  }
  return s;
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
  auto fail = [&](const std::string& e) {
    o.error = e;
    return o;
  };
  QStringList args;
  for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  // --help and --version are ours: Qt's own add --help-all, which the usage
  // text and the man page do not list.
  const QCommandLineOption help(QStringList{"h", "help"}), version(QStringLiteral("version")),
      json(QStringLiteral("json")), trace(QStringLiteral("trace")), csv(QStringLiteral("csv")),
      vcd(QStringLiteral("vcd"), {}, QStringLiteral("FILE")),
      port(QStringLiteral("port"), {}, QStringLiteral("DEVICE|N")),
      timeout(QStringLiteral("timeout"), {}, QStringLiteral("MS")),
      retries(QStringLiteral("retries"), {}, QStringLiteral("N")),
      count(QStringLiteral("count"), {}, QStringLiteral("N")),
      format(QStringLiteral("format"), {}, QStringLiteral("NAME")),
      list(QStringLiteral("watch"), {}, QStringLiteral("FILE")),
      registers(QStringLiteral("registers"), {}, QStringLiteral("LIST"));
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.addOptions(
      {help, version, json, trace, csv, vcd, port, timeout, retries, count, format, list, registers});
  if (!parser.parse(args)) return fail(parser.errorText().toStdString());
  if (parser.isSet(help)) {
    o.command = Command::Help;
    return o;
  }
  if (parser.isSet(version)) {
    o.command = Command::Version;
    return o;
  }
  o.json = parser.isSet(json);
  o.trace = parser.isSet(trace);
  o.csv = parser.isSet(csv);
  if (parser.isSet(vcd)) {
    o.vcdPath = parser.value(vcd).toStdString();
    if (o.vcdPath.empty()) return fail("--vcd wants a file name");
  }
  if (parser.isSet(port)) {
    const std::string v = parser.value(port).toStdString();
    if (v.empty()) return fail("--port wants a device or a port number");
    if (const auto n = ParsePortNumber(FromUtf8(v))) {
      o.portNumber = n;
    } else if (v[0] == '/' || v[0] == '.') {
      o.device = v;
      o.portNumber.reset();
    } else if (IsNetworkAddress(v)) {
      std::string why;
      if (!ParseLineAddress(v, &why)) return fail("--port " + why);
      o.device = v;
      o.portNumber.reset();
    } else {
      return fail(
          "--port wants a device path, tcp://HOST:PORT, rfc2217://HOST:PORT or a port number from 1 to "
          "32767, got: " +
          v);
    }
  }
  struct Whole {
    const QCommandLineOption& option;
    long lo, hi;
  };
  for (const Whole& w : {Whole{timeout, 1, 600000}, Whole{retries, 0, 100}, Whole{count, 0, 100000000}}) {
    if (!parser.isSet(w.option)) continue;
    const std::string name = "--" + w.option.names().first().toStdString();
    const std::string v = parser.value(w.option).toStdString();
    const auto n = WholeNumber(v, w.lo, w.hi);
    if (!n)
      return fail(name + " wants a whole number from " + std::to_string(w.lo) + " to " +
                  std::to_string(w.hi) + ", got: " + v);
    if (&w.option == &timeout) o.timeoutMs = static_cast<int>(*n);
    if (&w.option == &retries) o.retries = static_cast<int>(*n);
    if (&w.option == &count) o.count = *n;
  }

  std::vector<std::string> words;
  for (const QString& w : parser.positionalArguments()) words.push_back(w.toStdString());
  if (words.empty()) return fail("no command: read, write, outputs, watch or ports");
  const std::string& c = words[0];
  const std::size_t args_ = words.size() - 1;
  static const std::size_t kAny = static_cast<std::size_t>(-1);
  static const struct {
    const char* name;
    Command command;
    std::size_t least, most;  // arguments
    const char* needs;        // what is missing when too few are given
  } kCommands[] = {{"read", Command::Read, 1, kAny, "a register"},
                   {"write", Command::Write, 2, 2, "a register and a value"},
                   {"outputs", Command::Outputs, 0, 0, ""},
                   {"watch", Command::Watch, 0, 0, ""},
                   {"ports", Command::Ports, 0, 0, ""}};
  const auto* k =
      std::find_if(std::begin(kCommands), std::end(kCommands), [&](const auto& e) { return c == e.name; });
  if (k == std::end(kCommands))
    return fail("unknown command: " + c + " (read, write, outputs, watch or ports)");
  const bool fromList = parser.isSet(list);
  // With a list file, read takes its registers from the file.
  const std::size_t least = k->command == Command::Read && fromList ? 0 : k->least;
  const std::size_t most = k->command == Command::Read && fromList ? 0 : k->most;
  if (args_ < least) return fail(c + " needs " + k->needs);
  if (args_ > most) {
    if (k->command == Command::Read)
      return fail("read takes registers or --watch FILE, not both, got also: " + words[1]);
    return fail(c + (most ? " takes " + std::string(k->needs) : std::string(" takes no arguments")) +
                ", got also: " + words[most + 1]);
  }
  o.command = k->command;
  if (o.command == Command::Write && !ParseValue(words[2], &o.value))
    return fail("value must be one to four hex digits, got: " + words[2]);
  if (o.command == Command::Write && !ParseRegisterNumber(words[1], &o.reg))
    return fail("register must be an octal number from 0 to 77777, with or without R, got: " + words[1]);
  if (parser.isSet(format) && o.command != Command::Read) return fail("--format is for read");
  if (fromList && o.command != Command::Read && o.command != Command::Watch)
    return fail("--watch is for read and watch");
  if (parser.isSet(registers) && o.command != Command::Watch) return fail("--registers is for watch");
  if (o.command == Command::Watch && fromList && parser.isSet(registers))
    return fail("--registers and --watch both say which registers to watch: give one");
  if (o.command == Command::Watch && parser.isSet(registers)) {
    std::string why;
    if (!ParseRegisterList(parser.value(registers).toStdString(), &o.watched, &why)) return fail(why);
  }
  if (parser.isSet(format) && fromList)
    return fail("--format and --watch both say how to show the registers: give one");
  if (o.command == Command::Watch && fromList) {
    o.listPath = parser.value(list).toStdString();
    if (o.listPath.empty()) return fail("--watch wants a file name");
    const WatchFile file = ReadWatchFile(o.listPath);
    if (!file.error.empty()) return fail(file.error);
    if (file.entries.empty()) return fail(o.listPath + " lists no registers");
    for (const WatchEntry& e : file.entries) o.watched.push_back({e.reg, e.name, e.format});
  }
  if (o.command == Command::Read) {
    o.style.json = o.json;
    RegisterFormat shown = RegisterFormat::Hex;
    if (parser.isSet(format)) {
      const std::string v = parser.value(format).toStdString();
      const auto f = ParseFormat(v);
      if (!f) return fail("--format wants one of " + FormatNames() + ", got: " + v);
      shown = *f;
      o.style.described = true;
    }
    for (std::size_t i = 1; i < words.size(); ++i) {
      ReadItem item;
      if (!ParseRegisterNumber(words[i], &item.reg))
        return fail("register must be an octal number from 0 to 77777, with or without R, got: " + words[i]);
      item.format = shown;
      if (const std::string pair = PairProblem(item.format, item.reg); !pair.empty()) return fail(pair);
      o.reads.push_back(item);
    }
    if (fromList) {
      o.listPath = parser.value(list).toStdString();
      if (o.listPath.empty()) return fail("--watch wants a file name");
      const WatchFile file = ReadWatchFile(o.listPath);
      if (!file.error.empty()) return fail(file.error);
      if (file.entries.empty()) return fail(o.listPath + " lists no registers");
      for (const WatchEntry& e : file.entries) o.reads.push_back({e.reg, e.name, e.format});
      o.style.described = o.style.named = true;
    }
    o.reg = o.reads.front().reg;
  }
  if (o.count && o.command != Command::Watch) return fail("--count is for watch");
  if ((o.csv || !o.vcdPath.empty()) && o.command != Command::Watch)
    return fail("--csv and --vcd are for watch");
  if (o.csv && o.json) return fail("--csv and --json both say what goes to stdout: give one");
  return o;
}

}  // namespace varnak::cli
