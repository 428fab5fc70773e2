// What the bridge's network masters (the masters sharing the line over TCP,
// the Modbus clients) ask of the line, as jobs of the engine:
//   - each asker has one job of its own on the engine at a time, the rest of its
//     requests wait here in order: askers take turns, and a client that asks for
//     125 registers at once does not hold up a master that asks for one;
//   - reads of one register asked for by several at once are one read on the line;
//   - a register read recently enough is answered from the image of values kept
//     from every read and every confirmed write, without the line;
//   - the outputs come from the engine's output poll, never a read of their own;
//   - registers asked to be kept fresh join the register list's reads, a round
//     of them after each round of its own rows, until no one asked for them for a while.
// Pure: no Qt, no I/O, time passed in. The shell tells it every job's end.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "control/job.h"
#include "control/link_events.h"
#include "control/list_source.h"

namespace varnak::share {

struct LineAnswer {
  bool ok = false;
  Failure failure = Failure::NoReply;  // when not ok
  std::uint16_t value = 0;             // the value read or written, or the output byte
  int attempts = 1;                    // exchanges on the line (0: answered without the line)
};

struct LineRequest {
  enum class Kind { Read, Write, Outputs };
  Kind kind = Kind::Read;
  unsigned reg = 0;           // Read, Write: 0 to 077777
  std::uint16_t value = 0;    // Write
  std::int64_t maxAgeMs = 0;  // Read, Outputs: a value this old at most is answered at once
  std::uint64_t after = 0;    // Write: a write of the same asker, asked for before and still
                              // waiting, that must have succeeded first; else this one fails alike
  std::string master;         // who asks: "10.0.0.7:50112"; the askers take turns
};

class LineService : public ListSource {
 public:
  using RequestId = std::uint64_t;
  using Answer = std::function<void(RequestId, const LineAnswer&)>;
  using SubmitJob = std::function<JobId(const Job&)>;
  using WithdrawJob = std::function<bool(JobId)>;

  // A register asked to be kept fresh leaves the list this long after it was last asked for.
  static constexpr std::int64_t kKeepFreshMs = 10000;

  // `list`: the register list file's rows (may be null), `listRows` (their
  // number) of them in each round before the registers kept fresh.
  LineService(SubmitJob submit, WithdrawJob withdraw, ListSource* list = nullptr,
              std::function<std::size_t()> listRows = {});

  // Asks; its id in `id`. Answered at once (returned) when it need not wait: a
  // value fresh enough in the image, the last poll recent enough. Otherwise
  // none is returned and `answer` is called once, from jobEnded(), never from
  // inside this call.
  std::optional<LineAnswer> ask(const LineRequest& request, std::int64_t now, Answer answer, RequestId* id);
  // The asker no longer wants the answer (it gave up, or went away): a read
  // nobody else waits for, or a write, that has not started is taken back.
  void forget(RequestId id);
  // Keeps the register read between the other exchanges until kKeepFreshMs after `now`.
  void keepFresh(unsigned reg, std::int64_t now);
  // When the register was last read or confirmed written, and its value.
  struct Known {
    std::uint16_t value = 0;
    std::int64_t time = 0;
  };
  std::optional<Known> known(unsigned reg) const;

  // Every job's end, whoever submitted it: the answers it brings are called.
  void jobEnded(const JobEnd& end);

  // The register list: a round of its own rows, then a round of the registers kept fresh.
  std::optional<ListJob> nextJob(std::int64_t now) override;
  void jobEnded(const ListJob& job, const ListResult& result, std::int64_t now) override;

 private:
  struct Waiter {
    RequestId id;
    Answer answer;
  };
  struct Queued {
    RequestId id;
    LineRequest request;
    Answer answer;
  };
  struct Pending {
    LineRequest request;
    std::vector<Waiter> waiters;  // a read: all who asked while it waited
  };
  struct Asker {
    std::deque<Queued> waiting;  // not yet on the engine
    JobId onLine = 0;            // its one job on the engine, 0: none
  };
  // The asker's next requests onto the engine while it has no job there.
  void pump(const std::string& master);
  // A job for the request, or a read of its register already there joined.
  void place(Queued q);
  void answerAll(std::vector<Waiter> waiters, const LineAnswer& answer);

  SubmitJob submit_;
  WithdrawJob withdraw_;
  ListSource* list_;
  std::function<std::size_t()> listRows_;
  RequestId lastId_ = 0;
  std::map<std::string, Asker> askers_;
  std::map<JobId, Pending> jobs_;        // the jobs submitted, by job id
  std::map<RequestId, JobId> requests_;  // each request on a job
  std::map<unsigned, JobId> reads_;      // the read of each register under way or waiting
  std::vector<Waiter> pollWaiters_;      // the outputs, at the next poll's end
  std::optional<LineAnswer> lastPoll_;
  std::int64_t lastPollTime_ = 0;
  std::map<unsigned, Known> image_;
  std::map<unsigned, std::int64_t> fresh_;  // registers kept fresh, until when
  std::optional<unsigned> freshCursor_;     // the register kept fresh read last
  bool listTurn_ = true;                    // the list's rows have this round
  std::size_t taken_ = 0;                   // jobs handed out in this round
  bool lastFromList_ = false;               // the job handed out last was the list's
};

}  // namespace varnak::share
