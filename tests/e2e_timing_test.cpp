// The window against the paced simulator, clicked at every moment of the poll
// period as an operator does, directly and behind an emulated USB adapter that
// hands bytes over every 16 ms: every write reaches the controller, every read
// is shown, and no read's value is ever drawn on the lamps.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "panel/form2.h"
#include "panel/startup.h"
#include "serial/qt_serial_port.h"
#include "sim_process.h"

namespace varnak::testing {
namespace {

// Every poll reply that set the lamps, and every command's end.
struct Watch : LinkObserver {
  std::vector<int> lampBytes;
  int joined = 0;
  int writesConfirmed = 0, readsDone = 0, commandsFailed = 0, pollsStarted = 0, pollsDone = 0;
  void onLinkEvent(const LinkEvent& e) override {
    using K = LinkEvent::Kind;
    if (e.kind == K::Received && e.ruling == Ruling::LampsSet) lampBytes.push_back(e.bytes[2]);
    if (e.kind == K::Received && e.joined) ++joined;
    if (e.kind == K::Started && e.exchange == ExchangeKind::Poll) ++pollsStarted;
    if (e.kind == K::Completed && e.exchange == ExchangeKind::Poll) ++pollsDone;
    if (e.kind == K::Completed && e.exchange == ExchangeKind::Write) ++writesConfirmed;
    if (e.kind == K::Completed && e.exchange == ExchangeKind::Read) ++readsDone;
    if (e.kind == K::Failed && e.exchange != ExchangeKind::Poll) ++commandsFailed;
  }
};

class ClickTiming : public ::testing::TestWithParam<int> {};

TEST_P(ClickTiming, EveryCommandArrivesWhateverTheMomentOfTheClick) {
  const int latency = GetParam();
  // The outputs stay 00: any other lamp byte is a read's value drawn as outputs.
  SimProcess sim({"--outputs", "00", "--usb-latency", QString::number(latency)}, false);
  ASSERT_TRUE(sim.device().startsWith(QLatin1String("/dev/"))) << sim.device().toStdString();
  QtSerialPort port(QMap<int, QString>{{1, sim.device()}});
  Form2 form(port);
  WirePort(port, form);
  Watch watch;
  form.core().addObserver(&watch);
  form.load(QStringLiteral("1"));
  QSignalSpy ticks(form.Timer1, &QTimer::timeout);
  ASSERT_TRUE(WaitFor([&] { return watch.pollsDone >= 2; }, 3000));

  int stored = 0, shown = 0;
  constexpr int kOffsets = 20;
  for (int i = 0; i < kOffsets; ++i) {
    const int offsetMs = i * 200 / kOffsets;  // 0 to 190 ms after a tick; a poll takes the first ~45 ms
    const QString reg = QStringLiteral("%1").arg(0100 + i, 0, 8);
    // Never a low byte of 00, the outputs', so that a read drawn on the lamps shows.
    const QString value = QStringLiteral("%1").arg(0x1201 + 0x0101 * i, 4, 16, QLatin1Char('0')).toUpper();
    SCOPED_TRACE("offset " + std::to_string(offsetMs) + " ms, R" + reg.toStdString());
    form.Text2->setText(reg);
    form.Text6->setText(reg);
    form.Text1->setText(value);

    ticks.clear();
    ticks.wait(1000);
    QTest::qWait(offsetMs);
    QTest::mouseClick(form.Command1, Qt::LeftButton);
    if (WaitFor([&] { return sim.command("get R" + reg) == "R" + reg + " " + value; }, 2000)) ++stored;

    ticks.clear();
    ticks.wait(1000);
    QTest::qWait(offsetMs);
    QTest::mouseClick(form.Command3, Qt::LeftButton);
    if (WaitFor([&] { return form.Text5->text() == value; }, 2000)) ++shown;
  }
  QTest::qWait(400);
  form.core().removeObserver(&watch);
  int foreign = 0;
  for (int b : watch.lampBytes) foreign += b != 0;
  const double pollRate = watch.pollsStarted ? double(watch.pollsDone) / watch.pollsStarted : 0;
  std::printf(
      "usb latency %d ms: %d/%d writes stored, %d/%d reads shown, %d/%d polls set the lamps (%.1f %%), "
      "%d commands failed, %d replies joined from pieces\n",
      latency, stored, kOffsets, shown, kOffsets, watch.pollsDone, watch.pollsStarted, 100 * pollRate,
      watch.commandsFailed, watch.joined);
  if (latency > 0) {
    EXPECT_GT(watch.joined, 0) << "the adapter split no reply: the emulation is not at work";
  }
  EXPECT_EQ(stored, kOffsets);
  EXPECT_EQ(shown, kOffsets);
  EXPECT_EQ(watch.writesConfirmed, kOffsets);
  EXPECT_EQ(foreign, 0) << "a read's value reached the lamps";
  EXPECT_GE(pollRate, 0.95);
  EXPECT_EQ(form.windowTitle(), kWindowTitle);
}

INSTANTIATE_TEST_SUITE_P(EndToEnd, ClickTiming, ::testing::Values(0, 16),
                         [](const auto& info) { return "UsbLatency" + std::to_string(info.param); });

}  // namespace
}  // namespace varnak::testing
