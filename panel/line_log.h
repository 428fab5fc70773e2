// The link control's one observer in the window: stamps each event once with
// the time of day and the milliseconds since start, formats it once, and hands
// the same line to every sink (the line monitor, --trace on stderr).
#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <functional>
#include <string>
#include <vector>

#include "control/link_events.h"

namespace varnak {

class LineLog : public LinkObserver {
 public:
  using Sink = std::function<void(const LinkEvent& event, const std::string& line)>;
  // The time of an event: "HH:MM:SS.mmm" and milliseconds since start.
  using Stamp = std::function<std::pair<std::string, double>()>;

  LineLog();
  void addSink(Sink sink) { sinks_.push_back(std::move(sink)); }
  void setStamp(Stamp stamp) { stamp_ = std::move(stamp); }
  void onLinkEvent(const LinkEvent& event) override;

 private:
  std::vector<Sink> sinks_;
  QElapsedTimer sinceStart_;
  Stamp stamp_;
};

}  // namespace varnak
