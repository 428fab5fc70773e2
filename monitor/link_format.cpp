#include "link_format.h"

#include <cstdio>

#include "control/exchange.h"
#include "link/decode.h"

namespace varnak {

namespace {

constexpr const char* kContext = "LinkFormat";

// "write R2000 = 00A5", "read R2000", "poll".
std::string Subject(const LinkEvent& e, Translate lang) {
  std::string s = lang(kLinkEventsContext, ExchangeName(e.exchange));
  if (!e.reg.empty()) s += " " + e.reg;
  const bool write = e.exchange == ExchangeKind::Write || e.exchange == ExchangeKind::ListWrite;
  if (write && !e.value.empty()) s += " = " + e.value;
  return s;
}

// What held or released polling: the button, the click or the rule that acted.
std::string HoldCause(const LinkEvent& e, Translate lang) {
  const auto events = [&](const char* key) { return lang(kLinkEventsContext, key); };
  if (e.cause == Cause::Reply) return events(RulingText(e.ruling));
  if (e.kind == LinkEvent::Kind::Held && e.cause == Cause::WriteButton)
    return Fill(lang(kContext, QT_TRANSLATE_NOOP("LinkFormat", "%1, until the write header goes out")),
                {events(CauseText(e.cause))});
  if (e.kind == LinkEvent::Kind::Held && e.cause == Cause::ReadButton)
    return Fill(lang(kContext, QT_TRANSLATE_NOOP("LinkFormat", "%1, until the read header goes out")),
                {events(CauseText(e.cause))});
  return events(CauseText(e.cause));
}

std::string Describe(const LinkEvent& e, Translate lang) {
  using K = LinkEvent::Kind;
  const auto say = [&](const char* key) { return lang(kContext, key); };
  const auto events = [&](const char* key) { return lang(kLinkEventsContext, key); };
  switch (e.kind) {
    case K::Sent:
      return "TX " + BytesToHex(e.bytes) + "  " + DescribeChunk(e.bytes, lang);
    case K::Received:
      return "RX " + HexPreview(e.bytes, 64) + "  " + DescribeChunk(e.bytes, lang) +
             (e.joined ? say(QT_TRANSLATE_NOOP("LinkFormat", " (joined)")) : std::string()) + " -> " +
             events(RulingText(e.ruling));
    case K::Started:
      return Fill(say(QT_TRANSLATE_NOOP("LinkFormat", "-- %1 started by %2")),
                  {Subject(e, lang), events(CauseText(e.cause))});
    case K::Completed:
      if (e.exchange == ExchangeKind::Write || e.exchange == ExchangeKind::ListWrite)
        return Fill(say(QT_TRANSLATE_NOOP("LinkFormat", "-- %1 confirmed")), {Subject(e, lang)});
      if (e.exchange == ExchangeKind::Read || e.exchange == ExchangeKind::ListRead)
        return Fill(say(QT_TRANSLATE_NOOP("LinkFormat", "-- %1 = %2 done")), {Subject(e, lang), e.value});
      return Fill(say(QT_TRANSLATE_NOOP("LinkFormat", "-- %1 done")), {Subject(e, lang)});
    case K::Retried:
      return Fill(say(QT_TRANSLATE_NOOP("LinkFormat", "-- %1: %2, trying again (attempt %3 of %4)")),
                  {Subject(e, lang), events(FailureText(e.failure)), std::to_string(e.attempt),
                   std::to_string(kAttempts)});
    case K::Failed:
      if (e.failure == Failure::BadInput)
        return Fill(say(QT_TRANSLATE_NOOP("LinkFormat", "-- %1 not sent: %2")),
                    {Subject(e, lang), InputProblemText(e.inputBox, e.input, FromUtf8(e.detail), lang)});
      if (e.exchange == ExchangeKind::Write || e.exchange == ExchangeKind::ListWrite)
        return Fill(say(QT_TRANSLATE_NOOP("LinkFormat", "-- %1 not confirmed: %2")),
                    {Subject(e, lang), events(FailureText(e.failure))});
      return Fill(say(QT_TRANSLATE_NOOP("LinkFormat", "-- %1 failed: %2")),
                  {Subject(e, lang), events(FailureText(e.failure))});
    case K::Waiting:
      return Fill(say(QT_TRANSLATE_NOOP("LinkFormat", "-- %1 waits for the exchange under way")),
                  {Subject(e, lang)});
    case K::Held:
      return Fill(say(QT_TRANSLATE_NOOP("LinkFormat", "-- polling held: %1")), {HoldCause(e, lang)});
    case K::Released:
      return Fill(say(QT_TRANSLATE_NOOP("LinkFormat", "-- polling released: %1")), {HoldCause(e, lang)});
    case K::PortOpened:
      return Fill(say(QT_TRANSLATE_NOOP("LinkFormat", "-- port opened: %1")), {e.detail});
    case K::PortClosed:
      return Fill(say(QT_TRANSLATE_NOOP("LinkFormat", "-- port closed: %1")), {events(CauseText(e.cause))});
    case K::PortFailed:
      return Fill(say(QT_TRANSLATE_NOOP("LinkFormat", "-- port failed: %1")), {e.detail});
    case K::PortNote:
      return Fill(say(QT_TRANSLATE_NOOP("LinkFormat", "-- port: %1")), {e.detail});
    case K::ReadBoxCleared:
    case K::ValueNormalised:
      break;  // the window's boxes, not the line
  }
  return "--";
}

}  // namespace

std::string FormatLinkEvent(const LinkEvent& e, const std::string& timeOfDay, double msSinceStart,
                            Translate lang) {
  char head[48];
  std::snprintf(head, sizeof head, " %11.3f ", msSinceStart);
  return timeOfDay + head + Describe(e, lang);
}

}  // namespace varnak
