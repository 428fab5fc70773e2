// The bridge against a real Mosquitto and the paced simulator; prints one table:
// from a change at the simulator to its message at a subscriber (outputs, and a
// register of a list of 8), median and p99; messages a second with a list of
// 100 registers that all change; the bridge's CPU and RSS over the run.
//
//   bridge_bench [SECONDS]   default 60: the length of the CPU and RSS run
#include <unistd.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "broker_process.h"
#include "sim_process.h"

namespace {

using namespace varnak::testing;

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<std::size_t>(p * v.size()))];
}

QString WriteList(const QTemporaryDir& dir, int rows) {
  const QString path = dir.filePath(QStringLiteral("list%1.csv").arg(rows));
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  f.write("register,name,format\n");
  for (int i = 0; i < rows; ++i) f.write(QStringLiteral("R%1,,hex\n").arg(01000 + i, 0, 8).toUtf8());
  return path;
}

// utime + stime in seconds, and VmRSS in kB, of a process.
double CpuSeconds(qint64 pid) {
  QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!f.open(QIODevice::ReadOnly)) return 0;
  const QString s = QString::fromLatin1(f.readAll());
  const QStringList fields = s.mid(s.lastIndexOf(QLatin1Char(')')) + 2).split(QLatin1Char(' '));
  return (fields.value(11).toDouble() + fields.value(12).toDouble()) /
         static_cast<double>(sysconf(_SC_CLK_TCK));
}
long RssKb(qint64 pid) {
  QFile f(QStringLiteral("/proc/%1/status").arg(pid));
  if (!f.open(QIODevice::ReadOnly)) return 0;
  const auto m =
      QRegularExpression(QStringLiteral("VmRSS:\\s+(\\d+)")).match(QString::fromLatin1(f.readAll()));
  return m.hasMatch() ? m.captured(1).toLong() : 0;
}

class Bridge {
 public:
  Bridge(const QString& device, const QString& broker, const QString& list) {
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral(VARNAK_CLI_PATH),
                   {"bridge", "--port", device, "--mqtt", broker, "--topic", "b", "--watch", list});
    process_.waitForStarted(3000);
  }
  ~Bridge() {
    process_.terminate();
    if (!process_.waitForFinished(5000)) process_.kill();
    process_.waitForFinished(1000);
  }
  qint64 pid() const { return process_.processId(); }

 private:
  QProcess process_;
};

// Milliseconds from `change` to a line at the subscriber that equals `expect`, or -1.
double Latency(SimProcess& sim, Subscriber& sub, const QString& change, const QString& expect) {
  const int seen = static_cast<int>(sub.lines().size());
  QElapsedTimer t;
  t.start();
  sim.command(change);
  const bool ok = WaitFor(
      [&] {
        for (int i = seen; i < sub.lines().size(); ++i)
          if (sub.lines()[i] == expect) return true;
        return false;
      },
      10000);
  return ok ? t.nsecsElapsed() / 1e6 : -1;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int seconds = argc > 1 ? std::max(10, std::atoi(argv[1])) : 60;
  QTemporaryDir dir;
  BrokerProcess broker;
  if (!broker.start()) {
    std::fprintf(stderr, "bridge_bench: mosquitto did not start\n%s", broker.why().c_str());
    return 1;
  }
  SimProcess sim({}, false);
  auto* rng = QRandomGenerator::global();

  std::vector<double> outputs, registers;
  {
    Bridge bridge(sim.device(), broker.url(), WriteList(dir, 8));
    Subscriber sub(broker.port(), {"b/outputs", "b/R1000"});
    Pump(2000);
    for (int i = 0; i < 60; ++i) {
      Pump(static_cast<int>(rng->bounded(400)));  // at any moment of the poll period
      const QString byte = QStringLiteral("%1").arg(i % 2 ? 0x5A : 0xA5, 2, 16, QLatin1Char('0')).toUpper();
      const double ms =
          Latency(sim, sub, QStringLiteral("outputs ") + byte, QStringLiteral("0 b/outputs ") + byte);
      if (ms >= 0) outputs.push_back(ms);
    }
    for (int i = 0; i < 40; ++i) {
      Pump(static_cast<int>(rng->bounded(600)));
      const QString v = QStringLiteral("%1").arg(0x100 + i, 4, 16, QLatin1Char('0')).toUpper();
      const double ms = Latency(sim, sub, QStringLiteral("set R1000 ") + v, QStringLiteral("0 b/R1000 ") + v);
      if (ms >= 0) registers.push_back(ms);
    }
  }

  double rate = 0, cpu = 0;
  long rssStart = 0, rssEnd = 0, rssPeak = 0;
  std::vector<long> rssEvery10s;
  {
    Bridge bridge(sim.device(), broker.url(), WriteList(dir, 100));
    Subscriber sub(broker.port(), {"b/#"});
    Pump(3000);
    // Every register changes once a second, so that each read brings a new value.
    QElapsedTimer t;
    t.start();
    const int before = static_cast<int>(sub.lines().size());
    const double cpu0 = CpuSeconds(bridge.pid());
    rssStart = RssKb(bridge.pid());
    int round = 0;
    while (t.elapsed() < seconds * 1000) {
      for (int i = 0; i < 100; ++i)
        sim.command(
            QStringLiteral("set R%1 %2").arg(01000 + i, 0, 8).arg(round % 0x10000, 4, 16, QLatin1Char('0')));
      ++round;
      const qint64 next = round * 1000;
      while (t.elapsed() < next) {
        Pump(50);
        if (t.elapsed() / 10000 > static_cast<qint64>(rssEvery10s.size()))
          rssEvery10s.push_back(RssKb(bridge.pid()));
      }
      rssPeak = std::max(rssPeak, RssKb(bridge.pid()));
    }
    const double elapsed = t.elapsed() / 1000.0;
    rate = (sub.lines().size() - before) / elapsed;
    cpu = 100.0 * (CpuSeconds(bridge.pid()) - cpu0) / elapsed;
    rssEnd = RssKb(bridge.pid());
  }

  std::printf("| figure | measured |\n|---|---|\n");
  std::printf(
      "| outputs: change at the simulator to the message, median / p99 (%zu changes) | %.0f / %.0f ms |\n",
      outputs.size(), Percentile(outputs, 0.5), Percentile(outputs, 0.99));
  std::printf("| a register of a list of 8, median / p99 (%zu changes) | %.0f / %.0f ms |\n",
              registers.size(), Percentile(registers, 0.5), Percentile(registers, 0.99));
  std::printf("| messages a second, 100 registers all changing (%d s) | %.1f |\n", seconds, rate);
  std::printf("| bridge CPU over %d s | %.2f %% of one core |\n", seconds, cpu);
  std::printf("| bridge RSS at start / end / peak | %ld / %ld / %ld kB |\n", rssStart, rssEnd, rssPeak);
  std::printf("| bridge RSS every 10 s (kB) |");
  for (long r : rssEvery10s) std::printf(" %ld", r);
  std::printf(" |\n");
  return 0;
}
