// The register watch's rows, and the order in which the link control reads and
// writes them between its own exchanges.
//
//   the window's edits ──> WatchList ──> nextJob(now) ──> the link control
//   the link control ──> jobEnded(job, result, now) ──> the row's value and status
//
// One register per exchange. A row write goes first (its second register next
// for a pair format), then its read-back; otherwise the rows are read in turn,
// round robin. A pair format takes three reads so that it never shows words of
// two different moments: its high word, its low word, its high word again (the
// high word moves only at a carry, so a fast counter's low word does not make
// every round read again). When the high word changed in between, the pair is read once more;
// when it changes again, the row keeps the last value that was read whole and
// says so. A failed read marks its row and the list goes on with the next row;
// the row keeps its last good value and is read again in the next round. A
// write's outcome ("written", "not written: refused", ...) stays in the row's
// status until its value changes or a read fails.
//
// Only the job handed out last counts when it ends; nextJob() asked again before
// it ended hands out what the list wants then (the same job, unless a write came).
//
// Pure: no Qt, no clock. Times are milliseconds on the link control's clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/list_source.h"
#include "link/words.h"
#include "watch/register_format.h"
#include "watch/watch_file.h"

namespace varnak {

// How long a row counts as changed after its value changed.
constexpr std::int64_t kChangeMarkMs = 2000;
// The longest name a row keeps, in code points; a longer one is cut there.
constexpr std::size_t kMaxNameChars = 200;
// The context of the list's texts.
inline constexpr const char* kWatchListContext = "WatchList";

enum class RowStatus {
  NotReadYet,
  Ok,                     // the last read gave a whole value
  ReadFailed,             // `failure` says why; the last good value stays
  Torn,                   // a pair kept changing while read: the last whole value stays
  Written,                // the last write was confirmed, and reads give the value written
  WrittenReadsOther,      // confirmed, but the read-back gave another value
  WrittenReadBackFailed,  // confirmed; the read-back failed (`failure`)
  WriteFailed,            // nothing written (`failure`)
  HalfWritten,            // a pair: the register named written, the next one not (`failure`)
  Writing,                // a row write asked for, not yet confirmed
};

// Empty for Ok; "no reply", "written", "not written: no reply", ... for the rest.
std::string RowStatusText(RowStatus status, Failure failure, RegisterFormat format, Translate lang = English);

struct WatchRow {
  WatchEntry entry;
  std::uint64_t id = 0;  // stable while the row exists, unique in the list's life
  // The last good value: `first` from the register named, `second` from the next (pairs only).
  bool known = false;
  std::uint16_t first = 0;
  std::uint16_t second = 0;
  std::int64_t readAt = 0;                // when the last good read ended (when `known`)
  std::optional<std::int64_t> changedAt;  // when the value last changed (its first value is no change)
  RowStatus status = RowStatus::NotReadYet;
  Failure failure = Failure::NoReply;
  // The words of the last confirmed row write, for "written" to stand while the reads agree.
  std::uint16_t writtenFirst = 0;
  std::uint16_t writtenSecond = 0;
  // Grows whenever anything the row shows changes, so a view redraws only changed rows.
  std::uint64_t revision = 0;
};

// What the list learnt of its registers, for a recording of them over time.
struct ListReport {
  enum class Kind {
    Read,     // a whole value read: `words`
    Failed,   // a read of the row failed
    NotRead,  // no row reads the registers any more (removed, narrowed, or the list stopped)
  };
  Kind kind = Kind::Read;
  unsigned reg = 0;             // the first register
  unsigned count = 1;           // registers reg .. reg + count - 1
  std::uint16_t words[2] = {};  // Read: the values of reg and reg + 1
};

class WatchList : public ListSource {
 public:
  WatchList() = default;

  // Told of every whole value read, every failed read, and registers no longer read.
  void setReporter(std::function<void(const ListReport&)> reporter) { reporter_ = std::move(reporter); }

  // Editing. Each returns why it refused, in the operator's language by `lang`,
  // or an empty text when done; a refused edit changes nothing.
  //
  // A row at the end. Refused: a register already in the list, one above 77777,
  // a pair format whose next register would lie above 77777, a full list.
  std::string add(unsigned reg, RegisterFormat format = RegisterFormat::Hex, const std::string& name = {},
                  Translate lang = English);
  // The register as typed ("R1000", "1000", octal), then as add().
  std::string addTyped(std::string_view typed, RegisterFormat format = RegisterFormat::Hex,
                       Translate lang = English);
  // What add() and addTyped() would say, changing nothing; `reg` gets the register when all is well.
  std::string checkAdd(unsigned reg, RegisterFormat format, Translate lang = English) const;
  std::string checkTyped(std::string_view typed, RegisterFormat format, unsigned* reg,
                         Translate lang = English) const;
  // Removes rows by index (any order, duplicates and indices past the end ignored).
  void remove(std::vector<std::size_t> rows);
  void rename(std::size_t row, const std::string& name);
  // Refused when a pair would run past 77777. Between one- and two-register
  // formats the value is read anew and a row write not yet started is dropped.
  std::string setFormat(std::size_t row, RegisterFormat format, Translate lang = English);
  // A value typed in the row's format ("-2" in a signed row is FFFE; a pair
  // format writes both registers), written before any further read, then read
  // back. Refused when ParseValue refuses it. A second write of the same row
  // before the first began replaces it.
  std::string write(std::size_t row, std::string_view typed, Translate lang = English);
  // Every row replaced by `entries`, values unknown; refused whole (the list
  // unchanged) as add() would refuse one of them, naming the row's place in `entries` (from 1).
  std::string replaceAll(const std::vector<WatchEntry>& entries, Translate lang = English);
  // What replaceAll() would say, changing nothing.
  std::string checkAll(const std::vector<WatchEntry>& entries, Translate lang = English) const;
  // The rows as a file holds them.
  std::vector<WatchEntry> entries() const;

  // Reading goes on only while active (the window is open). Inactive, a row
  // write already asked for still goes out, with its read-back.
  void setActive(bool active);
  bool active() const { return active_; }
  // Whether nextJob() would hand out a job now: when this turns true, the link
  // control is told so that an idle line starts at once.
  bool hasWork() const;

  std::size_t size() const { return rows_.size(); }
  const WatchRow& row(std::size_t i) const { return rows_[i]; }
  // The row's index, or none.
  std::optional<std::size_t> indexOf(std::uint64_t id) const;
  std::optional<std::size_t> indexOfRegister(unsigned reg) const;
  // Whether the row's value changed less than kChangeMarkMs before `now`.
  bool changedRecently(std::size_t i, std::int64_t now) const;
  // The value in the row's format, empty until a good read.
  std::string valueText(std::size_t i) const;
  // Empty while all is well; "no reply", "written", ...
  std::string statusText(std::size_t i, Translate lang = English) const;
  // Grows whenever rows are added, removed or replaced.
  std::uint64_t layoutRevision() const { return layoutRevision_; }

  std::optional<ListJob> nextJob(std::int64_t now) override;
  void jobEnded(const ListJob& job, const ListResult& result, std::int64_t now) override;

 private:
  // The reads of one row under way: one job for a single register, three (or
  // six, when read again) for a pair.
  struct ReadRun {
    std::uint64_t rowId = 0;
    bool pair = false;
    int step = 0;              // pair: 0 its high word, 1 its low word, 2 its high word again
    bool again = false;        // a pair being read the second time
    bool readBack = false;     // the read-back after a row write: not a round robin turn
    std::uint16_t first = 0;   // pair: the high word as read
    std::uint16_t second = 0;  // pair: the low word
  };
  // A row write under way.
  struct WriteRun {
    std::uint64_t rowId = 0;
    unsigned reg = 0;
    bool pair = false;
    int step = 0;  // 0 the register named, 1 the next (pairs)
    std::uint16_t first = 0;
    std::uint16_t second = 0;
  };
  struct PendingWrite {
    std::uint64_t rowId = 0;
    std::uint16_t first = 0;
    std::uint16_t second = 0;
  };
  // What a row write left, for its read-back to complete.
  struct WriteOutcome {
    std::uint64_t rowId = 0;
    bool whole = false;  // every register written
    std::uint16_t first = 0;
    std::uint16_t second = 0;
    Failure failure = Failure::NoReply;  // when not whole
  };

  WatchRow* find(std::uint64_t id);
  // The registers the rows read (none while inactive), ascending.
  std::vector<unsigned> covered() const;
  // Tells the reporter of the registers in `before` that are no longer covered.
  void reportDropped(const std::vector<unsigned>& before);
  void report(ListReport::Kind kind, const WatchRow& row);
  void touch(WatchRow& row) { ++row.revision; }
  std::optional<ListJob> jobOf(const ReadRun& run) const;
  void readEnded(const ListResult& result, std::int64_t now);
  void writeEnded(const ListResult& result);
  // The row's read is over (whole, failed or torn): the next row's turn.
  void finishRead();
  // Whether a write of the row waits or runs: its status says "writing…" until it ends.
  bool writeAhead(std::uint64_t id) const;
  void setGood(WatchRow& row, std::uint16_t first, std::uint16_t second, std::int64_t now);
  void startReadBack(std::uint64_t rowId);
  std::string checkNew(unsigned reg, RegisterFormat format, const std::vector<WatchEntry>* others,
                       Translate lang) const;

  std::vector<WatchRow> rows_;
  std::uint64_t nextId_ = 1;
  std::uint64_t layoutRevision_ = 0;
  std::size_t turn_ = 0;  // the row whose round robin read comes next
  bool active_ = true;
  std::deque<PendingWrite> pending_;  // at most one for each row
  std::optional<WriteRun> writing_;
  std::optional<WriteOutcome> written_;  // the write whose read-back runs now
  std::optional<ReadRun> reading_;
  std::optional<ListJob> handedOut_;  // the job nextJob() gave last, until it ends
  std::function<void(const ListReport&)> reporter_;
};

}  // namespace varnak
