// What the watched registers did over time: for each register its value
// changes and the spans in which it was not live (its reads failed, or it was
// no longer read), beside the outputs' recording and on its time axis.
//
//   a good read  ──> read()  ──> a change (only when the value differs), and the end of a span
//   a failed read, or the register no longer read ──> lost() ──> a span not live begins
//
// One bound covers every register's changes and spans together; the oldest of
// all goes first. Times are milliseconds since the recording's start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "timeline/not_live_span.h"

namespace varnak {

// One change of one register, packed into 8 bytes: 48 bits of time, 16 of value.
class RegisterChange {
 public:
  RegisterChange(std::int64_t t, std::uint16_t value)
      : packed_((static_cast<std::uint64_t>(t) << 16) | value) {}
  std::int64_t t() const { return static_cast<std::int64_t>(packed_ >> 16); }  // ms since the start
  std::uint16_t value() const { return static_cast<std::uint16_t>(packed_ & 0xFFFF); }

 private:
  std::uint64_t packed_;
};

// A register's value at some moment.
struct RegisterCell {
  bool known = false;  // false before its first good read kept
  bool live = false;   // read well then (its last read succeeded, and it is read)
  std::uint16_t value = 0;
};

class RegisterHistory {
 public:
  // 20 registers changing once a second for 24 hours.
  static constexpr std::size_t kDefaultLimit = 20 * 24 * 3600;

  struct Series {
    std::deque<RegisterChange> changes;
    std::deque<NotLiveSpan> spans;  // the last one open (end kOpen) while not live
  };

  explicit RegisterHistory(std::size_t limit = kDefaultLimit);

  // A good read of `reg` gave `value` at `t`; true when that changed what is
  // recorded (a new value, or the end of a span not live).
  bool read(std::int64_t t, unsigned reg, std::uint16_t value);
  // From `t` on, `reg` is not live (its read failed, or it is no longer read);
  // true when that opened a span. Nothing is recorded before its first good read.
  bool lost(std::int64_t t, unsigned reg);

  // The register's history, or none when nothing of it is kept.
  const Series* series(unsigned reg) const;
  // Every register with something kept, ascending.
  std::vector<unsigned> registers() const;
  // Changes and spans kept, of all registers together, and how many were dropped.
  std::size_t size() const { return size_; }
  std::size_t dropped() const { return dropped_; }
  std::size_t limit() const { return limit_; }

  RegisterCell at(unsigned reg, std::int64_t t) const;
  // The newest state, as read() and lost() left it.
  RegisterCell last(unsigned reg) const;
  // The value changes of `reg` within [from, to): how many (0, 1, or 2 for two or
  // more), and the time of the first. Two binary searches, however many changes
  // the stretch holds, so that a pixel column of a day costs what one of a minute does.
  struct Crossings {
    int count = 0;
    std::int64_t first = 0;
  };
  Crossings crossingsDuring(unsigned reg, std::int64_t from, std::int64_t to) const;
  // The same for consecutive stretches [from, t1), [t1, t2), ... of one register,
  // as the pixel columns of a screen are: each step gallops on from where the
  // last one ended, so that a screen costs a few steps a column.
  class Walk {
   public:
    Walk(const RegisterHistory& history, unsigned reg, std::int64_t from);
    // The changes from the end of the last stretch (or `from`) until `to`.
    Crossings until(std::int64_t to);

   private:
    const std::deque<RegisterChange>* changes_ = nullptr;
    std::size_t at_ = 0;  // the first change at or after the stretch's start
  };
  // The time of the first change kept of `reg` (it is not known before), if any.
  std::optional<std::int64_t> firstKnown(unsigned reg) const;

 private:
  // The oldest time a series holds, for the bound's order.
  static std::int64_t Oldest(const Series& s);
  void grew(unsigned reg, const Series& s, bool wasEmpty);
  void dropOldest();

  std::size_t limit_;
  std::map<unsigned, Series> series_;
  // Every non-empty series by its oldest entry: the bound drops from the first.
  std::set<std::pair<std::int64_t, unsigned>> byOldest_;
  std::size_t size_ = 0;
  std::size_t dropped_ = 0;
};

}  // namespace varnak
