#include "replies.h"

#include "link/frames.h"

namespace varnak {

bool CheckByteOk(const Bytes& b, std::size_t stxAt) {
  if (b.size() < stxAt + kDataBlockBytes) return false;
  return (b[stxAt + 1] ^ b[stxAt + 2]) == b[stxAt + 4];
}

Reply RecogniseReply(const Bytes& b) {
  switch (b.size()) {
    case kAckBytes:
      return {b[0] == kAck ? ReplyKind::Ack : b[0] == kNak ? ReplyKind::Nak : ReplyKind::NotAReply};
    case kEnquiryAckBytes:
      if (b[0] != 0x4E || b[1] != 0x21) return {};
      return {b[2] == kAck   ? ReplyKind::EnquiryAck
              : b[2] == kNak ? ReplyKind::EnquiryNak
                             : ReplyKind::NotAReply};
    case kDataReplyBytes:
      if (b[1] != kStx || b[4] != kEtx) return {};
      return {CheckByteOk(b, 1) ? ReplyKind::Data : ReplyKind::DataBadCheck, b[2], b[3]};
    default:
      return {};
  }
}

bool IsBeginningOf(const Bytes& b, ExpectedReply expected) {
  if (b.empty()) return false;
  switch (expected) {
    case ExpectedReply::EnquiryAck:
      return b.size() < kEnquiryAckBytes && b[0] == 0x4E && (b.size() < 2 || b[1] == 0x21);
    case ExpectedReply::Ack:
      return false;
    case ExpectedReply::Data:
      // The first byte of a data reply is not examined once STX follows it, but
      // alone only an ACK announces data (a lone NAK is a whole refusal).
      if (b.size() >= kDataReplyBytes) return false;
      if (b.size() == kAckBytes) return b[0] == kAck;
      return b[1] == kStx && (b.size() < 5 || b[4] == kEtx);
  }
  return false;
}

Bytes DataReply(std::uint16_t value) {
  const auto low = static_cast<std::uint8_t>(value & 0xFF);
  const auto high = static_cast<std::uint8_t>(value >> 8);
  return {kAck, kStx, low, high, kEtx, static_cast<std::uint8_t>(low ^ high)};
}

}  // namespace varnak
