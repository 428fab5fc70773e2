#include "link_recorder.h"

#include <cstdio>

namespace varnak {

void LinkRecorder::onLinkEvent(const LinkEvent& event) {
  const std::int64_t now = clock_();
  recorder_.advance(now);
  const bool command = event.exchange != ExchangeKind::Poll;
  switch (event.kind) {
    case LinkEvent::Kind::Received:
      if (event.ruling == Ruling::LampsSet && event.bytes.size() > 2) {
        recorder_.sample(now, event.bytes[2]);
      } else if (event.ruling == Ruling::ValueShown && event.bytes.size() > 3) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%02X%02X", event.bytes[3], event.bytes[2]);  // high byte first
        valueRead_ = hex;
      }
      break;
    case LinkEvent::Kind::Started:
      if (!command) break;
      valueRead_.clear();
      if (event.exchange == ExchangeKind::Write) {
        recorder_.commandStarted(now, CommandKind::Write, "R" + ToUtf8(panel_.text(Field::Text2)),
                                 ToUtf8(panel_.text(Field::Text1)));
      } else {
        recorder_.commandStarted(now, CommandKind::Read, "R" + ToUtf8(panel_.text(Field::Text6)), "");
      }
      break;
    case LinkEvent::Kind::Completed:
      if (!command) break;
      if (event.exchange == ExchangeKind::Write) {
        recorder_.commandEnded(CommandOutcome::Confirmed);
      } else {
        recorder_.commandEnded(CommandOutcome::ValueRead, valueRead_);
      }
      break;
    case LinkEvent::Kind::Abandoned:
      if (!command) break;
      recorder_.commandEnded(event.exchange == ExchangeKind::Write ? CommandOutcome::NotConfirmed
                                                                   : CommandOutcome::Failed);
      break;
    default:
      break;
  }
}

}  // namespace varnak
