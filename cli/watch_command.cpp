// `varnak watch`: the outputs polled every 200 ms and, between polls, the
// listed registers in turn; a line (or CSV row) at each change.
#include "cli/watch_command.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <optional>
#include <thread>

#include "cli/exit_status.h"
#include "cli/read_lines.h"
#include "cli/watch_recording.h"
#include "cli/watch_registers.h"
#include "link/register_number.h"

namespace varnak::cli {
namespace {

// Waits are cut into slices this long, so that a stop signal is seen at once.
constexpr int kSliceMs = 100;

const auto kStart = std::chrono::steady_clock::now();

std::int64_t ClientMs() {
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

}  // namespace

int RunWatch(Client& client, const Options& opt, const std::string& device) {
  // --csv and --vcd: the outputs recorded as the window records them. The
  // VCD gets its closing timestamp however watch ends.
  std::optional<WatchRecording> recording;
  WatchRegisters registers(opt.watched);
  if (opt.csv || !opt.vcdPath.empty()) {
    recording.emplace(ClientMs(), EpochMs());
    recording->setColumns(registers.columns());
    registers.setReporter([&recording](const ListReport& r) { recording->report(ClientMs(), r); });
    std::string why;
    if (!opt.vcdPath.empty() && !recording->writeVcd(opt.vcdPath, &why)) {
      std::fprintf(stderr, "varnak: cannot write %s: %s\n", opt.vcdPath.c_str(), why.c_str());
      return kOutputFailed;
    }
    if (opt.csv) recording->writeCsv(std::cout);
  }
  const auto finish = [&](int status) {
    if (recording) recording->close(ClientMs());
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
    if (recording) recording->sample(ClientMs(), static_cast<Outputs>(o.value));
    const bool outputsChanged = static_cast<int>(o.value) != last;
    last = o.value;
    if (started && outputsChanged && !line(o.value)) return finish(Finish(kDone));
    next += std::chrono::milliseconds(200);
    // The registers in turn until the next poll is due, one at least.
    for (auto took = std::chrono::steady_clock::duration::zero();
         !registers.empty() && (opt.count == 0 || lines < opt.count) && !StopRequested();) {
      const auto began = std::chrono::steady_clock::now();
      if (took > decltype(took)::zero() && began + took > next) break;
      const auto reg = registers.next(ClientMs());
      if (!reg) break;
      const Outcome r = client.read(*reg);
      took = std::chrono::steady_clock::now() - began;
      if (r.failure != Failure::None) return finish(Fail(r, opt, device + ": read " + RegisterName(*reg)));
      const bool changed = registers.ended(*reg, r.value, ClientMs());
      if (!started && registers.allKnown()) {
        started = true;
        if (recording) recording->start(ClientMs());
        if (!line(last)) return finish(Finish(kDone));
      } else if (started && changed && !line(last)) {
        return finish(Finish(kDone));
      }
    }
    while (!StopRequested() && std::chrono::steady_clock::now() < next)
      std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
          next - std::chrono::steady_clock::now(), std::chrono::milliseconds(kSliceMs)));
    if (StopRequested()) return finish(StoppedStatus());
  }
  return finish(Finish(kDone));
}

}  // namespace varnak::cli
