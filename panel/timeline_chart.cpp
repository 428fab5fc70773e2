#include "timeline_chart.h"

#include <QDateTime>
#include <QKeyEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "link/register_number.h"

namespace varnak {

TimelineChart::TimelineChart(const Recorder& recorder, Clock clock, QWidget* parent)
    : QWidget(parent), recorder_(recorder), clock_(std::move(clock)) {
  setObjectName(QStringLiteral("TimelineChart"));
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setMinimumSize(480, 300);
  setAttribute(Qt::WA_OpaquePaintEvent);
  refresh_.setInterval(250);
  connect(&refresh_, &QTimer::timeout, this, [this] {
    syncLanes();
    if (following_) update();
  });
}

void TimelineChart::setLaneSource(LaneSource source) {
  laneSource_ = std::move(source);
  syncLanes();
}

void TimelineChart::syncLanes() {
  std::vector<BusLane> lanes = laneSource_ ? laneSource_() : std::vector<BusLane>();
  if (lanes == lanes_) return;
  lanes_ = std::move(lanes);
  plotFor_ = QSize();
  // Each lane keeps room for a line of text: past the window's height the chart grows, and scrolls.
  const int textHeight = fontMetrics().height();
  const int chrome = kMarkerRows * (textHeight + 2) + 6 + textHeight + 10;
  setMinimumHeight(std::max(300, chrome + laneCount() * (textHeight + 4)));
  update();
}

QString TimelineChart::laneLabel(const BusLane& lane) {
  const QString reg = QString::fromStdString(RegisterName(lane.reg));
  return lane.name.isEmpty() ? reg : reg + QLatin1Char(' ') + lane.name;
}

QString TimelineChart::laneValue(const BusLane& lane, std::int64_t t) const {
  const RegisterHistory& history = recorder_.registers();
  const RegisterCell first = history.at(lane.reg, t);
  if (!first.known) return {};
  RegisterCell second;
  if (IsPair(lane.format)) {
    second = history.at(lane.reg + 1, t);
    if (!second.known) return {};
  }
  return QString::fromStdString(FormatValue(lane.format, first.value, second.value));
}

int TimelineChart::labelWidth() const {
  int width = kLaneLabelWidth;
  const QFontMetrics fm = fontMetrics();
  for (const BusLane& lane : lanes_)
    width = std::max(width, std::min(kMaxLabelWidth, fm.horizontalAdvance(laneLabel(lane)) + 10));
  return width;
}

QRect TimelineChart::laneRect(int lane) const {
  const QRect plot = plotRect();
  const int h = laneHeight(plot);
  return QRect(plot.left(), plot.top() + lane * h, plot.width(), h);
}

void TimelineChart::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  syncLanes();
  refresh_.start();
}

void TimelineChart::hideEvent(QHideEvent* event) {
  refresh_.stop();
  QWidget::hideEvent(event);
}

void TimelineChart::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) plotFor_ = QSize();  // lay the plot out again
  QWidget::changeEvent(event);
}

std::int64_t TimelineChart::endT() const {
  if (paintRight_) return *paintRight_;
  return following_ ? recorder_.elapsed(clock_()) : endT_;
}

void TimelineChart::setFollowing(bool on) {
  if (on == following_) return;
  following_ = on;
  emit followingChanged(on);
}

void TimelineChart::follow() {
  setFollowing(true);
  emit viewChanged();
  update();
}

void TimelineChart::scrollTo(std::int64_t endT) {
  endT_ = endT;
  setFollowing(false);
  clampEnd();
  emit viewChanged();
  update();
}

void TimelineChart::scrollBy(std::int64_t ms) { scrollTo(endT() + ms); }

void TimelineChart::clampEnd() {
  const std::int64_t now = recorder_.elapsed(clock_());
  const std::int64_t oldest = recorder_.changes().empty() ? 0 : recorder_.changes().front().t();
  // Back as far as the oldest change with a tenth of a screen before it; forward to the present, which is
  // followed.
  endT_ = std::max(endT_, std::min(oldest, now) + spanMs_ / 10);
  if (endT_ >= now) setFollowing(true);
}

void TimelineChart::zoom(double factor, std::optional<int> aroundX) {
  const std::int64_t span = std::clamp<std::int64_t>(std::llround(spanMs_ * factor), kMinSpanMs, kMaxSpanMs);
  if (span == spanMs_) return;
  if (!following_) {
    const QRect plot = plotRect();
    const int x = std::clamp(aroundX.value_or(plot.right() + 1), plot.left(), plot.right() + 1);
    const std::int64_t t = timeAt(x);
    endT_ = t + static_cast<std::int64_t>(plot.right() + 1 - x) * span / std::max(1, plot.width());
  }
  spanMs_ = span;
  if (!following_) clampEnd();
  emit viewChanged();
  update();
}

QRect TimelineChart::plotRect() const {
  // Asked for at every command and span drawn: the font's metrics only when the size changed.
  if (plotFor_ == size()) return plot_;
  const int textHeight = fontMetrics().height();
  const int top = kMarkerRows * (textHeight + 2) + 6;
  const int axis = textHeight + 10;
  const int labels = labelWidth();
  plot_ = QRect(labels, top, std::max(1, width() - labels - 8), std::max(8, height() - top - axis));
  plotFor_ = size();
  return plot_;
}

std::int64_t TimelineChart::timeAt(int x) const {
  const QRect plot = plotRect();
  const std::int64_t right = endT();
  return right - spanMs_ + static_cast<std::int64_t>(x - plot.left()) * spanMs_ / plot.width();
}

int TimelineChart::xAt(std::int64_t t) const {
  const QRect plot = plotRect();
  const std::int64_t left = endT() - spanMs_;
  return plot.left() + static_cast<int>((t - left) * plot.width() / spanMs_);
}

QString TimelineChart::cursorText(int x) const {
  const QRect plot = plotRect();
  if (x < plot.left() || x > plot.right()) return {};
  const std::int64_t t = timeAt(x);
  if (t < 0 || t > recorder_.elapsed(clock_())) return {};
  QString text = ChartClockText(recorder_.startEpochMs() + t, QStringLiteral("HH:mm:ss.zzz"));
  const auto outputs = recorder_.outputsAt(t);
  if (!outputs) {
    text += QStringLiteral("  ") + tr("no outputs known yet");
  } else {
    for (int i = 0; i < 8; ++i) text += QStringLiteral("  Q%1 %2").arg(i).arg((*outputs >> i) & 1);
    if (!recorder_.liveAt(t)) text += QStringLiteral("  (") + tr("not live") + QLatin1Char(')');
  }
  for (const BusLane& lane : lanes_) {
    const QString value = laneValue(lane, t);
    if (value.isEmpty()) continue;
    text += QStringLiteral("  ") + QString::fromStdString(RegisterName(lane.reg)) + QLatin1Char(' ') + value;
    const RegisterCell cell = recorder_.registers().at(lane.reg, t);
    const bool live = cell.live && (!IsPair(lane.format) || recorder_.registers().at(lane.reg + 1, t).live);
    if (!live) text += QStringLiteral(" (") + tr("not live") + QLatin1Char(')');
  }
  return text;
}

void TimelineChart::wheelEvent(QWheelEvent* event) {
  const QPoint delta = event->angleDelta();
  const int steps = delta.y() != 0 ? delta.y() : delta.x();
  if (steps == 0) return;
  const double notches = steps / 120.0;
  if (event->modifiers() & Qt::ControlModifier) {
    zoom(std::pow(0.8, notches), static_cast<int>(event->position().x()));
  } else {
    // Up or left goes back in time, a tenth of the screen a notch.
    scrollBy(-static_cast<std::int64_t>(std::llround(notches * spanMs_ / 10)));
  }
  event->accept();
}

void TimelineChart::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) dragX_ = static_cast<int>(event->position().x());
  setFocus();
}

void TimelineChart::mouseMoveEvent(QMouseEvent* event) {
  const int x = static_cast<int>(event->position().x());
  if (dragX_ && (event->buttons() & Qt::LeftButton)) {
    const int dx = x - *dragX_;
    if (dx != 0) {
      scrollBy(-static_cast<std::int64_t>(dx) * spanMs_ / plotRect().width());
      dragX_ = x;
    }
  }
  cursorX_ = x;
  emit cursorMoved(cursorText(x));
  update();
}

void TimelineChart::mouseReleaseEvent(QMouseEvent*) {
  dragX_.reset();
  update();
}

void TimelineChart::leaveEvent(QEvent*) {
  cursorX_ = -1;
  emit cursorMoved(QString());
  update();
}

void TimelineChart::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Left:
      scrollBy(-spanMs_ / 10);
      break;
    case Qt::Key_Right:
      scrollBy(spanMs_ / 10);
      break;
    case Qt::Key_PageUp:
      scrollBy(-spanMs_ * 9 / 10);
      break;
    case Qt::Key_PageDown:
      scrollBy(spanMs_ * 9 / 10);
      break;
    case Qt::Key_Home: {
      // The oldest change kept near the left edge.
      const auto& changes = recorder_.changes();
      scrollTo((changes.empty() ? 0 : changes.front().t()) + spanMs_ * 9 / 10);
      break;
    }
    case Qt::Key_End:
      follow();
      break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      zoom(0.5);
      break;
    case Qt::Key_Minus:
      zoom(2.0);
      break;
    default:
      QWidget::keyPressEvent(event);
  }
}

}  // namespace varnak
