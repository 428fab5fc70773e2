// The scripting client's line: the link control (the window's engine) on one
// transport, run in an event loop. Each command is a job submitted to it and
// waited for until its end, so the client judges replies, joins their pieces,
// retries and schedules exactly as the window does; only the words and the
// exit codes are the client's.
//
//   read/write/outputs ──> Submit(job) ──> event loop ──> JobEnd ──> Outcome
//   watch: start(job) ... the event loop ... onEnd(JobEnd)
//
// Waits run the event loop in slices of at most 100 ms, asking between slices
// whether the program was told to stop. A problem that the line tells (hung
// up, a server gone) ends every wait at once: no retry helps then.
#pragma once

#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "control/link_control.h"
#include "line/serial_port.h"

namespace varnak::cli {

// LineFailed: the line itself is gone (hung up, vanished, or told to stop); no
// retry is made.
enum class Failure { None, NoReply, Refused, Corrupted, LineFailed };

struct Outcome {
  Failure failure = Failure::None;
  std::uint16_t value = 0;  // the register read or written, or the output byte
  std::string detail;       // what went wrong, for the operator
};

class Client : private LinkObserver, private TransportListener {
 public:
  // `trace` sees every frame sent ("TX") and every reply received, its pieces
  // joined ("RX"), with the ms since the client started.
  using Trace = std::function<void(double ms, const char* direction, const Bytes& chunk)>;
  // `line` is open already; `network`: its replies may take a network's time.
  Client(std::unique_ptr<Transport> line, std::string label, bool network, int timeoutMs, int retries,
         std::function<bool()> stopRequested, Trace trace = {});
  ~Client() override;

  // Each runs one job to its end; a stop asked for meanwhile is a LineFailed.
  Outcome read(unsigned reg);
  Outcome write(unsigned reg, std::uint16_t value);
  Outcome outputs();

  // For watch: a job started, its end told to `onEnd`, while run() runs.
  JobId start(const Job& job);
  void setOnEnd(std::function<void(const JobEnd&, const Outcome&)> onEnd) { onEnd_ = std::move(onEnd); }
  // Runs the event loop until `done` is true, a stop is asked for, or the line fails.
  void run(const std::function<bool()>& done);
  // Why the line can no longer be used; empty while it can.
  const std::string& lineFailure() const { return lineFailure_; }
  // Ms since the client started, on the link control's clock.
  std::int64_t now() const;

 private:
  Outcome runJob(const Job& job);
  Outcome OutcomeOf(const JobEnd& end) const;
  void onLinkEvent(const LinkEvent& event) override;
  void onJobEnded(const JobEnd& end) override;
  void onChunk(const Bytes& chunk, std::int64_t now) override;
  void onProblem(const std::string& problem, std::int64_t now) override;
  void onNote(const std::string& note, std::int64_t now) override;
  void armDeadline();

  class FixedLine;
  std::unique_ptr<FixedLine> line_;
  std::unique_ptr<LinkControl> link_;
  std::function<bool()> stopRequested_;
  Trace trace_;
  QTimer deadline_;
  std::int64_t start_;
  Bytes lastReply_;  // the last reply received, for the words of a bad one
  std::string lineFailure_;
  std::optional<JobEnd> ended_;  // the end of the job runJob waits for
  JobId waitingFor_ = 0;
  std::function<void(const JobEnd&, const Outcome&)> onEnd_;
  QEventLoop* running_ = nullptr;
};

}  // namespace varnak::cli
