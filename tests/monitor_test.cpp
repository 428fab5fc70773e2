// The line monitor offscreen: lines and counters as exchanges run, pause, clear,
// copy, save, its bound, and the same line for --trace and the monitor.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "fakes.h"
#include "panel/form2.h"

namespace varnak::testing {
namespace {

class MonitorTest : public ::testing::Test {
 protected:
  MonitorTest() {
    form.load(QStringLiteral("1"));
    form.Timer1->stop();
    monitor = form.monitor();
  }
  void receive(const Bytes& chunk) {
    port.input = chunk;
    port.deliver(form.now());
  }
  void poll(std::uint8_t outputs) {
    form.core().Timer1_Timer(form.now());
    receive(kEnqAck);
    receive(DataReply(outputs, 0));
  }
  QStringList lines() {
    QStringList out;
    for (int i = 0; i < monitor->model()->rowCount(); ++i) out << monitor->model()->line(i);
    return out;
  }
  // The lines without their time stamps ("HH:MM:SS.mmm" and the ms since start).
  std::vector<std::string> bodies() {
    std::vector<std::string> out;
    static const QRegularExpression stamp(QStringLiteral("^\\S+ +\\S+ "));
    for (QString l : lines()) out.push_back(l.remove(stamp).toStdString());
    return out;
  }

  FakePort port;
  Form2 form{port};
  MonitorWindow* monitor = nullptr;
};

TEST_F(MonitorTest, LinesAndCountersFollowTheExchanges) {
  poll(0x81);
  form.Command3->click();
  // A corrupted reply at every attempt: the read goes again twice, then fails.
  for (int attempt = 1; attempt <= kAttempts; ++attempt) {
    receive(kEnqAck);
    receive({0x06, 0x02, 0x34, 0x12, 0x03, 0x27});
    form.core().Timeout(form.now() + LinkControl::kRetryQuietMs);  // the line quiet: again
  }
  std::vector<std::string> expected = {
      "-- poll started by the poll timer",
      "-- port opened: COM1",
      "TX 4E 21 05  enquiry",
      "RX 4E 21 06  enquiry ack -> poll header sent",
      "TX 01 30 31 30 33 30 31 30 31 30 30 30 32 30 31 17 01  poll header",
      "RX 06 02 81 00 03 81  ack + data 0081 (check byte ok) -> lamps set",
      "-- poll done",
      "-- read R2000 started by the read button",
  };
  // Each attempt of the read, the first and the two again.
  const std::vector<std::string> attempt = {
      "TX 4E 21 05  enquiry",
      "-- polling held: the read button, until the read header goes out",
      "RX 4E 21 06  enquiry ack -> read header sent",
      "TX 01 30 31 30 31 30 34 30 31 30 30 30 32 30 31 17 06  read header R2000",
      "-- polling released: read header sent",
      "RX 06 02 34 12 03 27  ack + data 1234 (check byte bad) -> ignored: check byte bad",
  };
  expected.insert(expected.end(), attempt.begin(), attempt.end());
  for (const char* n : {"2", "3"}) {
    expected.push_back(std::string("-- read R2000: check byte bad, trying again (attempt ") + n + " of 3)");
    expected.insert(expected.end(), attempt.begin(), attempt.end());
  }
  expected.push_back("-- read R2000 failed: check byte bad");
  EXPECT_EQ(bodies(), expected);
  const LinkCounters& c = monitor->counters();
  EXPECT_EQ(c.started, (std::array<int, kExchangeKindCount>{0, 1, 1, 0, 0}));
  EXPECT_EQ(c.completed, (std::array<int, kExchangeKindCount>{0, 0, 1, 0, 0}));
  EXPECT_EQ(c.failed, (std::array<int, kExchangeKindCount>{0, 1, 0, 0, 0}));
  EXPECT_EQ(c.ignored(), 3);
  EXPECT_EQ(c.retried, 2);
  EXPECT_TRUE(monitor->countersText().contains(QStringLiteral("ignored: check byte bad")));
  monitor->resetCounters();
  EXPECT_EQ(monitor->counters().ignored(), 0);
  EXPECT_EQ(monitor->counters().started, (std::array<int, kExchangeKindCount>{0, 0, 0, 0, 0}));
}

TEST_F(MonitorTest, PauseStopsTheLinesButNotTheCountingAndClearEmpties) {
  poll(0x01);
  const int before = monitor->model()->rowCount();
  monitor->pauseButton()->click();
  poll(0x02);
  EXPECT_EQ(monitor->model()->rowCount(), before);
  EXPECT_EQ(monitor->counters().completed[2], 2);
  monitor->pauseButton()->click();
  EXPECT_GT(monitor->model()->rowCount(), before);
  EXPECT_TRUE(lines().last().endsWith(QStringLiteral("poll done")));
  monitor->clearButton()->click();
  EXPECT_EQ(monitor->model()->rowCount(), 0);
}

TEST_F(MonitorTest, SelectAllAndCopyTakeEveryLine) {
  form.openMonitor();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(monitor));
  poll(0x81);
  QTest::qWait(600);  // the lines reach the view within half a second
  EXPECT_EQ(monitor->lines()->model()->rowCount(), 7);
  EXPECT_TRUE(monitor->lines()->hasFocus() || QApplication::focusWidget() == nullptr);
  QTest::keyClick(monitor->lines(), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(monitor->lines(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), lines().join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

TEST_F(MonitorTest, SavesTheLinesAsText) {
  poll(0x81);
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("lines.txt"));
  ASSERT_TRUE(monitor->saveTo(path));
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromUtf8(f.readAll()), lines().join(QLatin1Char('\n')) + QLatin1Char('\n'));
  EXPECT_FALSE(monitor->saveTo(dir.filePath(QStringLiteral("no/such/folder/lines.txt"))));
}

// Events told apart by their milliseconds since start, which the line shows.
LoggedEvent Numbered(int n) { return {{LinkEvent::Kind::Completed}, 0, static_cast<double>(n)}; }
QString NumberOf(const QString& line) {
  return line.section(QLatin1Char(' '), 1, 1, QString::SectionSkipEmpty);
}

TEST(MonitorModel, KeepsTheNewestTenThousandLinesAndCountsTheRest) {
  MonitorModel model;
  for (int i = 0; i < MonitorModel::kMaxLines + 50; ++i) model.append(Numbered(i));
  EXPECT_EQ(model.rowCount(), MonitorModel::kMaxLines);
  EXPECT_EQ(model.dropped(), 50);
  EXPECT_EQ(NumberOf(model.line(0)), QStringLiteral("50.000"));
  model.setPaused(true);
  for (int i = 0; i < MonitorModel::kMaxLines + 7; ++i) model.append(Numbered(100000 + i));
  EXPECT_EQ(NumberOf(model.line(0)), QStringLiteral("50.000"));
  model.setPaused(false);
  EXPECT_EQ(model.rowCount(), MonitorModel::kMaxLines);
  EXPECT_EQ(NumberOf(model.line(0)), QStringLiteral("100007.000"));
  EXPECT_EQ(model.dropped(), 50 + 7 + MonitorModel::kMaxLines);
}

// A save while paused holds the lines the pause held back, and says where the
// pause's own bound dropped some; the shown lines come first, the older ones'
// drop is noted at the top.
TEST(MonitorModel, LinesForAFileIncludeThoseHeldBackByThePause) {
  MonitorModel model;
  for (int i = 0; i < MonitorModel::kMaxLines + 3; ++i) model.append(Numbered(i));
  model.setPaused(true);
  for (int i = 0; i < MonitorModel::kMaxLines + 5; ++i) model.append(Numbered(100000 + i));
  QStringList file;
  model.writeLines([&](const QString& line) { file << line; });
  ASSERT_EQ(file.size(), 2 * MonitorModel::kMaxLines + 2);
  EXPECT_EQ(file[0],
            QStringLiteral("(older lines dropped before this one: 3; the monitor keeps the newest 10000)"));
  EXPECT_EQ(NumberOf(file[1]), QStringLiteral("3.000"));
  EXPECT_EQ(NumberOf(file[MonitorModel::kMaxLines]), QStringLiteral("10002.000"));
  EXPECT_EQ(file[MonitorModel::kMaxLines + 1],
            QStringLiteral("(lines dropped here while paused: 5; the pause holds back at most 10000)"));
  EXPECT_EQ(NumberOf(file[MonitorModel::kMaxLines + 2]), QStringLiteral("100005.000"));
  EXPECT_EQ(NumberOf(file.last()), QStringLiteral("110004.000"));
}

TEST_F(MonitorTest, SaveWhilePausedWritesTheHeldBackLinesToo) {
  poll(0x01);
  monitor->pauseButton()->click();
  poll(0x02);
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("lines.txt"));
  ASSERT_TRUE(monitor->saveTo(path));
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QStringList saved = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  const QStringList shown = lines();
  ASSERT_EQ(saved.size(), shown.size() + 6) << "the second poll's six lines were held back";
  EXPECT_EQ(saved.mid(0, shown.size()), shown);
  EXPECT_TRUE(
      saved[saved.size() - 2].endsWith(QStringLiteral("ack + data 0002 (check byte ok) -> lamps set")));
  EXPECT_TRUE(saved.last().endsWith(QStringLiteral("-- poll done")));
}

// A save that fails part way leaves the old file whole and says why.
TEST_F(MonitorTest, FailedSaveLeavesTheOldFileWhole) {
  for (int i = 0; i < 200; ++i) poll(static_cast<std::uint8_t>(i));
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("lines.txt"));
  {
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("the old lines\n");
  }
  // Files may grow to 4 kB only: the new text (some 100 kB) cannot be written.
  rlimit before{};
  getrlimit(RLIMIT_FSIZE, &before);
  signal(SIGXFSZ, SIG_IGN);
  rlimit small = before;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  QString error;
  const bool saved = monitor->saveTo(path, &error);
  setrlimit(RLIMIT_FSIZE, &before);
  signal(SIGXFSZ, SIG_DFL);
  EXPECT_FALSE(saved);
  EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot save ") + path + QStringLiteral(": ")))
      << error.toStdString();
  EXPECT_GT(error.size(), (QStringLiteral("Cannot save ") + path + QStringLiteral(": ")).size() + 3)
      << "the reason is named";
  QFile old(path);
  ASSERT_TRUE(old.open(QIODevice::ReadOnly));
  EXPECT_EQ(old.readAll(), QByteArray("the old lines\n"));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("lines.txt")})
      << "no half-written file left beside it";
}

TEST_F(MonitorTest, TraceAndMonitorShowTheSameLine) {
  std::vector<QString> traced;
  form.lineLog().addSink([&](const LoggedEvent& logged) { traced.push_back(FormatLine(logged)); });
  poll(0x81);
  ASSERT_FALSE(traced.empty());
  QStringList fromTrace;
  for (const QString& l : traced) fromTrace << l;
  EXPECT_EQ(lines().mid(lines().size() - fromTrace.size()), fromTrace);
}

TEST_F(MonitorTest, CtrlMAndTheContextMenuOpenIt) {
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  EXPECT_FALSE(monitor->isVisible());
  QTest::keyClick(&form, Qt::Key_M, Qt::ControlModifier);
  EXPECT_TRUE(monitor->isVisible());
  EXPECT_EQ(monitor->windowTitle(), QStringLiteral("Line monitor"));
  monitor->close();
  EXPECT_EQ(form.contextMenuPolicy(), Qt::ActionsContextMenu);
  ASSERT_GE(form.actions().size(), 1);
  EXPECT_EQ(form.actions()[0]->text(), QStringLiteral("Line monitor…"));  // the first item of the menu
  form.actions()[0]->trigger();
  EXPECT_TRUE(monitor->isVisible());
  EXPECT_TRUE(form.isVisible()) << "closing or opening the monitor leaves the window alone";
}

}  // namespace
}  // namespace varnak::testing
