#include "monitor_model.h"

namespace varnak {

void MonitorModel::append(const QString& line) { append(std::deque<QString>{line}); }

void MonitorModel::append(std::deque<QString> lines) {
  if (!paused_) return insert(lines);
  waiting_.insert(waiting_.end(), std::make_move_iterator(lines.begin()),
                  std::make_move_iterator(lines.end()));
  const int excess = static_cast<int>(waiting_.size()) - kMaxLines;
  if (excess <= 0) return;
  waiting_.erase(waiting_.begin(), waiting_.begin() + excess);
  dropped_ += excess;
  emit droppedChanged(dropped_);
}

void MonitorModel::insert(const std::deque<QString>& lines) {
  if (lines.empty()) return;
  // Drop from the front first, so the model never holds more than kMaxLines.
  const int excess = static_cast<int>(lines_.size() + lines.size()) - kMaxLines;
  const int remove = std::min(excess, static_cast<int>(lines_.size()));
  if (remove > 0) {
    beginRemoveRows(QModelIndex(), 0, remove - 1);
    lines_.erase(lines_.begin(), lines_.begin() + remove);
    endRemoveRows();
  }
  const std::size_t skip = lines.size() > static_cast<std::size_t>(kMaxLines) ? lines.size() - kMaxLines : 0;
  const int first = static_cast<int>(lines_.size());
  beginInsertRows(QModelIndex(), first, first + static_cast<int>(lines.size() - skip) - 1);
  lines_.insert(lines_.end(), lines.begin() + static_cast<long>(skip), lines.end());
  endInsertRows();
  if (remove > 0 || skip > 0) {
    dropped_ += std::max(remove, 0) + static_cast<long long>(skip);
    emit droppedChanged(dropped_);
  }
}

void MonitorModel::clear() {
  beginResetModel();
  lines_.clear();
  waiting_.clear();
  dropped_ = 0;
  endResetModel();
  emit droppedChanged(dropped_);
}

void MonitorModel::setPaused(bool paused) {
  if (paused == paused_) return;
  paused_ = paused;
  if (paused_) return;
  std::deque<QString> lines;
  lines.swap(waiting_);
  insert(lines);
}

int MonitorModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

QVariant MonitorModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) return {};
  return lines_[static_cast<std::size_t>(index.row())];
}

}  // namespace varnak
