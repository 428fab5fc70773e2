// The register lanes of the chart, drawn as a logic analyser draws a bus: two
// lines with the value written between them for each stretch in which it held,
// a crossing where it changed, a grey band where it changed more than once
// within one pixel column, and the hatching of the outputs' spans not live where
// the register's reads failed or it was not read.
//
// A pixel column costs a few steps per register (a gallop from the last column's
// end to its own), so a screen of a day costs about what a screen of a minute does.
#include <QPainter>
#include <algorithm>
#include <vector>

#include "link/register_number.h"
#include "panel/theme.h"
#include "panel/timeline_chart.h"

namespace varnak {

namespace {

constexpr int kCrossing = 2;                // half the width of a crossing, in pixels
constexpr int kMinGap = 2 * kCrossing + 2;  // crossings closer than this, in columns, make a busy band

}  // namespace

void TimelineChart::drawBusLanes(QPainter& p, const QRect& plot, const QRect& dirty, std::int64_t left,
                                 std::int64_t right, std::int64_t now) {
  if (lanes_.empty()) return;
  const RegisterHistory& history = recorder_.registers();
  const int h = laneHeight(plot);
  const QFontMetrics fm = fontMetrics();
  const int columns = plot.width();
  const std::int64_t span = spanMs_;
  const QString ellipsis(QChar(0x2026));
  std::vector<QRect> hatched, busy, stripes;
  std::vector<QLine> lines;
  struct Text {
    QRect box;
    QString text;
  };
  std::vector<Text> texts, labels;
  std::vector<std::int8_t> kinds;
  std::vector<std::int64_t> crossT;

  for (std::size_t i = 0; i < lanes_.size(); ++i) {
    const int lane = 8 + static_cast<int>(i);
    const int laneTop = plot.top() + lane * h;
    // Only the lanes a paint exposes: a long list scrolls, and most of it lies outside.
    if (laneTop > dirty.bottom() || laneTop + h < dirty.top()) continue;
    const BusLane& bus = lanes_[i];
    labels.push_back({QRect(0, laneTop, plot.left() - 6, h), laneLabel(bus)});
    if (lane % 2) stripes.emplace_back(plot.left(), laneTop, plot.width(), h);
    const int pad = std::max(2, h / 6);
    const int top = laneTop + pad, bottom = laneTop + h - pad, mid = (top + bottom) / 2;
    const unsigned regs[2] = {bus.reg, bus.reg + 1};
    const int words = IsPair(bus.format) ? 2 : 1;

    // Known once every word of the lane has had a good read.
    std::optional<std::int64_t> known;
    for (int w = 0; w < words; ++w) {
      const auto first = history.firstKnown(regs[w]);
      if (!first) {
        known.reset();
        break;
      }
      known = std::max(known.value_or(0), *first);
    }
    const std::int64_t end = std::min(right, now);
    const auto shade = [&](std::int64_t begin, std::int64_t stop) {
      begin = std::max(begin, left);
      stop = std::min(stop, end);
      if (stop <= begin) return;
      const int x0 = xAt(begin), x1 = std::max(xAt(stop), x0 + 1);
      if (!hatched.empty() && hatched.back().top() == laneTop && x0 <= hatched.back().right() + 1) {
        hatched.back().setRight(std::max(hatched.back().right(), x1 - 1));
        return;
      }
      hatched.emplace_back(x0, laneTop, x1 - x0, h);
    };
    shade(0, known.value_or(now));
    if (!known) continue;
    for (int w = 0; w < words; ++w) {
      const auto& spans = history.series(regs[w])->spans;
      auto it = std::lower_bound(spans.begin(), spans.end(), left,
                                 [](const NotLiveSpan& s, std::int64_t t) { return s.end <= t; });
      for (; it != spans.end() && it->begin < right; ++it) shade(it->begin, it->end);
    }

    // Each pixel column: unknown, steady, one crossing (at `crossT`), or busy.
    enum Kind : std::int8_t { kUnknown, kSteady, kCross, kBusy };
    kinds.assign(static_cast<std::size_t>(columns), kUnknown);
    crossT.assign(static_cast<std::size_t>(columns), 0);
    RegisterHistory::Walk low(history, regs[0], left), high(history, regs[words - 1], left);
    int shown = 0;  // columns up to the present
    for (int c = 0; c < columns; ++c) {
      const std::int64_t from = left + static_cast<std::int64_t>(c) * span / columns;
      if (from > now) break;
      shown = c + 1;
      const std::int64_t to = std::min(left + static_cast<std::int64_t>(c + 1) * span / columns, now + 1);
      // The changes of the lane within the column: a pair's two words changed by one read count once.
      RegisterHistory::Crossings crossings = low.until(std::max(to, from + 1));
      if (words == 2) {
        const auto other = high.until(std::max(to, from + 1));
        if (other.count > 0 && crossings.count > 0) {
          crossings.count =
              other.count == 1 && crossings.count == 1 && other.first == crossings.first ? 1 : 2;
        } else if (other.count > 0) {
          crossings = other;
        }
      }
      if (to <= *known) continue;
      const auto k = static_cast<std::size_t>(c);
      kinds[k] = crossings.count == 0 ? kSteady : crossings.count == 1 ? kCross : kBusy;
      crossT[k] = crossings.first;
    }
    // Crossings too close to draw apart are a busy band, from the one to the other.
    for (int c = 0, last = -kMinGap - 1; c < shown; ++c) {
      const auto k = static_cast<std::size_t>(c);
      if (kinds[k] == kUnknown) {
        last = -kMinGap - 1;
        continue;
      }
      if (kinds[k] == kSteady) continue;
      if (c - last <= kMinGap)
        for (int j = std::max(last, 0); j <= c; ++j) kinds[static_cast<std::size_t>(j)] = kBusy;
      last = c;
    }

    int stretchStart = -1;  // x where the stretch under way began
    std::int64_t stretchT = 0;
    int busyStart = -1;
    const auto endStretch = [&](int x) {
      if (stretchStart < 0) return;
      if (x > stretchStart) {
        lines.emplace_back(stretchStart, top, x, top);
        lines.emplace_back(stretchStart, bottom, x, bottom);
        const int room = x - stretchStart - 6;
        if (room >= fm.averageCharWidth() * 2) {
          QString text = laneValue(bus, stretchT);
          if (fm.horizontalAdvance(text) > room) text = fm.elidedText(text, Qt::ElideRight, room);
          if (!text.isEmpty() && text != ellipsis)
            texts.push_back({QRect(stretchStart + 4, top, room + 2, bottom - top), text});
        }
      }
      stretchStart = -1;
    };
    const auto endBusy = [&](int x) {
      if (busyStart < 0) return;
      busy.emplace_back(busyStart, top, std::max(1, x - busyStart), bottom - top + 1);
      busyStart = -1;
    };
    int x = plot.left();
    for (int c = 0; c < shown; ++c, ++x) {
      const auto k = static_cast<std::size_t>(c);
      switch (kinds[k]) {
        case kUnknown:
          endStretch(x);
          endBusy(x);
          break;
        case kBusy:
          endStretch(x);
          if (busyStart < 0) busyStart = x;
          break;
        case kCross:
          endBusy(x);
          endStretch(x - kCrossing);
          lines.emplace_back(x - kCrossing, top, x + kCrossing, bottom);
          lines.emplace_back(x - kCrossing, bottom, x + kCrossing, top);
          stretchStart = x + kCrossing;
          stretchT = crossT[k];
          break;
        case kSteady:
          if (busyStart >= 0) {
            endBusy(x);
          }
          if (stretchStart >= 0) break;
          // The stretch opens where the lane became known, or after a busy band.
          {
            const std::int64_t from = left + static_cast<std::int64_t>(c) * span / columns;
            if (from <= *known) {
              lines.emplace_back(x, mid, x + kCrossing, top);
              lines.emplace_back(x, mid, x + kCrossing, bottom);
              stretchStart = x + kCrossing;
            } else {
              stretchStart = x;
            }
            stretchT = std::max(from, *known);
          }
          break;
      }
    }
    endStretch(x);
    endBusy(x);
  }

  const ChartColours& c = colours();
  for (const QRect& r : stripes) p.fillRect(r, c.stripe);
  fillNotLive(p, hatched);
  for (const QRect& r : busy) p.fillRect(r, c.busy);
  p.setPen(QPen(c.edge, 1));
  p.drawLines(lines.data(), static_cast<int>(lines.size()));
  p.setPen(c.text);
  for (const Text& t : texts) p.drawText(t.box, Qt::AlignLeft | Qt::AlignVCenter, t.text);
  for (const Text& l : labels)
    p.drawText(l.box, Qt::AlignRight | Qt::AlignVCenter,
               fm.elidedText(l.text, Qt::ElideRight, std::max(0, l.box.width())));
}

void TimelineChart::drawBusCursor(QPainter& p, const QRect& plot, std::int64_t t) {
  const int h = laneHeight(plot);
  const QFontMetrics fm = fontMetrics();
  for (std::size_t i = 0; i < lanes_.size(); ++i) {
    const QString value = laneValue(lanes_[i], t);
    if (value.isEmpty()) continue;
    const int laneTop = plot.top() + (8 + static_cast<int>(i)) * h;
    const int w = fm.horizontalAdvance(value) + 6;
    // Right of the line, or left of it where the plot ends.
    const int x = cursorX_ + 4 + w <= plot.right() ? cursorX_ + 4 : cursorX_ - 4 - w;
    const QRect box(x, laneTop + (h - fm.height()) / 2, w, fm.height());
    p.fillRect(box, colours().ground);
    p.setPen(colours().text);
    p.drawText(box, Qt::AlignCenter, value);
  }
}

}  // namespace varnak
