// A line that never goes quiet: the window (offscreen) on a pseudo-terminal
// whose other end, a child process, streams bytes without a gap. Prints the
// window's RSS growth and CPU while it lasts.
//
//   babble_bench [SECONDS] [BYTES_PER_SECOND]     defaults: 8 s, 100000
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "panel/form2.h"
#include "panel/startup.h"
#include "serial/numbered_port.h"
#include "sim/pty.h"

namespace {

long RssKb() {
  std::ifstream in("/proc/self/status");
  std::string key;
  long value = 0;
  while (in >> key) {
    if (key == "VmRSS:") {
      in >> value;
      return value;
    }
    in.ignore(1 << 10, '\n');
  }
  return 0;
}

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void Run(QApplication& app, int ms) {
  QTimer::singleShot(ms, &app, &QApplication::quit);
  app.exec();
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 8;
  const double rate = argc > 2 ? std::atof(argv[2]) : 100000;
  auto pty = varnak::Pty::Open();
  if (!pty) return 1;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  varnak::UsePlainEventLoop();
  QApplication app(argc, argv);
  varnak::NumberedPort port(QMap<int, QString>{{1, QString::fromStdString(pty->slavePath())}});
  varnak::Form2 form(port);
  varnak::WireStatusLines(form);
  form.load(QStringLiteral("1"));
  Run(app, 1000);  // polls go out, unanswered, and the port is open

  const long rssBefore = RssKb();
  const double cpuBefore = CpuSeconds();
  const pid_t child = fork();
  if (child == 0) {
    // 100 bytes at a time, paced to the rate, never a gap of a quiet time.
    const varnak::Bytes noise(100, 0x55);
    const auto start = std::chrono::steady_clock::now();
    long sent = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::duration<double>(seconds)) {
      pty->write(noise);
      sent += 100;
      std::this_thread::sleep_until(start + std::chrono::duration<double>(sent / rate));
    }
    _exit(0);
  }
  QElapsedTimer wall;
  wall.start();
  Run(app, static_cast<int>(seconds * 1000));
  waitpid(child, nullptr, 0);
  const double cpu = CpuSeconds() - cpuBefore;
  const double elapsed = wall.nsecsElapsed() / 1e9;
  const long rssAfter = RssKb();
  Run(app, 300);
  std::printf("| figure (%.0f s of babble at %.0f kB/s) | measured |\n|---|---|\n", seconds, rate / 1000);
  std::printf("| window RSS before / after | %ld / %ld kB (%+ld kB) |\n", rssBefore, rssAfter,
              rssAfter - rssBefore);
  std::printf("| window CPU while it lasted | %.1f %% of one core |\n", 100 * cpu / elapsed);
  std::printf("| most bytes in one chunk | %d |\n", port.peakChunk());
  return 0;
}
