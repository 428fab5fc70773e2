#include "recorder.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "control/link_health.h"

namespace varnak {

namespace {

// The lamps' own rule, so that the chart greys out exactly what the window dimmed.
constexpr std::int64_t kNotLiveAfterMs = LinkHealth::kStaleAfterMs;

template <std::size_t N>
void CopyText(char (&to)[N], std::string_view from) {
  const std::size_t n = std::min(from.size(), N - 1);
  std::memcpy(to, from.data(), n);
  to[n] = '\0';
}

}  // namespace

Recorder::Recorder(std::int64_t startMs, std::int64_t startEpochMs, Limits limits)
    : startMs_(startMs), startEpochMs_(startEpochMs), limits_(limits), registers_(limits.registerChanges) {
  limits_.changes = std::max<std::size_t>(limits_.changes, 1);
  limits_.spans = std::max<std::size_t>(limits_.spans, 1);
  limits_.markers = std::max<std::size_t>(limits_.markers, 1);
}

void Recorder::sample(std::int64_t now, Outputs outputs) {
  const std::int64_t t = std::max<std::int64_t>(elapsed(now), lastSample_.value_or(0));
  // A reply that comes exactly as the outputs would go stale keeps them live:
  // a span of no length would only put "not live" after "live again".
  if (!lastSample_ || t - *lastSample_ > kNotLiveAfterMs) advance(now);
  const bool wasNotLive = !spans_.empty() && spans_.back().end == NotLiveSpan::kOpen;
  if (wasNotLive) spans_.back().end = t;
  const bool changed = changes_.empty() || changes_.back().outputs() != outputs;
  if (changed) pushChange(t, outputs);
  lastSample_ = t;
  if (wasNotLive) {
    notify(t, TimelineRow::Event::LiveAgain);
  } else if (changed) {
    notify(t, TimelineRow::Event::None);
  }
}

void Recorder::advance(std::int64_t now) {
  if (!lastSample_ || elapsed(now) - *lastSample_ < kNotLiveAfterMs) return;
  if (!spans_.empty() && spans_.back().end == NotLiveSpan::kOpen) return;
  const std::int64_t begin = *lastSample_ + kNotLiveAfterMs;
  if (spans_.size() >= limits_.spans) spans_.pop_front();
  spans_.push_back({begin, NotLiveSpan::kOpen});
  notify(begin, TimelineRow::Event::NotLive);
}

void Recorder::commandStarted(std::int64_t now, CommandKind kind, std::string_view reg,
                              std::string_view value) {
  if (markers_.size() >= limits_.markers) markers_.pop_front();
  CommandMarker m;
  m.t = std::max<std::int64_t>(elapsed(now), markers_.empty() ? 0 : markers_.back().t);
  m.kind = kind;
  CopyText(m.reg, reg);
  CopyText(m.value, value);
  markers_.push_back(m);
}

void Recorder::commandEnded(CommandOutcome outcome, std::string_view value, bool newest) {
  // At most one command runs and one waits, but clicks that replaced the waiting
  // one may lie between them: look back a generous stretch.
  constexpr std::size_t kLookBack = 64;
  CommandMarker* m = nullptr;
  const std::size_t n = markers_.size();
  for (std::size_t i = n > kLookBack ? n - kLookBack : 0; i < n; ++i) {
    if (markers_[i].outcome != CommandOutcome::Pending) continue;
    m = &markers_[i];
    if (!newest) break;
  }
  if (!m) return;
  m->outcome = outcome;
  if (!value.empty()) CopyText(m->value, value);
}

void Recorder::registersRead(std::int64_t now, unsigned reg, const std::uint16_t* words, std::size_t count) {
  const std::int64_t t = std::max<std::int64_t>(elapsed(now), 0);
  bool changed = false;
  std::optional<unsigned> liveAgain;
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned r = reg + static_cast<unsigned>(i);
    const bool wasLive = registers_.last(r).live || !registers_.last(r).known;
    if (!registers_.read(t, r, words[i])) continue;
    changed = true;
    if (!wasLive && !liveAgain) liveAgain = r;
  }
  if (!changed) return;
  if (liveAgain) {
    notify(t, TimelineRow::Event::RegisterLiveAgain, *liveAgain, true);
  } else {
    notify(t, TimelineRow::Event::None, 0, true);
  }
}

void Recorder::registersLost(std::int64_t now, unsigned reg, std::size_t count) {
  const std::int64_t t = std::max<std::int64_t>(elapsed(now), 0);
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned r = reg + static_cast<unsigned>(i);
    if (registers_.lost(t, r)) notify(t, TimelineRow::Event::RegisterNotLive, r, true);
  }
}

void Recorder::setColumns(std::vector<unsigned> columns) {
  columns_ = std::move(columns);
  cells_.assign(columns_.size(), RegisterCell{});
}

const std::vector<RegisterCell>& Recorder::currentCells() {
  for (std::size_t i = 0; i < columns_.size(); ++i) cells_[i] = registers_.last(columns_[i]);
  return cells_;
}

void Recorder::notify(std::int64_t t, TimelineRow::Event event, unsigned reg, bool fromRegisters) {
  if (!listener_) return;
  TimelineRow row;
  row.t = t;
  row.reg = reg;
  if (!columns_.empty()) row.cells = &currentCells();
  row.known = !changes_.empty();
  row.outputs = row.known ? changes_.back().outputs() : 0;
  // A register's row says whether the outputs were live then; the outputs' own rows know.
  row.live = fromRegisters ? liveAt(t) : event != TimelineRow::Event::NotLive;
  row.event = event;
  listener_(row);
}

void Recorder::pushChange(std::int64_t t, Outputs outputs) {
  const std::size_t index = droppedChanges_ + changes_.size();
  if (index % kBlock == 0) blocks_.push_back(Summary{});
  blocks_.back().any |= outputs;
  blocks_.back().all &= outputs;
  changes_.emplace_back(t, outputs);
  if (changes_.size() > limits_.changes) dropOldestChange();
}

void Recorder::dropOldestChange() {
  changes_.pop_front();
  ++droppedChanges_;
  if (droppedChanges_ % kBlock == 0) {
    blocks_.pop_front();
    ++droppedBlocks_;
  }
  // What happened before the oldest change kept goes with it.
  const std::int64_t first = changes_.front().t();
  while (!markers_.empty() && markers_.front().t < first) markers_.pop_front();
  while (!spans_.empty() && spans_.front().end < first) spans_.pop_front();
}

std::optional<NotLiveSpan> Recorder::openSpan(std::int64_t t) const {
  if (!spans_.empty() && spans_.back().end == NotLiveSpan::kOpen) return spans_.back();
  if (lastSample_ && t - *lastSample_ >= kNotLiveAfterMs)
    return NotLiveSpan{*lastSample_ + kNotLiveAfterMs, NotLiveSpan::kOpen};
  return std::nullopt;
}

std::optional<Outputs> Recorder::outputsAt(std::int64_t t) const {
  const auto it = std::upper_bound(changes_.begin(), changes_.end(), t,
                                   [](std::int64_t v, const OutputChange& c) { return v < c.t(); });
  if (it == changes_.begin()) return std::nullopt;
  return std::prev(it)->outputs();
}

bool Recorder::liveAt(std::int64_t t) const {
  if (changes_.empty() || t < changes_.front().t()) return false;
  if (const auto open = openSpan(t); open && t >= open->begin) return false;
  const auto it = std::upper_bound(spans_.begin(), spans_.end(), t,
                                   [](std::int64_t v, const NotLiveSpan& s) { return v < s.begin; });
  return it == spans_.begin() || t >= std::prev(it)->end;
}

Recorder::Held Recorder::heldDuring(std::int64_t from, std::int64_t to) const {
  const auto byTime = [](const OutputChange& c, std::int64_t v) { return c.t() < v; };
  const auto after = std::upper_bound(changes_.begin(), changes_.end(), from,
                                      [](std::int64_t v, const OutputChange& c) { return v < c.t(); });
  const std::size_t a =
      after == changes_.begin() ? 0 : static_cast<std::size_t>(after - changes_.begin()) - 1;
  const std::size_t b = static_cast<std::size_t>(
      std::lower_bound(changes_.begin(), changes_.end(), to, byTime) - changes_.begin());
  if (b <= a) return {};
  const Summary s = summarise(a, b);
  return {true, s.any, s.all};
}

Recorder::Summary Recorder::summarise(std::size_t a, std::size_t b) const {
  Summary s;
  const auto fold = [&s](Outputs q) {
    s.any |= q;
    s.all &= q;
  };
  std::size_t i = a + droppedChanges_;
  const std::size_t end = b + droppedChanges_;
  for (; i < end && i % kBlock != 0; ++i) fold(changes_[i - droppedChanges_].outputs());
  for (; i + kBlock <= end; i += kBlock) {
    const Summary& block = blocks_[i / kBlock - droppedBlocks_];
    s.any |= block.any;
    s.all &= block.all;
  }
  for (; i < end; ++i) fold(changes_[i - droppedChanges_].outputs());
  return s;
}

}  // namespace varnak
