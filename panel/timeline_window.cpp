#include "timeline_window.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QSaveFile>
#include <QVBoxLayout>
#include <sstream>

#include "timeline/csv_writer.h"
#include "timeline/list_recorder.h"
#include "timeline/vcd_writer.h"

namespace varnak {

namespace {

QString SpanText(std::int64_t ms) {
  if (ms < 60000) return TimelineWindow::tr("%1 s").arg(ms / 1000.0, 0, 'g', 3);
  if (ms < 3600000) return TimelineWindow::tr("%1 min").arg(ms / 60000.0, 0, 'g', 3);
  return TimelineWindow::tr("%1 h").arg(ms / 3600000.0, 0, 'g', 3);
}

}  // namespace

EventWords TimelineWindow::Words() {
  EventWords words;
  words.command = [](const CommandMarker& c) {
    const QString reg = QString::fromLatin1(c.reg), value = QString::fromLatin1(c.value);
    QString text;
    if (c.kind == CommandKind::Read) {
      text = c.outcome == CommandOutcome::ValueRead ? tr("read %1 = %2").arg(reg, value)
             : c.outcome == CommandOutcome::Pending ? tr("read %1 …").arg(reg)
                                                    : tr("read %1 failed").arg(reg);
    } else {
      text = c.outcome == CommandOutcome::Confirmed ? tr("write %1 = %2 confirmed").arg(reg, value)
             : c.outcome == CommandOutcome::Pending ? tr("write %1 = %2 …").arg(reg, value)
                                                    : tr("write %1 = %2 not confirmed").arg(reg, value);
    }
    return text.toStdString();
  };
  words.notLive = tr("not live").toStdString();
  words.liveAgain = tr("live again").toStdString();
  //: %1 is a register, R1000
  words.registerNotLive = tr("%1 not live").toStdString();
  //: %1 is a register, R1000
  words.registerLiveAgain = tr("%1 live again").toStdString();
  return words;
}

TimelineWindow::TimelineWindow(const Recorder& recorder, TimelineChart::Clock clock, QWidget* parent)
    : QWidget(parent, Qt::Window), recorder_(recorder), clock_(clock) {
  setObjectName(QStringLiteral("Timeline"));
  setWindowTitle(tr("Output timing"));
  // Closing the main window ends the program even while the chart is open.
  setAttribute(Qt::WA_QuitOnClose, false);
  resize(960, 520);

  // Many register lanes make the chart taller than the window: it scrolls up and down.
  scroll_ = new QScrollArea(this);
  scroll_->setWidgetResizable(true);
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll_->setFocusPolicy(Qt::NoFocus);
  chart_ = new TimelineChart(recorder, std::move(clock));
  scroll_->setWidget(chart_);
  chart_->setWords(Words());
  follow_ = new QPushButton(tr("Back to now (End)"), this);
  follow_->setToolTip(tr("Follow the present again"));
  zoomIn_ = new QPushButton(QStringLiteral("+"), this);
  zoomIn_->setToolTip(tr("Zoom in (+, Ctrl+wheel)"));
  zoomOut_ = new QPushButton(QStringLiteral("−"), this);
  zoomOut_->setToolTip(tr("Zoom out (-, Ctrl+wheel)"));
  save_ = new QPushButton(tr("Save…"), this);
  save_->setToolTip(tr("Save what the chart holds as CSV, or as VCD when the name ends in .vcd (Ctrl+S)"));
  span_ = new QLabel(this);
  cursor_ = new QLabel(this);
  cursor_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* hint =
      new QLabel(tr("Wheel or drag: scroll back · Ctrl+wheel, + and -: zoom · End: the present"), this);
  hint->setForegroundRole(QPalette::PlaceholderText);
  for (QPushButton* b : {follow_, zoomIn_, zoomOut_, save_}) {
    b->setAutoDefault(false);
    b->setFocusPolicy(Qt::NoFocus);  // the keys stay with the chart
  }

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(follow_);
  buttons->addWidget(zoomIn_);
  buttons->addWidget(zoomOut_);
  buttons->addWidget(span_);
  buttons->addStretch(1);
  buttons->addWidget(hint);
  buttons->addWidget(save_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(scroll_, 1);
  layout->addWidget(cursor_);

  auto* saveAction = new QAction(this);
  saveAction->setShortcut(QKeySequence::Save);
  addAction(saveAction);
  connect(saveAction, &QAction::triggered, this, &TimelineWindow::save);
  connect(save_, &QPushButton::clicked, this, &TimelineWindow::save);
  connect(follow_, &QPushButton::clicked, chart_, &TimelineChart::follow);
  connect(zoomIn_, &QPushButton::clicked, chart_, [this] { chart_->zoom(0.5); });
  connect(zoomOut_, &QPushButton::clicked, chart_, [this] { chart_->zoom(2.0); });
  connect(chart_, &TimelineChart::followingChanged, follow_, [this](bool on) { follow_->setEnabled(!on); });
  connect(chart_, &TimelineChart::viewChanged, this, &TimelineWindow::showSpan);
  connect(chart_, &TimelineChart::cursorMoved, cursor_, &QLabel::setText);
  follow_->setEnabled(false);
  showSpan();
  chart_->setFocus();
}

void TimelineWindow::showSpan() { span_->setText(tr("Screen: %1").arg(SpanText(chart_->spanMs()))); }

std::vector<unsigned> TimelineWindow::columns() {
  chart_->syncLanes();
  std::vector<WatchEntry> rows;
  for (const TimelineChart::BusLane& lane : chart_->busLanes())
    rows.push_back(WatchEntry{lane.reg, {}, lane.format});
  return RecordingColumns(rows, recorder_.registers());
}

bool TimelineWindow::saveTo(const QString& path, QString* error) {
  std::ostringstream out;
  const std::int64_t now = clock_();
  const std::vector<unsigned> registers = columns();
  if (path.endsWith(QStringLiteral(".vcd"), Qt::CaseInsensitive)) {
    WriteVcd(out, recorder_, now, Words(), registers);
  } else {
    WriteCsv(out, recorder_, now, Words(), registers);
  }
  // The old file stays whole when writing fails.
  QSaveFile file(path);
  const std::string text = out.str();
  if (!file.open(QIODevice::WriteOnly) || file.write(text.data(), static_cast<qint64>(text.size())) < 0 ||
      !file.commit()) {
    if (error) *error = file.errorString();
    return false;
  }
  return true;
}

void TimelineWindow::save() {
  QString path;
  if (askPath_) {
    path = askPath_();
  } else {
    const QString vcd = tr("VCD (*.vcd)");
    QString chosen;
    path = QFileDialog::getSaveFileName(this, tr("Save"), QStringLiteral("varnak-outputs.csv"),
                                        tr("CSV (*.csv)") + QStringLiteral(";;") + vcd, &chosen);
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
      path += chosen == vcd ? QStringLiteral(".vcd") : QStringLiteral(".csv");
  }
  if (path.isEmpty()) return;
  QString error;
  if (!saveTo(path, &error))
    QMessageBox::warning(this, windowTitle(), tr("Cannot write %1: %2").arg(path, error));
}

}  // namespace varnak
