// The soak: the window (offscreen) against the simulator with a share of its
// replies faulted, for thousands of poll exchanges, with writes and reads
// pressed in between as an operator would. Prints its figures; exits 1 if a
// check fails.
//
//   soak [POLLS] [FAULT_RATE] [SEED] [USB_LATENCY_MS]      defaults: 10000, 0.1, 1, 0
//
// USB_LATENCY_MS > 0 puts the simulator behind an emulated USB adapter with that
// latency timer (16 ms in the common chips), so replies may arrive in pieces.
//
// Each press is judged by what the window reported once it has settled (its
// next poll began, or nothing more came for a second): a write confirmed, a read
// shown, or a failure said in the title; anything else is a command lost
// without a word. Whatever the window does on its own in between (retries
// included) counts; the soak only looks at the end.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <cstdio>

#include "control/link_events.h"
#include "panel/form2.h"
#include "panel/monitor_model.h"
#include "panel/startup.h"
#include "serial/numbered_port.h"
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

// What the window reported of one press: the exchanges it started for it, and
// how they ended. Only one command is pressed at a time, so its kind tells it.
class PressWatch : public LinkObserver {
 public:
  void press(ExchangeKind kind) {
    kind_ = kind;
    attempts_ = 0;
    completed_ = failed_ = ended_ = pollAfterEnd_ = false;
    value_.clear();
    sinceEnd_.invalidate();
  }
  void onLinkEvent(const LinkEvent& e) override {
    if (e.exchange == ExchangeKind::Poll) {
      if (e.kind == LinkEvent::Kind::Started && ended_) pollAfterEnd_ = true;
      return;
    }
    if (e.exchange != kind_) return;
    switch (e.kind) {
      case LinkEvent::Kind::Started:
      case LinkEvent::Kind::Retried:  // each attempt of the command
        ++attempts_;
        ended_ = pollAfterEnd_ = false;
        break;
      case LinkEvent::Kind::Completed:
        completed_ = ended_ = true;
        value_ = QString::fromStdString(e.value);
        sinceEnd_.start();
        break;
      case LinkEvent::Kind::Failed:
        failed_ = ended_ = true;
        sinceEnd_.start();
        break;
      default:
        break;
    }
  }
  // The command has ended and nothing more is coming for it.
  bool settled() const { return ended_ && (pollAfterEnd_ || sinceEnd_.elapsed() > 1000); }
  int attempts() const { return attempts_; }
  bool completed() const { return completed_; }
  bool failed() const { return failed_; }
  const QString& value() const { return value_; }  // a read's value as shown

 private:
  ExchangeKind kind_ = ExchangeKind::Write;
  int attempts_ = 0;
  bool completed_ = false, failed_ = false, ended_ = false, pollAfterEnd_ = false;
  QString value_;
  QElapsedTimer sinceEnd_;
};

double Share(int part, int whole) { return whole ? 100.0 * part / whole : 0.0; }

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  UsePlainEventLoop();
  QApplication app(argc, argv);
  ApplyPanelFont(app);
  const int targetPolls = argc > 1 ? std::atoi(argv[1]) : 10000;
  const double rate = argc > 2 ? std::atof(argv[2]) : 0.1;
  const QString seed = argc > 3 ? QString::fromLatin1(argv[3]) : QStringLiteral("1");
  const int usbLatencyMs = argc > 4 ? std::atoi(argv[4]) : 0;
  const QString each = QString::number(rate / 4);

  QStringList simArgs{"--seed", seed, "--drop", each, "--corrupt", each, "--split", each, "--nak", each};
  if (usbLatencyMs > 0) simArgs << "--usb-latency" << QString::number(usbLatencyMs);
  testing::SimProcess sim(simArgs, /*keepLog=*/false);
  PressWatch watch;  // outlives the window, which reports to it until its end
  NumberedPort port(QMap<int, QString>{{1, sim.device()}});
  Form2 form(port);
  WireStatusLines(form);
  form.core().addObserver(&watch);
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

  // Waits until the window has settled on the press, bounded: a command that never ends is lost.
  auto settle = [&] {
    QElapsedTimer waited;
    waited.start();
    while (!watch.settled() && waited.elapsed() < 5000) QTest::qWait(10);
  };
  // A failure the operator is told of: the title names the command's register.
  auto failureSaid = [&](const QString& regText) {
    return watch.failed() && form.windowTitle().contains(QStringLiteral("R") + regText);
  };

  QElapsedTimer clock;
  clock.start();
  QRandomGenerator dice(seed.toUInt());
  int writes = 0, stored = 0, lost = 0, wrongStored = 0, reads = 0, readsShown = 0, readsWrong = 0;
  int confirmedStored = 0, confirmedNotStored = 0, storedUnconfirmed = 0, writesFailedSaid = 0,
      writesSilent = 0;
  int readsFailedSaid = 0, readsSilent = 0, writeAttempts = 0, readAttempts = 0, writesRetried = 0,
      readsRetried = 0;
  long rssWarm = 0;
  int warmPolls = 0;
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
    watch.press(ExchangeKind::Write);
    QTest::mouseClick(form.Command1, Qt::LeftButton);
    settle();
    ++writes;
    writeAttempts += watch.attempts();
    writesRetried += watch.attempts() > 1;
    const QString after = sim.command(QStringLiteral("get R") + regText).section(' ', 1);
    const bool storedAsTyped = after == value;
    if (storedAsTyped) {
      ++stored;
    } else if (after == before) {
      ++lost;  // refused or cut short on the line: the controller kept its old value
    } else {
      ++wrongStored;
      std::fprintf(stderr, "soak: R%s holds %s after writing %s (was %s)\n", qPrintable(regText),
                   qPrintable(after), qPrintable(value), qPrintable(before));
    }
    if (watch.completed()) {
      ++(storedAsTyped ? confirmedStored : confirmedNotStored);
      if (!storedAsTyped)
        std::fprintf(stderr, "soak: write R%s = %s confirmed, but the controller holds %s\n",
                     qPrintable(regText), qPrintable(value), qPrintable(after));
    } else {
      storedUnconfirmed += storedAsTyped;  // the ACK of the data block was lost
      if (failureSaid(regText)) {
        ++writesFailedSaid;
      } else {
        ++writesSilent;
        std::fprintf(stderr, "soak: write R%s = %s ended without a word (title \"%s\")\n",
                     qPrintable(regText), qPrintable(value), qPrintable(form.windowTitle()));
      }
    }
    type(form.Text6, regText);
    betweenExchanges();
    watch.press(ExchangeKind::Read);
    QTest::mouseClick(form.Command3, Qt::LeftButton);
    settle();
    ++reads;
    readAttempts += watch.attempts();
    readsRetried += watch.attempts() > 1;
    if (watch.completed() && !form.Text5->text().isEmpty() && form.Text5->text() == watch.value()) {
      ++readsShown;
      if (form.Text5->text() != after) ++readsWrong;  // a corrupted reply: the window shows what it got
    } else if (failureSaid(regText)) {
      ++readsFailedSaid;
    } else {
      ++readsSilent;
      std::fprintf(stderr, "soak: read R%s ended without a word (read box \"%s\", title \"%s\")\n",
                   qPrintable(regText), qPrintable(form.Text5->text()), qPrintable(form.windowTitle()));
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
    // Warm once the window's bounded stores have filled: the line monitor keeps
    // its newest 10,000 events (some 1,200 polls), which grow it until then.
    if (!rssWarm && polls >= std::min(500, targetPolls / 10) &&
        form.monitor()->model()->rowCount() >= MonitorModel::kMaxLines) {
      rssWarm = RssKb();
      warmPolls = polls;
    }
  }

  const QString stats = sim.command(QStringLiteral("stats"));
  sim.command(QStringLiteral("faults off"));
  sim.command(QStringLiteral("outputs 96"));
  QTest::qWait(2 * 200 + 100);
  QString lamps;
  for (int i = 7; i >= 0; --i) lamps += form.lampIsGreen(i) ? QLatin1Char('1') : QLatin1Char('0');
  const bool lampsAgree = lamps == QStringLiteral("10010110");
  const long rssEnd = RssKb();

  std::printf(
      "soak: %d poll exchanges in %.0f s, %d faults injected (%s), fault rate %g, adapter latency %d ms\n",
      polls, clock.elapsed() / 1000.0, StatField(stats, "faults"), qPrintable(stats), rate, usbLatencyMs);
  std::printf("soak: %d writes: %d stored as typed, %d lost on the line, %d stored wrong\n", writes, stored,
              lost, wrongStored);
  std::printf(
      "soak: writes pressed %d: %d confirmed and stored as typed (%.1f %%), %d failed with a message in the "
      "title, %d lost without a word; %d stored though not confirmed, %d confirmed but not stored as typed\n",
      writes, confirmedStored, Share(confirmedStored, writes), writesFailedSaid, writesSilent,
      storedUnconfirmed, confirmedNotStored);
  std::printf(
      "soak: reads pressed %d: %d shown (%.1f %%), %d failed with a message in the title, %d lost without a "
      "word; %d shown differing from the controller (corrupted replies)\n",
      reads, readsShown, Share(readsShown, reads), readsFailedSaid, readsSilent, readsWrong);
  std::printf(
      "soak: attempts per press: writes %d for %d (%d more than once), reads %d for %d (%d more "
      "than once)\n",
      writeAttempts, writes, writesRetried, readAttempts, reads, readsRetried);
  if (rssWarm) {
    std::printf(
        "soak: lamps %s after the faults stopped; RSS %ld kB after the warm-up (%d polls), %ld kB at the end "
        "(%+ld kB)\n",
        lampsAgree ? "agree" : "DISAGREE", rssWarm, warmPolls, rssEnd, rssEnd - rssWarm);
  } else {
    std::printf(
        "soak: lamps %s after the faults stopped; RSS %ld kB at the end, growth not judged: the line "
        "monitor held %d of its %d events (full after some 1,200 polls)\n",
        lampsAgree ? "agree" : "DISAGREE", rssEnd, form.monitor()->model()->rowCount(),
        MonitorModel::kMaxLines);
  }
  const bool ok = !hung && wrongStored == 0 && confirmedNotStored == 0 && writesSilent == 0 &&
                  readsSilent == 0 && lampsAgree && (!rssWarm || rssEnd - rssWarm < 1024);
  std::printf("soak: %s%s\n", ok ? "passed" : "FAILED", hung ? " (no poll for 10 s: hung)" : "");
  return ok ? 0 : 1;
}
