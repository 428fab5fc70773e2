// The link control's one observer in the window: stamps each event once with
// the time of day and the milliseconds since start and hands it to every sink
// (the line monitor, --trace on stderr). Events are kept as events; a line of
// text is made only for what is shown, copied, saved or traced, in the
// operator's language of that moment.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <utility>
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
  // The time of an event: milliseconds since midnight and since start.
  using Stamp = std::function<std::pair<int, double>()>;

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
