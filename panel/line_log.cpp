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
  const int timeOfDayMs =
      QDateTime::fromMSecsSinceEpoch(startEpochMs_ + sinceStart).time().msecsSinceStartOfDay();
  const LoggedEvent logged{event, timeOfDayMs, static_cast<double>(sinceStart)};
  for (const Sink& sink : sinks_) sink(logged);
}

}  // namespace varnak
