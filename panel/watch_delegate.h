// How the register watch's cells are drawn and edited: a combo box for the
// format, a line edit for the rest, and the value of a row that changed less
// than two seconds ago marked with the palette's highlight colour.
#pragma once

#include <QStyledItemDelegate>
#include <QTableView>

namespace varnak {

class WatchDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  // The mark's background: the palette's highlight blended into its base, so
  // that it reads on light and dark palettes alike and differs from a selection.
  static QColor markColour(const QPalette& palette);

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;
  void setEditorData(QWidget* editor, const QModelIndex& index) const override;
  void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
  // Notes Enter in a value's editor: only Enter writes; leaving the cell otherwise drops what was typed.
  bool eventFilter(QObject* editor, QEvent* event) override;
};

// The table: typing on the empty last row starts adding a register; on other
// rows only a double click or F2 opens a cell, so that a stray key never
// starts a write.
class WatchView : public QTableView {
  Q_OBJECT

 public:
  using QTableView::QTableView;

 protected:
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
};

}  // namespace varnak
