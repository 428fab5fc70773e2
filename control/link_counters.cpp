#include "link_counters.h"

namespace varnak {

void LinkCounters::count(const LinkEvent& e) {
  const auto k = static_cast<std::size_t>(e.exchange);
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
    case LinkEvent::Kind::Abandoned:
      ++abandoned;
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

std::vector<std::pair<std::string, int>> LinkCounters::rows() const {
  std::vector<std::pair<std::string, int>> out;
  for (ExchangeKind k : {ExchangeKind::Write, ExchangeKind::Read, ExchangeKind::Poll}) {
    const auto i = static_cast<std::size_t>(k);
    out.emplace_back(std::string(ExchangeName(k)) + " started", started[i]);
    out.emplace_back(std::string(ExchangeName(k)) + " completed", completed[i]);
    out.emplace_back(std::string(ExchangeName(k)) + " failed", failed[i]);
  }
  out.emplace_back("abandoned", abandoned);
  out.emplace_back("port failures", portFailures);
  for (int r = 0; r < kRulingCount; ++r)
    if (IsIgnored(static_cast<Ruling>(r)))
      out.emplace_back(RulingText(static_cast<Ruling>(r)), ruled[static_cast<std::size_t>(r)]);
  return out;
}

}  // namespace varnak
