#include "cli/exit_status.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "net/address.h"

namespace varnak::cli {

namespace {

// The signal that asked the client to stop, 0 while none has.
volatile std::sig_atomic_t gStopSignal = 0;
void OnStopSignal(int signal) { gStopSignal = signal; }

}  // namespace

void CatchStopSignals() {
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  // A reader that went away is seen as an error on stdout.
  std::signal(SIGPIPE, SIG_IGN);
}

bool StopRequested() { return gStopSignal != 0; }

int StoppedStatus() { return 128 + gStopSignal; }

// A pipe whose reader closed reports POLLERR even before anything is written.
bool OutputBroken() {
  pollfd p{STDOUT_FILENO, 0, 0};
  return std::ferror(stdout) || (::poll(&p, 1, 0) == 1 && (p.revents & (POLLERR | POLLNVAL)));
}

int Finish(int status) {
  const bool flushed = std::fflush(stdout) == 0;
  const int error = errno;
  if (!flushed || std::ferror(stdout)) {
    std::fprintf(stderr, "varnak: cannot write the result: %s\n", std::strerror(flushed ? EPIPE : error));
    return status == kDone ? kOutputFailed : status;
  }
  return status;
}

int Fail(const Outcome& o, const Options& opt, const std::string& where) {
  if (StopRequested()) return StoppedStatus();
  if (o.failure == cli::Failure::LineFailed) {
    // The line's own sentence names it already.
    const std::string line = where.substr(0, where.find(": "));
    if (o.detail.rfind(line, 0) == 0) {
      std::fprintf(stderr, "varnak: %s\n", o.detail.c_str());
    } else {
      std::fprintf(stderr, "varnak: %s: %s\n", where.c_str(), o.detail.c_str());
    }
    return kNoPort;
  }
  const int attempts = opt.retries + 1;
  std::fprintf(stderr, "varnak: %s: %s after %d attempt%s\n", where.c_str(), o.detail.c_str(), attempts,
               attempts == 1 ? "" : "s");
  return o.failure == cli::Failure::NoReply ? kNoReply : kBadReply;
}

}  // namespace varnak::cli
