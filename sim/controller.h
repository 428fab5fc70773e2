// The simulated controller's protocol side, without I/O: whole frames from the
// tool in, the reply out. Station 1, registers addressed as the tool addresses
// them (the octal register number plus 1 on the wire).
#pragma once

#include <array>
#include <optional>
#include <string>

#include "link/text.h"
#include "link/tool_frames.h"

namespace varnak::sim {

// Cuts the byte stream from the tool into whole frames by their first byte:
// 4E 21 .. enquiry (3), SOH header (17), STX data block (5). Bytes that cannot
// start a frame are dropped.
class FrameSplitter {
 public:
  void push(const Bytes& bytes) { buffer_.insert(buffer_.end(), bytes.begin(), bytes.end()); }
  // The next whole frame, or nothing until more bytes come.
  std::optional<Bytes> next();
  bool partial() const { return !buffer_.empty(); }
  // Gives up on a frame that never completed; returns what was dropped.
  Bytes flush();
  std::size_t dropped() const { return dropped_; }

 private:
  Bytes buffer_;
  std::size_t dropped_ = 0;
};

class Controller {
 public:
  struct Outcome {
    Bytes reply;            // empty: no reply
    std::string note;       // "bad LRC", "stored R2000 = 1234", ...
    bool followUp = false;  // the reply asks the tool for its next frame (turnaround is measured)
  };

  Controller();

  // One frame. `refuse`: answer NAK where the reply would start with ACK, and
  // change nothing.
  Outcome handle(const Bytes& frame, bool refuse = false);

  std::uint16_t reg(unsigned index) const { return regs_.at(index); }
  void setReg(unsigned index, std::uint16_t value) { regs_.at(index) = value; }
  // The output byte follows the low byte of register `index`, or is fixed.
  void outputsFrom(unsigned index) { outputsFrom_ = index; }
  void fixOutputs(std::optional<std::uint8_t> value) { fixedOutputs_ = value; }
  std::uint8_t outputs() const;
  int exchanges() const { return exchanges_; }
  int polls() const { return polls_; }  // poll headers answered

 private:
  enum class State { Idle, AwaitHeader, AwaitData };
  Outcome handleHeader(const ToolFrame& header, bool refuse);
  Outcome handleData(const ToolFrame& block, bool refuse);

  State state_ = State::Idle;
  unsigned writeIndex_ = 0;
  std::array<std::uint16_t, 0x10000> regs_{};
  unsigned outputsFrom_ = 02000;
  std::optional<std::uint8_t> fixedOutputs_;
  int exchanges_ = 0;
  int polls_ = 0;
};

}  // namespace varnak::sim
