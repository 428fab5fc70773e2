#include "share/master_session.h"

#include <algorithm>
#include <utility>

#include "control/link_events.h"
#include "link/frames.h"
#include "link/register_number.h"
#include "link/replies.h"
#include "link/tool_frames.h"

namespace varnak::share {

namespace {

std::string HeaderCommand(const ToolFrame& f) {
  const std::string reg = f.reg() ? RegisterName(*f.reg()) : std::string("?");
  switch (f.kind) {
    case FrameKind::ReadHeader:
      return "read " + reg;
    case FrameKind::WriteHeader:
      return "write " + reg;
    case FrameKind::PollHeader:
      return "outputs";
    default:
      return "header";
  }
}

}  // namespace

MasterSession::MasterSession(std::string master, LineAsker line, Hooks hooks)
    : master_(std::move(master)), line_(std::move(line)), hooks_(std::move(hooks)) {}

MasterSession::~MasterSession() {
  if (state_ == State::Waiting && line_.forget) line_.forget(id_);
}

void MasterSession::push(const Bytes& bytes, std::int64_t now) {
  if (bytes.empty()) return;
  // What fell due is dropped first, even if the shell's timer has not fired yet.
  timeout(now);
  splitter_.push(bytes);
  while (auto f = splitter_.next()) frame(*f, now);
  if (splitter_.partial()) pieceAt_ = now + kPieceMs;
}

std::optional<std::int64_t> MasterSession::nextDeadline() const {
  std::optional<std::int64_t> at;
  if (state_ == State::AwaitHeader || state_ == State::AwaitData) at = stallAt_;
  if (splitter_.partial()) at = at ? std::min(*at, pieceAt_) : pieceAt_;
  return at;
}

void MasterSession::timeout(std::int64_t now) {
  if (splitter_.partial() && now >= pieceAt_) splitter_.flush();
  if ((state_ == State::AwaitHeader || state_ == State::AwaitData) && now >= stallAt_) {
    // Nothing was asked of the line yet: dropping the exchange writes nothing.
    drop("no data block");
  }
}

void MasterSession::leave() {
  drop("the master left");
  splitter_.flush();
}

void MasterSession::drop(const char* why) {
  if (state_ == State::Waiting) {
    line_.forget(id_);
    report(command_, "ignored", why);
  } else if (state_ == State::AwaitData) {
    report("write " + RegisterName(reg_), "ignored", "no data block");
  }
  state_ = State::Idle;
}

void MasterSession::frame(const Bytes& bytes, std::int64_t now) {
  switch (RecogniseToolFrame(bytes).kind) {
    case FrameKind::Enquiry:
      // A master asks again only when it gave up the last answer. A write
      // already on the line still completes; it is only not acknowledged.
      drop("given up by the master");
      hooks_.send({0x4E, 0x21, kAck});
      state_ = State::AwaitHeader;
      stallAt_ = now + kStallMs;
      return;
    case FrameKind::ReadHeader:
    case FrameKind::WriteHeader:
    case FrameKind::PollHeader:
    case FrameKind::OtherHeader:
      header(bytes, now);
      return;
    case FrameKind::DataBlock:
      dataBlock(bytes, now);
      return;
    case FrameKind::NotAFrame:
      return;  // noise that happened to start like a frame
  }
}

void MasterSession::header(const Bytes& bytes, std::int64_t now) {
  const ToolFrame f = RecogniseToolFrame(bytes);
  std::string command = HeaderCommand(f);
  switch (state_) {
    case State::AwaitHeader:
      break;
    case State::Idle:
      return refuse(std::move(command), "outside an exchange");
    case State::AwaitData:
      return refuse(std::move(command), "a data block was due");
    case State::Waiting:
      return refuse(std::move(command), "a request is still under way");
  }
  // Good or bad, this was the exchange's header: a master tries again from the enquiry.
  state_ = State::Idle;
  if (!f.checkOk) return refuse(std::move(command), "bad check byte");
  if (f.kind == FrameKind::OtherHeader || !f.headerFieldsOk())
    return refuse(std::move(command), "header not understood");

  LineRequest request;
  request.master = master_;
  if (f.kind == FrameKind::PollHeader) {
    request.kind = LineRequest::Kind::Outputs;
    request.maxAgeMs = kOutputsMaxAgeMs;
    return ask(request, std::move(command), now);
  }
  const unsigned reg = *f.reg();
  if (reg > kMaxRegister) return refuse(std::move(command), "register above 77777");
  if (f.kind == FrameKind::ReadHeader) {
    // Always from the line, but joining a read of the register already waiting.
    request.kind = LineRequest::Kind::Read;
    request.reg = reg;
    return ask(request, std::move(command), now);
  }
  if (readOnly_) return refuse(std::move(command), "the bridge is read-only");
  hooks_.send({kAck});
  state_ = State::AwaitData;
  reg_ = reg;
  stallAt_ = now + kStallMs;
}

void MasterSession::dataBlock(const Bytes& bytes, std::int64_t now) {
  const ToolFrame f = RecogniseToolFrame(bytes);
  switch (state_) {
    case State::AwaitData:
      break;
    case State::Idle:
      return refuse("data block " + ValueHex(f.value), "outside an exchange");
    case State::AwaitHeader:
      return refuse("data block " + ValueHex(f.value), "a header was due");
    case State::Waiting:
      return refuse("data block " + ValueHex(f.value), "a request is still under way");
  }
  std::string command = "write " + RegisterName(reg_) + " = " + ValueHex(f.value);
  // The write header still stands: the master may send its data block again.
  if (!f.checkOk) return refuse(std::move(command), "bad check byte");
  LineRequest request;
  request.kind = LineRequest::Kind::Write;
  request.reg = reg_;
  request.value = f.value;
  request.master = master_;
  ask(request, std::move(command), now);
}

void MasterSession::ask(const LineRequest& request, std::string command, std::int64_t now) {
  state_ = State::Waiting;
  request_ = request;
  command_ = std::move(command);
  id_ = 0;
  auto answer = line_.ask(
      request, now,
      [this](LineAsker::RequestId id, const LineAnswer& a) {
        if (state_ == State::Waiting && id == id_) answered(a);
      },
      &id_);
  if (answer) answered(*answer);
}

void MasterSession::answered(const LineAnswer& a) {
  state_ = State::Idle;
  // Lost on the line: the master hears nothing, as it would have there, and
  // never a success the controller did not give.
  if (!a.ok) return report(command_, "failed", FailureText(a.failure));
  switch (request_.kind) {
    case LineRequest::Kind::Read:
      hooks_.send(DataReply(a.value));
      return report(command_, "read", {}, ValueHex(a.value));
    case LineRequest::Kind::Outputs: {
      const std::uint16_t byte = a.value & 0xFF;
      hooks_.send(DataReply(byte));
      return report(command_, "read", {}, ValueHex(byte).substr(2));
    }
    case LineRequest::Kind::Write:
      hooks_.send({kAck});
      return report(command_, "confirmed", {}, ValueHex(request_.value));
  }
}

void MasterSession::refuse(std::string command, const char* why) {
  hooks_.send({kNak});
  report(std::move(command), "refused", why);
}

void MasterSession::report(std::string command, const char* outcome, std::string why, std::string value) {
  if (hooks_.report) hooks_.report({master_, std::move(command), outcome, std::move(why), std::move(value)});
}

}  // namespace varnak::share
