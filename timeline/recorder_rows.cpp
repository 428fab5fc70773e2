// The recording as rows in time order: the outputs' changes, the spans not live,
// the commands, and the registers' changes and spans, merged.
#include <algorithm>
#include <vector>

#include "timeline/recorder.h"

namespace varnak {

void Recorder::forEachRow(std::int64_t now, const std::vector<unsigned>& columns,
                          const std::function<void(const TimelineRow&)>& visit) const {
  // At one moment: the outputs first, then the registers column by column (a
  // span's end before the change the same read brought), then the commands.
  enum Rank : std::uint8_t { kChange, kSpanEnd, kSpanBegin, kRegister, kCommand };
  enum Sub : std::uint8_t { kRegSpanEnd, kRegChange, kRegSpanBegin };
  struct Item {
    std::int64_t t;
    std::uint32_t index;
    std::uint16_t column;
    Rank rank;
    Sub sub;
  };
  const std::int64_t end = elapsed(now);
  std::vector<Item> items;
  std::size_t registerItems = 0;
  for (unsigned reg : columns)
    if (const auto* s = registers_.series(reg)) registerItems += s->changes.size() + 2 * s->spans.size();
  items.reserve(changes_.size() + 2 * spans_.size() + markers_.size() + 1 + registerItems);
  const auto add = [&items](std::int64_t t, Rank rank, std::size_t index, std::size_t column = 0,
                            Sub sub = kRegChange) {
    items.push_back({t, static_cast<std::uint32_t>(index), static_cast<std::uint16_t>(column), rank, sub});
  };
  for (std::size_t i = 0; i < changes_.size(); ++i) add(changes_[i].t(), kChange, i);
  for (std::size_t i = 0; i < spans_.size(); ++i) {
    if (spans_[i].end == spans_[i].begin) continue;  // opened and ended by the same reply
    add(spans_[i].begin, kSpanBegin, i);
    if (spans_[i].end != NotLiveSpan::kOpen) add(spans_[i].end, kSpanEnd, i);
  }
  const auto open = openSpan(end);
  if (open && (spans_.empty() || spans_.back().end != NotLiveSpan::kOpen))
    add(open->begin, kSpanBegin, spans_.size());
  for (std::size_t i = 0; i < markers_.size(); ++i) add(markers_[i].t, kCommand, i);
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const RegisterHistory::Series* s = registers_.series(columns[c]);
    if (!s) continue;
    for (std::size_t i = 0; i < s->changes.size(); ++i)
      if (s->changes[i].t() <= end) add(s->changes[i].t(), kRegister, i, c, kRegChange);
    for (std::size_t i = 0; i < s->spans.size(); ++i) {
      const NotLiveSpan& span = s->spans[i];
      if (span.end == span.begin || span.begin > end) continue;
      add(span.begin, kRegister, i, c, kRegSpanBegin);
      if (span.end != NotLiveSpan::kOpen && span.end <= end) add(span.end, kRegister, i, c, kRegSpanEnd);
    }
  }
  std::stable_sort(items.begin(), items.end(), [](const Item& x, const Item& y) {
    if (x.t != y.t) return x.t < y.t;
    if (x.rank != y.rank) return x.rank < y.rank;
    if (x.column != y.column) return x.column < y.column;
    return x.sub < y.sub;
  });

  std::vector<RegisterCell> cells(columns.size());
  const auto changeCell = [&](const Item& item) {
    RegisterCell& cell = cells[item.column];
    cell.known = true;
    cell.live = true;
    cell.value = registers_.series(columns[item.column])->changes[item.index].value();
  };
  TimelineRow row;
  row.cells = columns.empty() ? nullptr : &cells;
  for (std::size_t k = 0; k < items.size(); ++k) {
    const Item& item = items[k];
    row.t = item.t;
    row.command = nullptr;
    row.reg = 0;
    switch (item.rank) {
      case kChange:
        row.outputs = changes_[item.index].outputs();
        row.known = true;
        row.live = true;
        row.event = TimelineRow::Event::None;
        // The reply that ends a span and the change it brings are one row.
        if (k + 1 < items.size() && items[k + 1].rank == kSpanEnd && items[k + 1].t == item.t) {
          row.event = TimelineRow::Event::LiveAgain;
          ++k;
        }
        break;
      case kSpanEnd:
        row.live = true;
        row.event = TimelineRow::Event::LiveAgain;
        break;
      case kSpanBegin:
        row.live = false;
        row.event = TimelineRow::Event::NotLive;
        break;
      case kRegister: {
        const auto sameMoment = [&](std::size_t j, Sub sub) {
          return j < items.size() && items[j].rank == kRegister && items[j].t == item.t &&
                 items[j].sub == sub;
        };
        row.event = TimelineRow::Event::None;
        if (item.sub == kRegSpanBegin) {
          cells[item.column].live = false;
          row.event = TimelineRow::Event::RegisterNotLive;
          row.reg = columns[item.column];
          break;
        }
        if (item.sub == kRegSpanEnd) {
          cells[item.column].live = true;
          row.event = TimelineRow::Event::RegisterLiveAgain;
          row.reg = columns[item.column];
          // The read that ends a span and the change it brings are one row.
          if (sameMoment(k + 1, kRegChange) && items[k + 1].column == item.column) changeCell(items[++k]);
          break;
        }
        changeCell(item);
        // The words of one read (a pair) and other changes of the same moment are one row.
        while (sameMoment(k + 1, kRegChange)) changeCell(items[++k]);
        break;
      }
      case kCommand:
        row.event = TimelineRow::Event::Command;
        row.command = &markers_[item.index];
        break;
    }
    visit(row);
  }
}

}  // namespace varnak
