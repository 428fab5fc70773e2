// What the outputs did over time, with the operator's commands on the same time
// axis: the recorder behind the "output timing" chart and its files.
//
//   poll replies ──> sample() ──> changes (only when Q0..Q7 differ)
//   time passing ──> advance() ──> not-live spans (the dimmed-lamp rule)
//   commands     ──> commandStarted() / commandEnded() ──> markers
//   register reads ──> registersRead() / registersLost() ──> each register's changes and spans
//
// Times are milliseconds on one monotonic clock, passed in; the recorder keeps
// them relative to its start. Everything is bounded and the oldest goes first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "timeline/not_live_span.h"
#include "timeline/register_history.h"

namespace varnak {

// Q0..Q7, bit i for Qi.
using Outputs = std::uint8_t;

// One change of the outputs, packed into 8 bytes: 24 hours at five changes a
// second are 432,000 of them.
class OutputChange {
 public:
  OutputChange(std::int64_t t, Outputs outputs) : packed_((static_cast<std::uint64_t>(t) << 8) | outputs) {}
  std::int64_t t() const { return static_cast<std::int64_t>(packed_ >> 8); }  // ms since the start
  Outputs outputs() const { return static_cast<Outputs>(packed_ & 0xFF); }

 private:
  std::uint64_t packed_;
};

enum class CommandKind : std::uint8_t { Write, Read };
enum class CommandOutcome : std::uint8_t {
  Pending,       // under way
  Confirmed,     // a write whose data block the controller acknowledged
  NotConfirmed,  // a write that ended without that
  ValueRead,     // a read; `value` is what came back
  Failed,        // a read that ended without a value
};

// One command of the operator, at the time of the click.
struct CommandMarker {
  std::int64_t t = 0;  // ms since the start
  CommandKind kind = CommandKind::Write;
  CommandOutcome outcome = CommandOutcome::Pending;
  char reg[8] = {};    // "R2000" (at most "R177776")
  char value[6] = {};  // four hex digits: the value written, or read

  std::string_view regText() const { return reg; }
  std::string_view valueText() const { return value; }
};

// One line of the recording, as the files have it: the state after it, and what
// happened there.
struct TimelineRow {
  enum class Event { None, NotLive, LiveAgain, Command, RegisterNotLive, RegisterLiveAgain };
  std::int64_t t = 0;   // ms since the start
  Outputs outputs = 0;  // meaningful only when `known`
  bool known = false;   // false before the first poll reply
  bool live = false;
  Event event = Event::None;
  const CommandMarker* command = nullptr;  // for Event::Command
  unsigned reg = 0;                        // for Event::RegisterNotLive and RegisterLiveAgain
  // The registers' states after the row, one per column in the columns' order
  // (see setColumns() and forEachRow()); none when there are no columns.
  const std::vector<RegisterCell>* cells = nullptr;
};

class Recorder {
 public:
  struct Limits {
    std::size_t changes = 24 * 3600 * 5;  // 24 hours at five changes a second
    std::size_t spans = 24 * 3600;        // span starts are at least 1 s apart (a reply lies between)
    std::size_t markers = 24 * 3600;      // one command a second for 24 hours
    std::size_t registerChanges = RegisterHistory::kDefaultLimit;  // changes and spans of all registers
  };
  // The state during some stretch of time: Qi was high at some moment if bit i of
  // `any` is set, and all the time if bit i of `all` is.
  struct Held {
    bool known = false;  // false when the stretch lies before the first change kept
    Outputs any = 0;
    Outputs all = 0;
  };
  using Listener = std::function<void(const TimelineRow&)>;

  // `startMs` on the same clock as every later time; `startEpochMs`, the wall
  // clock at that moment, is kept for whoever shows clock times.
  Recorder(std::int64_t startMs, std::int64_t startEpochMs, Limits limits);
  Recorder(std::int64_t startMs, std::int64_t startEpochMs) : Recorder(startMs, startEpochMs, Limits{}) {}

  // A poll reply set the lamps to `outputs`.
  void sample(std::int64_t now, Outputs outputs);
  // Time has passed: opens the not-live span once 1 s has gone by without a sample.
  void advance(std::int64_t now);
  void commandStarted(std::int64_t now, CommandKind kind, std::string_view reg, std::string_view value);
  // Settles a pending command; `value` is the value read. Commands end in the
  // order they were clicked, so the oldest pending one, unless `newest` (a
  // command that waited for its turn and was replaced by the next click).
  void commandEnded(CommandOutcome outcome, std::string_view value = {}, bool newest = false);

  // A good read of `count` registers from `reg` on (a pair is read whole: both
  // words at once), `words[i]` the value of register reg + i.
  void registersRead(std::int64_t now, unsigned reg, const std::uint16_t* words, std::size_t count);
  // Registers reg .. reg + count - 1 are not live from now on: their read failed, or they are no longer read.
  void registersLost(std::int64_t now, unsigned reg, std::size_t count);

  // Sees each change, "not live" and "live again" as it is recorded (commands are
  // not streamed: their outcome comes later), register changes included.
  void setListener(Listener listener) { listener_ = std::move(listener); }
  // The registers whose cells the listener's rows carry, in this order.
  void setColumns(std::vector<unsigned> columns);
  const std::vector<unsigned>& columns() const { return columns_; }
  // The cells of the columns now, as the last row streamed had them.
  const std::vector<RegisterCell>& currentCells();

  std::int64_t elapsed(std::int64_t now) const { return now - startMs_; }
  std::int64_t startEpochMs() const { return startEpochMs_; }

  const std::deque<OutputChange>& changes() const { return changes_; }
  const std::deque<NotLiveSpan>& spans() const { return spans_; }
  const std::deque<CommandMarker>& markers() const { return markers_; }
  // The not-live span still open at `t` (ms since the start), whether advance()
  // has opened it yet or not.
  std::optional<NotLiveSpan> openSpan(std::int64_t t) const;
  // What was dropped to keep within the limits.
  std::size_t droppedChanges() const { return droppedChanges_; }

  // The outputs at `t`, if a change at or before it is kept.
  std::optional<Outputs> outputsAt(std::int64_t t) const;
  bool liveAt(std::int64_t t) const;
  // The states held during [from, to): a binary search and a pass over summaries
  // of 64 changes each, so that one pixel column of a day's history costs
  // little more than a column of a minute's.
  Held heldDuring(std::int64_t from, std::int64_t to) const;

  const RegisterHistory& registers() const { return registers_; }

  // The whole recording up to `now`, in time order (the rows of a CSV file), each
  // row with the cells of the registers in `columns`; a change of registers is a row of its own.
  void forEachRow(std::int64_t now, const std::vector<unsigned>& columns,
                  const std::function<void(const TimelineRow&)>& visit) const;
  void forEachRow(std::int64_t now, const std::function<void(const TimelineRow&)>& visit) const {
    forEachRow(now, {}, visit);
  }

 private:
  static constexpr std::size_t kBlock = 64;
  struct Summary {
    Outputs any = 0;
    Outputs all = 0xFF;
  };

  void pushChange(std::int64_t t, Outputs outputs);
  void dropOldestChange();
  void notify(std::int64_t t, TimelineRow::Event event, unsigned reg = 0, bool fromRegisters = false);
  // Summary of the kept changes with indices [a, b) into changes_.
  Summary summarise(std::size_t a, std::size_t b) const;

  std::int64_t startMs_;
  std::int64_t startEpochMs_;
  Limits limits_;
  std::deque<OutputChange> changes_;
  std::deque<Summary> blocks_;      // block k covers absolute change indices [64k, 64k + 64)
  std::size_t droppedChanges_ = 0;  // absolute index of changes_.front()
  std::size_t droppedBlocks_ = 0;   // block number of blocks_.front()
  std::deque<NotLiveSpan> spans_;
  std::deque<CommandMarker> markers_;
  std::optional<std::int64_t> lastSample_;  // ms since the start
  Listener listener_;
  RegisterHistory registers_;
  std::vector<unsigned> columns_;
  std::vector<RegisterCell> cells_;  // of columns_, for the rows streamed
};

}  // namespace varnak
