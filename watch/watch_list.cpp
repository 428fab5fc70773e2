#include "watch_list.h"

#include <algorithm>
#include <iterator>

#include "control/input_check.h"
#include "link/register_number.h"

namespace varnak {

namespace {

// The name cut to kMaxNameChars code points, never inside one.
std::string Bounded(const std::string& name) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto byte = static_cast<unsigned char>(name[i]);
    if ((byte & 0xC0) == 0x80) continue;  // a continuation byte
    if (++chars > kMaxNameChars) return name.substr(0, i);
  }
  return name;
}

}  // namespace

std::string WatchList::checkNew(unsigned reg, RegisterFormat format, const std::vector<WatchEntry>* others,
                                Translate lang) const {
  const auto say = [&](const char* key, std::initializer_list<std::string> args) {
    return Fill(lang(kWatchListContext, key), args);
  };
  if (reg > kMaxRegister)
    return say(QT_TRANSLATE_NOOP("WatchList", "register %1 is above 77777"), {ToUtf8(RegisterDigits(reg))});
  if (std::string pair = PairProblem(format, reg, lang); !pair.empty()) return pair;
  const bool taken =
      others ? std::any_of(others->begin(), others->end(), [&](const WatchEntry& e) { return e.reg == reg; })
             : indexOfRegister(reg).has_value();
  if (taken) return say(QT_TRANSLATE_NOOP("WatchList", "%1 is already in the list"), {RegisterName(reg)});
  const std::size_t count = others ? others->size() : rows_.size();
  if (count >= kMaxWatchRows)
    return say(QT_TRANSLATE_NOOP("WatchList", "the list holds at most %1 registers"),
               {std::to_string(kMaxWatchRows)});
  return {};
}

std::string WatchList::checkAdd(unsigned reg, RegisterFormat format, Translate lang) const {
  return checkNew(reg, format, nullptr, lang);
}

std::string WatchList::checkTyped(std::string_view typed, RegisterFormat format, unsigned* reg,
                                  Translate lang) const {
  const Text text = FromUtf8(typed);
  const RegisterInput input = CheckRegister(text);
  if (input.problem != InputProblem::None) return InputProblemText("register", input.problem, text, lang);
  const unsigned number = input.number;
  std::string problem = checkAdd(number, format, lang);
  if (problem.empty() && reg) *reg = number;
  return problem;
}

std::string WatchList::add(unsigned reg, RegisterFormat format, const std::string& name, Translate lang) {
  std::string problem = checkAdd(reg, format, lang);
  if (!problem.empty()) return problem;
  WatchRow row;
  row.entry = WatchEntry{reg, Bounded(name), format};
  row.id = nextId_++;
  rows_.push_back(std::move(row));
  ++layoutRevision_;
  return {};
}

std::string WatchList::addTyped(std::string_view typed, RegisterFormat format, Translate lang) {
  unsigned reg = 0;
  std::string problem = checkTyped(typed, format, &reg, lang);
  if (!problem.empty()) return problem;
  return add(reg, format, {}, lang);
}

std::vector<unsigned> WatchList::covered() const {
  std::vector<unsigned> regs;
  if (!active_) return regs;
  for (const WatchRow& r : rows_) {
    regs.push_back(r.entry.reg);
    if (IsPair(r.entry.format)) regs.push_back(r.entry.reg + 1);
  }
  std::sort(regs.begin(), regs.end());
  regs.erase(std::unique(regs.begin(), regs.end()), regs.end());
  return regs;
}

void WatchList::reportDropped(const std::vector<unsigned>& before) {
  if (!reporter_) return;
  const std::vector<unsigned> after = covered();
  std::vector<unsigned> gone;
  std::set_difference(before.begin(), before.end(), after.begin(), after.end(), std::back_inserter(gone));
  for (unsigned reg : gone) reporter_(ListReport{ListReport::Kind::NotRead, reg, 1, {}});
}

void WatchList::report(ListReport::Kind kind, const WatchRow& row) {
  if (!reporter_) return;
  const bool pair = IsPair(row.entry.format);
  reporter_(
      ListReport{kind, row.entry.reg, pair ? 2u : 1u, {row.first, pair ? row.second : std::uint16_t{0}}});
}

void WatchList::remove(std::vector<std::size_t> indices) {
  const std::vector<unsigned> before = reporter_ ? covered() : std::vector<unsigned>();
  std::sort(indices.begin(), indices.end());
  indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
  bool removed = false;
  for (auto i = indices.rbegin(); i != indices.rend(); ++i) {
    if (*i >= rows_.size()) continue;
    const std::uint64_t id = rows_[*i].id;
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(*i));
    removed = true;
    if (*i < turn_) --turn_;
    pending_.erase(std::remove_if(pending_.begin(), pending_.end(),
                                  [id](const PendingWrite& p) { return p.rowId == id; }),
                   pending_.end());
    if (reading_ && reading_->rowId == id) reading_.reset();
    if (written_ && written_->rowId == id) written_.reset();
    // A write under way keeps going: half a pair must not be left on the controller.
  }
  if (turn_ >= rows_.size()) turn_ = 0;
  if (removed) ++layoutRevision_;
  reportDropped(before);
}

void WatchList::rename(std::size_t i, const std::string& name) {
  if (i >= rows_.size()) return;
  rows_[i].entry.name = Bounded(name);
  touch(rows_[i]);
}

std::string WatchList::setFormat(std::size_t i, RegisterFormat format, Translate lang) {
  if (i >= rows_.size()) return {};
  WatchRow& row = rows_[i];
  if (std::string pair = PairProblem(format, row.entry.reg, lang); !pair.empty()) return pair;
  const bool widthChanged = IsPair(format) != IsPair(row.entry.format);
  const std::vector<unsigned> before = reporter_ && widthChanged ? covered() : std::vector<unsigned>();
  row.entry.format = format;
  if (widthChanged) {
    row.known = false;
    row.first = row.second = 0;
    row.changedAt.reset();
    row.status = RowStatus::NotReadYet;
    const std::uint64_t id = row.id;
    pending_.erase(std::remove_if(pending_.begin(), pending_.end(),
                                  [id](const PendingWrite& p) { return p.rowId == id; }),
                   pending_.end());
    if (reading_ && reading_->rowId == id) reading_.reset();
    if (written_ && written_->rowId == id) written_.reset();
    reportDropped(before);
  }
  touch(row);
  return {};
}

std::string WatchList::write(std::size_t i, std::string_view typed, Translate lang) {
  if (i >= rows_.size()) return {};
  WatchRow& row = rows_[i];
  const TypedValue value = ParseValue(row.entry.format, typed, lang);
  if (!value.ok) return value.problem;
  const PendingWrite write{row.id, value.first, IsPair(row.entry.format) ? value.second : std::uint16_t{0}};
  const auto queued = std::find_if(pending_.begin(), pending_.end(),
                                   [&](const PendingWrite& p) { return p.rowId == row.id; });
  if (queued != pending_.end()) {
    *queued = write;
  } else {
    pending_.push_back(write);
  }
  row.status = RowStatus::Writing;
  touch(row);
  return {};
}

std::string WatchList::checkAll(const std::vector<WatchEntry>& entries, Translate lang) const {
  std::vector<WatchEntry> taken;
  taken.reserve(std::min(entries.size(), kMaxWatchRows));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::string problem = checkNew(entries[i].reg, entries[i].format, &taken, lang);
    if (!problem.empty())
      return Fill(lang(kWatchListContext, QT_TRANSLATE_NOOP("WatchList", "row %1: %2")),
                  {std::to_string(i + 1), problem});
    taken.push_back(entries[i]);
  }
  return {};
}

std::string WatchList::replaceAll(const std::vector<WatchEntry>& entries, Translate lang) {
  std::string problem = checkAll(entries, lang);
  if (!problem.empty()) return problem;
  const std::vector<unsigned> before = reporter_ ? covered() : std::vector<unsigned>();
  rows_.clear();
  for (const WatchEntry& e : entries) {
    WatchRow row;
    row.entry = WatchEntry{e.reg, Bounded(e.name), e.format};
    row.id = nextId_++;
    rows_.push_back(std::move(row));
  }
  pending_.clear();
  reading_.reset();
  written_.reset();
  turn_ = 0;
  ++layoutRevision_;
  reportDropped(before);
  return {};
}

std::vector<WatchEntry> WatchList::entries() const {
  std::vector<WatchEntry> out;
  out.reserve(rows_.size());
  for (const WatchRow& r : rows_) out.push_back(r.entry);
  return out;
}

void WatchList::setActive(bool active) {
  const std::vector<unsigned> before = reporter_ ? covered() : std::vector<unsigned>();
  active_ = active;
  reportDropped(before);
  if (!active_ && reading_ && !reading_->readBack) reading_.reset();
}

bool WatchList::hasWork() const {
  return writing_ || !pending_.empty() || (reading_ && reading_->readBack) || (active_ && !rows_.empty());
}

std::optional<std::size_t> WatchList::indexOf(std::uint64_t id) const {
  for (std::size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i].id == id) return i;
  return std::nullopt;
}

std::optional<std::size_t> WatchList::indexOfRegister(unsigned reg) const {
  for (std::size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i].entry.reg == reg) return i;
  return std::nullopt;
}

WatchRow* WatchList::find(std::uint64_t id) {
  const auto i = indexOf(id);
  return i ? &rows_[*i] : nullptr;
}

bool WatchList::changedRecently(std::size_t i, std::int64_t now) const {
  const auto& at = rows_[i].changedAt;
  return at && now - *at < kChangeMarkMs;
}

std::string WatchList::valueText(std::size_t i) const {
  const WatchRow& r = rows_[i];
  return r.known ? FormatValue(r.entry.format, r.first, r.second) : std::string();
}

std::string WatchList::statusText(std::size_t i, Translate lang) const {
  const WatchRow& r = rows_[i];
  return RowStatusText(r.status, r.failure, r.entry.format, lang);
}

std::string RowStatusText(RowStatus status, Failure failure, RegisterFormat format, Translate lang) {
  const std::string why = lang(kLinkEventsContext, FailureText(failure));
  const auto say = [&](const char* key) { return Fill(lang(kWatchListContext, key), {why}); };
  switch (status) {
    case RowStatus::Ok:
      return {};
    case RowStatus::NotReadYet:
      return say(QT_TRANSLATE_NOOP("WatchList", "not read yet"));
    case RowStatus::ReadFailed:
      return why;
    case RowStatus::Torn:
      return say(QT_TRANSLATE_NOOP("WatchList", "changing while read: the last whole value is shown"));
    case RowStatus::Written:
      return say(QT_TRANSLATE_NOOP("WatchList", "written"));
    case RowStatus::WrittenReadsOther:
      return say(QT_TRANSLATE_NOOP("WatchList", "written, but reads back another value"));
    case RowStatus::WrittenReadBackFailed:
      return say(QT_TRANSLATE_NOOP("WatchList", "written; read-back failed: %1"));
    case RowStatus::WriteFailed:
      return say(QT_TRANSLATE_NOOP("WatchList", "not written: %1"));
    case RowStatus::HalfWritten:
      return IsHighWordFirst(format)
                 ? say(QT_TRANSLATE_NOOP("WatchList", "high word written, low word failed: %1"))
                 : say(QT_TRANSLATE_NOOP("WatchList", "low word written, high word failed: %1"));
    case RowStatus::Writing:
      return say(QT_TRANSLATE_NOOP("WatchList", "writing…"));
  }
  return {};
}

}  // namespace varnak
