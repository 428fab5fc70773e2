// The controller's replies as the tool recognises them, by length and a few bytes:
//
//   enquiry ack   4E 21 ACK                        (NAK in place of ACK: refused)
//   ack           ACK                              (NAK: refused)
//   data reply    ACK, STX, data low, data high, ETX, check byte (6 bytes)
//
// A data reply counts only when its check byte is the XOR of its two data bytes,
// the same rule as the tool's own data block; one function checks both, so the
// window, the client and the simulator can never disagree on it.
//
// A reply may also reach the host in pieces (a USB adapter hands over what it has
// every 16 ms): IsBeginningOf says whether a piece can still grow into the reply
// that the exchange expects, so that the caller may wait briefly for the rest.
#pragma once

#include <cstddef>
#include <cstdint>

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

// One chunk from the controller, recognised.
struct Reply {
  ReplyKind kind = ReplyKind::NotAReply;
  std::uint8_t low = 0;   // Data, DataBadCheck: the data bytes as received
  std::uint8_t high = 0;  //
  std::uint16_t value() const { return static_cast<std::uint16_t>(high << 8 | low); }
};

// The data block that starts with STX at `stxAt` (STX, low, high, ETX, check):
// whether its check byte equals low XOR high. False if the bytes are too short.
bool CheckByteOk(const Bytes& bytes, std::size_t stxAt);

// What a chunk from the controller is. A data reply's first byte is not examined
// (as for the tool's rules: byte 1 STX and byte 4 ETX frame it).
Reply RecogniseReply(const Bytes& chunk);
inline ReplyKind ClassifyReply(const Bytes& chunk) { return RecogniseReply(chunk).kind; }

// The controller's data reply carrying `value`: ACK, STX, low, high, ETX, check byte.
Bytes DataReply(std::uint16_t value);

// Enquiry ack, ack, or a data reply with a good check byte: proof that the
// controller is there and answering.
inline bool IsRecognisedReply(ReplyKind kind) {
  return kind == ReplyKind::EnquiryAck || kind == ReplyKind::Ack || kind == ReplyKind::Data;
}

// The reply that the frame just sent calls for.
enum class ExpectedReply {
  EnquiryAck,  // after an enquiry
  Ack,         // after a write header or a data block: a lone ACK is the whole reply
  Data,        // after a read or poll header: a lone ACK is only its first byte
};

// Whether `piece` is a proper beginning of the expected reply: shorter than it,
// and every byte so far as that reply has it. A whole reply, a NAK or anything
// that cannot grow into the reply is not a beginning and is judged at once.
bool IsBeginningOf(const Bytes& piece, ExpectedReply expected);

}  // namespace varnak
