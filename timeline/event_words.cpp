#include "event_words.h"

#include "link/register_number.h"

namespace varnak {

namespace {

std::string WithRegister(const std::string& words, unsigned reg) {
  std::string text = words;
  const auto at = text.find("%1");
  if (at != std::string::npos) text.replace(at, 2, RegisterName(reg));
  return text;
}

}  // namespace

std::string EnglishCommandText(const CommandMarker& c) {
  const std::string reg(c.regText());
  const std::string value(c.valueText());
  if (c.kind == CommandKind::Read) {
    switch (c.outcome) {
      case CommandOutcome::ValueRead:
        return "read " + reg + " = " + value;
      case CommandOutcome::Pending:
        return "read " + reg + " ...";
      default:
        return "read " + reg + " failed";
    }
  }
  const std::string what = "write " + reg + " = " + value;
  switch (c.outcome) {
    case CommandOutcome::Confirmed:
      return what + " confirmed";
    case CommandOutcome::Pending:
      return what + " ...";
    default:
      return what + " not confirmed";
  }
}

std::string EventWords::text(const TimelineRow& row) const {
  switch (row.event) {
    case TimelineRow::Event::NotLive:
      return notLive;
    case TimelineRow::Event::LiveAgain:
      return liveAgain;
    case TimelineRow::Event::Command:
      return row.command ? command(*row.command) : std::string();
    case TimelineRow::Event::RegisterNotLive:
      return WithRegister(registerNotLive, row.reg);
    case TimelineRow::Event::RegisterLiveAgain:
      return WithRegister(registerLiveAgain, row.reg);
    case TimelineRow::Event::None:
      break;
  }
  return {};
}

}  // namespace varnak
