// Which exchange the line carries next once it is free. One exchange at a time:
// nothing is cut short, so whatever comes while the line is busy waits here.
//
//   1. the operator's write or read, clicked while another exchange ran
//   2. the poll of a tick that fell while a list exchange ran
//   3. the masters' jobs, in the order submitted
//   4. the register list's next job
//
// A tick that falls while the operator's command or a poll runs is not kept:
// the next tick polls, as it always has.
#pragma once

#include <deque>
#include <optional>
#include <utility>

#include "control/exchange.h"

namespace varnak {

class Scheduler {
 public:
  enum class Next { Command, Poll, Job, List };

  // A second click while one waits replaces it; the one replaced comes back.
  std::optional<Exchange> queueCommand(const Exchange& command) {
    std::optional<Exchange> replaced = std::move(command_);
    command_ = command;
    return replaced;
  }
  bool hasCommand() const { return command_.has_value(); }
  void deferPoll() { pollDue_ = true; }
  void queueJob(const Exchange& job) { jobs_.push_back(job); }
  bool hasJob() const { return !jobs_.empty(); }

  // What goes next; a command or a poll is taken out as it is chosen.
  Next next() const {
    return command_ ? Next::Command : pollDue_ ? Next::Poll : !jobs_.empty() ? Next::Job : Next::List;
  }
  // A master's job not yet started, taken out; none when it started or ended.
  std::optional<Exchange> withdrawJob(JobId id) {
    for (auto j = jobs_.begin(); j != jobs_.end(); ++j) {
      if (j->id != id) continue;
      Exchange x = std::move(*j);
      jobs_.erase(j);
      return x;
    }
    return std::nullopt;
  }
  // A job failed: those waiting that were to go only after it end unsent, with its failure.
  void failJobsAfter(JobId id, Failure failure) {
    for (Exchange& j : jobs_)
      if (j.after == id) j.afterFailed = failure;
  }
  Exchange takeJob() {
    Exchange j = std::move(jobs_.front());
    jobs_.pop_front();
    return j;
  }
  Exchange takeCommand() {
    Exchange c = std::move(*command_);
    command_.reset();
    return c;
  }
  void takePoll() { pollDue_ = false; }

  // The window starts afresh; the masters' jobs still wait for the line.
  void clear() {
    command_.reset();
    pollDue_ = false;
  }

 private:
  std::optional<Exchange> command_;
  bool pollDue_ = false;
  std::deque<Exchange> jobs_;
};

}  // namespace varnak
