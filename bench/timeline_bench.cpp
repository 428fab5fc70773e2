// The output timing chart with a full day of history: the recorder's memory
// after 24 simulated hours at five changes a second, and the time to draw one
// screen of the chart at several zooms (offscreen, into an image).
//
// With registers, a day of 20 registers changing once a second (the bound of
// the register changes) is recorded too, and each screen has their 20 bus lanes.
//
//   timeline_bench [WIDTH] [HEIGHT] [REGISTERS]   defaults: 960 x 480, the chart's size in its
//                                                 window, and no registers (20 for the lanes)
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "panel/startup.h"
#include "panel/timeline_window.h"

namespace {

long RssKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  varnak::UsePlainEventLoop();
  QApplication app(argc, argv);
  varnak::ApplyPanelFont(app);
  const int width = argc > 1 ? std::atoi(argv[1]) : 960;
  const int height = argc > 2 ? std::atoi(argv[2]) : 480;
  const int registers = argc > 3 ? std::atoi(argv[3]) : 0;

  // 24 hours of polls every 200 ms, each one changing the outputs; a command a
  // minute; the controller silent for 5 s every 10 minutes.
  const std::int64_t day = 24LL * 3600 * 1000;
  const long rssBefore = RssKb();
  varnak::Recorder recorder(0, 1796648400000);
  std::mt19937 dice(1);
  QElapsedTimer fill;
  fill.start();
  std::int64_t polls = 0;
  for (std::int64_t t = 0; t <= day; t += 200) {
    if (t % 600000 >= 595000) {
      recorder.advance(t);
      continue;
    }
    if (t % 60000 == 0) {
      recorder.commandStarted(t, varnak::CommandKind::Write, "R2000", "00A5");
      recorder.commandEnded(t % 120000 ? varnak::CommandOutcome::Confirmed
                                       : varnak::CommandOutcome::NotConfirmed);
    }
    recorder.sample(t, static_cast<varnak::Outputs>(dice() | 1) ^ static_cast<varnak::Outputs>(polls & 1));
    ++polls;
  }
  const double fillMs = fill.nsecsElapsed() / 1e6;
  const long rssAfter = RssKb();

  // Each register changes every second, its reads failing for 5 s every 10 minutes.
  QElapsedTimer fillRegisters;
  fillRegisters.start();
  for (std::int64_t t = 0; t < day && registers > 0; t += 1000) {
    for (int r = 0; r < registers; ++r) {
      const unsigned reg = 01000 + static_cast<unsigned>(r);
      if ((t + r * 1000) % 600000 == 0) {
        recorder.registersLost(t, reg, 1);
        continue;
      }
      const auto value = static_cast<std::uint16_t>(t / 1000 * (r + 1));
      recorder.registersRead(t + r, reg, &value, 1);
    }
  }
  const double fillRegistersMs = fillRegisters.nsecsElapsed() / 1e6;
  const long rssRegisters = RssKb();

  std::int64_t now = day;
  varnak::TimelineChart chart(recorder, [&now] { return now; });
  chart.setWords(varnak::TimelineWindow::Words());
  chart.setLaneSource([registers] {
    std::vector<varnak::TimelineChart::BusLane> lanes;
    for (int r = 0; r < registers; ++r)
      lanes.push_back({01000 + static_cast<unsigned>(r),
                       r % 2 ? varnak::RegisterFormat::Unsigned : varnak::RegisterFormat::Hex,
                       QStringLiteral("lane %1").arg(r)});
    return lanes;
  });
  // Every lane on the one screen, as tall as they need.
  chart.resize(width, std::max(height, chart.minimumHeight()));
  QImage image(chart.size(), QImage::Format_ARGB32_Premultiplied);

  std::printf("| figure | measured | target |\n|---|---|---|\n");
  std::printf(
      "| 24 simulated hours recorded | %lld polls, %zu changes kept, %zu markers, %zu not-live spans, in "
      "%.0f ms | "
      "432,000 changes kept |\n",
      static_cast<long long>(polls), recorder.changes().size(), recorder.markers().size(),
      recorder.spans().size(), fillMs);
  std::printf("| RSS before / after recording 24 hours | %ld / %ld kB (+%.1f MB) | |\n", rssBefore, rssAfter,
              (rssAfter - rssBefore) / 1024.0);
  if (registers > 0) {
    const auto& history = recorder.registers();
    std::printf(
        "| %d registers once a second for 24 hours | %zu register changes and spans kept, %zu dropped, in "
        "%.0f ms | %zu kept |\n",
        registers, history.size(), history.dropped(), fillRegistersMs, history.limit());
    std::printf("| RSS after recording the registers | %ld kB (+%.1f MB, %.1f bytes a change) | |\n",
                rssRegisters, (rssRegisters - rssAfter) / 1024.0,
                (rssRegisters - rssAfter) * 1024.0 / static_cast<double>(history.size()));
  }

  struct Zoom {
    const char* name;
    std::int64_t spanMs;
  } const zooms[] = {{"24 h", day}, {"1 h", 3600000}, {"1 min", 60000}, {"2 s", 2000}};
  for (const Zoom& z : zooms) {
    while (chart.spanMs() < z.spanMs) chart.zoom(2.0);
    while (chart.spanMs() > z.spanMs) chart.zoom(0.5);
    std::vector<double> ms;
    for (int i = 0; i < 30; ++i) {
      QPainter painter(&image);
      QElapsedTimer t;
      t.start();
      chart.render(&painter);
      ms.push_back(t.nsecsElapsed() / 1e6);
      now += 200;  // following: the present moves between frames
    }
    std::sort(ms.begin(), ms.end());
    std::printf(
        "| draw one screen of %s (%d x %d px, %d register lanes), median / max of 30 | %.2f / %.2f ms | "
        "< 16 ms |\n",
        z.name, chart.width(), chart.height(), registers, ms[ms.size() / 2], ms.back());
  }
  const long rssEnd = RssKb();
  std::printf("| RSS at the end (chart drawn) | %ld kB | |\n", rssEnd);
  return 0;
}
