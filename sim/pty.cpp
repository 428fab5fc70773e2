#include "pty.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace varnak {

std::optional<Pty> Pty::Open(std::string* error) {
  int master = -1, slave = -1;
  char name[256] = {};
  termios raw{};
  cfmakeraw(&raw);
  cfsetispeed(&raw, B9600);
  cfsetospeed(&raw, B9600);
  if (openpty(&master, &slave, name, &raw, nullptr) != 0) {
    if (error) *error = std::string("openpty: ") + std::strerror(errno);
    return std::nullopt;
  }
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  fcntl(master, F_SETFD, FD_CLOEXEC);
  fcntl(slave, F_SETFD, FD_CLOEXEC);
  return Pty(master, slave, name);
}

Pty::Pty(Pty&& o) noexcept : master_(o.master_), slave_(o.slave_), slavePath_(std::move(o.slavePath_)) {
  o.master_ = o.slave_ = -1;
}

Pty& Pty::operator=(Pty&& o) noexcept {
  if (this != &o) {
    close();
    master_ = o.master_;
    slave_ = o.slave_;
    slavePath_ = std::move(o.slavePath_);
    o.master_ = o.slave_ = -1;
  }
  return *this;
}

Pty::~Pty() { close(); }

void Pty::close() {
  if (master_ >= 0) ::close(master_);
  if (slave_ >= 0) ::close(slave_);
  master_ = slave_ = -1;
}

bool Pty::write(const Bytes& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EAGAIN) {
      pollfd p{master_, POLLOUT, 0};
      ::poll(&p, 1, 100);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      return false;
    }
  }
  return true;
}

Bytes Pty::readAvailable() {
  Bytes out;
  std::uint8_t buf[4096];
  for (;;) {
    const ssize_t n = ::read(master_, buf, sizeof buf);
    if (n > 0) {
      out.insert(out.end(), buf, buf + n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      return out;
    }
  }
}

Bytes Pty::readChunk(int timeoutMs, int quietMs) {
  pollfd p{master_, POLLIN, 0};
  if (::poll(&p, 1, timeoutMs) <= 0) return {};
  Bytes out = readAvailable();
  while (::poll(&p, 1, quietMs) > 0 && (p.revents & POLLIN)) {
    const Bytes more = readAvailable();
    if (more.empty()) break;
    out.insert(out.end(), more.begin(), more.end());
  }
  return out;
}

}  // namespace varnak
