#include "line_log.h"

#include <QTime>
#include <cstdio>

#include "monitor/link_format.h"
#include "translations/translate.h"

namespace varnak {

QString FormatLine(const LoggedEvent& logged) {
  const int t = logged.timeOfDayMs;
  char timeOfDay[32];
  std::snprintf(timeOfDay, sizeof timeOfDay, "%02d:%02d:%02d.%03d", t / 3600000 % 24, t / 60000 % 60,
                t / 1000 % 60, t % 1000);
  return QString::fromStdString(FormatLinkEvent(logged.event, timeOfDay, logged.msSinceStart, Translated));
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
