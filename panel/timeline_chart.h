// The chart of the outputs over time: eight lanes Q0..Q7 as logic traces, below
// them one lane per register of the watch list drawn as a bus (the value inside
// each stretch, a crossing at each change), the commands as markers, spans that
// were not live hatched grey, and a clock-time axis. It follows the present until
// scrolled back.
//
// Drawing costs one binary search and one min/max per pixel column (the
// recorder's summaries), so a screen of a day's history costs about what a
// screen of a minute's does.
#pragma once

#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "timeline/event_words.h"
#include "timeline/recorder.h"
#include "watch/register_format.h"

namespace varnak {

// The chart's clock times, in a QDateTime `format` ("HH:mm:ss.zzz").
QString ChartClockText(std::int64_t epochMs, const QString& format);

struct ChartColours;

class TimelineChart : public QWidget {
  Q_OBJECT

 public:
  using Clock = std::function<std::int64_t()>;  // the recorder's clock
  static constexpr std::int64_t kMinSpanMs = 2000;
  static constexpr std::int64_t kMaxSpanMs = 24 * 3600 * 1000;

  // A register's lane: its row of the watch list.
  struct BusLane {
    unsigned reg = 0;
    RegisterFormat format = RegisterFormat::Hex;
    QString name;
    bool operator==(const BusLane& o) const { return reg == o.reg && format == o.format && name == o.name; }
  };
  // The lanes as the list has them now; asked for four times a second while shown.
  using LaneSource = std::function<std::vector<BusLane>()>;

  TimelineChart(const Recorder& recorder, Clock clock, QWidget* parent = nullptr);

  void setLaneSource(LaneSource source);
  // Takes the list's lanes again; the chart grows when they do not fit.
  void syncLanes();
  const std::vector<BusLane>& busLanes() const { return lanes_; }
  // The lane's label left of it: "R1000", and the name after it.
  static QString laneLabel(const BusLane& lane);
  // The lane's value at t in its format, or an empty text before its first good read.
  QString laneValue(const BusLane& lane, std::int64_t t) const;
  // Lane i (0..7 the outputs, then the registers), in widget coordinates.
  QRect laneRect(int lane) const;
  // The colours every lane draws with, from the palette (panel/theme.h).
  const ChartColours& colours() const;

  void setWords(EventWords words) { words_ = std::move(words); }

  bool following() const { return following_; }
  void follow();
  // Shows `spanMs` ending at `endT` (ms since the start), and stops following.
  void scrollTo(std::int64_t endT);
  void scrollBy(std::int64_t ms);
  void zoom(double factor, std::optional<int> aroundX = std::nullopt);
  std::int64_t spanMs() const { return spanMs_; }
  // The right edge, ms since the start.
  std::int64_t endT() const;

  // "21:03:05.123  Q0 1  Q1 0 ...  R1000 0041", for the cursor at x; empty outside the recording.
  QString cursorText(int x) const;
  // The time at pixel column x, ms since the start.
  std::int64_t timeAt(int x) const;

 signals:
  void followingChanged(bool following);
  void viewChanged();
  void cursorMoved(const QString& text);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  static constexpr int kLaneLabelWidth = 34;  // "Q0".."Q7" left of the lanes
  static constexpr int kMaxLabelWidth = 160;  // a register's label beyond this is elided
  static constexpr int kMarkerRows = 3;       // rows of command labels above the lanes

  QRect plotRect() const;
  int xAt(std::int64_t t) const;
  void setFollowing(bool on);
  void clampEnd();
  void drawAxis(QPainter& p, const QRect& plot, std::int64_t left, std::int64_t right);
  void drawNotLive(QPainter& p, const QRect& plot, std::int64_t left, std::int64_t right, std::int64_t now);
  void drawLanes(QPainter& p, const QRect& plot, std::int64_t left, std::int64_t now);
  void drawMarkers(QPainter& p, const QRect& plot, std::int64_t left, std::int64_t right);
  void drawCursor(QPainter& p, const QRect& plot);  // these in timeline_drawing.cpp
  // Fills the spans not live, merged where closer than a pixel, grey and hatched.
  void fillNotLive(QPainter& p, const std::vector<QRect>& rects);
  // The register lanes and their labels, in timeline_bus.cpp.
  void drawBusLanes(QPainter& p, const QRect& plot, const QRect& dirty, std::int64_t left, std::int64_t right,
                    std::int64_t now);
  void drawBusCursor(QPainter& p, const QRect& plot, std::int64_t t);
  int laneCount() const { return 8 + static_cast<int>(lanes_.size()); }
  int laneHeight(const QRect& plot) const { return plot.height() / laneCount(); }
  int labelWidth() const;

  const Recorder& recorder_;
  Clock clock_;
  EventWords words_;
  bool following_ = true;
  std::int64_t spanMs_ = 60000;
  std::int64_t endT_ = 0;  // the right edge while not following
  // The right edge fixed for the paint under way, so that lanes, axis, spans and
  // markers are placed on one time scale however long the frame takes.
  std::optional<std::int64_t> paintRight_;
  int cursorX_ = -1;
  std::optional<int> dragX_;
  mutable QRect plot_;
  mutable QSize plotFor_;  // the size plot_ was laid out for
  LaneSource laneSource_;
  std::vector<BusLane> lanes_;
  // Following, the present moves: redrawn four times a second while shown.
  QTimer refresh_;
};

}  // namespace varnak
