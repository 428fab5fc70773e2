#include "link_format.h"

#include <cstdio>

#include "link/decode.h"

namespace varnak {

namespace {

std::string Describe(const LinkEvent& e) {
  using K = LinkEvent::Kind;
  const std::string exchange = ExchangeName(e.exchange);
  switch (e.kind) {
    case K::Sent:
      return "TX " + BytesToHex(e.bytes) + "  " + DescribeChunk(e.bytes);
    case K::Received:
      return "RX " + HexPreview(e.bytes, 64) + "  " + DescribeChunk(e.bytes) + " -> " + RulingText(e.ruling);
    case K::Started:
      return "-- start " + exchange + " (" + e.detail + ")";
    case K::Completed:
      return "-- " + exchange + " done";
    case K::Abandoned:
      return "-- " + exchange + " abandoned: a new exchange began before its reply came";
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
