// The frames the tool sends, built as hex text from the operator's texts.
//
//   enquiry      4E 21 05                         (station 1)
//   header       SOH, 14 ASCII characters, ETB, LRC of the 14 characters (17 bytes)
//   data block   STX, data low, data high, ETX, LRC of the two data bytes (5 bytes)
//
// Pure: no port, no timer, no widget. The link control stores the pieces in its
// state (FrameText, SendText) and transmits SendText.
#pragma once

#include <cstddef>

#include "text.h"

namespace varnak {

inline const Text kEnquiryText = U"4e2105";
// "0103" "0101" "0002" "01" between SOH and ETB; its check byte 01 is stored.
inline const Text kPollHeaderText = U"0130313033303130313030303230311701";

// Control bytes of the link protocol.
enum : std::uint8_t {
  kSoh = 0x01,
  kStx = 0x02,
  kEtx = 0x03,
  kEnq = 0x05,
  kAck = 0x06,
  kNak = 0x15,
  kEtb = 0x17
};

// What each frame and reply is long on the wire, in bytes.
inline constexpr std::size_t kEnquiryBytes = 3;     // 4E 21 ENQ
inline constexpr std::size_t kHeaderBytes = 17;     // SOH, 14 characters, ETB, check byte
inline constexpr std::size_t kDataBlockBytes = 5;   // STX, low, high, ETX, check byte
inline constexpr std::size_t kAckBytes = 1;         // ACK (or NAK)
inline constexpr std::size_t kEnquiryAckBytes = 3;  // 4E 21 ACK (or NAK)
inline constexpr std::size_t kDataReplyBytes = 6;   // ACK, then a data block

// The four upper-case hex digits of a start address: the register text read as
// octal (blanks skipped, up to the first non-octal digit, empty is 0), plus 1.
// A sum of more than four digits becomes "0000". The box's text is not changed.
Text AddressDigits(const Text& registerText);

// A header's two parts: FrameText (the 14 characters as hex text) and SendText
// (the whole frame as hex text).
struct HeaderText {
  Text frameText;
  Text sendText;
};
HeaderText BuildWriteHeader(const Text& registerText);
HeaderText BuildReadHeader(const Text& registerText);

// The value box as the operator sees it after a data block is built: one to three
// characters are padded with "0" in front to four, more than four become "0000",
// four and none are left alone.
Text NormaliseValue(const Text& value);

// The data block for an already normalised value: FrameText is characters 3-4
// then 1-2 (typed high byte first, sent low byte first). An empty value has no
// data block: both texts come back empty and nothing must be sent.
struct DataBlockText {
  Text frameText;
  Text sendText;
};
DataBlockText BuildDataBlock(const Text& normalisedValue);

}  // namespace varnak
