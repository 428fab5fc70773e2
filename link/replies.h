// The controller's replies as the tool recognises them, by length and a few bytes:
//
//   enquiry ack   4E 21 ACK                        (NAK in place of ACK: refused)
//   ack           ACK                              (NAK: refused)
//   data reply    ACK, STX, data low, data high, ETX, check byte (6 bytes)
//
// A data reply counts only when its check byte is the XOR of its two data bytes,
// the same rule as the tool's own data block; one function checks both, so the
// window, the client and the simulator can never disagree on it.
#pragma once

#include <cstddef>

#include "link/text.h"

namespace varnak {

enum class ReplyKind {
  NotAReply,     // any other length or content (a split piece, noise, babble)
  EnquiryAck,    // 4E 21 ACK
  EnquiryNak,    // 4E 21 NAK
  Ack,           // ACK
  Nak,           // NAK
  Data,          // a framed data reply whose check byte is right
  DataBadCheck,  // a framed data reply whose check byte is wrong
};

// The data block that starts with STX at `stxAt` (STX, low, high, ETX, check):
// whether its check byte equals low XOR high. False if the bytes are too short.
bool CheckByteOk(const Bytes& bytes, std::size_t stxAt);

// What a chunk from the controller is. A data reply's first byte is not examined
// (as for the tool's rules: byte 1 STX and byte 4 ETX frame it).
ReplyKind ClassifyReply(const Bytes& chunk);

// Enquiry ack, ack, or a data reply with a good check byte: proof that the
// controller is there and answering.
inline bool IsRecognisedReply(ReplyKind kind) {
  return kind == ReplyKind::EnquiryAck || kind == ReplyKind::Ack || kind == ReplyKind::Data;
}

}  // namespace varnak
