// The chart of the outputs over time: eight lanes Q0..Q7 as logic traces, the
// commands as markers, spans that were not live hatched grey, and a clock-time
// axis. It follows the present until scrolled back.
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

#include "timeline/event_words.h"
#include "timeline/recorder.h"

namespace varnak {

class TimelineChart : public QWidget {
  Q_OBJECT

 public:
  using Clock = std::function<std::int64_t()>;  // the recorder's clock
  static constexpr std::int64_t kMinSpanMs = 2000;
  static constexpr std::int64_t kMaxSpanMs = 24 * 3600 * 1000;

  TimelineChart(const Recorder& recorder, Clock clock, QWidget* parent = nullptr);

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

  // "21:03:05.123  Q0 1  Q1 0 ...", for the cursor at x; empty outside the recording.
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
  // Following, the present moves: redrawn four times a second while shown.
  QTimer refresh_;
};

}  // namespace varnak
