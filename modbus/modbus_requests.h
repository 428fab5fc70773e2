// What a Modbus TCP client asks of the controller, read from its frames. The
// bridge serves one register map:
//   holding and input register N (0-based on the wire) is the register whose
//   octal number has the value N: R2000 is register 1024, R0-R77777 are 0-32767;
//   coil and discrete input i (0-7) is the output Qi, read only.
// A frame is cut from the bytes a client sent, then planned: either an exception
// to answer at once, or the line requests that answer it (modbus_answers.h
// gathers their answers, modbus_replies.h sends the reply through libmodbus).
// Pure: no Qt, no I/O.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "share/line_service.h"

namespace varnak::modbus {

// Before every request and reply: transaction id (2 bytes), protocol id (2, 0 for
// Modbus), length (2: the bytes that follow, the unit id and the PDU), unit id (1).
constexpr std::size_t kHeaderLength = 7;
constexpr unsigned kRegisterCount = 0100000;  // addresses 0-32767
constexpr unsigned kOutputCount = 8;          // Q0-Q7
constexpr unsigned kMaxReadRegisters = 125;
constexpr unsigned kMaxWriteRegisters = 123;
constexpr unsigned kMaxReadBits = 2000;
// The units that reach the controller: 1, and 255 which Modbus TCP clients use
// for "the device behind this address".
constexpr std::uint8_t kUnit = 1;
constexpr std::uint8_t kUnitAny = 255;

enum class Exception : std::uint8_t {
  None = 0,
  IllegalFunction = 0x01,
  IllegalDataAddress = 0x02,
  IllegalDataValue = 0x03,
  ServerDeviceFailure = 0x04,
  GatewayTargetFailed = 0x0B,
};

// Where the first frame in a client's bytes ends.
struct Cut {
  enum class Kind {
    Whole,         // `length` bytes are one frame
    Partial,       // the frame is not all here yet
    NotModbusTcp,  // protocol id not 0, or a length field below 2 or above 254
  };
  Kind kind = Kind::Partial;
  std::size_t length = 0;
};
// Decides as early as the header allows, so that noise is turned away before a
// whole "frame" of it has come.
Cut CutFrame(const std::uint8_t* bytes, std::size_t size);

struct Plan {
  enum class Kind {
    Reject,          // answer `exception` at once
    ReadRegisters,   // function 3 or 4: registers address .. address + count - 1
    ReadOutputs,     // function 1 or 2: outputs address .. address + count - 1
    WriteRegisters,  // function 6 or 16: `values` to the registers from address on
  };
  Kind kind = Kind::Reject;
  Exception exception = Exception::None;  // Reject
  std::string why;                        // Reject: the reason in words
  std::uint8_t function = 0;
  unsigned address = 0;
  unsigned count = 0;
  std::vector<std::uint16_t> values;  // WriteRegisters, in address order
  std::string command;                // for the trace: "modbus read 1024-1033 (R2000-R2011)"
};

// The plan for one whole frame as CutFrame cut it. `readOnly`: writes are refused.
Plan PlanRequest(const std::uint8_t* frame, std::size_t length, bool readOnly);

// The line requests a plan that is no Reject makes, in address order. A write's
// `after` is left for the asker to chain: each write goes only if the one before
// it succeeded, so that a refused word stops the rest.
std::vector<share::LineRequest> LineRequests(const Plan& plan, std::int64_t maxAgeMs,
                                             const std::string& master);

}  // namespace varnak::modbus
