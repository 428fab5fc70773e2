#include "monitor_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QSaveFile>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

namespace varnak {

MonitorWindow::MonitorWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("Monitor"));
  setWindowTitle(tr("Line monitor"));
  // Closing the main window ends the program even while the monitor is open.
  setAttribute(Qt::WA_QuitOnClose, false);
  resize(860, 520);

  // Four columns of "name figure", the figures right-aligned so they line up.
  counterGrid_ = new QGridLayout;
  counterGrid_->setHorizontalSpacing(6);
  counterGrid_->setVerticalSpacing(1);
  constexpr int kColumns = 4;
  const auto rows = counters_.rows();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const int row = static_cast<int>(i / kColumns);
    const int column = static_cast<int>(i % kColumns) * 2;
    auto* name = new QLabel(QCoreApplication::translate(rows[i].context, rows[i].label), this);
    auto* value = new QLabel(QStringLiteral("0"), this);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont bold = value->font();
    bold.setBold(true);
    value->setFont(bold);
    value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("000000")));
    counterGrid_->addWidget(name, row, column);
    counterGrid_->addWidget(value, row, column + 1);
    counterValues_.push_back(value);
  }
  counterGrid_->setColumnStretch(kColumns * 2, 1);
  droppedLabel_ = new QLabel(this);
  pause_ = new QPushButton(tr("Pause"), this);
  pause_->setCheckable(true);
  pause_->setToolTip(tr("Pause: counting goes on, the lines stop moving"));
  clear_ = new QPushButton(tr("Clear"), this);
  clear_->setToolTip(tr("Clear the lines"));
  save_ = new QPushButton(tr("Save…"), this);
  save_->setToolTip(tr("Save the lines to a text file"));
  reset_ = new QPushButton(tr("Reset counters"), this);
  reset_->setToolTip(tr("Reset the counters"));
  for (QPushButton* b : {pause_, clear_, save_, reset_}) b->setAutoDefault(false);

  view_ = new QListView(this);
  view_->setModel(&model_);
  view_->setUniformItemSizes(true);  // the view asks only for the rows it shows
  view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  mono.setPixelSize(12);
  view_->setFont(mono);
  auto* copy = new QAction(view_);
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetShortcut);
  view_->addAction(copy);
  connect(copy, &QAction::triggered, this, &MonitorWindow::copySelection);

  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {pause_, clear_, save_, reset_}) buttons->addWidget(b);
  buttons->addStretch(1);
  buttons->addWidget(droppedLabel_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(counterGrid_);
  layout->addLayout(buttons);
  layout->addWidget(view_, 1);

  connect(pause_, &QPushButton::toggled, this, [this](bool on) {
    flush();
    model_.setPaused(on);
  });
  connect(clear_, &QPushButton::clicked, this, [this] {
    pending_.clear();
    model_.clear();
  });
  connect(save_, &QPushButton::clicked, this, &MonitorWindow::save);
  connect(reset_, &QPushButton::clicked, this, &MonitorWindow::resetCounters);
  connect(&model_, &MonitorModel::droppedChanged, this, [this](long long n) {
    droppedLabel_->setText(
        n ? tr("older lines dropped: %1 (the newest %2 are kept)").arg(n).arg(MonitorModel::kMaxLines)
          : QString());
  });
  // Follow the newest line unless the operator has scrolled up to read.
  connect(&model_, &QAbstractItemModel::rowsInserted, this, [this] {
    if (!isVisible()) return;
    QScrollBar* bar = view_->verticalScrollBar();
    if (bar->value() >= bar->maximum() - 2 * view_->sizeHintForRow(0)) view_->scrollToBottom();
  });
  // Counters are redrawn at most twice a second, whatever the line's pace.
  refresh_.setInterval(500);
  connect(&refresh_, &QTimer::timeout, this, [this] {
    flush();
    refreshCounters();
  });
  refreshCounters();
}

void MonitorWindow::hideEvent(QHideEvent* event) {
  // Hidden, lines and counts are kept but nothing is drawn.
  refresh_.stop();
  QWidget::hideEvent(event);
}

void MonitorWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  flush();
  refresh_.start();
  refreshCounters();
  view_->scrollToBottom();
  view_->setFocus();  // so that Ctrl+A then Ctrl+C copies everything
}

void MonitorWindow::add(const LoggedEvent& logged) {
  counters_.count(logged.event);
  countersDirty_ = true;
  pending_.push_back(logged);
  // Hidden, nothing is drawn: keep the batch small without a timer.
  if (!isVisible() && pending_.size() >= 256) flush();
}

void MonitorWindow::flush() {
  if (pending_.empty()) return;
  std::deque<LoggedEvent> events;
  events.swap(pending_);
  model_.append(std::move(events));
}

QString MonitorWindow::countersText() {
  refreshCounters();
  QStringList out;
  const auto rows = counters_.rows();
  for (std::size_t i = 0; i < rows.size(); ++i)
    out << QCoreApplication::translate(rows[i].context, rows[i].label) + QLatin1Char(' ') +
               counterValues_[i]->text();
  return out.join(QLatin1Char('\n'));
}

void MonitorWindow::refreshCounters() {
  if (!countersDirty_) return;
  countersDirty_ = false;
  const auto rows = counters_.rows();
  for (std::size_t i = 0; i < rows.size() && i < counterValues_.size(); ++i) {
    const QString figure = QString::number(rows[i].value);
    if (counterValues_[i]->text() != figure) counterValues_[i]->setText(figure);
  }
}

void MonitorWindow::resetCounters() {
  counters_ = LinkCounters{};
  countersDirty_ = true;
  refreshCounters();
}

QString MonitorWindow::selectedText() const {
  // What is selected is what is shown: lines not yet in the model are not.
  QModelIndexList rows = view_->selectionModel()->selectedRows();
  std::sort(rows.begin(), rows.end(),
            [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  QStringList out;
  for (const QModelIndex& i : rows) out << model_.line(i.row());
  return out.join(QLatin1Char('\n'));
}

void MonitorWindow::copySelection() const {
  const QString text = selectedText();
  if (!text.isEmpty()) QApplication::clipboard()->setText(text + QLatin1Char('\n'));
}

bool MonitorWindow::saveTo(const QString& path, QString* error) {
  flush();
  // The old file stays as it was unless every line reached the new one.
  QSaveFile file(path);
  if (file.open(QIODevice::WriteOnly | QIODevice::Text)) {
    model_.writeLines([&file](const QString& line) {
      file.write(line.toUtf8());
      file.write("\n");
    });
    if (file.commit()) return true;
  }
  if (error) *error = tr("Cannot save %1: %2").arg(path, file.errorString());
  return false;
}

void MonitorWindow::save() {
  const QString path =
      QFileDialog::getSaveFileName(this, tr("Save the lines"), QStringLiteral("varnak-monitor.txt"),
                                   tr("Text files (*.txt);;All files (*)"));
  if (path.isEmpty()) return;
  QString error;
  if (!saveTo(path, &error)) QMessageBox::warning(this, windowTitle(), error);
}

}  // namespace varnak
