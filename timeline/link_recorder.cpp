#include "link_recorder.h"

#include <tuple>

namespace varnak {

void LinkRecorder::onLinkEvent(const LinkEvent& event) {
  const std::int64_t now = event.time;
  recorder_.advance(now);
  if (event.kind == LinkEvent::Kind::Received) {
    if (event.ruling == Ruling::LampsSet && event.bytes.size() > 2) recorder_.sample(now, event.bytes[2]);
    return;
  }
  // The operator's commands only: the poll is drawn as the lamps, the list's exchanges not at all.
  if (event.exchange != ExchangeKind::Write && event.exchange != ExchangeKind::Read) return;
  const bool write = event.exchange == ExchangeKind::Write;
  switch (event.kind) {
    case LinkEvent::Kind::Waiting:
      recorder_.commandStarted(now, write ? CommandKind::Write : CommandKind::Read, event.reg, event.value);
      waiting_ = true;
      waitingFor_ = {event.exchange, event.reg, event.value};
      break;
    case LinkEvent::Kind::Started:
      // A command that waited was marked at its click, not again when it goes out.
      if (waiting_) {
        waiting_ = false;
        if (std::tie(event.exchange, event.reg, event.value) ==
            std::tie(waitingFor_.exchange, waitingFor_.reg, waitingFor_.value))
          break;
        // The waiting command started nothing (its value box was emptied meanwhile):
        // its marker ends unsent, and this is another command.
        recorder_.commandEnded(waitingFor_.exchange == ExchangeKind::Write ? CommandOutcome::NotConfirmed
                                                                           : CommandOutcome::Failed);
      }
      recorder_.commandStarted(now, write ? CommandKind::Write : CommandKind::Read, event.reg,
                               write ? event.value : std::string());
      break;
    case LinkEvent::Kind::Completed:
      recorder_.commandEnded(write ? CommandOutcome::Confirmed : CommandOutcome::ValueRead, event.value);
      break;
    case LinkEvent::Kind::Failed:
      // A click refused for what the boxes hold sent nothing: no command to mark.
      if (event.failure == Failure::BadInput) break;
      if (event.failure == Failure::Replaced) waiting_ = false;
      recorder_.commandEnded(write ? CommandOutcome::NotConfirmed : CommandOutcome::Failed, {},
                             event.failure == Failure::Replaced);
      break;
    default:
      break;
  }
}

}  // namespace varnak
