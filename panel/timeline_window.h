// The "output timing" window: the chart, a button back to the present, zoom
// buttons, the cursor's time and states, and saving as CSV or VCD. It shows what
// the window's recorder holds, which records from start whether shown or not.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QWidget>
#include <functional>

#include "panel/timeline_chart.h"

namespace varnak {

class TimelineWindow : public QWidget {
  Q_OBJECT

 public:
  TimelineWindow(const Recorder& recorder, TimelineChart::Clock clock, QWidget* parent = nullptr);

  // The file name asked for by 保存… and Ctrl+S (a dialog, unless a test says).
  void setSavePathAsker(std::function<QString()> ask) { askPath_ = std::move(ask); }
  // The register lanes: the rows of the watch list.
  void setLaneSource(TimelineChart::LaneSource source) { chart_->setLaneSource(std::move(source)); }
  // The registers the files have columns for: the lanes' (a pair's two), then
  // any other register the recording still holds.
  std::vector<unsigned> columns();
  // CSV, or VCD when the name ends in .vcd; false (and `error` says why) if it failed.
  bool saveTo(const QString& path, QString* error = nullptr);
  void save();

  // The events of the files and markers, in the operator's language.
  static EventWords Words();

  TimelineChart* chart() { return chart_; }
  QPushButton* followButton() { return follow_; }
  QPushButton* saveButton() { return save_; }
  QScrollArea* lanesArea() { return scroll_; }
  QLabel* cursorLabel() { return cursor_; }

 private:
  void showSpan();

  const Recorder& recorder_;
  TimelineChart::Clock clock_;
  TimelineChart* chart_;
  QScrollArea* scroll_;
  QPushButton* follow_;
  QPushButton* zoomIn_;
  QPushButton* zoomOut_;
  QPushButton* save_;
  QLabel* span_;
  QLabel* cursor_;
  std::function<QString()> askPath_;
};

}  // namespace varnak
