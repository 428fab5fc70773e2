#include "watch_delegate.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

#include "panel/watch_model.h"

namespace varnak {

namespace {

constexpr const char* kEnterPressed = "varnakEnterPressed";

}  // namespace

QColor WatchDelegate::markColour(const QPalette& palette) {
  const QColor base = palette.color(QPalette::Active, QPalette::Base);
  const QColor high = palette.color(QPalette::Active, QPalette::Highlight);
  constexpr double kShare = 0.55;  // of the highlight
  const auto mix = [](int a, int b) { return static_cast<int>(a + (b - a) * kShare + 0.5); };
  return QColor(mix(base.red(), high.red()), mix(base.green(), high.green()), mix(base.blue(), high.blue()));
}

void WatchDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
  QStyledItemDelegate::initStyleOption(option, index);
  if (index.data(WatchModel::AddRowRole).toBool())
    option->palette.setBrush(QPalette::Text, option->palette.brush(QPalette::PlaceholderText));
  if (index.data(WatchModel::ChangedRole).toBool()) {
    option->backgroundBrush = markColour(option->palette);
    // Bold as well, for whoever cannot tell the colours apart.
    option->font.setBold(true);
  }
}

QWidget* WatchDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                     const QModelIndex& index) const {
  if (index.column() != WatchModel::Format) {
    auto* edit = new QLineEdit(parent);
    edit->setFrame(false);
    // A name is kept to 200 characters; nothing typed here needs more.
    edit->setMaxLength(200);
    return edit;
  }
  auto* box = new QComboBox(parent);
  for (int f = 0; f < kRegisterFormatCount; ++f)
    box->addItem(WatchModel::formatText(static_cast<RegisterFormat>(f)), f);
  // The format applies as soon as one is chosen.
  connect(box, QOverload<int>::of(&QComboBox::activated), this, [this, box] {
    auto* self = const_cast<WatchDelegate*>(this);
    emit self->commitData(box);
    emit self->closeEditor(box);
  });
  return box;
}

void WatchDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
  if (auto* box = qobject_cast<QComboBox*>(editor)) {
    box->setCurrentIndex(box->findData(index.data(WatchModel::FormatRole)));
    return;
  }
  QStyledItemDelegate::setEditorData(editor, index);
}

void WatchDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const {
  if (auto* box = qobject_cast<QComboBox*>(editor)) {
    model->setData(index, box->currentData(), Qt::EditRole);
    return;
  }
  if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
    if (index.column() == WatchModel::Value && !edit->property(kEnterPressed).toBool()) return;
    model->setData(index, edit->text(), Qt::EditRole);
    return;
  }
  QStyledItemDelegate::setModelData(editor, model, index);
}

bool WatchDelegate::eventFilter(QObject* editor, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) editor->setProperty(kEnterPressed, true);
  }
  return QStyledItemDelegate::eventFilter(editor, event);
}

bool WatchView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
  if (trigger == AnyKeyPressed) {
    const auto* m = qobject_cast<const WatchModel*>(model());
    if (!m || !index.isValid() || !m->isAddRow(index.row())) return false;
    const QModelIndex reg = index.sibling(index.row(), WatchModel::Register);
    if (reg != index) setCurrentIndex(reg);
    return QTableView::edit(reg, trigger, event);
  }
  return QTableView::edit(index, trigger, event);
}

}  // namespace varnak
