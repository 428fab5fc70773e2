// The poll benchmark on three lines side by side in one run, each against a
// fresh paced simulator: its pseudo-terminal directly, and the same through
// ser2net, raw TCP and RFC 2217. Per line: poll exchanges a second, the tool's
// turnaround as the simulator sees it on its pty (from the end of a reply to the
// first byte of the next frame: through ser2net that includes the server's
// forwarding both ways), and the poll exchange from the enquiry's write to the
// lamps set, less the simulator's two turnarounds.
//
// Usage: net_bench [SECONDS_PER_LINE]   (default 30)
#include <QApplication>
#include <QProcess>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <optional>

#include "bench/exchange_timing.h"
#include "panel/startup.h"
#include "tests/ser2net.h"

namespace {

using varnak::bench::kSimTurnaroundsMs;
using varnak::bench::Percentile;
using varnak::bench::TimedForm;
using varnak::bench::TimedPort;

struct Figures {
  double pollsPerSecond = 0;
  double turnMedian = -1, turnP99 = -1;
  double exMedian = 0, exP99 = 0;
  int failed = 0;
};

struct FailCount : varnak::LinkObserver {
  int failed = 0;
  void onLinkEvent(const varnak::LinkEvent& e) override {
    failed += e.kind == varnak::LinkEvent::Kind::Failed;
  }
};

// One line for `seconds`: none of `kind` is the pty directly.
Figures Run(QApplication& app, double seconds, std::optional<varnak::testing::Ser2net::Kind> kind) {
  QProcess sim;
  sim.start(QStringLiteral(VARNAK_SIM_PATH), {"--log", "--outputs", "A5"});
  if (!sim.waitForReadyRead(5000)) return {};
  const QString device = QString::fromUtf8(sim.readLine()).trimmed();
  std::unique_ptr<varnak::testing::Ser2net> server;
  QString address = device;
  if (kind) {
    server = std::make_unique<varnak::testing::Ser2net>(
        device, *kind,
        QString::fromLatin1(*kind == varnak::testing::Ser2net::Kind::Raw ? "9600o81" : "19200n81"));
    if (!server->start()) {
      std::fprintf(stderr, "net_bench: ser2net did not start\n%s", server->why().c_str());
      return {};
    }
    address = server->address();
  }
  Figures f;
  {
    TimedPort port(QMap<int, QString>{{1, address}});
    TimedForm form(port);
    FailCount fails;
    form.core().addObserver(&fails);
    form.load(QStringLiteral("1"));
    form.show();
    // The first second (connecting, first paint) is not counted.
    QTimer::singleShot(1000, [&] { form.exchangesMs.clear(); });
    QTimer::singleShot(static_cast<int>((seconds + 1) * 1000), &app, &QApplication::quit);
    app.exec();
    form.Timer1->stop();
    form.core().removeObserver(&fails);
    f.pollsPerSecond = form.exchangesMs.size() / seconds;
    f.exMedian = Percentile(form.exchangesMs, 0.5) - kSimTurnaroundsMs;
    f.exP99 = Percentile(form.exchangesMs, 0.99) - kSimTurnaroundsMs;
    f.failed = fails.failed;
    port.close();
  }
  server.reset();
  sim.terminate();
  sim.waitForFinished(5000);
  const varnak::bench::Turnaround turn =
      varnak::bench::SimTurnaround(QString::fromUtf8(sim.readAllStandardOutput()));
  f.turnMedian = turn.median;
  f.turnP99 = turn.p99;
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  varnak::UsePlainEventLoop();
  QApplication app(argc, argv);
  const double seconds = argc > 1 ? std::atof(argv[1]) : 30;
  if (varnak::testing::Ser2netPath().isEmpty()) {
    std::fprintf(stderr, "net_bench: ser2net is not installed (scripts/install-deps.sh installs it)\n");
    return 1;
  }
  using K = varnak::testing::Ser2net::Kind;
  const Figures pty = Run(app, seconds, std::nullopt);
  const Figures raw = Run(app, seconds, K::Raw);
  const Figures rfc = Run(app, seconds, K::Rfc2217);
  std::printf("| figure (%.0f s a line) | pty directly | ser2net raw TCP | ser2net RFC 2217 | target |\n",
              seconds);
  std::printf("|---|---|---|---|---|\n");
  std::printf("| poll exchanges per second | %.2f | %.2f | %.2f | >= 4.9 |\n", pty.pollsPerSecond,
              raw.pollsPerSecond, rfc.pollsPerSecond);
  std::printf(
      "| tool turnaround on the pty, median / p99 | %.2f / %.2f ms | %.2f / %.2f ms | %.2f / %.2f ms | |\n",
      pty.turnMedian, pty.turnP99, raw.turnMedian, raw.turnP99, rfc.turnMedian, rfc.turnP99);
  std::printf(
      "| poll exchange less the simulator's turnarounds, median / p99 | %.1f / %.1f ms | %.1f / %.1f ms | "
      "%.1f / "
      "%.1f ms | |\n",
      pty.exMedian, pty.exP99, raw.exMedian, raw.exP99, rfc.exMedian, rfc.exP99);
  std::printf("| exchanges failed | %d | %d | %d | 0 |\n", pty.failed, raw.failed, rfc.failed);
  return 0;
}
