// The link control's one observer in the window: stamps each event once, from
// the time it carries, with the time of day and the milliseconds since start and hands it to every sink
// (the line monitor, --trace on stderr). Events are kept as events; a line of
// text is made only for what is shown, copied, saved or traced, in the
// operator's language of that moment.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "control/link_events.h"

namespace varnak {

struct LoggedEvent {
  LinkEvent event;
  int timeOfDayMs = 0;        // local time, since midnight
  double msSinceStart = 0.0;  // on the tool's monotonic clock
};

// "16:02:13.131     820.950 RX 4E 21 06  enquiry ack -> poll header sent"
QString FormatLine(const LoggedEvent& logged);

class LineLog : public LinkObserver {
 public:
  using Sink = std::function<void(const LoggedEvent& logged)>;

  // `startMs` on the link control's clock is `startEpochMs` on the wall clock:
  // each event is stamped from the time it carries.
  LineLog(std::int64_t startMs, std::int64_t startEpochMs) { setStart(startMs, startEpochMs); }
  void setStart(std::int64_t startMs, std::int64_t startEpochMs) {
    startMs_ = startMs;
    startEpochMs_ = startEpochMs;
    minuteStart_ = -1;
  }
  void addSink(Sink sink) { sinks_.push_back(std::move(sink)); }
  void onLinkEvent(const LinkEvent& event) override;

 private:
  std::vector<Sink> sinks_;
  std::int64_t startMs_ = 0;
  std::int64_t startEpochMs_ = 0;
  // The local time of day at the start of the wall clock's current minute: a
  // conversion to local time for each of the some 70 events a second costs more
  // than the rest of the stamping, and the offset from UTC only ever changes
  // on a whole minute.
  std::int64_t minuteStart_ = -1;  // epoch ms, -1: none yet
  int minuteTimeOfDayMs_ = 0;
};

}  // namespace varnak
