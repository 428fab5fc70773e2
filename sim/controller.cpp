#include "controller.h"

#include <cstdio>

#include "link/frames.h"
#include "link/register_number.h"
#include "link/replies.h"
#include "link/tool_frames.h"

namespace varnak::sim {

std::optional<Bytes> FrameSplitter::next() {
  // Bytes that cannot start a frame are skipped as a run and dropped at once:
  // a flood of noise costs its length, not its length squared.
  std::size_t at = 0;
  std::optional<Bytes> frame;
  while (at < buffer_.size()) {
    std::size_t length = 0;
    switch (buffer_[at]) {
      case 0x4E:
        length = kEnquiryBytes;
        break;
      case kSoh:
        length = kHeaderBytes;
        break;
      case kStx:
        length = kDataBlockBytes;
        break;
      default:
        break;
    }
    if (length == kEnquiryBytes && buffer_.size() >= at + 2 && buffer_[at + 1] != 0x21) length = 0;
    if (length == 0) {
      ++at;
      continue;
    }
    if (buffer_.size() - at >= length) {
      frame =
          Bytes(buffer_.begin() + static_cast<long>(at), buffer_.begin() + static_cast<long>(at + length));
      dropped_ += at;
      buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<long>(at + length));
      return frame;
    }
    break;
  }
  dropped_ += at;
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<long>(at));
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
  const ToolFrame f = RecogniseToolFrame(frame);
  switch (f.kind) {
    case FrameKind::Enquiry:
      ++exchanges_;  // every enquiry starts a new exchange
      if (refuse) {
        state_ = State::Idle;
        return {{0x4E, 0x21, kNak}, "refused", false};
      }
      state_ = State::AwaitHeader;
      return {{0x4E, 0x21, kAck}, "", true};
    case FrameKind::WriteHeader:
    case FrameKind::ReadHeader:
    case FrameKind::PollHeader:
    case FrameKind::OtherHeader:
      return handleHeader(f, refuse);
    case FrameKind::DataBlock:
      return handleData(f, refuse);
    case FrameKind::NotAFrame:
      break;
  }
  return {{}, "ignored", false};
}

Controller::Outcome Controller::handleHeader(const ToolFrame& f, bool refuse) {
  if (state_ != State::AwaitHeader) return {{}, "header without enquiry: ignored", false};
  state_ = State::Idle;
  if (!f.checkOk) return {{kNak}, "bad LRC", false};
  if (!f.headerFieldsOk() || f.kind == FrameKind::OtherHeader)
    return {{}, "header not understood: ignored", false};
  const unsigned index = *f.reg();
  if (refuse) return {{kNak}, "refused", false};
  switch (f.kind) {
    case FrameKind::ReadHeader:
      return {DataReply(regs_[index]), "read " + RegisterName(index) + " = " + ValueHex(regs_[index]), false};
    case FrameKind::PollHeader:
      ++polls_;
      return {DataReply(outputs()), "outputs " + ValueHex(outputs()).substr(2), false};
    default:  // a write
      state_ = State::AwaitData;
      writeIndex_ = index;
      return {{kAck}, "", true};
  }
}

Controller::Outcome Controller::handleData(const ToolFrame& f, bool refuse) {
  if (state_ != State::AwaitData) return {{}, "data block without header: ignored", false};
  if (!f.checkOk) return {{kNak}, "bad LRC", false};
  state_ = State::Idle;
  if (refuse) return {{kNak}, "refused", false};
  regs_[writeIndex_] = f.value;
  return {{kAck}, "stored " + RegisterName(writeIndex_) + " = " + ValueHex(regs_[writeIndex_]), false};
}

}  // namespace varnak::sim
