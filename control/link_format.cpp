#include "link_format.h"

#include <cstdio>

#include "link/decode.h"

namespace varnak {

namespace {

constexpr const char* kContext = "LinkFormat";

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
  const std::string exchange = lang(kLinkEventsContext, ExchangeName(e.exchange));
  switch (e.kind) {
    case K::Sent:
      return "TX " + BytesToHex(e.bytes) + "  " + DescribeChunk(e.bytes, lang);
    case K::Received:
      return "RX " + HexPreview(e.bytes, 64) + "  " + DescribeChunk(e.bytes, lang) + " -> " +
             lang(kLinkEventsContext, RulingText(e.ruling));
    case K::Started:
      return Fill(say(QT_TRANSLATE_NOOP("LinkFormat", "-- %1 started by %2")),
                  {exchange, lang(kLinkEventsContext, CauseText(e.cause))});
    case K::Completed:
      return Fill(say(QT_TRANSLATE_NOOP("LinkFormat", "-- %1 done")), {exchange});
    case K::Abandoned:
      return Fill(
          say(QT_TRANSLATE_NOOP("LinkFormat", "-- %1 abandoned: a new exchange began before its reply came")),
          {exchange});
    case K::Held:
      return Fill(say(QT_TRANSLATE_NOOP("LinkFormat", "-- polling held: %1")), {HoldCause(e, lang)});
    case K::Released:
      return Fill(say(QT_TRANSLATE_NOOP("LinkFormat", "-- polling released: %1")), {HoldCause(e, lang)});
    case K::PortOpened:
      return Fill(say(QT_TRANSLATE_NOOP("LinkFormat", "-- port opened: %1")), {e.detail});
    case K::PortClosed:
      return Fill(say(QT_TRANSLATE_NOOP("LinkFormat", "-- port closed: %1")),
                  {lang(kLinkEventsContext, CauseText(e.cause))});
    case K::PortFailed:
      return Fill(say(QT_TRANSLATE_NOOP("LinkFormat", "-- port failed: %1")), {e.detail});
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
