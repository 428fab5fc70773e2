#include "link_format.h"

#include <cstdio>

#include "link/decode.h"

namespace varnak {

namespace {

// "write R2000 = 00A5", "read R2000", "poll".
std::string Subject(const LinkEvent& e) {
  std::string s = ExchangeName(e.exchange);
  if (!e.reg.empty()) s += " " + e.reg;
  if (e.exchange == ExchangeKind::Write && !e.value.empty()) s += " = " + e.value;
  return s;
}

std::string Describe(const LinkEvent& e) {
  using K = LinkEvent::Kind;
  switch (e.kind) {
    case K::Sent:
      return "TX " + BytesToHex(e.bytes) + "  " + DescribeChunk(e.bytes);
    case K::Received:
      return "RX " + HexPreview(e.bytes, 64) + "  " + DescribeChunk(e.bytes) + (e.joined ? " (joined)" : "") +
             " -> " + RulingText(e.ruling);
    case K::Started:
      return "-- start " + Subject(e) + " (" + e.detail + ")";
    case K::Completed:
      if (e.exchange == ExchangeKind::Write) return "-- " + Subject(e) + " confirmed";
      if (e.exchange == ExchangeKind::Read) return "-- " + Subject(e) + " = " + e.value + " done";
      return "-- " + Subject(e) + " done";
    case K::Abandoned:
      return "-- " + Subject(e) + " abandoned: a new exchange began before its reply came";
    case K::Failed:
      if (e.failure == Failure::BadInput) return "-- " + Subject(e) + " not sent: " + e.detail;
      if (e.exchange == ExchangeKind::Write)
        return "-- " + Subject(e) + " not confirmed: " + FailureText(e.failure);
      return "-- " + Subject(e) + " failed: " + FailureText(e.failure);
    case K::Waiting:
      return "-- " + Subject(e) + " waits for the exchange under way";
    case K::Held:
      return "-- polling held: " + e.detail;
    case K::Released:
      return "-- polling released: " + e.detail;
    case K::PortOpened:
      return "-- port opened: " + e.detail;
    case K::PortClosed:
      return "-- port closed: " + e.detail;
    case K::PortFailed:
      return "-- port failed: " + e.detail;
  }
  return "--";
}

}  // namespace

std::string FormatLinkEvent(const LinkEvent& e, const std::string& timeOfDay, double msSinceStart) {
  char head[48];
  std::snprintf(head, sizeof head, " %11.3f ", msSinceStart);
  return timeOfDay + head + Describe(e);
}

}  // namespace varnak
