#include "watch_model.h"

#include <QDateTime>
#include <algorithm>

#include "link/register_number.h"
#include "translations/translate.h"

namespace varnak {

WatchModel::WatchModel(WatchList& list, Clock clock, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {
  setClock(std::move(clock));
  resyncShown();
}

void WatchModel::setClock(Clock clock) {
  clock_ = std::move(clock);
  wallOffset_ = QDateTime::currentMSecsSinceEpoch() - clock_();
  if (rowCount() > 0) emit dataChanged(index(0, ReadAt), index(rowCount() - 1, ReadAt));
}

QString WatchModel::formatText(RegisterFormat format) {
  switch (format) {
    case RegisterFormat::Hex:
      return tr("hex");
    case RegisterFormat::Unsigned:
      return tr("unsigned");
    case RegisterFormat::Signed:
      return tr("signed");
    case RegisterFormat::Binary:
      return tr("binary");
    case RegisterFormat::U32:
      return tr("u32");
    case RegisterFormat::S32:
      return tr("s32");
    case RegisterFormat::F32:
      return tr("f32");
    case RegisterFormat::U32HiLo:
      return tr("u32 hi-lo");
    case RegisterFormat::S32HiLo:
      return tr("s32 hi-lo");
    case RegisterFormat::F32HiLo:
      return tr("f32 hi-lo");
  }
  return {};
}

QString WatchModel::registerText(unsigned reg) { return QString::fromStdString(RegisterName(reg)); }

int WatchModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  // The empty row for adding, while there is room.
  const std::size_t n = list_.size();
  return static_cast<int>(n < kMaxWatchRows ? n + 1 : n);
}

int WatchModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QString WatchModel::timeText(std::int64_t at) const {
  return QDateTime::fromMSecsSinceEpoch(at + wallOffset_).toString(QStringLiteral("hh:mm:ss.zzz"));
}

QVariant WatchModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  if (isAddRow(index.row())) {
    if (role == Qt::DisplayRole && index.column() == Register) return tr("add…");
    if (role == AddRowRole) return true;
    if (role == Qt::ToolTipRole) return tr("Type a register (octal, e.g. R1000) to add it");
    return {};
  }
  const auto i = static_cast<std::size_t>(index.row());
  const WatchRow& row = list_.row(i);
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      switch (index.column()) {
        case Register:
          return registerText(row.entry.reg);
        case Name:
          return QString::fromStdString(row.entry.name);
        case Format:
          return role == Qt::EditRole ? QVariant(static_cast<int>(row.entry.format))
                                      : QVariant(formatText(row.entry.format));
        case Value:
          return QString::fromStdString(list_.valueText(i));
        case Status:
          return QString::fromStdString(list_.statusText(i, Translated));
        case ReadAt:
          return row.known ? timeText(row.readAt) : QString();
      }
      break;
    case FormatRole:
      return static_cast<int>(row.entry.format);
    case ChangedRole:
      return index.column() == Value && list_.changedRecently(i, clock_());
    case Qt::TextAlignmentRole:
      if (index.column() == Value) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
      break;
    case Qt::ToolTipRole:
      if (index.column() == Status) return QString::fromStdString(list_.statusText(i, Translated));
      if (index.column() == Value) return tr("Double-click or F2 to type a value; Enter writes it");
      if (index.column() == Register && IsPair(row.entry.format))
        return tr("%1 and %2").arg(registerText(row.entry.reg), registerText(row.entry.reg + 1));
      break;
    default:
      break;
  }
  return {};
}

QStringList WatchModel::headerTexts() const {
  return {tr("Register"), tr("Name"), tr("Format"), tr("Value"), tr("Status"), tr("Last read")};
}

QVariant WatchModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
    return QAbstractTableModel::headerData(section, orientation, role);
  return headerTexts().at(section);
}

Qt::ItemFlags WatchModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  const Qt::ItemFlags base = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (isAddRow(index.row()))
    return index.column() == Register ? base | Qt::ItemIsEditable : Qt::ItemIsEnabled;
  const int c = index.column();
  return c == Name || c == Format || c == Value ? base | Qt::ItemIsEditable : base;
}

bool WatchModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (syncLayout()) return false;
  if (role != Qt::EditRole || !index.isValid() || index.row() >= rowCount()) return false;
  const int r = index.row();
  const auto say = [this](const std::string& why) {
    emit problem(QString::fromStdString(why));
    return false;
  };
  if (isAddRow(r)) {
    const QString typed = value.toString().trimmed();
    if (index.column() != Register || typed.isEmpty()) return false;
    unsigned reg = 0;
    const std::string why = list_.checkTyped(typed.toStdString(), RegisterFormat::Hex, &reg, Translated);
    if (!why.empty()) return say(why);
    // The empty row becomes the register's; a new empty row follows while there is room.
    const bool roomLeft = list_.size() + 1 < kMaxWatchRows;
    if (roomLeft) beginInsertRows(QModelIndex(), r + 1, r + 1);
    list_.add(reg, RegisterFormat::Hex, {}, Translated);
    shown_.push_back(Shown{list_.row(list_.size() - 1).revision, false});
    layout_ = list_.layoutRevision();
    if (roomLeft) endInsertRows();
    emit dataChanged(this->index(r, 0), this->index(r, ColumnCount - 1));
    emit workAdded();
    return true;
  }
  const auto i = static_cast<std::size_t>(r);
  switch (index.column()) {
    case Name:
      list_.rename(i, value.toString().toStdString());
      break;
    case Format: {
      bool ok = false;
      const int f = value.toInt(&ok);
      if (!ok || f < 0 || f >= kRegisterFormatCount) return false;
      const std::string why = list_.setFormat(i, static_cast<RegisterFormat>(f), Translated);
      if (!why.empty()) return say(why);
      break;
    }
    case Value: {
      const std::string why = list_.write(i, value.toString().toStdString(), Translated);
      if (!why.empty()) return say(why);
      emit workAdded();
      break;
    }
    default:
      return false;
  }
  emit dataChanged(this->index(r, 0), this->index(r, ColumnCount - 1));
  return true;
}

void WatchModel::removeListRows(const QList<int>& rows) {
  if (syncLayout()) return;  // the rows named were those of another layout
  QList<int> sorted;
  for (int r : rows)
    if (r >= 0 && r < static_cast<int>(list_.size())) sorted << r;
  std::sort(sorted.begin(), sorted.end());
  sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
  // Runs of neighbouring rows from the end, each with one removal, so the view keeps up.
  const bool wasFull = list_.size() == kMaxWatchRows;
  while (!sorted.isEmpty()) {
    int first = sorted.size() - 1;
    while (first > 0 && sorted[first - 1] == sorted[first] - 1) --first;
    const int from = sorted[first], to = sorted.last();
    beginRemoveRows(QModelIndex(), from, to);
    std::vector<std::size_t> indices;
    for (int r = from; r <= to; ++r) indices.push_back(static_cast<std::size_t>(r));
    list_.remove(indices);
    shown_.erase(shown_.begin() + from, shown_.begin() + to + 1);
    layout_ = list_.layoutRevision();
    endRemoveRows();
    sorted.erase(sorted.begin() + first, sorted.end());
  }
  if (wasFull && list_.size() < kMaxWatchRows) {
    // The empty row comes back.
    const int n = static_cast<int>(list_.size());
    beginInsertRows(QModelIndex(), n, n);
    endInsertRows();
  }
}

bool WatchModel::replaceAll(const std::vector<WatchEntry>& entries, QString* error) {
  const std::string why = list_.checkAll(entries, Translated);
  if (!why.empty()) {
    if (error) *error = QString::fromStdString(why);
    return false;
  }
  beginResetModel();
  list_.replaceAll(entries, Translated);
  resyncShown();
  endResetModel();
  emit workAdded();
  return true;
}

void WatchModel::resyncShown() {
  layout_ = list_.layoutRevision();
  shown_.assign(list_.size(), Shown{});
  for (std::size_t i = 0; i < list_.size(); ++i) shown_[i].revision = list_.row(i).revision;
}

bool WatchModel::syncLayout() {
  if (layout_ == list_.layoutRevision()) return false;
  // Rows came or went behind the model's back: everything anew.
  beginResetModel();
  resyncShown();
  endResetModel();
  return true;
}

void WatchModel::refresh() {
  if (syncLayout()) return;
  const std::int64_t now = clock_();
  int runStart = -1;
  const auto flush = [&](int end) {
    if (runStart < 0) return;
    emit dataChanged(index(runStart, 0), index(end - 1, ColumnCount - 1));
    runStart = -1;
  };
  for (std::size_t i = 0; i < list_.size(); ++i) {
    const bool marked = list_.changedRecently(i, now);
    Shown& s = shown_[i];
    const bool changed = s.revision != list_.row(i).revision || s.marked != marked;
    s.revision = list_.row(i).revision;
    s.marked = marked;
    if (changed && runStart < 0) runStart = static_cast<int>(i);
    if (!changed) flush(static_cast<int>(i));
  }
  flush(static_cast<int>(list_.size()));
}

QStringList WatchModel::rowTexts(int row) const {
  QStringList cells;
  for (int c = 0; c < ColumnCount; ++c) cells << data(index(row, c), Qt::DisplayRole).toString();
  return cells;
}

}  // namespace varnak
