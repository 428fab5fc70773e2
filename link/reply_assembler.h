// Whole replies out of the pieces a line delivers. A serial driver, a USB
// adapter (every 16 ms) and a network (whatever its segments and the server's
// buffering make) all hand a reply over in pieces; the window and the client
// both turn them into replies here, by what the exchange expects and the time,
// never by a quiet gap on the line.
//
//   push(bytes, now) ─> next(expected, now) ─> a reply to judge
//                                           └> a beginning kept for the rest
//   deadline() ─> giveUp(now) ─> the beginning judged alone
//
// A piece that is a proper beginning of the expected reply (4E or 4E 21 of an
// enquiry ack; 06, 06 02 ... of a data reply) is kept, and joined with what
// follows within joinMs of the last piece. A whole reply acts at once, and so
// does anything that cannot grow into the expected reply (a NAK, noise): the
// join costs nothing when the line does not split replies. A kept beginning
// that the next piece does not continue is judged alone, then the piece.
// Nothing is cut at a length: bytes beyond a reply make a chunk that no rule
// recognises, as before.
//
// Pure: no I/O, no clock; time is milliseconds on the caller's monotonic clock.
#pragma once

#include <cstdint>
#include <optional>

#include "link/replies.h"
#include "link/text.h"

namespace varnak {

struct Assembled {
  enum class Kind {
    Reply,  // judge these bytes: a whole reply, or what cannot become one
    Kept,   // a beginning of the expected reply, kept for the rest (reported only)
  };
  Kind kind = Kind::Reply;
  Bytes bytes;          // Reply: the chunk to judge; Kept: the beginning so far
  bool joined = false;  // made of more than one piece (Kept: a beginning that grew)
};

class ReplyAssembler {
 public:
  // How long a kept beginning waits for the next piece, in ms.
  explicit ReplyAssembler(std::int64_t joinMs) : joinMs_(joinMs) {}

  void setJoinMs(std::int64_t ms) { joinMs_ = ms; }
  std::int64_t joinMs() const { return joinMs_; }

  // Bytes as the line delivered them, at `now`.
  void push(const Bytes& bytes, std::int64_t now);
  // The next thing to act on, given the reply the exchange awaits now (none
  // between exchanges: every piece is judged as it comes). Call again until
  // empty, with `expected` as it stands after acting on the last.
  std::optional<Assembled> next(std::optional<ExpectedReply> expected, std::int64_t now);

  // When a kept beginning is given up, or none.
  std::optional<std::int64_t> deadline() const { return deadline_; }
  // At or after deadline(): the kept beginning, to be judged alone; empty if none.
  Bytes giveUp(std::int64_t now);
  bool keeping() const { return !kept_.empty(); }
  // Forgets the kept beginning (an exchange begins or ends). Bytes pushed and
  // not yet taken by next() stay: they are what came after it.
  void clear();

 private:
  std::int64_t joinMs_;
  Bytes kept_;     // a beginning of the expected reply
  Bytes waiting_;  // pushed, not yet looked at
  std::optional<std::int64_t> deadline_;
};

}  // namespace varnak
