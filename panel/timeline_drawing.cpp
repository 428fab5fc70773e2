#include "timeline_chart.h"

#include "panel/theme.h"

#include <QDateTime>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <array>
#include <vector>

// The drawing of the chart: axis, spans not live, lanes, commands, cursor.

namespace varnak {

namespace {

constexpr int kMarkerLabelWidth = 240;        // longest marker text before it is elided
constexpr std::size_t kMaxMarkerLines = 150;  // commands drawn across the lanes on one screen

// The chart's colours for its palette, worked out again only when the palette changes.
const ChartColours& Colours(const QPalette& palette) {
  static qint64 key = -1;
  static ChartColours colours;
  if (palette.cacheKey() != key) {
    colours = ChartColoursFor(palette);
    key = palette.cacheKey();
  }
  return colours;
}

QColor MarkerColour(const ChartColours& c, CommandOutcome o) {
  switch (o) {
    case CommandOutcome::Confirmed:
    case CommandOutcome::ValueRead:
      return c.confirmed;
    case CommandOutcome::Pending:
      return c.pending;
    default:
      return c.failed;
  }
}

}  // namespace

QString ChartClockText(std::int64_t epochMs, const QString& format) {
  return QDateTime::fromMSecsSinceEpoch(epochMs).toString(format);
}

const ChartColours& TimelineChart::colours() const { return Colours(palette()); }

void TimelineChart::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  const ChartColours& c = Colours(palette());
  p.fillRect(rect(), c.ground);
  const QRect plot = plotRect();
  const std::int64_t now = recorder_.elapsed(clock_());
  const std::int64_t right = endT();
  const std::int64_t left = right - spanMs_;
  paintRight_ = right;
  struct Release {
    std::optional<std::int64_t>& r;
    ~Release() { r.reset(); }
  } release{paintRight_};

  const int laneHeight = this->laneHeight(plot);
  for (int lane = 0; lane < 8; ++lane) {
    const int y = plot.top() + lane * laneHeight;
    if (lane % 2) p.fillRect(QRect(plot.left(), y, plot.width(), laneHeight), c.stripe);
  }
  drawAxis(p, plot, left, right);
  drawNotLive(p, plot, left, right, now);
  drawLanes(p, plot, left, now);
  drawBusLanes(p, plot, event->rect(), left, right, now);
  drawMarkers(p, plot, left, right);

  p.setPen(c.text);
  for (int lane = 0; lane < 8; ++lane) {
    const QRect label(0, plot.top() + lane * laneHeight, plot.left() - 6, laneHeight);
    p.drawText(label, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Q%1").arg(lane));
  }
  p.setPen(c.frame);
  p.drawRect(plot.adjusted(0, 0, -1, -1));
  drawCursor(p, plot);
}

void TimelineChart::drawAxis(QPainter& p, const QRect& plot, std::int64_t left, std::int64_t right) {
  static const std::int64_t kSteps[] = {100,     200,     500,     1000,     2000,     5000,    10000,
                                        15000,   30000,   60000,   120000,   300000,   600000,  900000,
                                        1800000, 3600000, 7200000, 10800000, 21600000, 43200000};
  const ChartColours& c = Colours(palette());
  const QFontMetrics fm = fontMetrics();
  const int labelWidth = fm.horizontalAdvance(QStringLiteral("00:00:00.000")) + 16;
  std::int64_t step = kSteps[std::size(kSteps) - 1];
  for (std::int64_t s : kSteps) {
    if (s * plot.width() / spanMs_ >= labelWidth) {
      step = s;
      break;
    }
  }
  const QString format = step < 1000    ? QStringLiteral("HH:mm:ss.zzz")
                         : step < 60000 ? QStringLiteral("HH:mm:ss")
                                        : QStringLiteral("HH:mm");
  // Ticks on round local clock times.
  const std::int64_t epoch = recorder_.startEpochMs();
  const std::int64_t offset =
      static_cast<std::int64_t>(QDateTime::fromMSecsSinceEpoch(epoch + left).offsetFromUtc()) * 1000;
  const std::int64_t localLeft = epoch + left + offset;
  std::int64_t tick = (localLeft / step + (localLeft % step > 0 ? 1 : 0)) * step - offset - epoch;
  const int axisY = plot.bottom() + 1;
  for (; tick <= right; tick += step) {
    const int x = xAt(tick);
    p.setPen(c.grid);
    p.drawLine(x, plot.top(), x, plot.bottom());
    p.setPen(c.tick);
    p.drawLine(x, axisY, x, axisY + 4);
    p.setPen(c.text);
    p.drawText(QRect(x - labelWidth / 2, axisY + 4, labelWidth, fm.height() + 4),
               Qt::AlignHCenter | Qt::AlignTop, ChartClockText(epoch + tick, format));
  }
}

void TimelineChart::drawNotLive(QPainter& p, const QRect& plot, std::int64_t left, std::int64_t right,
                                std::int64_t now) {
  // Spans closer than a pixel become one rectangle, and all are filled in two calls.
  std::vector<QRect> rects;
  const auto shade = [&](std::int64_t begin, std::int64_t end) {
    begin = std::max(begin, left);
    end = std::min(end, std::min(right, now));
    if (end <= begin) return;
    const int x0 = xAt(begin), x1 = std::max(xAt(end), x0 + 1);
    if (!rects.empty() && x0 <= rects.back().right() + 1) {
      rects.back().setRight(std::max(rects.back().right(), x1 - 1));
      return;
    }
    rects.emplace_back(x0, plot.top(), x1 - x0, 8 * laneHeight(plot));
  };
  // Before the first reply kept nothing is known: as dimmed as the lamps were.
  const auto& changes = recorder_.changes();
  shade(0, changes.empty() ? now : changes.front().t());
  const auto& spans = recorder_.spans();
  auto it = std::lower_bound(spans.begin(), spans.end(), left,
                             [](const NotLiveSpan& s, std::int64_t t) { return s.end <= t; });
  for (; it != spans.end() && it->begin < right; ++it) shade(it->begin, it->end);
  if (const auto open = recorder_.openSpan(now);
      open && (spans.empty() || spans.back().end != NotLiveSpan::kOpen))
    shade(open->begin, now);
  fillNotLive(p, rects);
}

void TimelineChart::fillNotLive(QPainter& p, const std::vector<QRect>& rects) {
  // Grey, and hatched where there is room for the hatching to show.
  const ChartColours& c = Colours(palette());
  const QBrush hatch(c.notLiveHatch, Qt::BDiagPattern);
  for (const QRect& r : rects) {
    p.fillRect(r, c.notLive);
    if (r.width() >= 4) p.fillRect(r, hatch);
  }
}

void TimelineChart::drawLanes(QPainter& p, const QRect& plot, std::int64_t left, std::int64_t now) {
  const int laneHeight = this->laneHeight(plot);
  const int pad = std::max(2, laneHeight / 6);
  std::vector<QLine> high, low, edges;
  std::vector<QRect> fills, busy;
  std::array<int, 8> level;  // -1 unknown, 0 low, 1 high, 2 both within the column
  std::array<int, 8> runStart;
  level.fill(-1);
  runStart.fill(plot.left());
  const auto flush = [&](int lane, int x1) {
    const int x0 = runStart[lane];
    if (x1 <= x0 || level[lane] < 0) return;
    const int top = plot.top() + lane * laneHeight + pad, bottom = plot.top() + (lane + 1) * laneHeight - pad;
    switch (level[lane]) {
      case 0:
        low.emplace_back(x0, bottom, x1 - 1, bottom);
        break;
      case 1:
        fills.emplace_back(x0, top, x1 - x0, bottom - top);
        high.emplace_back(x0, top, x1 - 1, top);
        break;
      default:
        busy.emplace_back(x0, top, x1 - x0, bottom - top + 1);
        break;
    }
  };
  const int columns = plot.width();
  const std::int64_t span = spanMs_;
  int x = plot.left();
  for (int c = 0; c < columns; ++c, ++x) {
    const std::int64_t from = left + static_cast<std::int64_t>(c) * span / columns;
    if (from > now) break;
    const std::int64_t to = std::min(left + static_cast<std::int64_t>(c + 1) * span / columns, now + 1);
    const Recorder::Held held = recorder_.heldDuring(from, std::max(to, from + 1));
    for (int lane = 0; lane < 8; ++lane) {
      const bool any = (held.any >> lane) & 1, all = (held.all >> lane) & 1;
      const int l = !held.known ? -1 : all ? 1 : any ? 2 : 0;
      if (l == level[lane]) continue;
      flush(lane, x);
      if (level[lane] >= 0 && l >= 0) {
        const int top = plot.top() + lane * laneHeight + pad,
                  bottom = plot.top() + (lane + 1) * laneHeight - pad;
        edges.emplace_back(x, top, x, bottom);
      }
      level[lane] = l;
      runStart[lane] = x;
    }
  }
  for (int lane = 0; lane < 8; ++lane) flush(lane, x);

  const ChartColours& c = Colours(palette());
  for (const QRect& r : fills) p.fillRect(r, c.highFill);
  for (const QRect& r : busy) p.fillRect(r, c.busy);
  p.setPen(QPen(c.high, 2));
  p.drawLines(high.data(), static_cast<int>(high.size()));
  p.setPen(QPen(c.low, 2));
  p.drawLines(low.data(), static_cast<int>(low.size()));
  p.setPen(QPen(c.edge, 1));
  p.drawLines(edges.data(), static_cast<int>(edges.size()));
}

void TimelineChart::drawMarkers(QPainter& p, const QRect& plot, std::int64_t left, std::int64_t right) {
  const auto& markers = recorder_.markers();
  auto it = std::lower_bound(markers.begin(), markers.end(), left,
                             [](const CommandMarker& m, std::int64_t t) { return m.t < t; });
  const ChartColours& c = Colours(palette());
  const QFontMetrics fm = fontMetrics();
  const int rowHeight = fm.height() + 2;
  std::array<int, kMarkerRows> rowEnd;
  rowEnd.fill(INT32_MIN);
  // One line per pixel column and outcome, drawn in one call per colour after the labels.
  constexpr CommandOutcome kOutcomes[] = {CommandOutcome::Pending, CommandOutcome::Confirmed,
                                          CommandOutcome::NotConfirmed, CommandOutcome::ValueRead,
                                          CommandOutcome::Failed};
  std::array<std::vector<QLine>, std::size(kOutcomes)> lines;
  std::array<int, std::size(kOutcomes)> lastX;
  lastX.fill(INT32_MIN);
  struct Label {
    QRect box;
    QString text;
    QColor colour;
  };
  std::vector<Label> labels;
  for (; it != markers.end() && it->t <= right; ++it) {
    const int x = xAt(it->t);
    const auto o = static_cast<std::size_t>(it->outcome);
    const QColor colour = MarkerColour(c, it->outcome);
    if (x != lastX[o]) {
      lines[o].emplace_back(x, plot.top() - 2, x, plot.bottom());
      lastX[o] = x;
    }
    // The label goes into the first row that is free at x; when none is, only the
    // line shows (and its text is not even made: a day holds many commands).
    if (std::none_of(rowEnd.begin(), rowEnd.end(), [x](int end) { return end < x; })) continue;
    const QString text =
        fm.elidedText(QString::fromStdString(words_.command(*it)), Qt::ElideRight, kMarkerLabelWidth);
    const int w = fm.horizontalAdvance(text) + 8;
    // Right of its line, or left of it where the window ends.
    const int boxLeft = x + w <= width() - 2 ? x : x - w + 1;
    for (int row = 0; row < kMarkerRows; ++row) {
      if (rowEnd[row] >= boxLeft) continue;
      labels.push_back({QRect(boxLeft, 2 + row * rowHeight, w, rowHeight - 1), text, colour});
      rowEnd[row] = boxLeft + w + 4;
      break;
    }
  }
  // Many commands on the screen (a day of them) would cover the lanes: then each
  // is a tick above them, and only a sparse screen draws them across.
  std::size_t count = 0;
  for (const auto& l : lines) count += l.size();
  const int top = plot.top() - 6, bottom = count > kMaxMarkerLines ? plot.top() - 1 : plot.bottom();
  for (std::size_t o = 0; o < lines.size(); ++o) {
    if (lines[o].empty()) continue;
    // One-pixel rectangles: the raster engine fills them faster than it draws lines.
    const QColor colour = MarkerColour(c, kOutcomes[o]);
    for (const QLine& l : lines[o]) p.fillRect(l.x1(), top, 1, bottom - top + 1, colour);
  }
  for (const Label& l : labels) {
    p.fillRect(l.box, c.ground);
    p.setPen(l.colour);
    p.drawRect(l.box.adjusted(0, 0, -1, -1));
    p.drawText(l.box.adjusted(4, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter, l.text);
  }
}

void TimelineChart::drawCursor(QPainter& p, const QRect& plot) {
  if (cursorX_ < plot.left() || cursorX_ > plot.right() || dragX_) return;
  const ChartColours& c = Colours(palette());
  p.setPen(QPen(c.cursor, 1, Qt::DotLine));
  p.drawLine(cursorX_, plot.top(), cursorX_, plot.bottom());
  const std::int64_t t = timeAt(cursorX_);
  if (t < 0 || t > recorder_.elapsed(clock_())) return;
  drawBusCursor(p, plot, t);
  const auto outputs = recorder_.outputsAt(t);
  if (!outputs) return;
  const int laneHeight = this->laneHeight(plot);
  p.setPen(c.text);
  for (int lane = 0; lane < 8; ++lane)
    p.drawText(QRect(cursorX_ + 4, plot.top() + lane * laneHeight, 16, laneHeight),
               Qt::AlignLeft | Qt::AlignVCenter, QString::number((*outputs >> lane) & 1));
}

}  // namespace varnak
