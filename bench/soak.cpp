// The soak: the window (offscreen) against the simulator with a share of its
// replies faulted, for thousands of poll exchanges, with writes and reads
// pressed in between as an operator would. Prints its figures; exits 1 if a
// check fails.
//
//   soak [POLLS] [FAULT_RATE] [SEED]      defaults: 10000, 0.1, 1
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <cstdio>

#include "panel/form2.h"
#include "panel/startup.h"
#include "serial/qt_serial_port.h"
#include "tests/sim_process.h"

using namespace varnak;

namespace {

long RssKb() {
  QFile f(QStringLiteral("/proc/self/status"));
  if (!f.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : f.readAll().split('\n'))
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
  return 0;
}

int StatField(const QString& stats, const char* name) {
  const QStringList f = stats.split(QLatin1Char(' '));
  const int i = f.indexOf(QString::fromLatin1(name));
  return i >= 0 && i + 1 < f.size() ? f[i + 1].toInt() : -1;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  UsePlainEventLoop();
  QApplication app(argc, argv);
  ApplyPanelFont(app);
  const int targetPolls = argc > 1 ? std::atoi(argv[1]) : 10000;
  const double rate = argc > 2 ? std::atof(argv[2]) : 0.1;
  const QString seed = argc > 3 ? QString::fromLatin1(argv[3]) : QStringLiteral("1");
  const QString each = QString::number(rate / 4);

  testing::SimProcess sim({"--seed", seed, "--drop", each, "--corrupt", each, "--split", each, "--nak", each},
                          /*keepLog=*/false);
  QtSerialPort port(QMap<int, QString>{{1, sim.device()}});
  Form2 form(port);
  WirePort(port, form);
  form.load(QStringLiteral("1"));
  form.show();

  auto betweenExchanges = [&] {
    QSignalSpy tick(form.Timer1, &QTimer::timeout);
    tick.wait(1000);
    QTest::qWait(80);
  };
  auto type = [&](QLineEdit* box, const QString& text) {
    betweenExchanges();
    QTest::mouseClick(box, Qt::LeftButton);
    box->selectAll();
    QTest::keyClicks(box, text);
  };

  QElapsedTimer clock;
  clock.start();
  QRandomGenerator dice(seed.toUInt());
  int writes = 0, stored = 0, lost = 0, wrongStored = 0, reads = 0, readsShown = 0, readsWrong = 0;
  long rssWarm = 0;
  int polls = 0, lastPolls = 0;
  qint64 lastProgress = 0;
  bool hung = false;
  while (polls < targetPolls) {
    // A write and a read of a random register every few seconds.
    const unsigned reg = dice.bounded(2) ? 02000 : dice.bounded(64);
    const QString regText = QString::number(reg, 8);
    const QString value = QStringLiteral("%1").arg(dice.bounded(0x10000), 4, 16, QLatin1Char('0')).toUpper();
    const QString before = sim.command(QStringLiteral("get R") + regText).section(' ', 1);
    type(form.Text2, regText);
    type(form.Text1, value);
    betweenExchanges();
    QTest::mouseClick(form.Command1, Qt::LeftButton);
    QTest::qWait(150);
    ++writes;
    const QString after = sim.command(QStringLiteral("get R") + regText).section(' ', 1);
    if (after == value) {
      ++stored;
    } else if (after == before) {
      ++lost;  // refused or cut short on the line: the controller kept its old value
    } else {
      ++wrongStored;
      std::fprintf(stderr, "soak: R%s holds %s after writing %s (was %s)\n", qPrintable(regText),
                   qPrintable(after), qPrintable(value), qPrintable(before));
    }
    type(form.Text6, regText);
    betweenExchanges();
    QTest::mouseClick(form.Command3, Qt::LeftButton);
    QTest::qWait(150);
    ++reads;
    if (!form.Text5->text().isEmpty()) {
      ++readsShown;
      if (form.Text5->text() != after) ++readsWrong;  // a corrupted reply: the window shows what it got
    }
    QTest::mouseClick(form.Command4, Qt::LeftButton);
    QTest::qWait(2000);

    polls = StatField(sim.command(QStringLiteral("stats")), "polls");
    if (polls != lastPolls) {
      lastPolls = polls;
      lastProgress = clock.elapsed();
    } else if (clock.elapsed() - lastProgress > 10000) {
      hung = true;
      break;
    }
    if (!rssWarm && polls >= std::min(500, targetPolls / 10)) rssWarm = RssKb();
  }

  const QString stats = sim.command(QStringLiteral("stats"));
  sim.command(QStringLiteral("faults off"));
  sim.command(QStringLiteral("outputs 96"));
  QTest::qWait(2 * 200 + 100);
  QString lamps;
  for (int i = 7; i >= 0; --i) lamps += form.lampIsGreen(i) ? QLatin1Char('1') : QLatin1Char('0');
  const bool lampsAgree = lamps == QStringLiteral("10010110");
  const long rssEnd = RssKb();

  std::printf("soak: %d poll exchanges in %.0f s, %d faults injected (%s)\n", polls, clock.elapsed() / 1000.0,
              StatField(stats, "faults"), qPrintable(stats));
  std::printf("soak: %d writes: %d stored as typed, %d lost on the line, %d stored wrong\n", writes, stored,
              lost, wrongStored);
  std::printf("soak: %d reads: %d shown, %d of them differing from the controller (corrupted replies)\n",
              reads, readsShown, readsWrong);
  std::printf(
      "soak: lamps %s after the faults stopped; RSS %ld kB after the warm-up, %ld kB at the end (%+ld kB)\n",
      lampsAgree ? "agree" : "DISAGREE", rssWarm, rssEnd, rssEnd - rssWarm);
  const bool ok = !hung && wrongStored == 0 && lampsAgree && rssEnd - rssWarm < 1024;
  std::printf("soak: %s%s\n", ok ? "passed" : "FAILED", hung ? " (no poll for 10 s: hung)" : "");
  return ok ? 0 : 1;
}
