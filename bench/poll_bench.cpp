// Runs the window (offscreen) against the paced simulator and prints one table:
// poll rate, the tool's turnaround, the time of a whole poll exchange, CPU, RSS.
//
//   poll_bench [SECONDS] [SIM] [monitor|timeline]   defaults: 60 s, varnak-sim beside the build
//
// With "monitor", the line monitor is open and already holds its 10,000 lines
// (so that the run shows the memory once the ring is full), and the RSS is
// printed every 10 s. With "timeline", the output timing chart is open and
// following the present. BENCH_LIST=N opens the register watch with N registers
// (R1000 on) and prints the list reads a second.
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <cstdio>
#include <vector>

#include "bench/exchange_timing.h"
#include "panel/startup.h"
#include "translations/translate.h"

namespace {

using varnak::bench::kSimTurnaroundsMs;
using varnak::bench::Percentile;
using varnak::bench::TimedForm;
using varnak::bench::TimedPort;

long RssKb() {
  QFile f(QStringLiteral("/proc/self/status"));
  if (!f.open(QIODevice::ReadOnly)) return 0;
  const auto m =
      QRegularExpression(QStringLiteral("VmRSS:\\s+(\\d+)")).match(QString::fromLatin1(f.readAll()));
  return m.hasMatch() ? m.captured(1).toLong() : 0;
}

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  varnak::UsePlainEventLoop();
  QApplication app(argc, argv);
  varnak::ApplyPanelFont(app);
  varnak::InstallTranslators(QLocale::system());  // as the window does
  const double seconds = argc > 1 ? std::atof(argv[1]) : 60;
  const QString simPath = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(VARNAK_SIM_PATH);

  QProcess sim;
  // BENCH_USB_LATENCY=16: the simulator hands its replies over as a USB adapter
  // does, so that they reach the window in pieces; BENCH_WRITES=1: the write
  // button is pressed once a second, so that the turnaround also covers the
  // data block sent on a write header's ACK.
  QStringList simArgs{"--log", "--outputs", "A5"};
  if (qEnvironmentVariableIsSet("BENCH_USB_LATENCY"))
    simArgs << "--usb-latency" << qEnvironmentVariable("BENCH_USB_LATENCY");
  sim.start(simPath, simArgs);
  if (!sim.waitForReadyRead(5000)) {
    std::fprintf(stderr, "poll_bench: %s did not start\n", qPrintable(simPath));
    return 1;
  }
  const QString device = QString::fromUtf8(sim.readLine()).trimmed();

  TimedPort port(QMap<int, QString>{{1, device}});
  TimedForm form(port);
  varnak::WireStatusLines(form);
  // Every event the link control reports, kept to measure what formatting them would cost.
  std::vector<varnak::LoggedEvent> events;
  int listReads = 0, listFailures = 0;
  form.lineLog().addSink([&](const varnak::LoggedEvent& e) {
    if (events.size() < 20000) events.push_back(e);
    if (e.event.exchange == varnak::ExchangeKind::ListRead) {
      listReads += e.event.kind == varnak::LinkEvent::Kind::Completed;
      listFailures += e.event.kind == varnak::LinkEvent::Kind::Failed;
    }
  });
  form.load(QStringLiteral("1"));
  form.show();
  const bool monitor = argc > 3 && QString::fromLocal8Bit(argv[3]) == QStringLiteral("monitor");
  const bool timeline = argc > 3 && QString::fromLocal8Bit(argv[3]) == QStringLiteral("timeline");
  if (timeline) form.openTimeline();  // following the present, redrawn four times a second
  const int listSize = qEnvironmentVariableIntValue("BENCH_LIST");
  if (listSize > 0) {
    std::vector<varnak::WatchEntry> entries;
    for (int i = 0; i < listSize; ++i) entries.push_back({01000u + static_cast<unsigned>(i), {}, {}});
    form.watchList().replaceAll(entries);
    form.openWatch();
  }
  std::vector<long> rssKb;
  QTimer rssTimer;
  if (monitor) {
    form.openMonitor();
    // A typical line: a poll reply that set the lamps.
    const varnak::LoggedEvent typical{
        {varnak::LinkEvent::Kind::Received, {0x06, 0x02, 0xA5, 0x00, 0x03, 0xA5}, varnak::Ruling::LampsSet},
        57733131,
        1820.950};
    form.monitor()->model()->append(
        std::deque<varnak::LoggedEvent>(varnak::MonitorModel::kMaxLines, typical));
    rssTimer.setInterval(10000);
    QObject::connect(&rssTimer, &QTimer::timeout, [&] { rssKb.push_back(RssKb()); });
    rssTimer.start();
  }

  QTimer writes;
  if (qEnvironmentVariableIntValue("BENCH_WRITES")) {
    writes.setInterval(1000);
    QObject::connect(&writes, &QTimer::timeout, [&] { form.Command1->click(); });
    writes.start();
  }

  // CPU is counted from the first poll on, not for start-up (fonts, first paint).
  double cpuBefore = 0;
  QTimer::singleShot(1000, [&] { cpuBefore = CpuSeconds(); });
  QTimer::singleShot(static_cast<int>(seconds * 1000), &app, &QApplication::quit);
  app.exec();
  const double cpu = CpuSeconds() - cpuBefore;
  rusage u{};
  getrusage(RUSAGE_SELF, &u);

  sim.terminate();
  sim.waitForFinished(5000);
  const varnak::bench::Turnaround turn =
      varnak::bench::SimTurnaround(QString::fromUtf8(sim.readAllStandardOutput()));

  const double wireLimitMs = 29 * 11 * 1000.0 / 9600;
  const double exMedian = Percentile(form.exchangesMs, 0.5) - kSimTurnaroundsMs;
  const double exP99 = Percentile(form.exchangesMs, 0.99) - kSimTurnaroundsMs;

  std::printf("| figure (%.0f s run) | measured | target |\n|---|---|---|\n", seconds);
  std::printf("| poll exchanges per second | %.2f | 5 (one per 200 ms tick) |\n",
              form.exchangesMs.size() / seconds);
  std::printf("| tool turnaround, median / p99 | %.2f / %.2f ms | median <= 5 ms |\n", turn.median, turn.p99);
  std::printf(
      "| poll exchange less the simulator's turnarounds, median / p99 | %.1f / %.1f ms | <= %.1f ms (1.3 x "
      "wire time %.1f ms) |\n",
      exMedian, exP99, 1.3 * wireLimitMs, wireLimitMs);
  std::printf("| panel CPU | %.2f %% of one core | < 0.5 %% |\n", 100 * cpu / (seconds - 1));
  std::printf("| panel peak RSS | %.1f MB | < 60 MB |\n", u.ru_maxrss / 1024.0);
  if (listSize > 0)
    std::printf("| register list reads per second (%d registers) | %.2f (%d failed) | >= 14 |\n", listSize,
                listReads / seconds, listFailures);
  if (timeline) {
    std::printf("| output timing chart | open, following, %zu changes, %zu markers recorded | |\n",
                form.recorder().changes().size(), form.recorder().markers().size());
  }
  // What formatting every event into a line would cost, as the monitor did
  // before it kept events: the same events, formatted again and again.
  if (!events.empty()) {
    QElapsedTimer t;
    t.start();
    std::size_t n = 0, chars = 0;
    while (t.elapsed() < 1000)
      for (const varnak::LoggedEvent& e : events) chars += varnak::FormatLine(e).size(), ++n;
    const double usPerLine = t.nsecsElapsed() / 1e3 / n;
    const double linesPerSecond = events.size() / (seconds - 0.0);
    std::printf(
        "| formatting one monitor line (%zu chars on average) | %.2f us; %.1f lines/s while polling: %.3f %% "
        "of one core | not paid while nobody looks |\n",
        chars / n, usPerLine, linesPerSecond, usPerLine * linesPerSecond / 1e4);
  }
  if (monitor) {
    std::printf("| monitor lines kept / dropped | %d / %lld | 10,000 kept |\n",
                form.monitor()->model()->rowCount(), form.monitor()->model()->dropped());
    std::printf("| panel RSS every 10 s with the monitor full (kB) |");
    for (long kb : rssKb) std::printf(" %ld", kb);
    std::printf(" | growth levelled off |\n");
  }
  return 0;
}
