// The line monitor ("Line monitor", 通讯监视 in Chinese): counters above, then
// one line per frame, chunk (with what the window did with it), exchange, hold
// and port event. Fed by the window's LineLog from the start, whether shown or
// not; it keeps events and makes text only of what is shown, copied or saved.
#pragma once

#include <QGridLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <vector>

#include "monitor/link_counters.h"
#include "panel/monitor_model.h"

namespace varnak {

class MonitorWindow : public QWidget {
  Q_OBJECT

 public:
  explicit MonitorWindow(QWidget* parent = nullptr);

  void add(const LoggedEvent& logged);
  // The selected lines, in order, one per line of text (what Ctrl+C copies).
  QString selectedText() const;
  void copySelection() const;
  // Every line (while paused, those held back too) into `path`, which is
  // replaced only once the whole text is written. False with `error` set
  // ("Cannot save PATH: the reason") when it is not.
  bool saveTo(const QString& path, QString* error = nullptr);
  void resetCounters();
  // The counters as shown, refreshed now rather than at the next refresh tick.
  QString countersText();

  // The lines, with those not yet shown added first.
  MonitorModel* model() {
    flush();
    return &model_;
  }
  QListView* lines() { return view_; }
  QPushButton* pauseButton() { return pause_; }
  QPushButton* clearButton() { return clear_; }
  QPushButton* saveButton() { return save_; }
  QPushButton* resetButton() { return reset_; }
  QLabel* droppedLabel() { return droppedLabel_; }
  const LinkCounters& counters() const { return counters_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void refreshCounters();
  // New lines reach the model in batches, twice a second, so that the
  // view lays out and repaints a few times a second whatever the line's pace.
  void flush();
  void save();

  MonitorModel model_;
  std::deque<LoggedEvent> pending_;
  LinkCounters counters_;
  bool countersDirty_ = true;
  // One name and one figure label per counter, in a grid that grows with the
  // names' language; a figure is set only when it changed.
  QGridLayout* counterGrid_;
  std::vector<QLabel*> counterValues_;
  QLabel* droppedLabel_;
  QPushButton* pause_;
  QPushButton* clear_;
  QPushButton* save_;
  QPushButton* reset_;
  QListView* view_;
  QTimer refresh_;
};

}  // namespace varnak
