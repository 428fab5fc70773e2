#include "reply_assembler.h"

namespace varnak {

void ReplyAssembler::push(const Bytes& bytes, std::int64_t) {
  waiting_.insert(waiting_.end(), bytes.begin(), bytes.end());
}

std::optional<Assembled> ReplyAssembler::next(std::optional<ExpectedReply> expected, std::int64_t now) {
  if (waiting_.empty()) return std::nullopt;
  Assembled out;
  if (!kept_.empty()) {
    Bytes whole = kept_;
    whole.insert(whole.end(), waiting_.begin(), waiting_.end());
    if (expected && (ClassifyReply(whole) != ReplyKind::NotAReply || IsBeginningOf(whole, *expected))) {
      out.bytes.swap(whole);
      out.joined = true;
      waiting_.clear();
      kept_.clear();
      deadline_.reset();
    } else {
      // The piece does not continue the reply: the beginning goes alone, the
      // piece at the next call, under what is expected by then.
      out.bytes.swap(kept_);
      deadline_.reset();
      return out;
    }
  } else {
    out.bytes.swap(waiting_);
  }
  if (expected && IsBeginningOf(out.bytes, *expected)) {
    kept_ = out.bytes;
    deadline_ = now + joinMs_;
    out.kind = Assembled::Kind::Kept;
  }
  return out;
}

Bytes ReplyAssembler::giveUp(std::int64_t now) {
  if (!deadline_ || now < *deadline_) return {};
  deadline_.reset();
  Bytes out;
  out.swap(kept_);
  return out;
}

void ReplyAssembler::clear() {
  kept_.clear();
  deadline_.reset();
}

}  // namespace varnak
