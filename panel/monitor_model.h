// The line monitor's lines: the newest kMaxLines in a ring, older ones dropped
// and counted. While paused, new lines wait aside (bounded the same way) so the
// view stops moving; resuming shows them.
#pragma once

#include <QAbstractListModel>
#include <QString>
#include <deque>

namespace varnak {

class MonitorModel : public QAbstractListModel {
  Q_OBJECT

 public:
  static constexpr int kMaxLines = 10000;

  using QAbstractListModel::QAbstractListModel;

  void append(const QString& line);
  // Several lines with one insertion, so the view lays out once.
  void append(std::deque<QString> lines);
  void clear();
  void setPaused(bool paused);
  bool paused() const { return paused_; }
  // Lines dropped from the front since the last clear, to keep kMaxLines.
  long long dropped() const { return dropped_; }
  // Lines waiting while paused.
  int waiting() const { return static_cast<int>(waiting_.size()); }
  QString line(int row) const { return lines_[static_cast<std::size_t>(row)]; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 signals:
  void droppedChanged(long long dropped);

 private:
  void insert(const std::deque<QString>& lines);

  std::deque<QString> lines_;
  std::deque<QString> waiting_;
  long long dropped_ = 0;
  bool paused_ = false;
};

}  // namespace varnak
