#include "list_recorder.h"

#include <algorithm>

namespace varnak {

void RecordListReport(Recorder& recorder, std::int64_t now, const ListReport& report) {
  switch (report.kind) {
    case ListReport::Kind::Read:
      recorder.registersRead(now, report.reg, report.words, report.count);
      break;
    case ListReport::Kind::Failed:
    case ListReport::Kind::NotRead:
      recorder.registersLost(now, report.reg, report.count);
      break;
  }
}

std::vector<unsigned> RecordingColumns(const std::vector<WatchEntry>& rows, const RegisterHistory& history) {
  std::vector<unsigned> columns;
  const auto add = [&columns](unsigned reg) {
    if (std::find(columns.begin(), columns.end(), reg) == columns.end()) columns.push_back(reg);
  };
  for (const WatchEntry& e : rows) {
    add(e.reg);
    if (IsPair(e.format)) add(e.reg + 1);
  }
  for (unsigned reg : history.registers()) add(reg);
  return columns;
}

}  // namespace varnak
