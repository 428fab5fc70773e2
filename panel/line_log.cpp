#include "line_log.h"

#include "control/link_format.h"

namespace varnak {

LineLog::LineLog() {
  sinceStart_.start();
  stamp_ = [this] {
    return std::make_pair(QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")).toStdString(),
                          sinceStart_.nsecsElapsed() / 1e6);
  };
}

void LineLog::onLinkEvent(const LinkEvent& event) {
  if (sinks_.empty()) return;
  const auto [timeOfDay, ms] = stamp_();
  const std::string line = FormatLinkEvent(event, timeOfDay, ms);
  for (const Sink& sink : sinks_) sink(event, line);
}

}  // namespace varnak
