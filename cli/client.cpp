#include "cli/client.h"

#include <QEventLoop>
#include <algorithm>

#include "link/decode.h"
#include "serial/local_port.h"

namespace varnak::cli {

namespace {

constexpr int kSliceMs = 100;

}  // namespace

// The one line the client was given: no port number chooses another.
class Client::FixedLine : public SerialPort {
 public:
  FixedLine(std::unique_ptr<Transport> line, std::string label, bool network)
      : line_(std::move(line)), label_(std::move(label)), network_(network) {}
  void setPortNumber(std::optional<int>) override {}
  bool networkLine() const override { return network_; }
  std::string label() const override { return label_; }
  bool isOpen() const override { return line_->isOpen(); }
  bool open() override { return line_->open(); }
  void close() override { line_->close(); }
  bool write(const Bytes& frame) override { return line_->write(frame); }
  void apply(PortSetting setting) override { line_->apply(setting); }
  bool ready() const override { return line_->ready(); }
  Transport& inner() { return *line_; }

 private:
  std::unique_ptr<Transport> line_;
  std::string label_;
  bool network_;
};

Client::Client(std::unique_ptr<Transport> line, std::string label, bool network, int timeoutMs, int retries,
               std::function<bool()> stopRequested, Trace trace)
    : line_(std::make_unique<FixedLine>(std::move(line), std::move(label), network)),
      link_(std::make_unique<LinkControl>(*line_)),
      stopRequested_(std::move(stopRequested)),
      trace_(std::move(trace)),
      start_(SteadyMs()) {
  // What the line tells comes here first: a problem ends the client's waits.
  line_->inner().setListener(this);
  link_->addObserver(this);
  link_->setReplyTimeoutMs(timeoutMs);
  link_->setAttempts(retries + 1);
  // A client has nothing else to do while it waits: the pieces of a reply wait
  // for each other as long as the reply may take.
  link_->setJoinMs(timeoutMs);
  link_->ConfigurePort();
  deadline_.setSingleShot(true);
  deadline_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&deadline_, &QTimer::timeout, [this] {
    link_->Timeout(now());
    armDeadline();
  });
}

Client::~Client() {
  line_->inner().setListener(nullptr);
  link_->removeObserver(this);
  link_.reset();
  line_->close();
}

std::int64_t Client::now() const { return SteadyMs() - start_; }

void Client::armDeadline() {
  if (const auto d = link_->nextDeadline()) {
    deadline_.start(static_cast<int>(std::max<std::int64_t>(0, *d - now())));
  } else {
    deadline_.stop();
  }
}

void Client::onChunk(const Bytes& chunk, std::int64_t) {
  link_->onChunk(chunk, now());
  armDeadline();
}

void Client::onProblem(const std::string& problem, std::int64_t) {
  if (!problem.empty() && lineFailure_.empty()) lineFailure_ = problem;
  link_->onProblem(problem, now());
  if (running_) running_->quit();
}

void Client::onNote(const std::string& note, std::int64_t) {
  std::fprintf(stderr, "varnak: note: %s\n", note.c_str());
}

void Client::onLinkEvent(const LinkEvent& e) {
  if (e.kind == LinkEvent::Kind::Received && e.ruling != Ruling::KeptForTheRest) lastReply_ = e.bytes;
  if (!trace_) return;
  // Replies as the client takes them: a beginning kept for the rest is traced once joined.
  if (e.kind == LinkEvent::Kind::Sent) trace_(static_cast<double>(e.time), "TX", e.bytes);
  if (e.kind == LinkEvent::Kind::Received && e.ruling != Ruling::KeptForTheRest)
    trace_(static_cast<double>(e.time), "RX", e.bytes);
}

void Client::onJobEnded(const JobEnd& end) {
  if (end.id == waitingFor_) ended_ = end;
  if (onEnd_) onEnd_(end, OutcomeOf(end));
  if (running_) running_->quit();
}

Outcome Client::OutcomeOf(const JobEnd& end) const {
  if (end.ok) return {Failure::None, end.value, {}};
  switch (end.failure) {
    case varnak::Failure::NoReply:
      return {Failure::NoReply, 0, "no reply"};
    case varnak::Failure::Refused:
      return {Failure::Refused, 0, "refused (NAK)"};
    case varnak::Failure::CheckByteBad:
      return {Failure::Corrupted, 0, "bad check byte: " + HexPreview(lastReply_)};
    case varnak::Failure::NotAReply:
      return {Failure::Corrupted, 0, "unexpected reply: " + HexPreview(lastReply_)};
    default:
      break;
  }
  const std::string why = !lineFailure_.empty()           ? lineFailure_
                          : !link_->portProblem().empty() ? link_->portProblem()
                                                          : std::string("cannot write to the line");
  return {Failure::LineFailed, 0, why};
}

JobId Client::start(const Job& job) {
  const JobId id = link_->Submit(job, now());
  armDeadline();
  return id;
}

void Client::run(const std::function<bool()>& done) {
  while (!done() && lineFailure_.empty() && !(stopRequested_ && stopRequested_())) {
    QEventLoop loop;
    QTimer::singleShot(kSliceMs, &loop, &QEventLoop::quit);
    running_ = &loop;
    loop.exec();
    running_ = nullptr;
  }
}

Outcome Client::runJob(const Job& job) {
  ended_.reset();
  waitingFor_ = start(job);
  run([this] { return ended_.has_value(); });
  waitingFor_ = 0;
  if (ended_) return OutcomeOf(*ended_);
  if (!lineFailure_.empty()) return {Failure::LineFailed, 0, lineFailure_};
  return {Failure::LineFailed, 0, "stopped"};
}

Outcome Client::read(unsigned reg) { return runJob({Job::Kind::Read, reg, 0, "client"}); }

Outcome Client::write(unsigned reg, std::uint16_t value) {
  Outcome o = runJob({Job::Kind::Write, reg, value, "client"});
  o.value = value;
  return o;
}

Outcome Client::outputs() { return runJob({Job::Kind::Outputs, 0, 0, "client"}); }

}  // namespace varnak::cli
