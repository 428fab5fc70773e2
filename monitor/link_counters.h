// The line monitor's counters: exchanges started and completed by kind, replies
// ignored by reason, commands tried again, port failures.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "control/link_events.h"

namespace varnak {

struct LinkCounters {
  std::array<int, kExchangeKindCount> started{};    // by ExchangeKind
  std::array<int, kExchangeKindCount> completed{};  // by ExchangeKind
  std::array<int, kExchangeKindCount> failed{};     // by ExchangeKind
  std::array<int, kRulingCount> ruled{};
  int retried = 0;  // commands and list writes tried again after a loss on the line
  int portFailures = 0;

  void count(const LinkEvent& event);
  int ignored() const;
  // A counter's label, a key for translation in `context`, and its value.
  struct Row {
    const char* context;
    const char* label;
    int value;
  };
  // Every counter in the order the monitor shows them: "writes started",
  // "writes completed", ..., "ignored: check byte bad", ...
  std::vector<Row> rows() const;
};

}  // namespace varnak
