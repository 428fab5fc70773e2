#include "unix_signals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

namespace varnak {

namespace {

int gPair[2] = {-1, -1};  // [0] written by the handler, [1] read by the notifier

void OnSignal(int signal) {
  const unsigned char n = static_cast<unsigned char>(signal);
  const ssize_t ignored = ::write(gPair[0], &n, 1);  // async-signal-safe
  (void)ignored;
}

}  // namespace

UnixSignals::UnixSignals(std::initializer_list<int> caught, QObject* parent) : QObject(parent) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, gPair) != 0) return;
  notifier_ = new QSocketNotifier(gPair[1], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &UnixSignals::onReadable);
  for (const int s : caught) {
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(s, &sa, nullptr);
  }
}

UnixSignals::~UnixSignals() {
  delete notifier_;
  for (int& fd : gPair) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

void UnixSignals::onReadable() {
  unsigned char n = 0;
  while (::read(gPair[1], &n, 1) == 1) emit received(n);
}

}  // namespace varnak
