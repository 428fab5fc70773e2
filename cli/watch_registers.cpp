#include "watch_registers.h"

#include <algorithm>

#include "link/register_number.h"
#include "watch/watch_list.h"

namespace varnak::cli {

bool ParseRegisterList(const std::string& text, std::vector<ReadItem>* items, std::string* error) {
  std::size_t from = 0;
  while (true) {
    const std::size_t comma = text.find(',', from);
    const std::string word = text.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
    ReadItem item;
    const auto reg = ParseRegisterName(word);
    if (reg) item.reg = *reg;
    if (!reg || word.find(' ') != std::string::npos) {
      *error = "--registers wants octal registers from 0 to 77777 between commas, got: " +
               (word.empty() ? std::string("an empty one") : word);
      return false;
    }
    if (std::any_of(items->begin(), items->end(), [&](const ReadItem& i) { return i.reg == item.reg; })) {
      *error = "--registers names " + RegisterName(item.reg) + " twice";
      return false;
    }
    if (items->size() >= kMaxWatchRows) {
      *error = "--registers takes at most " + std::to_string(kMaxWatchRows) + " registers";
      return false;
    }
    items->push_back(item);
    if (comma == std::string::npos) return true;
    from = comma + 1;
  }
}

WatchRegisters::WatchRegisters(const std::vector<ReadItem>& items) : list_(std::make_unique<WatchList>()) {
  std::vector<WatchEntry> entries;
  for (const ReadItem& i : items) entries.push_back(WatchEntry{i.reg, i.name, i.format});
  list_->replaceAll(entries);  // checked when the options were read
  shown_.assign(list_->size(), std::string());
}

WatchRegisters::~WatchRegisters() = default;

bool WatchRegisters::empty() const { return list_->size() == 0; }

std::optional<unsigned> WatchRegisters::next(std::int64_t now) {
  const auto job = list_->nextJob(now);
  if (!job) return std::nullopt;
  return job->reg;
}

void WatchRegisters::setReporter(std::function<void(const ListReport&)> reporter) {
  list_->setReporter(std::move(reporter));
}

bool WatchRegisters::ended(unsigned reg, std::uint16_t value, std::int64_t now) {
  list_->jobEnded(ListJob{ListJob::Kind::Read, reg, 0}, ListResult{true, Failure::NoReply, value}, now);
  bool changed = false;
  for (std::size_t i = 0; i < list_->size(); ++i) {
    std::string value = list_->valueText(i);
    if (value == shown_[i]) continue;
    shown_[i] = std::move(value);
    changed = true;
  }
  return changed;
}

bool WatchRegisters::allKnown() const {
  for (std::size_t i = 0; i < list_->size(); ++i)
    if (!list_->row(i).known) return false;
  return true;
}

std::string WatchRegisters::lineText() const {
  std::string s;
  for (std::size_t i = 0; i < list_->size(); ++i)
    s += " " + RegisterName(list_->row(i).entry.reg) + "=" + shown_[i];
  return s;
}

std::string WatchRegisters::jsonText() const {
  std::string s;
  for (std::size_t i = 0; i < list_->size(); ++i)
    s += ", " + JsonString(RegisterName(list_->row(i).entry.reg)) + ": " + JsonString(shown_[i]);
  return s;
}

std::vector<unsigned> WatchRegisters::columns() const {
  std::vector<unsigned> out;
  for (std::size_t i = 0; i < list_->size(); ++i) {
    const WatchEntry& e = list_->row(i).entry;
    for (unsigned reg : {e.reg, e.reg + 1}) {
      if (reg != e.reg && !IsPair(e.format)) break;
      if (std::find(out.begin(), out.end(), reg) == out.end()) out.push_back(reg);
    }
  }
  return out;
}

}  // namespace varnak::cli
