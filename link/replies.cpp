#include "replies.h"

#include "link/frames.h"

namespace varnak {

bool CheckByteOk(const Bytes& b, std::size_t stxAt) {
  if (b.size() < stxAt + 5) return false;
  return (b[stxAt + 1] ^ b[stxAt + 2]) == b[stxAt + 4];
}

ReplyKind ClassifyReply(const Bytes& b) {
  switch (b.size()) {
    case 1:
      return b[0] == kAck ? ReplyKind::Ack : b[0] == kNak ? ReplyKind::Nak : ReplyKind::NotAReply;
    case 3:
      if (b[0] != 0x4E || b[1] != 0x21) return ReplyKind::NotAReply;
      return b[2] == kAck   ? ReplyKind::EnquiryAck
             : b[2] == kNak ? ReplyKind::EnquiryNak
                            : ReplyKind::NotAReply;
    case 6:
      if (b[1] != kStx || b[4] != kEtx) return ReplyKind::NotAReply;
      return CheckByteOk(b, 1) ? ReplyKind::Data : ReplyKind::DataBadCheck;
    default:
      return ReplyKind::NotAReply;
  }
}

}  // namespace varnak
