#include "line_log.h"

#include <QDateTime>

#include "monitor/link_format.h"
#include "timeline/local_time.h"
#include "translations/translate.h"

namespace varnak {

QString FormatLine(const LoggedEvent& logged) {
  return QString::fromStdString(
      FormatLinkEvent(logged.event, ClockText(logged.timeOfDayMs), logged.msSinceStart, Translated));
}

void LineLog::onLinkEvent(const LinkEvent& event) {
  if (sinks_.empty() || ForTheWindowOnly(event.kind)) return;
  const std::int64_t sinceStart = event.time - startMs_;
  const std::int64_t epochMs = startEpochMs_ + sinceStart;
  const std::int64_t minute = epochMs - ((epochMs % 60000) + 60000) % 60000;
  if (minute != minuteStart_) {
    minuteStart_ = minute;
    minuteTimeOfDayMs_ = QDateTime::fromMSecsSinceEpoch(minute).time().msecsSinceStartOfDay();
  }
  const int timeOfDayMs = minuteTimeOfDayMs_ + static_cast<int>(epochMs - minute);
  const LoggedEvent logged{event, timeOfDayMs, static_cast<double>(sinceStart)};
  for (const Sink& sink : sinks_) sink(logged);
}

}  // namespace varnak
