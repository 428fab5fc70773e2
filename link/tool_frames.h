// The tool's own frames as a listener on the line recognises them (the
// simulated controller, the traces), as structures: each program words them its
// own way.
//
//   enquiry      4E 21 ENQ
//   header       SOH, 14 characters (station, operation, memory, address, length, fixed), ETB, LRC
//   data block   STX, data low, data high, ETX, check byte
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "link/text.h"

namespace varnak {

enum class FrameKind {
  NotAFrame,
  Enquiry,
  WriteHeader,  // operation "8", memory "1": a register
  ReadHeader,   // operation "0", memory "1"
  PollHeader,   // operation "0", memory "3": the outputs
  OtherHeader,  // framed as a header, but naming none of the above
  DataBlock,
};

struct ToolFrame {
  FrameKind kind = FrameKind::NotAFrame;
  bool checkOk = false;  // headers: ETB and the LRC of the 14 characters; data blocks: low XOR high
  // Headers: the 14 characters, and the start address when its four characters are hex digits.
  std::string characters;
  std::optional<unsigned> address;
  // Data blocks: the value, high byte first as the operator types it.
  std::uint16_t value = 0;

  // Headers: whether the fixed fields are as the tool sends them: station "01",
  // length "0002", fixed "01", and an address of at least 1.
  bool headerFieldsOk() const;
  // Read and write headers: the register the address names (address minus 1).
  std::optional<unsigned> reg() const {
    return address && *address ? std::optional<unsigned>(*address - 1) : std::nullopt;
  }
};

ToolFrame RecogniseToolFrame(const Bytes& frame);

}  // namespace varnak
