#include "simulator.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "link/decode.h"
#include "link/frames.h"
#include "link/register_number.h"

namespace varnak::sim {

namespace {

using Ms = std::chrono::duration<double, std::milli>;

constexpr double kIncompleteMs = 100.0;  // a frame not completed by then is given up

}  // namespace

Simulator::Simulator(const Options& o, SimLine& line)
    : o_(o), line_(line), faults_(o.faults), schedule_(o.pace, o.usbLatencyMs) {
  controller_.outputsFrom(o.outputsFrom);
  controller_.fixOutputs(o.outputs);
  if (o.demo) {
    demo_.emplace(start_);
    runDemo(start_);
  }
}

void Simulator::runDemo(Clock::time_point now) {
  if (demo_) demo_->run(now, controller_);
}

double Simulator::sinceStart(Clock::time_point t) const { return Ms(t - start_).count(); }

void Simulator::run(const volatile std::sig_atomic_t& stop) {
  const Clock::time_point end = start_ + std::chrono::milliseconds(static_cast<long>(o_.seconds * 1000));
  // In --control mode the simulator belongs to whoever feeds its standard
  // input: when that closes (the test that started it died), it ends too.
  while (!stop && !(o_.control && stdinClosed_) && (o_.seconds <= 0 || Clock::now() < end)) {
    sendDue();
    Clock::time_point wake = Clock::now() + std::chrono::milliseconds(200);
    if (!schedule_.empty()) wake = std::min(wake, schedule_.nextAt());
    if (splitter_.partial())
      wake = std::min(wake, lastRx_ + std::chrono::microseconds(long(kIncompleteMs * 1000)));
    if (o_.seconds > 0) wake = std::min(wake, end);
    const auto wait = std::max(Clock::duration::zero(), wake - Clock::now());
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
    timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    // A descriptor of -1 is left out by poll: no client yet, or no listener.
    pollfd fds[3] = {{line_.dataFd(), POLLIN, 0}, {line_.otherFd(), POLLIN, 0}, {0, POLLIN, 0}};
    const int n = ::ppoll(fds, o_.control && !stdinClosed_ ? 3 : 2, &ts, nullptr);
    if (n < 0) continue;  // a signal
    if (fds[0].revents & (POLLIN | POLLERR)) receive();
    if (fds[1].revents & POLLIN) line_.onOther();
    if (o_.control && !stdinClosed_ && (fds[2].revents & (POLLIN | POLLHUP))) readCommands();
    if (splitter_.partial() && Clock::now() - lastRx_ > Ms(kIncompleteMs)) {
      log("RX", splitter_.flush(), "incomplete frame dropped");
    }
  }
}

void Simulator::printStats() const {
  std::vector<double> t = turnarounds_;
  std::sort(t.begin(), t.end());
  auto pct = [&](double p) {
    return t.empty() ? 0.0 : t[std::min(t.size() - 1, static_cast<std::size_t>(p * t.size()))];
  };
  const FaultCounts& c = faults_.counts();
  std::printf(
      "exchanges %d, replies %d, faults %d (dropped %d, corrupted %d, split %d, refused %d), "
      "junk bytes %zu\n",
      controller_.exchanges(), replies_, c.total(), c.dropped, c.corrupted, c.split, c.refused,
      splitter_.dropped());
  std::printf("tool turnaround: median %.2f ms, p99 %.2f ms (%zu samples)\n", pct(0.5), pct(0.99), t.size());
  std::fflush(stdout);
}

void Simulator::log(const char* dir, const Bytes& bytes, const std::string& text) const {
  if (!o_.log) return;
  std::printf("%10.3f %s %s  %s\n", sinceStart(Clock::now()), dir, BytesToHex(bytes).c_str(), text.c_str());
  std::fflush(stdout);
}

void Simulator::receive() {
  const Bytes chunk = line_.readAvailable();
  if (chunk.empty()) return;
  const Clock::time_point now = Clock::now();
  if (!splitter_.partial()) frameStart_ = now;
  lastRx_ = now;
  if (expectFollowUp_ && chunk[0] == expectFollowUp_) turnarounds_.push_back(Ms(now - lastReplyEnd_).count());
  expectFollowUp_ = 0;
  const std::size_t junkBefore = splitter_.dropped();
  splitter_.push(chunk);
  while (auto frame = splitter_.next()) {
    handle(*frame, frameStart_);
    frameStart_ = now;
  }
  if (splitter_.dropped() != junkBefore)
    log("RX", {}, std::to_string(splitter_.dropped() - junkBefore) + " junk bytes dropped");
}

void Simulator::handle(const Bytes& frame, Clock::time_point firstByte) {
  if (silent_) {
    log("RX", frame, DescribeChunk(frame) + "; silent: no reply");
    return;
  }
  const bool refuse = faults_.refuse();
  // A read answers what the machine holds as the frame arrives; a write is taken at once.
  const Clock::time_point now = Clock::now();
  runDemo(now);
  const Controller::Outcome out = controller_.handle(frame, refuse);
  runDemo(now);
  const std::string what = DescribeChunk(frame);
  log("RX", frame, out.note.empty() ? what : what + "; " + out.note);
  if (out.reply.empty()) return;
  ++replies_;
  if (o_.dropFirst && frame[0] == o_.dropFirst && !droppedFirst_) {
    droppedFirst_ = true;
    log("TX", out.reply, DescribeChunk(out.reply) + " (dropped: --drop-first)");
    return;
  }
  const Faults::Plan plan = faults_.plan(out.reply);
  if (plan.parts.empty()) {
    log("TX", out.reply, DescribeChunk(out.reply) + " (dropped)");
    return;
  }
  // Only an intact reply can be followed up at once; its follow-up is timed.
  const bool intact = !plan.corrupted && !plan.split;
  const int followUp = !intact || !out.followUp ? 0 : frame[0] == 0x4E ? kSoh : kStx;
  schedule_.add(frame, firstByte, plan, followUp);
}

void Simulator::sendDue() {
  while (auto w = schedule_.popDue(Clock::now())) {
    if (o_.log && !w->logLine.empty()) {
      std::printf("%10.3f %s\n", sinceStart(Clock::now()), w->logLine.c_str());
      std::fflush(stdout);
    }
    line_.write(w->bytes);
    if (w->endsReply) {
      lastReplyEnd_ = Clock::now();
      expectFollowUp_ = w->followUp;
    }
  }
}

void Simulator::readCommands() {
  char buf[4096];
  const ssize_t n = ::read(0, buf, sizeof buf);
  if (n <= 0) {
    stdinClosed_ = true;
    return;
  }
  commands_.append(buf, static_cast<std::size_t>(n));
  std::size_t eol;
  while ((eol = commands_.find('\n')) != std::string::npos) {
    const std::string line = commands_.substr(0, eol);
    commands_.erase(0, eol + 1);
    std::printf("= %s\n", command(line).c_str());
    std::fflush(stdout);
  }
}

std::string Simulator::command(const std::string& line) {
  // `get` answers what the machine holds now; `set` is taken as a master's write is.
  runDemo(Clock::now());
  std::string answer = controlCommand(line);
  runDemo(Clock::now());
  return answer;
}

std::string Simulator::controlCommand(const std::string& line) {
  char verb[32] = {}, a[64] = {}, b[64] = {};
  const int n = std::sscanf(line.c_str(), "%31s %63s %63s", verb, a, b);
  const std::string v = n > 0 ? verb : "";
  if (v == "get" && n == 2) {
    const auto r = ParseRegisterName(a);
    if (!r) return "error bad register";
    char s[64];
    std::snprintf(s, sizeof s, "%s %04X", RegisterName(*r).c_str(), controller_.reg(*r));
    return s;
  }
  if (v == "set" && n == 3) {
    const auto r = ParseRegisterName(a);
    char* end = nullptr;
    const long x = std::strtol(b, &end, 16);
    if (!r || *end || x < 0 || x > 0xFFFF) return "error bad register or value";
    controller_.setReg(*r, static_cast<std::uint16_t>(x));
    return "ok";
  }
  if (v == "outputs" && n == 2) {
    char* end = nullptr;
    const long x = std::strtol(a, &end, 16);
    if (std::string(a) == "follow") {
      controller_.fixOutputs(std::nullopt);
    } else if (*end || x < 0 || x > 255) {
      return "error bad output byte";
    } else {
      controller_.fixOutputs(static_cast<std::uint8_t>(x));
    }
    return "ok";
  }
  if (v == "outputs" && n == 1) {
    char s[32];
    std::snprintf(s, sizeof s, "outputs %02X", controller_.outputs());
    return s;
  }
  if (v == "silent" && n == 2 && (std::string(a) == "on" || std::string(a) == "off")) {
    silent_ = std::string(a) == "on";
    return "ok";
  }
  if (v == "faults" && n == 2 && std::string(a) == "off") {
    faults_.disable();
    return "ok";
  }
  if (v == "stats") {
    const FaultCounts& c = faults_.counts();
    return "exchanges " + std::to_string(controller_.exchanges()) + " replies " + std::to_string(replies_) +
           " faults " + std::to_string(c.total()) + " polls " + std::to_string(controller_.polls());
  }
  return "error unknown command";
}

}  // namespace varnak::sim
