#include "line_log.h"

#include "timeline/local_time.h"

#include <QTime>
#include <cstdio>

#include "monitor/link_format.h"
#include "translations/translate.h"

namespace varnak {

QString FormatLine(const LoggedEvent& logged) {
  return QString::fromStdString(
      FormatLinkEvent(logged.event, ClockText(logged.timeOfDayMs), logged.msSinceStart, Translated));
}

LineLog::LineLog() {
  sinceStart_.start();
  stamp_ = [this] {
    return std::make_pair(QTime::currentTime().msecsSinceStartOfDay(), sinceStart_.nsecsElapsed() / 1e6);
  };
}

void LineLog::onLinkEvent(const LinkEvent& event) {
  if (sinks_.empty() || ForTheWindowOnly(event.kind)) return;
  const auto [timeOfDayMs, ms] = stamp_();
  const LoggedEvent logged{event, timeOfDayMs, ms};
  for (const Sink& sink : sinks_) sink(logged);
}

}  // namespace varnak
