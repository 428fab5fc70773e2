// The output timing chart offscreen: how it opens, that it follows the present,
// scrolls back and returns, zooms, shows the cursor's states, and saves.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include "fakes.h"
#include "panel/form2.h"

namespace varnak::testing {
namespace {

class TimelineTest : public ::testing::Test {
 protected:
  TimelineTest() {
    form.setClock([this] { return now; });
    form.load(QStringLiteral("1"));
    form.Timer1->stop();
    timeline = form.timeline();
    chart = timeline->chart();
  }
  ~TimelineTest() override { form.close(); }
  void receive(const Bytes& chunk) {
    port.input = chunk;
    port.deliver(form.now());
  }
  void poll(std::uint8_t outputs) {
    form.core().Timer1_Timer(form.now());
    receive(kEnqAck);
    receive(DataReply(outputs, 0));
  }
  // Polls every 200 ms for `ms`, the outputs from `outputs(t)`.
  void run(std::int64_t ms, const std::function<std::uint8_t(std::int64_t)>& outputs) {
    for (std::int64_t end = now + ms; now < end; now += 200) poll(outputs(now));
  }
  void showChart() {
    form.openTimeline();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(timeline));
  }
  void wheel(int notches, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const QPointF at(chart->width() / 2.0, chart->height() / 2.0);
    QWheelEvent e(at, chart->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, modifiers,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(chart, &e);
  }

  FakePort port;
  Form2 form{port};
  std::int64_t now = 5000000;
  TimelineWindow* timeline = nullptr;
  TimelineChart* chart = nullptr;
};

TEST_F(TimelineTest, CtrlTAndTheContextMenuOpenIt) {
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  EXPECT_FALSE(timeline->isVisible());
  QTest::keyClick(&form, Qt::Key_T, Qt::ControlModifier);
  EXPECT_TRUE(timeline->isVisible());
  timeline->close();
  EXPECT_EQ(form.contextMenuPolicy(), Qt::ActionsContextMenu);
  QAction* open = nullptr;
  for (QAction* a : form.actions())
    if (a->shortcut() == QKeySequence(Qt::CTRL | Qt::Key_T)) open = a;
  ASSERT_NE(open, nullptr);
  EXPECT_EQ(open->text(), Form2::tr("Output timing…"));
  open->trigger();
  EXPECT_TRUE(timeline->isVisible());
  EXPECT_FALSE(timeline->testAttribute(Qt::WA_QuitOnClose)) << "the chart must not keep the program alive";
  form.close();
  EXPECT_FALSE(timeline->isVisible()) << "closing the window closes the chart";
}

TEST_F(TimelineTest, RecordsFromTheStartAndFollowsThePresent) {
  run(3000, [](std::int64_t t) { return static_cast<std::uint8_t>(t / 1000 % 2 ? 0x08 : 0x00); });
  showChart();  // opened later, it still shows what came before
  EXPECT_EQ(form.recorder().changes().size(), 3u);
  EXPECT_TRUE(chart->following());
  EXPECT_FALSE(timeline->followButton()->isEnabled());
  const std::int64_t before = chart->endT();
  run(1000, [](std::int64_t) { return 0x01; });
  EXPECT_EQ(chart->endT(), before + 1000);
  // The cursor at the right edge: now, Q0 on.
  const int x = chart->width() - 12;
  QTest::mouseMove(chart, QPoint(x, chart->height() / 2));
  EXPECT_TRUE(timeline->cursorLabel()->text().contains(QStringLiteral("Q0 1  Q1 0  Q2 0  Q3 0")))
      << timeline->cursorLabel()->text().toStdString();
}

TEST_F(TimelineTest, ScrollsBackByWheelKeysAndDragAndEndReturns) {
  run(180000, [](std::int64_t t) { return static_cast<std::uint8_t>(t / 600 % 2); });
  showChart();
  struct Move {
    const char* what;
    std::function<void()> act;
  };
  const std::vector<Move> moves = {
      {"wheel up", [&] { wheel(1); }},
      {"Left", [&] { QTest::keyClick(chart, Qt::Key_Left); }},
      {"PageUp", [&] { QTest::keyClick(chart, Qt::Key_PageUp); }},
      {"drag right",
       [&] {
         const int y = chart->height() / 2;
         QTest::mousePress(chart, Qt::LeftButton, {}, QPoint(200, y));
         QTest::mouseMove(chart, QPoint(400, y));
         QTest::mouseRelease(chart, Qt::LeftButton, {}, QPoint(400, y));
       }},
      {"Home", [&] { QTest::keyClick(chart, Qt::Key_Home); }},
  };
  for (const Move& m : moves) {
    const std::int64_t present = chart->endT();
    m.act();
    EXPECT_FALSE(chart->following()) << m.what;
    EXPECT_LT(chart->endT(), present) << m.what;
    EXPECT_TRUE(timeline->followButton()->isEnabled()) << m.what;
    // Time goes on; the chart stays where the operator put it.
    const std::int64_t shown = chart->endT();
    run(400, [](std::int64_t) { return 0; });
    EXPECT_EQ(chart->endT(), shown) << m.what;
    if (std::string(m.what) == "Home") {
      const std::int64_t oldest = form.recorder().changes().front().t();
      EXPECT_LE(shown - chart->spanMs(), oldest) << "the oldest change is on the screen";
      EXPECT_GT(shown, oldest + chart->spanMs() / 2) << "near its left edge";
      QTest::mouseClick(timeline->followButton(), Qt::LeftButton);
    } else {
      QTest::keyClick(chart, Qt::Key_End);
    }
    EXPECT_TRUE(chart->following()) << m.what;
    EXPECT_EQ(chart->endT(), form.recorder().elapsed(now)) << m.what;
  }
  // Scrolling forward past the present follows it again.
  wheel(1);
  wheel(-5);
  EXPECT_TRUE(chart->following());
}

TEST_F(TimelineTest, ZoomsFromSecondsToHours) {
  showChart();
  const std::int64_t start = chart->spanMs();
  QTest::keyClick(chart, Qt::Key_Plus);
  EXPECT_EQ(chart->spanMs(), start / 2);
  QTest::keyClick(chart, Qt::Key_Minus);
  EXPECT_EQ(chart->spanMs(), start);
  wheel(3, Qt::ControlModifier);
  EXPECT_LT(chart->spanMs(), start);
  for (int i = 0; i < 30; ++i) QTest::keyClick(chart, Qt::Key_Plus);
  EXPECT_EQ(chart->spanMs(), TimelineChart::kMinSpanMs);
  for (int i = 0; i < 30; ++i) QTest::keyClick(chart, Qt::Key_Minus);
  EXPECT_EQ(chart->spanMs(), TimelineChart::kMaxSpanMs);
  EXPECT_TRUE(chart->following()) << "zooming alone does not leave the present";
}

QString Read(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

TEST_F(TimelineTest, CtrlSSavesCsvOrVcdByTheName) {
  poll(0x00);
  now += 200;
  form.Text1->setText(QStringLiteral("0009"));
  form.Command1->click();
  receive(kEnqAck);
  receive(kAckByte);
  receive(kAckByte);
  now += 200;
  poll(0x09);
  now += 3000;  // nothing answers: not live
  poll(0x09);
  showChart();
  QTemporaryDir dir;
  for (const char* name : {"out.csv", "out.vcd"}) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    timeline->setSavePathAsker([path] { return path; });
    QTest::keyClick(timeline, Qt::Key_S, Qt::ControlModifier);
    const QString text = Read(path);
    if (path.endsWith(QStringLiteral(".csv"))) {
      const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
      ASSERT_EQ(lines.size(), 6) << text.toStdString();
      EXPECT_EQ(lines[0], QStringLiteral("time,ms,Q0,Q1,Q2,Q3,Q4,Q5,Q6,Q7,event"));
      EXPECT_TRUE(lines[2].endsWith(QStringLiteral(",0,0,0,0,0,0,0,0,\"") +
                                    TimelineWindow::tr("write %1 = %2 confirmed").arg("R2000", "0009") +
                                    "\""))
          << lines[2].toStdString();
      EXPECT_TRUE(lines[3].contains(QStringLiteral(",1,0,0,1,0,0,0,0,"))) << lines[3].toStdString();
      EXPECT_TRUE(lines[4].endsWith("\"" + TimelineWindow::tr("not live") + "\"")) << lines[4].toStdString();
      EXPECT_TRUE(lines[5].endsWith("\"" + TimelineWindow::tr("live again") + "\""))
          << lines[5].toStdString();
    } else {
      EXPECT_TRUE(text.contains(QStringLiteral("$timescale 1 ms $end"))) << text.toStdString();
      EXPECT_TRUE(text.contains(TimelineWindow::tr("write %1 = %2 confirmed").arg("R2000", "0009")));
      EXPECT_TRUE(text.contains(QStringLiteral("$var wire 1 ) live $end")));
    }
  }
}

}  // namespace
}  // namespace varnak::testing
