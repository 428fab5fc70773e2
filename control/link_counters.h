// The line monitor's counters: exchanges started and completed by kind, replies
// ignored by reason, exchanges abandoned, port failures.
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "control/link_events.h"

namespace varnak {

struct LinkCounters {
  std::array<int, 3> started{};    // by ExchangeKind
  std::array<int, 3> completed{};  // by ExchangeKind
  std::array<int, 3> failed{};     // by ExchangeKind
  std::array<int, kRulingCount> ruled{};
  int abandoned = 0;
  int portFailures = 0;

  void count(const LinkEvent& event);
  int ignored() const;
  // Every counter as a label and its value, in the order the monitor shows
  // them: "write started", "write completed", ..., "ignored: check byte bad", ...
  std::vector<std::pair<std::string, int>> rows() const;
};

}  // namespace varnak
