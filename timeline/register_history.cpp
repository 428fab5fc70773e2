#include "register_history.h"

#include <algorithm>

namespace varnak {

namespace {

bool Open(const RegisterHistory::Series& s) {
  return !s.spans.empty() && s.spans.back().end == NotLiveSpan::kOpen;
}

std::size_t IndexAfter(const std::deque<RegisterChange>& changes, std::int64_t t) {
  return static_cast<std::size_t>(
      std::upper_bound(changes.begin(), changes.end(), t,
                       [](std::int64_t v, const RegisterChange& c) { return v < c.t(); }) -
      changes.begin());
}

std::size_t IndexFrom(const std::deque<RegisterChange>& changes, std::int64_t t) {
  return static_cast<std::size_t>(
      std::lower_bound(changes.begin(), changes.end(), t,
                       [](const RegisterChange& c, std::int64_t v) { return c.t() < v; }) -
      changes.begin());
}

}  // namespace

RegisterHistory::RegisterHistory(std::size_t limit) : limit_(std::max<std::size_t>(limit, 1)) {}

std::int64_t RegisterHistory::Oldest(const Series& s) {
  std::int64_t t = INT64_MAX;
  if (!s.changes.empty()) t = s.changes.front().t();
  if (!s.spans.empty()) t = std::min(t, s.spans.front().begin);
  return t;
}

bool RegisterHistory::read(std::int64_t t, unsigned reg, std::uint16_t value) {
  Series& s = series_[reg];
  const bool wasEmpty = s.changes.empty() && s.spans.empty();
  if (!s.changes.empty()) t = std::max(t, s.changes.back().t());
  bool changed = false;
  if (Open(s)) {
    s.spans.back().end = std::max(t, s.spans.back().begin);
    changed = true;
  }
  if (s.changes.empty() || s.changes.back().value() != value) {
    s.changes.emplace_back(t, value);
    ++size_;
    changed = true;
  }
  if (!changed) return false;
  grew(reg, s, wasEmpty);
  return true;
}

bool RegisterHistory::lost(std::int64_t t, unsigned reg) {
  const auto it = series_.find(reg);
  if (it == series_.end() || it->second.changes.empty() || Open(it->second)) return false;
  Series& s = it->second;
  t = std::max(t, s.changes.back().t());
  if (!s.spans.empty()) t = std::max(t, s.spans.back().end);
  s.spans.push_back({t, NotLiveSpan::kOpen});
  ++size_;
  grew(reg, s, false);
  return true;
}

void RegisterHistory::grew(unsigned reg, const Series& s, bool wasEmpty) {
  // Appending never moves a series' oldest entry: only a new series takes its place in the order.
  if (wasEmpty) byOldest_.insert({Oldest(s), reg});
  while (size_ > limit_) dropOldest();
}

void RegisterHistory::dropOldest() {
  const auto first = byOldest_.begin();
  const unsigned reg = first->second;
  byOldest_.erase(first);
  Series& s = series_[reg];
  const bool spanFirst =
      !s.spans.empty() && (s.changes.empty() || s.spans.front().begin < s.changes.front().t());
  if (spanFirst) {
    s.spans.pop_front();
  } else {
    s.changes.pop_front();
  }
  --size_;
  ++dropped_;
  // A span that ended by the oldest change kept says nothing any more: before it nothing is known.
  if (!s.changes.empty()) {
    while (!s.spans.empty() && s.spans.front().end <= s.changes.front().t()) {
      s.spans.pop_front();
      --size_;
      ++dropped_;
    }
  } else {
    dropped_ += s.spans.size();
    size_ -= s.spans.size();
    s.spans.clear();
  }
  if (s.changes.empty()) {
    series_.erase(reg);
    return;
  }
  byOldest_.insert({Oldest(s), reg});
}

const RegisterHistory::Series* RegisterHistory::series(unsigned reg) const {
  const auto it = series_.find(reg);
  return it == series_.end() ? nullptr : &it->second;
}

std::vector<unsigned> RegisterHistory::registers() const {
  std::vector<unsigned> out;
  out.reserve(series_.size());
  for (const auto& [reg, s] : series_) out.push_back(reg);
  return out;
}

RegisterCell RegisterHistory::at(unsigned reg, std::int64_t t) const {
  const Series* s = series(reg);
  if (!s) return {};
  const std::size_t i = IndexAfter(s->changes, t);
  if (i == 0) return {};
  RegisterCell cell{true, true, s->changes[i - 1].value()};
  const auto span = std::upper_bound(s->spans.begin(), s->spans.end(), t,
                                     [](std::int64_t v, const NotLiveSpan& n) { return v < n.begin; });
  if (span != s->spans.begin() && t < std::prev(span)->end) cell.live = false;
  return cell;
}

RegisterCell RegisterHistory::last(unsigned reg) const {
  const Series* s = series(reg);
  if (!s || s->changes.empty()) return {};
  return {true, !Open(*s), s->changes.back().value()};
}

RegisterHistory::Crossings RegisterHistory::crossingsDuring(unsigned reg, std::int64_t from,
                                                            std::int64_t to) const {
  const Series* s = series(reg);
  if (!s || to <= from) return {};
  // The first change kept is where the register becomes known, not a crossing.
  const std::size_t a = std::max<std::size_t>(IndexFrom(s->changes, from), 1);
  const std::size_t b = IndexFrom(s->changes, to);
  if (b <= a) return {};
  return {b - a >= 2 ? 2 : 1, s->changes[a].t()};
}

RegisterHistory::Walk::Walk(const RegisterHistory& history, unsigned reg, std::int64_t from) {
  if (const Series* s = history.series(reg)) {
    changes_ = &s->changes;
    at_ = IndexFrom(s->changes, from);
  }
}

RegisterHistory::Crossings RegisterHistory::Walk::until(std::int64_t to) {
  if (!changes_) return {};
  const std::deque<RegisterChange>& c = *changes_;
  const std::size_t n = c.size();
  // Gallop to a change at or after `to`, then search the last stride.
  std::size_t lo = at_, step = 1;
  while (lo + step <= n && c[lo + step - 1].t() < to) {
    lo += step;
    step *= 2;
  }
  const auto first = c.begin() + static_cast<std::ptrdiff_t>(lo);
  const auto last = c.begin() + static_cast<std::ptrdiff_t>(std::min(n, lo + step - 1));
  const std::size_t b = static_cast<std::size_t>(
      std::lower_bound(first, last, to, [](const RegisterChange& x, std::int64_t v) { return x.t() < v; }) -
      c.begin());
  const std::size_t a = std::max<std::size_t>(at_, 1);
  at_ = b;
  if (b <= a) return {};
  return {b - a >= 2 ? 2 : 1, c[a].t()};
}

std::optional<std::int64_t> RegisterHistory::firstKnown(unsigned reg) const {
  const Series* s = series(reg);
  if (!s || s->changes.empty()) return std::nullopt;
  return s->changes.front().t();
}

}  // namespace varnak
