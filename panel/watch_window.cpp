#include "watch_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QSaveFile>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "panel/watch_delegate.h"
#include "translations/translate.h"
#include "watch/watch_file_read.h"

namespace varnak {

namespace {

// A cell of copied text: its tabs and line breaks would start another cell or row.
QString OneCell(QString text) {
  for (QChar& c : text)
    if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r')) c = QLatin1Char(' ');
  return text;
}

}  // namespace

WatchWindow::WatchWindow(WatchList& list, WatchModel::Clock clock, QWidget* parent)
    : QWidget(parent, Qt::Window), list_(list) {
  setObjectName(QStringLiteral("Watch"));
  setWindowTitle(tr("Register watch"));
  // Closing the main window ends the program even while the watch is open.
  setAttribute(Qt::WA_QuitOnClose, false);

  model_ = new WatchModel(list, std::move(clock), this);
  view_ = new WatchView(this);
  view_->setObjectName(QStringLiteral("WatchTable"));
  view_->setModel(model_);
  view_->setItemDelegate(new WatchDelegate(view_));
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  view_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                         QAbstractItemView::AnyKeyPressed);
  view_->setWordWrap(false);
  view_->verticalHeader()->hide();
  // Rows of one height: the view lays out only the rows it shows, whatever the list's length.
  view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view_->horizontalHeader()->setHighlightSections(false);
  view_->horizontalHeader()->setStretchLastSection(false);

  open_ = new QPushButton(tr("Open…"), this);
  open_->setToolTip(tr("Replace the list by a register list file (CSV)"));
  save_ = new QPushButton(tr("Save…"), this);
  save_->setToolTip(tr("Save the list as a register list file (CSV)"));
  remove_ = new QPushButton(tr("Remove"), this);
  remove_->setToolTip(tr("Remove the selected rows (Delete)"));
  for (QPushButton* b : {open_, save_, remove_}) {
    b->setAutoDefault(false);
    b->setFocusPolicy(Qt::NoFocus);  // the keys stay with the table
  }
  auto* hint = new QLabel(
      tr("Type a register into the last row to add it · F2 or double-click: edit · Enter: write the value"),
      this);
  hint->setForegroundRole(QPalette::PlaceholderText);
  // Wrapped, it never makes the window wider than the table wants, in any language or font.
  hint->setWordWrap(true);
  hint->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  message_ = new QLabel(this);
  message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  message_->setWordWrap(true);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(open_);
  buttons->addWidget(save_);
  buttons->addWidget(remove_);
  buttons->addSpacing(12);
  buttons->addWidget(hint, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(view_, 1);
  layout->addWidget(message_);

  auto* copy = new QAction(view_);
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetShortcut);
  view_->addAction(copy);
  connect(copy, &QAction::triggered, this, &WatchWindow::copySelection);
  auto* del = new QAction(view_);
  del->setShortcut(QKeySequence::Delete);
  del->setShortcutContext(Qt::WidgetShortcut);
  view_->addAction(del);
  connect(del, &QAction::triggered, this, &WatchWindow::removeSelected);
  connect(remove_, &QPushButton::clicked, this, &WatchWindow::removeSelected);
  connect(open_, &QPushButton::clicked, this, &WatchWindow::open);
  connect(save_, &QPushButton::clicked, this, &WatchWindow::save);
  connect(model_, &WatchModel::problem, this, &WatchWindow::say);
  connect(model_, &WatchModel::workAdded, this, [this] {
    say(QString());
    emit workAdded();
  });
  warn_ = [this](const QString& text) { QMessageBox::warning(this, windowTitle(), text); };

  refresh_.setInterval(kRefreshMs);
  connect(&refresh_, &QTimer::timeout, model_, &WatchModel::refresh);
  sizeColumns();
  resize(840, 440);
}

void WatchWindow::fitWidth() {
  // The font in force once the window is polished, a desktop theme's included.
  const int columns = sizeColumns();
  const int frame = 2 * view_->frameWidth() + style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  const QMargins m = layout()->contentsMargins();
  int width = std::max(columns + frame + m.left() + m.right() + 2, this->width());
  if (const QScreen* s = screen()) width = std::min(width, s->availableGeometry().width());
  resize(width, height());
}

int WatchWindow::sizeColumns() {
  // From the font, so the columns fit at any scale and in either language; no
  // measuring of every row.
  const QFontMetrics fm(view_->font());
  const int pad = 3 * fm.horizontalAdvance(QLatin1Char(' ')) + 8;
  const auto fit = [&](const QStringList& texts) {
    int w = 0;
    for (const QString& t : texts) w = std::max(w, fm.horizontalAdvance(t));
    return w + pad;
  };
  const QStringList header = model_->headerTexts();
  const QHeaderView* h = view_->horizontalHeader();
  const QFontMetrics hm(h->font());
  int total = 0;
  const auto column = [&](int c, int cells) {
    const int w = std::max(cells, hm.horizontalAdvance(header[c]) + pad + 8);
    view_->setColumnWidth(c, w);
    total += w;
  };
  column(WatchModel::Register, fit({QStringLiteral("R77777")}));
  column(WatchModel::Name, fm.averageCharWidth() * 18 + pad);
  QStringList formats;
  for (int f = 0; f < kRegisterFormatCount; ++f)
    formats << WatchModel::formatText(static_cast<RegisterFormat>(f));
  // Room for the combo box's arrow while the format is edited.
  column(WatchModel::Format, fit(formats) + fm.height() + 8);
  column(WatchModel::Value, fit({QStringLiteral("0000000000000000"), QStringLiteral("-2147483648"),
                                 QStringLiteral("-3.40282347e+38")}));
  column(WatchModel::ReadAt, fit({QStringLiteral("00:00:00.000")}));
  view_->horizontalHeader()->setSectionResizeMode(WatchModel::Status, QHeaderView::Stretch);
  view_->horizontalHeader()->setMinimumSectionSize(fm.horizontalAdvance(QStringLiteral("R77777")));
  view_->verticalHeader()->setDefaultSectionSize(fm.height() + 8);
  // The status column gets what is left; a window this wide leaves it room for most of its texts.
  return total + fit({QString::fromStdString(
                     Translated(kWatchListContext, "written, but reads back another value"))});
}

void WatchWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::LanguageChange) sizeColumns();
}

void WatchWindow::showEvent(QShowEvent* event) {
  if (!fitted_) {
    fitted_ = true;
    fitWidth();
  }
  QWidget::showEvent(event);
  if (!event->spontaneous()) {
    list_.setActive(true);
    emit workAdded();
  }
  model_->refresh();
  refresh_.start();
  view_->setFocus();
}

void WatchWindow::hideEvent(QHideEvent* event) {
  // Hidden or minimised, nothing is drawn; the reads go on until the window is closed.
  refresh_.stop();
  QWidget::hideEvent(event);
}

void WatchWindow::closeEvent(QCloseEvent* event) {
  list_.setActive(false);
  QWidget::closeEvent(event);
}

void WatchWindow::say(const QString& message) { message_->setText(message); }

QString WatchWindow::selectedText() const {
  QList<int> rows;
  for (const QModelIndex& i : view_->selectionModel()->selectedIndexes())
    if (!model_->isAddRow(i.row())) rows << i.row();
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  if (rows.isEmpty()) return {};
  QStringList lines{model_->headerTexts().join(QLatin1Char('\t'))};
  for (int r : rows) {
    QStringList cells;
    for (const QString& cell : model_->rowTexts(r)) cells << OneCell(cell);
    lines << cells.join(QLatin1Char('\t'));
  }
  return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void WatchWindow::copySelection() const {
  const QString text = selectedText();
  if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

void WatchWindow::removeSelected() {
  QList<int> rows;
  for (const QModelIndex& i : view_->selectionModel()->selectedRows()) rows << i.row();
  if (rows.isEmpty() && view_->currentIndex().isValid()) rows << view_->currentIndex().row();
  model_->removeListRows(rows);
}

bool WatchWindow::openFile(const QString& path, QString* error) {
  const auto fail = [&](const QString& why) {
    if (error) *error = why;
    return false;
  };
  const WatchFile read = ReadWatchFile(path.toStdString(), Translated);
  if (!read.error.empty()) return fail(QString::fromStdString(read.error));
  QString why;
  if (!model_->replaceAll(read.entries, &why)) return fail(QStringLiteral("%1: %2").arg(path, why));
  say(QString());
  return true;
}

bool WatchWindow::saveTo(const QString& path, QString* error) {
  const std::string text = FormatWatchFile(list_.entries());
  // The old file stays whole unless the new one was written to its end.
  QSaveFile file(path);
  bool whole = file.open(QIODevice::WriteOnly);
  // A write that reaches a limit (a full disk, a file size limit) stores part and reports no error:
  // the rest is written again until it is all there or the device says why not.
  for (std::size_t done = 0; whole && done < text.size();) {
    const qint64 n = file.write(text.data() + done, static_cast<qint64>(text.size() - done));
    whole = n > 0;
    if (whole) done += static_cast<std::size_t>(n);
  }
  if (whole && file.commit()) return true;
  if (error) *error = tr("Cannot save %1: %2").arg(path, file.errorString());
  return false;
}

void WatchWindow::setPathAskers(std::function<QString()> open, std::function<QString()> save) {
  askOpen_ = std::move(open);
  askSave_ = std::move(save);
}

void WatchWindow::open() {
  const QString path = askOpen_ ? askOpen_()
                                : QFileDialog::getOpenFileName(this, tr("Open a register list"), QString(),
                                                               tr("Register lists (*.csv);;All files (*)"));
  if (path.isEmpty()) return;
  QString error;
  if (!openFile(path, &error)) warn_(error);
}

void WatchWindow::save() {
  QString path;
  if (askSave_) {
    path = askSave_();
  } else {
    path =
        QFileDialog::getSaveFileName(this, tr("Save the register list"), QStringLiteral("varnak-watch.csv"),
                                     tr("Register lists (*.csv);;All files (*)"));
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".csv");
  }
  if (path.isEmpty()) return;
  QString error;
  if (!saveTo(path, &error)) warn_(error);
}

}  // namespace varnak
