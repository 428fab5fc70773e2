// What the poll benchmarks measure of one poll exchange: a port that notes when
// each enquiry goes out, a window that notes when the lamps are set (the end of
// the exchange), and the simulator's own figure of the tool's turnaround.
#pragma once

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QString>
#include <algorithm>
#include <cstddef>
#include <vector>

#include "link/frames.h"
#include "panel/form2.h"
#include "serial/numbered_port.h"

namespace varnak::bench {

// Milliseconds on a monotonic clock; only differences mean anything.
inline double NowMs() {
  static const QElapsedTimer clock = [] {
    QElapsedTimer t;
    t.start();
    return t;
  }();
  return clock.nsecsElapsed() / 1e6;
}

// The paced simulator's two turnarounds (2 ms each) inside one poll exchange.
constexpr double kSimTurnaroundsMs = 2 * 2.0;

// Notes when each enquiry goes out.
class TimedPort : public NumberedPort {
 public:
  using NumberedPort::NumberedPort;
  double lastEnquiryMs = -1;  // -1: none since the last exchange ended
  bool write(const Bytes& b) override {
    const bool ok = NumberedPort::write(b);
    if (ok && b.size() == kEnquiryBytes && b[0] == 0x4E) lastEnquiryMs = NowMs();
    return ok;
  }
};

// Notes when a poll ends with the lamps set: the end of a poll exchange.
class TimedForm : public Form2 {
 public:
  explicit TimedForm(TimedPort& port) : Form2(port), polls_(port, exchangesMs) {
    core().addObserver(&polls_);
  }
  ~TimedForm() override { core().removeObserver(&polls_); }
  std::vector<double> exchangesMs;  // enquiry written to lamps set, one a poll exchange

 private:
  struct Polls : ::varnak::LinkObserver {
    Polls(TimedPort& port, std::vector<double>& ms) : port_(port), ms_(ms) {}
    void onLinkEvent(const LinkEvent&) override {}
    void onJobEnded(const JobEnd& end) override {
      if (end.kind != ExchangeKind::Poll || !end.ok || port_.lastEnquiryMs < 0) return;
      ms_.push_back(NowMs() - port_.lastEnquiryMs);
      port_.lastEnquiryMs = -1;
    }
    TimedPort& port_;
    std::vector<double>& ms_;
  } polls_;
};

// p in 0..1; 0 for no values.
inline double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<std::size_t>(p * v.size()))];
}

// The tool's turnaround as the simulator's --log reports it when it ends, in ms;
// -1 where it reported none.
struct Turnaround {
  double median = -1;
  double p99 = -1;
};

inline Turnaround SimTurnaround(const QString& simOut) {
  const auto m = QRegularExpression(QStringLiteral("median ([0-9.]+) ms, p99 ([0-9.]+) ms")).match(simOut);
  if (!m.hasMatch()) return {};
  return {m.captured(1).toDouble(), m.captured(2).toDouble()};
}

}  // namespace varnak::bench
