// The windows that the main window opens beside it: the line monitor, the output
// timing chart and the register watch, each fed from the start (or, for the
// watch, read while open) and shown by its shortcut or the context menu.
#include <QAction>
#include <QCloseEvent>
#include <QDateTime>

#include "form2.h"

namespace varnak {

void Form2::addWindowAction(const QString& text, const char* name, Qt::Key key, void (Form2::*open)()) {
  auto* action = new QAction(text, this);
  action->setObjectName(QString::fromLatin1(name));
  action->setShortcut(QKeySequence(Qt::CTRL | key));
  addAction(action);
  connect(action, &QAction::triggered, this, open);
}

void Form2::makeWindows() {
  setContextMenuPolicy(Qt::ActionsContextMenu);  // a right click on the window's background

  monitor_ = new MonitorWindow(this);
  lineLog_.addSink([this](const LoggedEvent& logged) { monitor_->add(logged); });
  core_.addObserver(&lineLog_);
  addWindowAction(tr("Line monitor…"), "openMonitor", Qt::Key_M, &Form2::openMonitor);

  core_.addObserver(&linkRecorder_);
  timeline_ = new TimelineWindow(
      recorder_, [this] { return now(); }, this);
  addWindowAction(tr("Output timing…"), "openTimeline", Qt::Key_T, &Form2::openTimeline);

  // Read while its window is open.
  watchList_.setActive(false);
  core_.setListSource(&watchList_);
  watch_ = new WatchWindow(
      watchList_, [this] { return now(); }, this);
  connect(watch_, &WatchWindow::workAdded, this, &Form2::listChanged);
  // The list's reads go into the recording, and its rows are the chart's register lanes.
  watchList_.setReporter([this](const ListReport& report) { RecordListReport(recorder_, now(), report); });
  timeline_->setLaneSource([this] {
    std::vector<TimelineChart::BusLane> lanes;
    lanes.reserve(watchList_.size());
    for (std::size_t i = 0; i < watchList_.size(); ++i) {
      const WatchEntry& e = watchList_.row(i).entry;
      lanes.push_back({e.reg, e.format, QString::fromStdString(e.name)});
    }
    return lanes;
  });
  addWindowAction(tr("Register watch…"), "openWatch", Qt::Key_R, &Form2::openWatch);
}

void Form2::openWatch() {
  watch_->show();
  watch_->raise();
  watch_->activateWindow();
}

void Form2::listChanged() {
  handle([this] { core_.ListChanged(now()); });
}

void Form2::setClock(Clock clock) {
  clock_ = std::move(clock);
  // A recording on the old clock would make no sense on the new one.
  recorder_ = Recorder(now(), QDateTime::currentMSecsSinceEpoch());
  lineLog_.setStart(now(), QDateTime::currentMSecsSinceEpoch());
  watch_->model()->setClock([this] { return now(); });
}

void Form2::openTimeline() {
  timeline_->show();
  timeline_->raise();
  timeline_->activateWindow();
}

void Form2::openMonitor() {
  monitor_->show();
  monitor_->raise();
  monitor_->activateWindow();
}

void Form2::closeEvent(QCloseEvent* event) {
  monitor_->close();
  timeline_->close();
  watch_->close();
  QWidget::closeEvent(event);
}

}  // namespace varnak
