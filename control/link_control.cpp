#include "link_control.h"

#include <algorithm>

#include "control/input_check.h"
#include "line/port_number.h"
#include "line/transport.h"
#include "link/codec.h"
#include "link/frames.h"

namespace varnak {

LinkControl::LinkControl(SerialPort& port) : port_(port) { port_.setListener(this); }

LinkControl::~LinkControl() { port_.setListener(nullptr); }

std::int64_t LinkControl::replyTimeoutMs() const {
  if (replyTimeoutMs_) return *replyTimeoutMs_;
  return port_.networkLine() ? kNetworkReplyTimeoutMs : kReplyTimeoutMs;
}

void LinkControl::onChunk(const Bytes& chunk, std::int64_t now) {
  MSComm1_OnComm(chunk, now);
  if (afterPortEvent_) afterPortEvent_();
}

void LinkControl::onProblem(const std::string& problem, std::int64_t now) {
  portProblem_ = problem;
  if (!problem.empty()) ReportPortFailure(problem);
  if (inPort_) return;  // told during an open or write: the handler that made it goes on
  now_ = now;
  if (afterPortEvent_) afterPortEvent_();
}

void LinkControl::onNote(const std::string& note, std::int64_t) {
  Report({LinkEvent::Kind::PortNote, {}, {}, {}, note});
}

void LinkControl::removeObserver(LinkObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void LinkControl::Report(LinkEvent event) {
  event.time = now_;
  if (event.job == 0 && exchange_) event.job = exchange_->id;
  for (LinkObserver* o : observers_) o->onLinkEvent(event);
}

void LinkControl::ReportHoldChange(bool before, Cause by, Ruling ruling) {
  if (state_.PollHold == before) return;
  LinkEvent e{state_.PollHold ? LinkEvent::Kind::Held : LinkEvent::Kind::Released};
  e.cause = by;
  e.ruling = ruling;
  Report(e);
}

LinkStatus LinkControl::status(std::int64_t now, Translate lang) const {
  std::string message = portProblem_.empty() ? CommandMessageText(lang) : portProblem_;
  if (message.empty() && valueBox_.empty())
    message = InputProblemText("value", InputProblem::Empty, {}, lang);
  if (message.empty()) message = StatusMessage({}, health_.noReply(now), portNumber_, lang);
  return {health_.lampsStale(now), message};
}

std::string LinkControl::CommandMessageText(Translate lang) const {
  if (!commandMessage_) return {};
  const LinkEvent& e = *commandMessage_;
  if (e.failure == Failure::BadInput) return InputProblemText(e.inputBox, e.input, FromUtf8(e.detail), lang);
  const std::string why = lang(kLinkEventsContext, FailureText(e.failure));
  if (e.exchange == ExchangeKind::Write)
    return Fill(lang("LinkControl", QT_TRANSLATE_NOOP("LinkControl", "%1: write %2 = %3 not confirmed (%4)")),
                {commandPort_, e.reg, e.value, why});
  return Fill(lang("LinkControl", QT_TRANSLATE_NOOP("LinkControl", "%1: read %2 failed (%3)")),
              {commandPort_, e.reg, why});
}

// ---- start-up and port ----

void LinkControl::Form2_Load(const Text& answer, std::int64_t now) {
  now_ = now;
  ClosePort(Cause::StartUp);
  state_.LineSettings = kLinkLineSettingsText;
  // The window shows the answer in its port box; a port box that raises its
  // change event when set from code runs Combo1_Change with the same text, and
  // the outcome is the same either way.
  portNumber_ = ParsePortNumber(answer);
  port_.setPortNumber(portNumber_);
  ConfigurePort();
  state_.PollMode = false;
  state_.WriteMode = false;
  state_.PollHold = false;
  // A master's job under way or waiting to go again ends here; those still
  // queued wait for the line as before.
  for (const std::optional<Exchange>* x : {&exchange_, &retry_, &parkedRow_})
    if (*x && (*x)->cause == Cause::Master) ReportEnd(**x, false, Failure::PortFailed, 0);
  exchange_.reset();
  retry_.reset();
  retryAt_.reset();
  quietAt_.reset();
  parkedRow_.reset();
  scheduler_.clear();
  blockMayRepeat_ = false;
  listPaused_ = false;
  holdAfterCommand_ = false;
  replyDeadline_.reset();
  assembler_.clear();
  commandMessage_.reset();
}

void LinkControl::Combo1_Change(const Text& portText, std::int64_t now) {
  now_ = now;
  ClosePort(Cause::PortNumberChanged);
  state_.LineSettings = kLinkLineSettingsText;
  state_.PortText = portText;
  portNumber_ = ParsePortNumber(state_.PortText);
  port_.setPortNumber(portNumber_);
  ConfigurePort();
}

void LinkControl::ConfigurePort() {
  // In its order: the line settings (LineSettings' text is kLinkLineSettings),
  // input cleared, DTR off, no handshaking. What the old control's read
  // length 0, binary mode and thresholds of 1 asked for is what a transport
  // is: every byte delivered unchanged as it comes.
  port_.apply(PortSetting::LineSettings);
  port_.apply(PortSetting::ClearInput);
  assembler_.clear();
  port_.apply(PortSetting::DtrOff);
  port_.apply(PortSetting::NoHandshaking);
}

void LinkControl::ClosePort(Cause why) {
  if (!port_.isOpen()) return;
  port_.close();
  LinkEvent e{LinkEvent::Kind::PortClosed};
  e.cause = why;
  Report(e);
}

void LinkControl::ReportPortFailure(const std::string& why) {
  if (why == lastFailure_) return;
  lastFailure_ = why;
  Report({LinkEvent::Kind::PortFailed, {}, {}, {}, why});
}

// ---- frames and transmission ----

void LinkControl::SendEnquiry() {
  state_.FrameText = kEnquiryText;
  WriteFrame(HexTextToBytes(state_.FrameText));
}

void LinkControl::SendWriteHeader() {
  HeaderText h = BuildWriteHeader(exchange_ ? exchange_->registerDigits : Text());
  state_.FrameText = std::move(h.frameText);
  state_.SendText = std::move(h.sendText);
  TransmitHexText(state_.SendText);
}

void LinkControl::SendReadHeader() {
  HeaderText h = BuildReadHeader(exchange_ ? exchange_->registerDigits : Text());
  state_.FrameText = std::move(h.frameText);
  state_.SendText = std::move(h.sendText);
  TransmitHexText(state_.SendText);
}

void LinkControl::SendDataBlock() {
  // The value taken at the click; the box shows it normalised unless the
  // operator has typed something else since. A block sent again after the
  // write has ended is the same block, whatever the box holds by then.
  const Text shown = valueBox_;
  const bool writing = exchange_ && exchange_->kind == ExchangeKind::Write;
  const Text typed = writing ? exchange_->value : lastBlockValue_.empty() ? shown : lastBlockValue_;
  const Text value = NormaliseValue(typed);
  if (value != shown && typed == shown) {
    // The operator sees the value as it goes out, four digits.
    valueBox_ = value;
    LinkEvent e{LinkEvent::Kind::ValueNormalised};
    e.value = ToUtf8(value);
    Report(e);
  }
  lastBlockValue_ = value;
  DataBlockText d = BuildDataBlock(value);
  state_.FrameText = std::move(d.frameText);
  state_.SendText = std::move(d.sendText);
  // An emptied value box has no data block: nothing goes on the line, but the
  // flags end as after a sent block.
  TransmitHexText(state_.SendText);
}

void LinkControl::SendPollHeader() {
  state_.SendText = kPollHeaderText;
  TransmitHexText(state_.SendText);
}

void LinkControl::TransmitHexText(const Text& hexText) {
  const Bytes bytes = HexTextToBytes(hexText);
  if (!bytes.empty()) WriteFrame(bytes);
  state_.PollHold = false;
}

void LinkControl::SendListFrame(FrameKind frame) {
  const Exchange& x = *exchange_;
  if (frame == FrameKind::PollHeader) {
    WriteFrame(HexTextToBytes(kPollHeaderText));
    return;
  }
  if (frame == FrameKind::DataBlock) {
    WriteFrame(HexTextToBytes(BuildDataBlock(x.value).sendText));
    return;
  }
  const bool write = frame == FrameKind::WriteHeader;
  WriteFrame(HexTextToBytes(write ? BuildWriteHeader(x.registerDigits).sendText
                                  : BuildReadHeader(x.registerDigits).sendText));
}

bool LinkControl::WriteFrame(const Bytes& bytes) {
  frameFailed_ = true;
  // The port tells its problems as they happen, inside open() and write().
  struct InPort {
    bool& flag;
    explicit InPort(bool& f) : flag(f) { flag = true; }
    ~InPort() { flag = false; }
  } inPort(inPort_);
  if (!port_.isOpen()) {
    if (!port_.open()) return false;
    lastFailure_.clear();
    const std::string label = port_.label();
    Report({LinkEvent::Kind::PortOpened, {}, {}, {}, label.empty() ? PortName(portNumber_) : label});
  }
  if (port_.write(bytes)) {
    health_.frameSent(now_);
    frameFailed_ = false;
    if (exchange_) replyDeadline_ = now_ + replyTimeoutMs();
    replyLatest_ = now_ + 2 * replyTimeoutMs();
    // Pieces from a network wait for each other as long as the reply may take.
    assembler_.setJoinMs(joinMs_ ? *joinMs_ : port_.networkLine() ? replyTimeoutMs() : kJoinMs);
    Report({LinkEvent::Kind::Sent, bytes});
    return true;
  }
  // A port that took the open but not the bytes is closed, so that the next
  // frame opens it anew (an adapter pulled while open recovers this way).
  ClosePort(Cause::WriteFailed);
  return false;
}

}  // namespace varnak
