#include "controller.h"

#include <cstdio>

#include "link/decode.h"
#include "link/frames.h"
#include "link/replies.h"

namespace varnak::sim {

namespace {

std::string Field(const Bytes& b, std::size_t from, std::size_t count) {
  return std::string(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(from + count));
}

Bytes DataReply(std::uint16_t value) {
  const auto low = static_cast<std::uint8_t>(value & 0xFF);
  const auto high = static_cast<std::uint8_t>(value >> 8);
  return {kAck, kStx, low, high, kEtx, static_cast<std::uint8_t>(low ^ high)};
}

std::string Hex4(std::uint16_t v) {
  char s[8];
  std::snprintf(s, sizeof s, "%04X", v);
  return s;
}

}  // namespace

std::optional<Bytes> FrameSplitter::next() {
  while (!buffer_.empty()) {
    std::size_t length = 0;
    switch (buffer_[0]) {
      case 0x4E:
        length = 3;
        break;
      case kSoh:
        length = 17;
        break;
      case kStx:
        length = 5;
        break;
      default:
        break;
    }
    if (length == 3 && buffer_.size() >= 2 && buffer_[1] != 0x21) length = 0;
    if (length == 0) {
      buffer_.erase(buffer_.begin());
      ++dropped_;
      continue;
    }
    if (buffer_.size() < length) return std::nullopt;
    Bytes frame(buffer_.begin(), buffer_.begin() + static_cast<long>(length));
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<long>(length));
    return frame;
  }
  return std::nullopt;
}

Bytes FrameSplitter::flush() {
  Bytes out;
  out.swap(buffer_);
  dropped_ += out.size();
  return out;
}

Controller::Controller() = default;

std::uint8_t Controller::outputs() const {
  return fixedOutputs_ ? *fixedOutputs_ : static_cast<std::uint8_t>(regs_[outputsFrom_] & 0xFF);
}

Controller::Outcome Controller::handle(const Bytes& frame, bool refuse) {
  if (frame.size() == 3 && frame[0] == 0x4E && frame[1] == 0x21 && frame[2] == kEnq) {
    ++exchanges_;  // every enquiry starts a new exchange
    if (refuse) {
      state_ = State::Idle;
      return {{0x4E, 0x21, kNak}, "refused", false};
    }
    state_ = State::AwaitHeader;
    return {{0x4E, 0x21, kAck}, "", true};
  }
  if (frame.size() == 17 && frame[0] == kSoh) return handleHeader(frame, refuse);
  if (frame.size() == 5 && frame[0] == kStx) return handleData(frame, refuse);
  return {{}, "ignored", false};
}

Controller::Outcome Controller::handleHeader(const Bytes& b, bool refuse) {
  if (state_ != State::AwaitHeader) return {{}, "header without enquiry: ignored", false};
  state_ = State::Idle;
  std::uint8_t lrc = 0;
  for (int i = 1; i <= 14; ++i) lrc ^= b[static_cast<std::size_t>(i)];
  if (b[15] != kEtb || lrc != b[16]) return {{kNak}, "bad LRC", false};
  const auto address = HexField(b, 5, 4);
  if (Field(b, 1, 2) != "01" || !address || *address == 0 || Field(b, 9, 4) != "0002" ||
      Field(b, 13, 2) != "01")
    return {{}, "header not understood: ignored", false};
  const std::string op = Field(b, 3, 2);
  const unsigned index = *address - 1;
  if (refuse && (op == "01" || op == "81" || op == "03")) return {{kNak}, "refused", false};
  if (op == "01")
    return {DataReply(regs_[index]), "read " + RegisterName(index) + " = " + Hex4(regs_[index]), false};
  if (op == "03") {
    ++polls_;
    return {DataReply(outputs()), "outputs " + Hex4(outputs()).substr(2), false};
  }
  if (op == "81") {
    state_ = State::AwaitData;
    writeIndex_ = index;
    return {{kAck}, "", true};
  }
  return {{}, "header not understood: ignored", false};
}

Controller::Outcome Controller::handleData(const Bytes& b, bool refuse) {
  if (state_ != State::AwaitData) return {{}, "data block without header: ignored", false};
  if (b[3] != kEtx || !CheckByteOk(b, 0)) return {{kNak}, "bad LRC", false};
  state_ = State::Idle;
  if (refuse) return {{kNak}, "refused", false};
  regs_[writeIndex_] = static_cast<std::uint16_t>(b[1] | (b[2] << 8));
  return {{kAck}, "stored " + RegisterName(writeIndex_) + " = " + Hex4(regs_[writeIndex_]), false};
}

}  // namespace varnak::sim
