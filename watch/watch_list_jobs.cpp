// The list's side of the link control: which job comes next, and what each
// job's end does to its row (see watch_list.h for the order and the tear rule).
#include <algorithm>

#include "watch/watch_list.h"

namespace varnak {

namespace {

bool SameJob(const ListJob& a, const ListJob& b) {
  return a.kind == b.kind && a.reg == b.reg && (a.kind == ListJob::Kind::Read || a.value == b.value);
}

}  // namespace

std::optional<ListJob> WatchList::jobOf(const ReadRun& run) const {
  const auto i = indexOf(run.rowId);
  if (!i) return std::nullopt;
  // A pair is read high word, low word, high word again: the high word moves
  // only at a carry, so an unchanged high word says the low word read between
  // belongs to the same value. In a low-word-first pair the high word is the
  // next register.
  const WatchEntry& e = rows_[*i].entry;
  const unsigned highAt = IsPair(e.format) && !IsHighWordFirst(e.format) ? 1u : 0u;
  const unsigned offset = run.step == 1 ? 1u - highAt : highAt;
  return ListJob{ListJob::Kind::Read, e.reg + (run.pair ? offset : 0u), 0};
}

std::optional<ListJob> WatchList::nextJob(std::int64_t) {
  handedOut_.reset();
  if (!writing_ && !(reading_ && reading_->readBack)) {
    while (!pending_.empty()) {
      const PendingWrite p = pending_.front();
      pending_.pop_front();
      const WatchRow* row = find(p.rowId);
      if (!row) continue;
      // A round robin read under way starts again after the write.
      reading_.reset();
      writing_ = WriteRun{p.rowId, row->entry.reg, IsPair(row->entry.format), 0, p.first, p.second};
      break;
    }
  }
  if (writing_) {
    const WriteRun& w = *writing_;
    handedOut_ =
        ListJob{ListJob::Kind::Write, w.reg + (w.step == 1 ? 1u : 0u), w.step == 1 ? w.second : w.first};
    return handedOut_;
  }
  if (!reading_) {
    if (!active_ || rows_.empty()) return std::nullopt;
    if (turn_ >= rows_.size()) turn_ = 0;
    const WatchRow& row = rows_[turn_];
    reading_ = ReadRun{row.id, IsPair(row.entry.format)};
  }
  handedOut_ = jobOf(*reading_);
  return handedOut_;
}

void WatchList::jobEnded(const ListJob& job, const ListResult& result, std::int64_t now) {
  // Only the job handed out last counts: a result for a row removed or changed since is dropped.
  if (!handedOut_ || !SameJob(job, *handedOut_)) return;
  handedOut_.reset();
  if (job.kind == ListJob::Kind::Write) {
    if (writing_) writeEnded(result);
    return;
  }
  if (reading_) {
    const auto expected = jobOf(*reading_);
    if (expected && SameJob(*expected, job)) readEnded(result, now);
  }
}

void WatchList::writeEnded(const ListResult& result) {
  const WriteRun w = *writing_;
  if (result.ok && w.pair && w.step == 0) {
    writing_->step = 1;
    return;
  }
  writing_.reset();
  WatchRow* row = find(w.rowId);
  if (!row) return;
  if (!result.ok && w.step == 0) {
    // Nothing was written: the row's own turn reads it.
    row->status = RowStatus::WriteFailed;
    row->failure = result.failure;
    touch(*row);
    return;
  }
  written_ = WriteOutcome{w.rowId, result.ok, w.first, w.second, result.failure};
  if (result.ok) {
    row->writtenFirst = w.first;
    row->writtenSecond = w.second;
  } else {
    row->status = RowStatus::HalfWritten;
    row->failure = result.failure;
    touch(*row);
  }
  startReadBack(w.rowId);
}

void WatchList::startReadBack(std::uint64_t rowId) {
  const WatchRow* row = find(rowId);
  if (!row) return;
  reading_ = ReadRun{rowId, IsPair(row->entry.format)};
  reading_->readBack = true;
}

void WatchList::readEnded(const ListResult& result, std::int64_t now) {
  ReadRun& run = *reading_;
  WatchRow* row = find(run.rowId);
  if (!row) {
    reading_.reset();
    return;
  }
  if (!result.ok) {
    const bool halfWritten = run.readBack && written_ && !written_->whole;
    if (!halfWritten && !writeAhead(row->id)) {
      row->status = run.readBack && written_ ? RowStatus::WrittenReadBackFailed : RowStatus::ReadFailed;
      row->failure = result.failure;
    }
    touch(*row);
    report(ListReport::Kind::Failed, *row);
    return finishRead();
  }
  if (!run.pair) {
    setGood(*row, result.value, 0, now);
    return finishRead();
  }
  switch (run.step) {
    case 0:
      run.first = result.value;
      run.step = 1;
      return;
    case 1:
      run.second = result.value;
      run.step = 2;
      return;
    default:
      break;
  }
  if (result.value == run.first) {
    // `first` and `second` hold the high and the low word as read; the row keeps
    // the register named first.
    if (IsHighWordFirst(row->entry.format))
      setGood(*row, run.first, run.second, now);
    else
      setGood(*row, run.second, run.first, now);
    return finishRead();
  }
  if (!run.again) {
    // The high word moved while the low word was read: read the low word again
    // after this fresh high word, and the high word once more.
    run.again = true;
    run.first = result.value;
    run.step = 1;
    return;
  }
  row->status = RowStatus::Torn;
  touch(*row);
  finishRead();
}

void WatchList::setGood(WatchRow& row, std::uint16_t first, std::uint16_t second, std::int64_t now) {
  const bool pair = IsPair(row.entry.format);
  const bool changed = row.known && (row.first != first || (pair && row.second != second));
  const bool asWritten = row.writtenFirst == first && (!pair || row.writtenSecond == second);
  if (changed) row.changedAt = now;
  if (reading_->readBack && written_) {
    if (written_->whole) row.status = asWritten ? RowStatus::Written : RowStatus::WrittenReadsOther;
  } else if (!writeAhead(row.id)) {
    switch (row.status) {
      // A write's outcome stands until the value changes.
      case RowStatus::Written:
      case RowStatus::WrittenReadsOther:
      case RowStatus::WriteFailed:
      case RowStatus::HalfWritten:
        if (changed) row.status = RowStatus::Ok;
        break;
      case RowStatus::WrittenReadBackFailed:
        row.status = asWritten ? RowStatus::Written : RowStatus::WrittenReadsOther;
        break;
      default:
        row.status = RowStatus::Ok;
    }
  }
  row.known = true;
  row.first = first;
  row.second = pair ? second : std::uint16_t{0};
  row.readAt = now;
  touch(row);
  report(ListReport::Kind::Read, row);
}

bool WatchList::writeAhead(std::uint64_t id) const {
  return (writing_ && writing_->rowId == id) ||
         std::any_of(pending_.begin(), pending_.end(), [id](const PendingWrite& p) { return p.rowId == id; });
}

void WatchList::finishRead() {
  const ReadRun run = *reading_;
  reading_.reset();
  if (run.readBack) {
    written_.reset();
    return;
  }
  if (const auto i = indexOf(run.rowId)) turn_ = (*i + 1) % rows_.size();
}

}  // namespace varnak
