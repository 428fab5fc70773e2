// The register watch's table: one row per register of the WatchList, then an
// empty row into which a register is typed to add it. The list changes under
// the model as the link control reads; refresh() tells the view which rows
// changed since the last call, so only those are drawn again.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <functional>
#include <vector>

#include "watch/watch_list.h"

namespace varnak {

class WatchModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { Register, Name, Format, Value, Status, ReadAt, ColumnCount };
  // Whether the value changed less than kChangeMarkMs ago (bool), for the delegate.
  static constexpr int ChangedRole = Qt::UserRole + 1;
  // The format as an int (RegisterFormat), for the combo box.
  static constexpr int FormatRole = Qt::UserRole + 2;
  // Whether the cell belongs to the empty row for adding (bool): its hint is drawn faint.
  static constexpr int AddRowRole = Qt::UserRole + 3;

  // Milliseconds on the link control's clock.
  using Clock = std::function<std::int64_t()>;
  WatchModel(WatchList& list, Clock clock, QObject* parent = nullptr);
  // A new clock (a test's): the wall-clock times are worked out anew.
  void setClock(Clock clock);

  // The format's name as the table shows it, in the operator's language.
  static QString formatText(RegisterFormat format);
  // "R1000".
  static QString registerText(unsigned reg);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // Register (the empty row: adds it), name, format or value (writes it). A
  // refused edit changes nothing and says why through problem().
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

  // Whether the row is the empty one at the end.
  bool isAddRow(int row) const { return row == static_cast<int>(list_.size()); }
  // Removes these rows (the empty one ignored).
  void removeListRows(const QList<int>& rows);
  // Every row replaced; false (and `error` set) when the list refuses them, changing nothing.
  bool replaceAll(const std::vector<WatchEntry>& entries, QString* error);
  // Emits dataChanged for the rows that changed or whose change mark came or went since the last call.
  void refresh();

  // The six cells of a row as shown, for copying.
  QStringList rowTexts(int row) const;
  QStringList headerTexts() const;

 signals:
  // An edit was refused: why, in the operator's language.
  void problem(const QString& text);
  // An edit gave the list new work (a row, a write): the link control should look at once.
  void workAdded();

 private:
  // What a row looked like when last drawn.
  struct Shown {
    std::uint64_t revision = 0;
    bool marked = false;
  };
  void resyncShown();
  // Catches up with rows added or removed behind the model's back; true if it had to.
  bool syncLayout();
  QString timeText(std::int64_t at) const;

  WatchList& list_;
  std::uint64_t layout_ = 0;  // the list's layoutRevision() that the rows reflect
  Clock clock_;
  std::int64_t wallOffset_ = 0;  // wall-clock ms since the epoch minus the clock's ms
  std::vector<Shown> shown_;
};

}  // namespace varnak
