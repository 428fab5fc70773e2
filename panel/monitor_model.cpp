#include "monitor_model.h"

namespace varnak {

void MonitorModel::append(const LoggedEvent& event) { append(std::deque<LoggedEvent>{event}); }

void MonitorModel::append(std::deque<LoggedEvent> events) {
  if (!paused_) return insert(std::move(events));
  waiting_.insert(waiting_.end(), std::make_move_iterator(events.begin()),
                  std::make_move_iterator(events.end()));
  const int excess = static_cast<int>(waiting_.size()) - kMaxLines;
  if (excess <= 0) return;
  waiting_.erase(waiting_.begin(), waiting_.begin() + excess);
  dropped_ += excess;
  droppedWhilePaused_ += excess;
  emit droppedChanged(dropped_);
}

void MonitorModel::insert(std::deque<LoggedEvent> events) {
  if (events.empty()) return;
  // Drop from the front first, so the model never holds more than kMaxLines.
  const int excess = static_cast<int>(rows_.size() + events.size()) - kMaxLines;
  const int remove = std::min(excess, static_cast<int>(rows_.size()));
  if (remove > 0) {
    beginRemoveRows(QModelIndex(), 0, remove - 1);
    rows_.erase(rows_.begin(), rows_.begin() + remove);
    endRemoveRows();
  }
  const std::size_t skip =
      events.size() > static_cast<std::size_t>(kMaxLines) ? events.size() - kMaxLines : 0;
  const int first = static_cast<int>(rows_.size());
  beginInsertRows(QModelIndex(), first, first + static_cast<int>(events.size() - skip) - 1);
  for (auto e = events.begin() + static_cast<long>(skip); e != events.end(); ++e)
    rows_.push_back(Row{std::move(*e), QString()});
  endInsertRows();
  if (remove > 0 || skip > 0) {
    dropped_ += std::max(remove, 0) + static_cast<long long>(skip);
    emit droppedChanged(dropped_);
  }
}

void MonitorModel::clear() {
  beginResetModel();
  rows_.clear();
  waiting_.clear();
  dropped_ = 0;
  droppedWhilePaused_ = 0;
  endResetModel();
  emit droppedChanged(dropped_);
}

void MonitorModel::setPaused(bool paused) {
  if (paused == paused_) return;
  paused_ = paused;
  if (paused_) return;
  droppedWhilePaused_ = 0;
  std::deque<LoggedEvent> events;
  events.swap(waiting_);
  insert(std::move(events));
}

QString MonitorModel::line(int row) const {
  const Row& r = rows_[static_cast<std::size_t>(row)];
  if (r.text.isNull()) r.text = FormatLine(r.logged);
  return r.text;
}

void MonitorModel::writeLines(const std::function<void(const QString&)>& out) const {
  const long long olderDropped = dropped_ - droppedWhilePaused_;
  if (olderDropped > 0)
    out(tr("(older lines dropped before this one: %1; the monitor keeps the newest %2)")
            .arg(olderDropped)
            .arg(kMaxLines));
  for (const Row& r : rows_) out(r.text.isNull() ? FormatLine(r.logged) : r.text);
  if (droppedWhilePaused_ > 0)
    out(tr("(lines dropped here while paused: %1; the pause holds back at most %2)")
            .arg(droppedWhilePaused_)
            .arg(kMaxLines));
  for (const LoggedEvent& e : waiting_) out(FormatLine(e));
}

int MonitorModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant MonitorModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) return {};
  return line(index.row());
}

}  // namespace varnak
