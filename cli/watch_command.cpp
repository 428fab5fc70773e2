// `varnak watch`: the outputs polled every 200 ms and, between polls, the
// listed registers in turn; a line (or CSV row) at each change.
#include "cli/watch_command.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <optional>

#include <QTimer>

#include "cli/exit_status.h"
#include "cli/read_lines.h"
#include "cli/watch_recording.h"
#include "cli/watch_registers.h"
#include "link/register_number.h"
#include "timeline/local_time.h"

namespace varnak::cli {
namespace {

std::int64_t EpochMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string Timestamp() { return LocalIsoTimeWithoutOffset(EpochMs()); }

}  // namespace

int RunWatch(Client& client, const Options& opt, const std::string& device) {
  // --csv and --vcd: the outputs recorded as the window records them. The
  // VCD gets its closing timestamp however watch ends.
  std::optional<WatchRecording> recording;
  WatchRegisters registers(opt.watched);
  if (opt.csv || !opt.vcdPath.empty()) {
    recording.emplace(client.now(), EpochMs());
    recording->setColumns(registers.columns());
    registers.setReporter([&](const ListReport& r) { recording->report(client.now(), r); });
    std::string why;
    if (!opt.vcdPath.empty() && !recording->writeVcd(opt.vcdPath, &why)) {
      std::fprintf(stderr, "varnak: cannot write %s: %s\n", opt.vcdPath.c_str(), why.c_str());
      return kOutputFailed;
    }
    if (opt.csv) recording->writeCsv(std::cout);
  }
  int last = -1;
  long lines = 0;
  // Registers: no line until the outputs and every register have been read.
  bool started = registers.empty();
  std::optional<int> status;  // set when watch ends
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
    if (std::fflush(stdout) != 0) status = Finish(kDone);
    if (opt.count != 0 && lines >= opt.count) status = Finish(kDone);
  };
  // The outputs polled every 200 ms and, between polls, the registers in turn:
  // each a job of the client's, so the link control schedules them as the
  // window's poll and list (a poll due goes before the next register).
  JobId poll = 0, read = 0;
  const auto nextRead = [&] {
    if (registers.empty() || status) return;
    if (const auto reg = registers.next(client.now()))
      read = client.start({Job::Kind::Read, *reg, 0, "client"});
  };
  client.setOnEnd([&](const JobEnd& end, const Outcome& o) {
    if (status) return;
    if (end.id == poll) {
      poll = 0;
      if (o.failure != cli::Failure::None) return void(status = Fail(o, opt, device));
      if (recording) recording->sample(client.now(), static_cast<Outputs>(o.value));
      const bool changed = static_cast<int>(o.value) != last;
      last = o.value;
      if (started && changed) line(o.value);
      if (read == 0) nextRead();
    } else if (end.id == read) {
      read = 0;
      const unsigned reg = end.reg.value_or(0);
      if (o.failure != cli::Failure::None)
        return void(status = Fail(o, opt, device + ": read " + RegisterName(reg)));
      const bool changed = registers.ended(reg, o.value, client.now());
      if (!started && registers.allKnown() && last >= 0) {
        started = true;
        if (recording) recording->start(client.now());
        line(static_cast<unsigned>(last));
      } else if (started && changed) {
        line(static_cast<unsigned>(last));
      }
      nextRead();
    }
  });
  QTimer tick;
  tick.setInterval(200);
  const auto pollNow = [&] {
    // A reader gone away while the outputs stand still is noticed here, not
    // only at the next change.
    if (OutputBroken() || (recording && !recording->ok())) {
      std::fprintf(stderr, "varnak: cannot write the result: %s\n",
                   OutputBroken() ? "standard output closed" : "write failed");
      status = kOutputFailed;
      return;
    }
    // A poll still under way is not cut short; the next tick polls.
    if (poll == 0 && !status) poll = client.start({Job::Kind::Outputs, 0, 0, "client"});
  };
  QObject::connect(&tick, &QTimer::timeout, pollNow);
  tick.start();
  pollNow();
  client.run([&] { return status.has_value(); });
  client.setOnEnd({});
  if (recording) recording->close(client.now());
  if (status) return *status;
  if (StopRequested()) return StoppedStatus();
  std::fprintf(stderr, "varnak: %s\n", client.lineFailure().c_str());
  return kNoPort;
}

}  // namespace varnak::cli
