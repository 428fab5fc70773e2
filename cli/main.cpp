// varnak: the scripting client. Results on stdout, one error line on stderr,
// and an exit code that says what happened.
#include <signal.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <optional>
#include <string>
#include <thread>

#include "cli/client.h"
#include "cli/line.h"
#include "cli/options.h"
#include "cli/watch_recording.h"
#include "link/decode.h"
#include "serial/system_ports.h"

namespace {

using namespace varnak;
using namespace varnak::cli;

enum Exit { kDone = 0, kUsageError = 2, kNoPort = 3, kNoReply = 4, kBadReply = 5 };

const auto kStart = std::chrono::steady_clock::now();

// The signal that asked watch to stop (0: none yet); watch closes its files first.
volatile std::sig_atomic_t gStopSignal = 0;
void OnStopSignal(int signal) { gStopSignal = signal; }

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

int Fail(const Outcome& o, const Options& opt, const std::string& device) {
  const int attempts = opt.retries + 1;
  std::fprintf(stderr, "varnak: %s: %s after %d attempt%s\n", device.c_str(), o.detail.c_str(), attempts,
               attempts == 1 ? "" : "s");
  return o.failure == Failure::NoReply ? kNoReply : kBadReply;
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);
  const Options opt = ParseOptions(argc, argv);
  if (opt.command == Command::Version) {
    std::printf("varnak %s\n", VARNAK_VERSION);
    return kDone;
  }
  if (opt.command == Command::Help) {
    std::fputs(kUsage, stdout);
    return kDone;
  }
  if (!opt.error.empty()) {
    std::fprintf(stderr, "varnak: %s (see varnak --help)\n", opt.error.c_str());
    return kUsageError;
  }
  if (opt.command == Command::Ports) {
    std::fputs(FormatPortList(SystemPorts(), opt.json).c_str(), stdout);
    return kDone;
  }
  std::string device = opt.device;
  if (opt.portNumber) {
    const std::vector<PortInfo> ports = SystemPorts();
    const auto d = DeviceForNumber(ports, *opt.portNumber);
    if (!d) {
      std::fprintf(stderr, "varnak: COM%d: no such port (%s)\n", *opt.portNumber, PortSummary(ports).c_str());
      return kNoPort;
    }
    device = *d;
  }
  PosixLine line;
  std::string error;
  if (!line.open(device, &error)) {
    std::fprintf(stderr, "varnak: cannot open %s: %s\n", device.c_str(), error.c_str());
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
  const std::string reg = "R" + [&] {
    char s[16];
    std::snprintf(s, sizeof s, "%o", opt.reg);
    return std::string(s);
  }();

  switch (opt.command) {
    case Command::Read: {
      const Outcome o = client.read(opt.reg);
      if (o.failure != Failure::None) return Fail(o, opt, device);
      if (opt.json) {
        std::printf("{\"register\": \"%s\", \"value\": \"%s\"}\n", reg.c_str(), ValueHex(o.value).c_str());
      } else {
        std::printf("%s\n", ValueHex(o.value).c_str());
      }
      return kDone;
    }
    case Command::Write: {
      const Outcome o = client.write(opt.reg, opt.value);
      if (o.failure != Failure::None) return Fail(o, opt, device);
      if (opt.json)
        std::printf("{\"register\": \"%s\", \"written\": \"%s\"}\n", reg.c_str(),
                    ValueHex(opt.value).c_str());
      return kDone;
    }
    case Command::Outputs: {
      const Outcome o = client.outputs();
      if (o.failure != Failure::None) return Fail(o, opt, device);
      if (opt.json) {
        std::printf("{\"outputs\": \"%02X\"%s}\n", o.value, OutputsLine(o.value, true).c_str());
      } else {
        std::printf("%s\n", OutputsLine(o.value, false).c_str());
      }
      return kDone;
    }
    case Command::Watch: {
      // --csv and --vcd: the outputs recorded as the window records them.
      std::optional<WatchRecording> recording;
      if (opt.csv || !opt.vcdPath.empty()) {
        recording.emplace(SteadyMs(), EpochMs());
        std::string why;
        if (!opt.vcdPath.empty() && !recording->writeVcd(opt.vcdPath, &why)) {
          std::fprintf(stderr, "varnak: cannot write %s: %s\n", opt.vcdPath.c_str(), why.c_str());
          return kUsageError;
        }
        if (opt.csv) recording->writeCsv(std::cout);
      }
      const auto finish = [&](int code) {
        if (recording) recording->close(SteadyMs());
        return code;
      };
      struct sigaction stop {};
      stop.sa_handler = OnStopSignal;  // no SA_RESTART: a wait for a reply ends early
      sigaction(SIGINT, &stop, nullptr);
      sigaction(SIGTERM, &stop, nullptr);
      int last = -1;
      long lines = 0;
      auto next = std::chrono::steady_clock::now();
      while (opt.count == 0 || lines < opt.count) {
        const Outcome o = client.outputs();
        if (gStopSignal) return finish(128 + gStopSignal);
        if (o.failure != Failure::None) return finish(Fail(o, opt, device));
        if (recording) recording->sample(SteadyMs(), static_cast<Outputs>(o.value));
        if (static_cast<int>(o.value) != last) {
          last = o.value;
          ++lines;
          if (opt.csv) {
            // The rows went out as they were recorded.
          } else if (opt.json) {
            std::printf("{\"time\": \"%s\", \"outputs\": \"%02X\"%s}\n", Timestamp().c_str(), o.value,
                        OutputsLine(o.value, true).c_str());
          } else {
            std::printf("%s %s\n", Timestamp().c_str(), OutputsLine(o.value, false).c_str());
          }
          std::fflush(stdout);
        }
        next += std::chrono::milliseconds(200);
        while (!gStopSignal && std::chrono::steady_clock::now() < next)
          std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (gStopSignal) return finish(128 + gStopSignal);
      }
      return finish(kDone);
    }
    default:
      return kUsageError;
  }
}
