// varnak-sim: plays the controller (station 1) on a pseudo-terminal.
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "link/decode.h"
#include "link/frames.h"
#include "sim/controller.h"
#include "sim/faults.h"
#include "sim/pty.h"

namespace varnak::sim {
namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

constexpr double kByteMs = 11.0 * 1000.0 / 9600.0;  // start, 8 data, parity, stop at 9600 baud
constexpr double kTurnaroundMs = 2.0;
constexpr double kIncompleteMs = 100.0;  // a frame not completed by then is given up

volatile std::sig_atomic_t gStop = 0;
void OnSignal(int) { gStop = 1; }

const char kUsage[] =
    "Usage: varnak-sim [options]\n"
    "Plays the controller (station 1) on a pseudo-terminal and prints its device path\n"
    "on the first line of stdout. Runs until SIGINT/SIGTERM or --seconds.\n"
    "\n"
    "  --link PATH          also make PATH a symbolic link to the device (removed on exit)\n"
    "  --seconds N          stop after N seconds\n"
    "  --outputs-from OCT   the outputs Q0-Q7 follow the low byte of this register (default R2000)\n"
    "  --outputs HEX        fix the output byte instead, e.g. --outputs 81\n"
    "  --no-pace            answer at once, without wire time, turnaround or byte pacing\n"
    "  --seed N             seed of the fault dice (default 1): the same seed, the same faults\n"
    "  --drop P             leave a reply out with probability P (0-1)\n"
    "  --corrupt P          flip one bit of a reply with probability P\n"
    "  --split P            pause 50 ms inside a reply with probability P\n"
    "  --delay-ms N         send every reply N ms late\n"
    "  --nak P              refuse a frame with NAK instead of ACK with probability P\n"
    "  --drop-first KIND    leave out the reply to the first frame of KIND: enquiry, header or data\n"
    "  --log                print every frame received and sent, with ms timestamps and a decoding,\n"
    "                       and at exit the counts of exchanges and faults and the tool's turnaround\n"
    "  --control            read commands on stdin, answer on stdout after \"= \":\n"
    "                       get R2000 | set R2000 1234 | outputs [HEX|follow] | faults off | stats\n"
    "  --help               this text\n";

struct Options {
  std::string link;
  double seconds = 0;
  unsigned outputsFrom = 02000;
  std::optional<std::uint8_t> outputs;
  bool pace = true;
  FaultSettings faults;
  bool log = false;
  bool control = false;
  int dropFirst = 0;  // first byte of the frame whose first reply is left out (0: none)
};

std::optional<double> Number(const char* s, double lo, double hi) {
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(s, &end);
  if (errno || end == s || *end || v < lo || v > hi) return std::nullopt;
  return v;
}

bool Parse(int argc, char** argv, Options& o, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    auto bad = [&](const char* v) {
      error = a + ": bad or missing value" + (v ? std::string(" '") + v + "'" : std::string());
      return false;
    };
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else if (a == "--no-pace") {
      o.pace = false;
    } else if (a == "--log") {
      o.log = true;
    } else if (a == "--control") {
      o.control = true;
    } else if (a == "--link") {
      const char* v = value();
      if (!v || !*v) return bad(v);
      o.link = v;
    } else if (a == "--drop-first") {
      const char* v = value();
      const std::string k = v ? v : "";
      o.dropFirst = k == "enquiry" ? 0x4E : k == "header" ? kSoh : k == "data" ? kStx : 0;
      if (!o.dropFirst) return bad(v);
    } else if (a == "--outputs-from") {
      const char* v = value();
      const auto r = v ? ParseRegisterName(v) : std::nullopt;
      if (!r) return bad(v);
      o.outputsFrom = *r;
    } else if (a == "--outputs") {
      const char* v = value();
      char* end = nullptr;
      const long x = v ? std::strtol(v, &end, 16) : -1;
      if (!v || !*v || *end || x < 0 || x > 255) return bad(v);
      o.outputs = static_cast<std::uint8_t>(x);
    } else {
      const char* v = value();
      std::optional<double> n;
      if (!v) return bad(v);
      if (a == "--seconds")
        n = Number(v, 0, 1e9), o.seconds = n.value_or(0);
      else if (a == "--seed")
        n = Number(v, 0, 1e18), o.faults.seed = static_cast<std::uint64_t>(n.value_or(0));
      else if (a == "--drop")
        n = Number(v, 0, 1), o.faults.drop = n.value_or(0);
      else if (a == "--corrupt")
        n = Number(v, 0, 1), o.faults.corrupt = n.value_or(0);
      else if (a == "--split")
        n = Number(v, 0, 1), o.faults.split = n.value_or(0);
      else if (a == "--nak")
        n = Number(v, 0, 1), o.faults.nak = n.value_or(0);
      else if (a == "--delay-ms")
        n = Number(v, 0, 60000), o.faults.delayMs = static_cast<int>(n.value_or(0));
      else {
        error = "unknown option: " + a;
        return false;
      }
      if (!n) return bad(v);
    }
  }
  return true;
}

class Simulator {
 public:
  Simulator(const Options& o, Pty& pty) : o_(o), pty_(pty), faults_(o.faults) {
    controller_.outputsFrom(o.outputsFrom);
    controller_.fixOutputs(o.outputs);
  }

  void run() {
    const Clock::time_point end = start_ + std::chrono::milliseconds(static_cast<long>(o_.seconds * 1000));
    while (!gStop && (o_.seconds <= 0 || Clock::now() < end)) {
      sendDue();
      Clock::time_point wake = Clock::now() + std::chrono::milliseconds(200);
      if (!queue_.empty()) wake = std::min(wake, queue_.front().at);
      if (splitter_.partial())
        wake = std::min(wake, lastRx_ + std::chrono::microseconds(long(kIncompleteMs * 1000)));
      if (o_.seconds > 0) wake = std::min(wake, end);
      const auto wait = std::max(Clock::duration::zero(), wake - Clock::now());
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
      timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
      pollfd fds[2] = {{pty_.masterFd(), POLLIN, 0}, {0, POLLIN, 0}};
      const int n = ::ppoll(fds, o_.control && !stdinClosed_ ? 2 : 1, &ts, nullptr);
      if (n < 0) continue;  // a signal
      if (fds[0].revents & POLLIN) receive();
      if (o_.control && !stdinClosed_ && (fds[1].revents & (POLLIN | POLLHUP))) readCommands();
      if (splitter_.partial() && Clock::now() - lastRx_ > Ms(kIncompleteMs)) {
        log("RX", splitter_.flush(), "incomplete frame dropped");
      }
    }
  }

  void printStats() const {
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
    std::printf("tool turnaround: median %.2f ms, p99 %.2f ms (%zu samples)\n", pct(0.5), pct(0.99),
                t.size());
    std::fflush(stdout);
  }

 private:
  struct Write {
    Clock::time_point at;
    Bytes bytes;
    std::string logLine;     // printed when this write goes out
    bool endsReply = false;  // last write of a reply
    int followUp = 0;        // first byte of the frame expected next (0: none)
  };

  double sinceStart(Clock::time_point t) const { return Ms(t - start_).count(); }

  void log(const char* dir, const Bytes& bytes, const std::string& text) const {
    if (!o_.log) return;
    std::printf("%10.3f %s %s  %s\n", sinceStart(Clock::now()), dir, BytesToHex(bytes).c_str(), text.c_str());
    std::fflush(stdout);
  }

  void receive() {
    const Bytes chunk = pty_.readAvailable();
    if (chunk.empty()) return;
    const Clock::time_point now = Clock::now();
    if (!splitter_.partial()) frameStart_ = now;
    lastRx_ = now;
    if (expectFollowUp_ && chunk[0] == expectFollowUp_)
      turnarounds_.push_back(Ms(now - lastReplyEnd_).count());
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

  void handle(const Bytes& frame, Clock::time_point firstByte) {
    const bool refuse = faults_.refuse();
    const Controller::Outcome out = controller_.handle(frame, refuse);
    const std::string what = DescribeChunk(frame);
    log("RX", frame, out.note.empty() ? what : what + "; " + out.note);
    if (out.reply.empty()) return;
    ++replies_;
    if (o_.dropFirst && frame[0] == o_.dropFirst && !droppedFirst_) {
      droppedFirst_ = true;
      log("TX", out.reply, DescribeChunk(out.reply) + " (dropped: --drop-first)");
      return;
    }
    // The frame's own wire time, then the turnaround, as a controller on a real line.
    Clock::time_point t =
        o_.pace ? firstByte + std::chrono::microseconds(long((frame.size() * kByteMs + kTurnaroundMs) * 1000))
                : Clock::now();
    if (!queue_.empty()) t = std::max(t, queue_.back().at + std::chrono::microseconds(long(kByteMs * 1000)));
    const Faults::Plan plan = faults_.plan(out.reply);
    if (plan.parts.empty()) {
      log("TX", out.reply, DescribeChunk(out.reply) + " (dropped)");
      return;
    }
    // Only an intact reply can be followed up at once; its follow-up is timed.
    const bool intact = !plan.corrupted && !plan.split;
    const int followUp = !intact || !out.followUp ? 0 : frame[0] == 0x4E ? kSoh : kStx;
    const auto& parts = plan.parts;
    for (std::size_t p = 0; p < parts.size(); ++p) {
      t += std::chrono::milliseconds(parts[p].pauseMs);
      std::string line = DescribeChunk(parts[p].bytes);
      if (plan.corrupted) line += " (corrupted)";
      if (plan.split) line += " (split " + std::to_string(p + 1) + "/2)";
      const Bytes& b = parts[p].bytes;
      if (o_.pace) {
        for (std::size_t i = 0; i < b.size(); ++i) {
          queue_.push_back({t, {b[i]}, i == 0 ? "TX " + BytesToHex(b) + "  " + line : "", false, 0});
          if (i + 1 < b.size()) t += std::chrono::microseconds(long(kByteMs * 1000));
        }
      } else {
        queue_.push_back({t, b, "TX " + BytesToHex(b) + "  " + line, false, 0});
      }
    }
    queue_.back().endsReply = true;
    queue_.back().followUp = followUp;
  }

  void sendDue() {
    while (!queue_.empty() && queue_.front().at <= Clock::now()) {
      Write w = std::move(queue_.front());
      queue_.pop_front();
      if (o_.log && !w.logLine.empty()) {
        std::printf("%10.3f %s\n", sinceStart(Clock::now()), w.logLine.c_str());
        std::fflush(stdout);
      }
      pty_.write(w.bytes);
      if (w.endsReply) {
        lastReplyEnd_ = Clock::now();
        expectFollowUp_ = w.followUp;
      }
    }
  }

  void readCommands() {
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

  std::string command(const std::string& line) {
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

  const Options& o_;
  Pty& pty_;
  Controller controller_;
  Faults faults_;
  FrameSplitter splitter_;
  std::deque<Write> queue_;
  Clock::time_point start_ = Clock::now();
  Clock::time_point frameStart_, lastRx_, lastReplyEnd_;
  int expectFollowUp_ = 0;
  std::vector<double> turnarounds_;
  int replies_ = 0;
  bool droppedFirst_ = false;
  bool stdinClosed_ = false;
  std::string commands_;
};

}  // namespace
}  // namespace varnak::sim

int main(int argc, char** argv) {
  using namespace varnak::sim;
  Options o;
  std::string error;
  if (!Parse(argc, argv, o, error)) {
    std::fprintf(stderr, "varnak-sim: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  auto pty = varnak::Pty::Open(&error);
  if (!pty) {
    std::fprintf(stderr, "varnak-sim: %s\n", error.c_str());
    return 1;
  }
  if (!o.link.empty()) {
    struct stat st {};
    if (::lstat(o.link.c_str(), &st) == 0) {
      if (!S_ISLNK(st.st_mode)) {
        std::fprintf(stderr, "varnak-sim: --link %s: exists and is not a symbolic link\n", o.link.c_str());
        return 1;
      }
      ::unlink(o.link.c_str());
    }
    if (::symlink(pty->slavePath().c_str(), o.link.c_str()) != 0) {
      std::fprintf(stderr, "varnak-sim: --link %s: %s\n", o.link.c_str(), std::strerror(errno));
      return 1;
    }
  }
  std::printf("%s\n", pty->slavePath().c_str());
  std::fflush(stdout);

  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  Simulator sim(o, *pty);
  sim.run();

  if (!o.link.empty()) {
    char target[512] = {};
    const ssize_t n = ::readlink(o.link.c_str(), target, sizeof target - 1);
    if (n > 0 && pty->slavePath() == std::string(target, static_cast<std::size_t>(n)))
      ::unlink(o.link.c_str());
  }
  if (o.log) sim.printStats();
  return 0;
}
