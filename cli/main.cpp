// varnak: the scripting client. Results on stdout, one error line on stderr,
// and an exit code that says what happened.
#include <poll.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <optional>
#include <string>
#include <thread>

#include "cli/bridge_main.h"
#include "cli/client.h"
#include "cli/options.h"
#include "cli/serial_line.h"
#include "cli/watch_recording.h"
#include "cli/watch_registers.h"
#include "link/decode.h"
#include "link/register_number.h"
#include "serial/system_ports.h"
#include "watch/register_format.h"

namespace {

using namespace varnak;
using namespace varnak::cli;

enum Exit { kDone = 0, kUsageError = 2, kNoPort = 3, kNoReply = 4, kBadReply = 5, kOutputFailed = 6 };

// The signal that asked the client to stop, 0 while none has. The handler only
// notes it: every wait is cut into slices short enough to see it at once, and
// the port is then closed and unlocked on the way out.
volatile std::sig_atomic_t gStopSignal = 0;
void OnStopSignal(int signal) { gStopSignal = signal; }

void CatchStopSignals() {
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  // A reader that went away is seen as an error on stdout; dying by SIGPIPE
  // would leave the lock behind.
  std::signal(SIGPIPE, SIG_IGN);
}

// The conventional status of a program ended by a signal.
int StoppedStatus() { return 128 + gStopSignal; }

// Standard output cannot take the result: its reader went away (a pipe whose
// reader closed reports POLLERR even before anything is written) or a write failed.
bool OutputBroken() {
  pollfd p{STDOUT_FILENO, 0, 0};
  return std::ferror(stdout) || (::poll(&p, 1, 0) == 1 && (p.revents & (POLLERR | POLLNVAL)));
}

// Every result written, or one line on stderr and a non-zero status.
int Finish(int status) {
  const bool flushed = std::fflush(stdout) == 0;
  const int error = errno;
  if (!flushed || std::ferror(stdout)) {
    std::fprintf(stderr, "varnak: cannot write the result: %s\n", std::strerror(flushed ? EPIPE : error));
    return status == kDone ? kOutputFailed : status;
  }
  return status;
}

const auto kStart = std::chrono::steady_clock::now();

std::int64_t SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - kStart)
      .count();
}
std::int64_t EpochMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string Timestamp() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm tm{};
  localtime_r(&t, &tm);
  char s[40];
  std::strftime(s, sizeof s, "%Y-%m-%dT%H:%M:%S", &tm);
  char out[48];
  std::snprintf(out, sizeof out, "%s.%03d", s, static_cast<int>(ms));
  return out;
}

std::string OutputsLine(unsigned byte, bool json) {
  std::string s;
  for (int i = 0; i < 8; ++i) {
    const char bit = ((byte >> i) & 1) ? '1' : '0';
    if (json) {
      s += ", \"Q" + std::to_string(i) + "\": " + bit;
    } else {
      s += (i ? " Q" : "Q") + std::to_string(i) + "=" + bit;
    }
  }
  return s;
}

// `where` names the device, and the register when several are read.
int Fail(const Outcome& o, const Options& opt, const std::string& where) {
  if (gStopSignal) return StoppedStatus();
  if (o.failure == Failure::LineFailed) {
    std::fprintf(stderr, "varnak: %s: %s\n", where.c_str(), o.detail.c_str());
    return kNoPort;
  }
  const int attempts = opt.retries + 1;
  std::fprintf(stderr, "varnak: %s: %s after %d attempt%s\n", where.c_str(), o.detail.c_str(), attempts,
               attempts == 1 ? "" : "s");
  return o.failure == Failure::NoReply ? kNoReply : kBadReply;
}

}  // namespace

int main(int argc, char** argv) {
  if (IsBridgeCommand(argc, argv)) return RunBridge(argc, argv);
  CatchStopSignals();
  const Options opt = ParseOptions(argc, argv);
  if (opt.command == Command::Version) {
    std::printf("varnak %s\n", VARNAK_VERSION);
    return Finish(kDone);
  }
  if (opt.command == Command::Help) {
    std::fputs(kUsage, stdout);
    return Finish(kDone);
  }
  if (!opt.error.empty()) {
    std::fprintf(stderr, "varnak: %s (see varnak --help)\n", opt.error.c_str());
    return kUsageError;
  }
  // QSerialPort wants an application object.
  QCoreApplication app(argc, argv);
  if (opt.command == Command::Ports) {
    std::fputs(FormatPortList(SystemPorts(), opt.json).c_str(), stdout);
    return Finish(kDone);
  }
  std::string device = opt.device, label = opt.device;
  if (opt.portNumber) {
    const std::vector<PortInfo> ports = SystemPorts();
    const auto d = DeviceForNumber(ports, *opt.portNumber);
    if (!d) {
      std::fprintf(stderr, "varnak: COM%d: no such port (%s)\n", *opt.portNumber, PortSummary(ports).c_str());
      return kNoPort;
    }
    device = *d;
    label = "COM" + std::to_string(*opt.portNumber) + ": " + device;
  }
  SerialLine line([] { return gStopSignal != 0; });
  if (const auto failure = line.open(QString::fromStdString(device))) {
    const QString sentence =
        failure->kind == OpenFailure::Kind::Busy
            ? failure->sentence(QString::fromStdString(label))
            : QStringLiteral("cannot open %1: %2").arg(QString::fromStdString(device), failure->why());
    std::fprintf(stderr, "varnak: %s\n", qPrintable(sentence));
    return kNoPort;
  }
  Client::Trace trace;
  if (opt.trace) {
    trace = [](const char* dir, const Bytes& chunk) {
      const double ms =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - kStart).count();
      std::fprintf(stderr, "%s\n", TraceLine(ms, dir, chunk).c_str());
    };
  }
  Client client(line, opt.timeoutMs, opt.retries, trace);
  const std::string reg = RegisterName(opt.reg);

  switch (opt.command) {
    case Command::Read: {
      // Several registers: a failed one is said on stderr with its register,
      // the others are still read, and the first failure's code is the exit code.
      const bool several = opt.reads.size() > 1;
      int status = kDone;
      for (const ReadItem& item : opt.reads) {
        std::uint16_t words[2] = {};
        unsigned at = item.reg;  // the register read last
        Outcome o = client.read(at);
        words[0] = o.value;
        if (o.failure == Failure::None && IsPair(item.format)) {
          o = client.read(++at);
          words[1] = o.value;
        }
        if (o.failure != Failure::None) {
          if (gStopSignal) return StoppedStatus();
          // A single register is reported as it always was; otherwise the line names the one that failed.
          const bool name = several || IsPair(item.format);
          const int failed = Fail(o, opt, name ? device + ": read " + RegisterName(at) : device);
          if (status == kDone) status = failed;
          // The line is gone: no further read can succeed.
          if (o.failure == Failure::LineFailed) break;
          continue;
        }
        std::printf("%s\n", ReadLine(item, words[0], words[1], opt.style).c_str());
        if (several && std::fflush(stdout) != 0) break;
      }
      return Finish(status);
    }
    case Command::Write: {
      const Outcome o = client.write(opt.reg, opt.value);
      if (o.failure != Failure::None) return Fail(o, opt, device);
      if (opt.json)
        std::printf("{\"register\": \"%s\", \"written\": \"%s\"}\n", reg.c_str(),
                    ValueHex(opt.value).c_str());
      return Finish(kDone);
    }
    case Command::Outputs: {
      const Outcome o = client.outputs();
      if (o.failure != Failure::None) return Fail(o, opt, device);
      if (opt.json) {
        std::printf("{\"outputs\": \"%02X\"%s}\n", o.value, OutputsLine(o.value, true).c_str());
      } else {
        std::printf("%s\n", OutputsLine(o.value, false).c_str());
      }
      return Finish(kDone);
    }
    case Command::Watch: {
      // --csv and --vcd: the outputs recorded as the window records them. The
      // VCD gets its closing timestamp however watch ends.
      std::optional<WatchRecording> recording;
      WatchRegisters registers(opt.watched);
      if (opt.csv || !opt.vcdPath.empty()) {
        recording.emplace(SteadyMs(), EpochMs());
        recording->setColumns(registers.columns());
        registers.setReporter([&recording](const ListReport& r) { recording->report(SteadyMs(), r); });
        std::string why;
        if (!opt.vcdPath.empty() && !recording->writeVcd(opt.vcdPath, &why)) {
          std::fprintf(stderr, "varnak: cannot write %s: %s\n", opt.vcdPath.c_str(), why.c_str());
          return kOutputFailed;
        }
        if (opt.csv) recording->writeCsv(std::cout);
      }
      const auto finish = [&](int status) {
        if (recording) recording->close(SteadyMs());
        return status;
      };
      int last = -1;
      long lines = 0;
      // Registers: no line until the outputs and every register have been read.
      bool started = registers.empty();
      const auto line = [&](unsigned outputs) {
        ++lines;
        if (opt.csv) {
          // The rows went out as they were recorded.
        } else if (opt.json) {
          std::printf("{\"time\": \"%s\", \"outputs\": \"%02X\"%s%s}\n", Timestamp().c_str(), outputs,
                      OutputsLine(outputs, true).c_str(), registers.jsonText().c_str());
        } else {
          std::printf("%s %s%s\n", Timestamp().c_str(), OutputsLine(outputs, false).c_str(),
                      registers.lineText().c_str());
        }
        return std::fflush(stdout) == 0;
      };
      auto next = std::chrono::steady_clock::now();
      while (opt.count == 0 || lines < opt.count) {
        // A reader gone away while the outputs stand still is noticed here,
        // not only at the next change.
        if (OutputBroken() || (recording && !recording->ok())) {
          std::fprintf(stderr, "varnak: cannot write the result: %s\n",
                       OutputBroken() ? "standard output closed" : "write failed");
          return finish(kOutputFailed);
        }
        const Outcome o = client.outputs();
        if (o.failure != Failure::None) return finish(Fail(o, opt, device));
        if (recording) recording->sample(SteadyMs(), static_cast<Outputs>(o.value));
        const bool outputsChanged = static_cast<int>(o.value) != last;
        last = o.value;
        if (started && outputsChanged && !line(o.value)) return finish(Finish(kDone));
        next += std::chrono::milliseconds(200);
        // The registers in turn until the next poll is due, one at least.
        for (auto took = std::chrono::steady_clock::duration::zero();
             !registers.empty() && (opt.count == 0 || lines < opt.count) && !gStopSignal;) {
          const auto began = std::chrono::steady_clock::now();
          if (took > decltype(took)::zero() && began + took > next) break;
          const auto reg = registers.next(SteadyMs());
          if (!reg) break;
          const Outcome r = client.read(*reg);
          took = std::chrono::steady_clock::now() - began;
          if (r.failure != Failure::None)
            return finish(Fail(r, opt, device + ": read " + RegisterName(*reg)));
          const bool changed = registers.ended(*reg, r.value, SteadyMs());
          if (!started && registers.allKnown()) {
            started = true;
            if (recording) recording->start(SteadyMs());
            if (!line(last)) return finish(Finish(kDone));
          } else if (started && changed && !line(last)) {
            return finish(Finish(kDone));
          }
        }
        while (!gStopSignal && std::chrono::steady_clock::now() < next)
          std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
              next - std::chrono::steady_clock::now(), std::chrono::milliseconds(SerialLine::kSliceMs)));
        if (gStopSignal) return finish(StoppedStatus());
      }
      return finish(Finish(kDone));
    }
    default:
      return kUsageError;
  }
}
