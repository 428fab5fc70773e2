#include "link_counters.h"

namespace varnak {

void LinkCounters::count(const LinkEvent& e) {
  // A master's read of the outputs counts as a poll: it is one on the wire.
  const auto k =
      static_cast<std::size_t>(e.exchange == ExchangeKind::Outputs ? ExchangeKind::Poll : e.exchange);
  switch (e.kind) {
    case LinkEvent::Kind::Started:
      ++started[k];
      break;
    case LinkEvent::Kind::Completed:
      ++completed[k];
      break;
    case LinkEvent::Kind::Failed:
      ++failed[k];
      break;
    case LinkEvent::Kind::Retried:
      ++retried;
      break;
    case LinkEvent::Kind::Received:
      ++ruled[static_cast<std::size_t>(e.ruling)];
      break;
    case LinkEvent::Kind::PortFailed:
      ++portFailures;
      break;
    default:
      break;
  }
}

int LinkCounters::ignored() const {
  int n = 0;
  for (int r = 0; r < kRulingCount; ++r)
    if (IsIgnored(static_cast<Ruling>(r))) n += ruled[static_cast<std::size_t>(r)];
  return n;
}

std::vector<LinkCounters::Row> LinkCounters::rows() const {
  constexpr const char* kContext = "LinkCounters";
  static constexpr const char* kStarted[] = {QT_TRANSLATE_NOOP("LinkCounters", "writes started"),
                                             QT_TRANSLATE_NOOP("LinkCounters", "reads started"),
                                             QT_TRANSLATE_NOOP("LinkCounters", "polls started"),
                                             QT_TRANSLATE_NOOP("LinkCounters", "list reads started"),
                                             QT_TRANSLATE_NOOP("LinkCounters", "list writes started")};
  static constexpr const char* kCompleted[] = {QT_TRANSLATE_NOOP("LinkCounters", "writes completed"),
                                               QT_TRANSLATE_NOOP("LinkCounters", "reads completed"),
                                               QT_TRANSLATE_NOOP("LinkCounters", "polls completed"),
                                               QT_TRANSLATE_NOOP("LinkCounters", "list reads completed"),
                                               QT_TRANSLATE_NOOP("LinkCounters", "list writes completed")};
  static constexpr const char* kFailed[] = {QT_TRANSLATE_NOOP("LinkCounters", "writes failed"),
                                            QT_TRANSLATE_NOOP("LinkCounters", "reads failed"),
                                            QT_TRANSLATE_NOOP("LinkCounters", "polls failed"),
                                            QT_TRANSLATE_NOOP("LinkCounters", "list reads failed"),
                                            QT_TRANSLATE_NOOP("LinkCounters", "list writes failed")};
  std::vector<Row> out;
  for (std::size_t k = 0; k < std::size(kStarted); ++k) {
    out.push_back({kContext, kStarted[k], started[k]});
    out.push_back({kContext, kCompleted[k], completed[k]});
    out.push_back({kContext, kFailed[k], failed[k]});
  }
  out.push_back({kContext, QT_TRANSLATE_NOOP("LinkCounters", "tried again"), retried});
  out.push_back({kContext, QT_TRANSLATE_NOOP("LinkCounters", "port failures"), portFailures});
  for (int r = 0; r < kRulingCount; ++r)
    if (IsIgnored(static_cast<Ruling>(r)))
      out.push_back(
          {kLinkEventsContext, RulingText(static_cast<Ruling>(r)), ruled[static_cast<std::size_t>(r)]});
  return out;
}

}  // namespace varnak
