// varnak-sim: plays the controller (station 1) on a pseudo-terminal.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "sim/options.h"
#include "sim/pty.h"
#include "sim/simulator.h"
#include "sim/tcp_wire.h"

namespace {

volatile std::sig_atomic_t gStop = 0;
void OnSignal(int) { gStop = 1; }

void CatchSignals() {
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace varnak::sim;
  Options o;
  std::string error;
  if (!ParseOptions(argc, argv, o, error)) {
    std::fprintf(stderr, "varnak-sim: %s (see varnak-sim --help)\n", error.c_str());
    return 2;
  }
  if (o.version) {
    std::printf("varnak-sim %s\n", VARNAK_VERSION);
    return 0;
  }
  if (o.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (o.tcpPort) {
    if (!o.link.empty()) {
      std::fprintf(stderr, "varnak-sim: --link makes no sense with --tcp (see varnak-sim --help)\n");
      return 2;
    }
    auto wire = TcpWire::Listen(o.tcpPort, &error);
    if (!wire) {
      std::fprintf(stderr, "varnak-sim: %s\n", error.c_str());
      return 1;
    }
    std::printf("tcp://127.0.0.1:%d\n", wire->port());
    std::fflush(stdout);
    CatchSignals();
    Simulator sim(o, *wire);
    sim.run(gStop);
    if (o.log) sim.printStats();
    return 0;
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

  CatchSignals();
  Simulator sim(o, *pty);
  sim.run(gStop);

  if (!o.link.empty()) {
    char target[512] = {};
    const ssize_t n = ::readlink(o.link.c_str(), target, sizeof target - 1);
    if (n > 0 && pty->slavePath() == std::string(target, static_cast<std::size_t>(n)))
      ::unlink(o.link.c_str());
  }
  if (o.log) sim.printStats();
  return 0;
}
