// The line monitor offscreen: lines and counters as exchanges run, pause, clear,
// copy, save, its bound, and the same line for --trace and the monitor.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
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
    port.event = CommEvent::Receive;
    form.MSComm1_OnComm();
  }
  void poll(std::uint8_t outputs) {
    form.core().Timer1_Timer();
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
  form.core().Command3_Click();
  receive(kEnqAck);
  receive({0x06, 0x02, 0x34, 0x12, 0x03, 0x27});
  const std::vector<std::string> expected = {
      "-- start poll (the poll timer)",
      "-- port opened: COM1",
      "TX 4E 21 05  enquiry",
      "RX 4E 21 06  enquiry ack -> poll header sent",
      "TX 01 30 31 30 33 30 31 30 31 30 30 30 32 30 31 17 01  poll header",
      "RX 06 02 81 00 03 81  ack + data 0081 (check byte ok) -> lamps set",
      "-- poll done",
      "-- start read R2000 (the read button)",
      "TX 4E 21 05  enquiry",
      "-- polling held: the read button, until the read header goes out",
      "RX 4E 21 06  enquiry ack -> read header sent",
      "TX 01 30 31 30 31 30 34 30 31 30 30 30 32 30 31 17 06  read header R2000",
      "-- polling released: read header sent",
      "RX 06 02 34 12 03 27  ack + data 1234 (check byte bad) -> ignored: check byte bad",
      "-- read R2000 failed: check byte bad",
  };
  EXPECT_EQ(bodies(), expected);
  const LinkCounters& c = monitor->counters();
  EXPECT_EQ(c.started, (std::array<int, 3>{0, 1, 1}));
  EXPECT_EQ(c.completed, (std::array<int, 3>{0, 0, 1}));
  EXPECT_EQ(c.failed, (std::array<int, 3>{0, 1, 0}));
  EXPECT_EQ(c.ignored(), 1);
  EXPECT_TRUE(monitor->countersText().contains(QStringLiteral("ignored: check byte bad")));
  monitor->resetCounters();
  EXPECT_EQ(monitor->counters().ignored(), 0);
  EXPECT_EQ(monitor->counters().started, (std::array<int, 3>{0, 0, 0}));
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

TEST(MonitorModel, KeepsTheNewestTenThousandLinesAndCountsTheRest) {
  MonitorModel model;
  for (int i = 0; i < MonitorModel::kMaxLines + 50; ++i) model.append(QString::number(i));
  EXPECT_EQ(model.rowCount(), MonitorModel::kMaxLines);
  EXPECT_EQ(model.dropped(), 50);
  EXPECT_EQ(model.line(0), QStringLiteral("50"));
  model.setPaused(true);
  for (int i = 0; i < MonitorModel::kMaxLines + 7; ++i) model.append(QStringLiteral("p%1").arg(i));
  EXPECT_EQ(model.line(0), QStringLiteral("50"));
  model.setPaused(false);
  EXPECT_EQ(model.rowCount(), MonitorModel::kMaxLines);
  EXPECT_EQ(model.line(0), QStringLiteral("p7"));
  EXPECT_EQ(model.dropped(), 50 + 7 + MonitorModel::kMaxLines);
}

TEST_F(MonitorTest, TraceAndMonitorShowTheSameLine) {
  std::vector<std::string> traced;
  form.lineLog().addSink([&](const LinkEvent&, const std::string& line) { traced.push_back(line); });
  poll(0x81);
  ASSERT_FALSE(traced.empty());
  QStringList fromTrace;
  for (const std::string& l : traced) fromTrace << QString::fromStdString(l);
  EXPECT_EQ(lines().mid(lines().size() - fromTrace.size()), fromTrace);
}

TEST_F(MonitorTest, CtrlMAndTheContextMenuOpenIt) {
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  EXPECT_FALSE(monitor->isVisible());
  QTest::keyClick(&form, Qt::Key_M, Qt::ControlModifier);
  EXPECT_TRUE(monitor->isVisible());
  EXPECT_EQ(monitor->windowTitle(), QStringLiteral("通讯监视"));
  monitor->close();
  EXPECT_EQ(form.contextMenuPolicy(), Qt::ActionsContextMenu);
  ASSERT_EQ(form.actions().size(), 1);
  EXPECT_EQ(form.actions()[0]->text(), QStringLiteral("通讯监视…"));
  form.actions()[0]->trigger();
  EXPECT_TRUE(monitor->isVisible());
  EXPECT_TRUE(form.isVisible()) << "closing or opening the monitor leaves the window alone";
}

}  // namespace
}  // namespace varnak::testing
