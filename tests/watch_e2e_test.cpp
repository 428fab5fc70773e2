// The register watch against the paced simulator on a pseudo-terminal: the
// list's values appear and follow the controller, a row write reaches it, and
// neither the lamps nor the read box ever show what the list reads.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QInputDialog>
#include <QTest>
#include <QTimer>

#include "panel/form2.h"
#include "panel/startup.h"
#include "serial/numbered_port.h"
#include "sim_process.h"
#include "window_on_sim.h"

namespace varnak::testing {
namespace {

class WatchEndToEnd : public ::testing::Test, protected WindowOnSim {
 protected:
  void openList(const std::vector<WatchEntry>& entries) {
    QString error;
    ASSERT_TRUE(form->watch()->model()->replaceAll(entries, &error)) << error.toStdString();
    form->openWatch();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form->watch()));
  }

  QString value(int row) const {
    return form->watch()->model()->index(row, WatchModel::Value).data().toString();
  }
  QString lamps() const {
    QString s;
    for (int i = 7; i >= 0; --i) s += form->lampIsGreen(i) ? QLatin1Char('1') : QLatin1Char('0');
    return s;
  }
  // Runs the event loop for `ms`, checking the lamps and the read box all along.
  void watchFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      const QString now = lamps();
      if (now != QLatin1String("00000000") && now != QLatin1String("01011010"))
        ADD_FAILURE() << "the lamps show " << now.toStdString() << ", not the outputs 5A";
      if (!form->Text5->text().isEmpty())
        ADD_FAILURE() << "the read box shows " << form->Text5->text().toStdString();
      QThread::usleep(2000);
    }
  }
  bool showsWithin(int row, const QString& text, int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
      if (value(row) == text) return true;
      watchFor(20);
    }
    return value(row) == text;
  }
};

TEST_F(WatchEndToEnd, ValuesAppearAndMoveAndNeverReachTheLampsOrTheReadBox) {
  // Fixed outputs 5A; no register below holds a low byte of 5A.
  start({"--outputs", "5A"});
  for (const char* set : {"set R1000 1234", "set R1001 00FF", "set R1002 FFFE", "set R1003 0002",
                          "set R1004 0001", "set R2000 00A5"})
    ASSERT_EQ(sim->command(QString::fromLatin1(set)), "ok") << set;
  const QString titleBefore = form->windowTitle();
  openList({{01000, "counter", RegisterFormat::Hex},
            {01001, "", RegisterFormat::Unsigned},
            {01002, "offset", RegisterFormat::Signed},
            {01003, "total", RegisterFormat::U32},
            {02000, "", RegisterFormat::Binary}});
  EXPECT_TRUE(showsWithin(0, QStringLiteral("1234"), 3000));
  EXPECT_TRUE(showsWithin(1, QStringLiteral("255"), 3000));
  EXPECT_TRUE(showsWithin(2, QStringLiteral("-2"), 3000));
  EXPECT_TRUE(showsWithin(3, QStringLiteral("65538"), 3000));
  EXPECT_TRUE(showsWithin(4, QStringLiteral("0000000010100101"), 3000));
  EXPECT_EQ(lamps(), QStringLiteral("01011010")) << "the polls go on between the list's reads";
  EXPECT_FALSE(form->lampsDimmed());

  // The controller's values move; the table follows each within a round.
  for (int step = 1; step <= 5; ++step) {
    const QString hex = QStringLiteral("%1").arg(0x1234 + step, 4, 16, QLatin1Char('0')).toUpper();
    ASSERT_EQ(sim->command(QStringLiteral("set R1000 %1").arg(hex)), "ok");
    EXPECT_TRUE(showsWithin(0, hex, 2000)) << "step " << step << ": " << value(0).toStdString();
    EXPECT_TRUE(form->watch()->model()->index(0, WatchModel::Value).data(WatchModel::ChangedRole).toBool());
  }
  const int reads0 = sim->command("stats").section(' ', 1, 1).toInt();
  watchFor(3000);
  const int exchanges = sim->command("stats").section(' ', 1, 1).toInt() - reads0;
  // Some 15 polls in 3 s, and the list's reads between them.
  EXPECT_GT(exchanges, 15 + 10) << "exchanges in 3 s: " << exchanges;
  std::printf("exchanges in 3 s with five rows open: %d\n", exchanges);
  EXPECT_TRUE(form->Text5->text().isEmpty());
  EXPECT_EQ(form->windowTitle(), titleBefore);
}

TEST_F(WatchEndToEnd, ARowWriteReachesTheControllerAndIsReadBack) {
  start({"--outputs", "5A"});
  ASSERT_EQ(sim->command("set R1003 0000"), "ok");
  openList({{01000, "", RegisterFormat::Hex}, {01003, "", RegisterFormat::S32}});
  ASSERT_TRUE(showsWithin(1, QStringLiteral("0"), 3000));
  WatchModel* model = form->watch()->model();
  ASSERT_TRUE(model->setData(model->index(1, WatchModel::Value), QStringLiteral("-2")));
  // The register named first, then the next one.
  ASSERT_TRUE(WaitFor([&] { return sim->command("get R1003") == "R1003 FFFE"; }, 2000));
  EXPECT_TRUE(WaitFor([&] { return sim->command("get R1004") == "R1004 FFFF"; }, 1000));
  EXPECT_TRUE(showsWithin(1, QStringLiteral("-2"), 2000));
  EXPECT_EQ(model->index(1, WatchModel::Status).data().toString(), QStringLiteral("written"));
  watchFor(500);
  EXPECT_TRUE(form->Text5->text().isEmpty());
  EXPECT_EQ(form->windowTitle(), kWindowTitle) << "a row write is not the window's own command";
}

}  // namespace
}  // namespace varnak::testing
