// The line monitor's lines: the newest kMaxLines events in a ring, older ones
// dropped and counted. An event becomes text only when a line is shown, copied
// or saved, and keeps that text once made. While paused, new events wait aside
// (bounded the same way) so the view stops moving; resuming shows them.
#pragma once

#include <QAbstractListModel>
#include <QString>
#include <deque>
#include <functional>

#include "panel/line_log.h"

namespace varnak {

class MonitorModel : public QAbstractListModel {
  Q_OBJECT

 public:
  static constexpr int kMaxLines = 10000;

  using QAbstractListModel::QAbstractListModel;

  void append(const LoggedEvent& event);
  // Several events with one insertion, so the view lays out once.
  void append(std::deque<LoggedEvent> events);
  void clear();
  void setPaused(bool paused);
  bool paused() const { return paused_; }
  // Lines dropped since the last clear, to keep kMaxLines.
  long long dropped() const { return dropped_; }
  // Lines waiting while paused.
  int waiting() const { return static_cast<int>(waiting_.size()); }
  // The line of a row, as shown.
  QString line(int row) const;
  // The lines for a file, one call each: those shown, then while paused those
  // held back, with a note where lines were dropped (older ones at the top,
  // those the pause could not hold where they were).
  void writeLines(const std::function<void(const QString& line)>& out) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 signals:
  void droppedChanged(long long dropped);

 private:
  struct Row {
    LoggedEvent logged;
    mutable QString text;  // made when first asked for
  };
  void insert(std::deque<LoggedEvent> events);

  std::deque<Row> rows_;
  std::deque<LoggedEvent> waiting_;
  long long dropped_ = 0;
  long long droppedWhilePaused_ = 0;  // of those waiting, since the pause began
  bool paused_ = false;
};

}  // namespace varnak
