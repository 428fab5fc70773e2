#include "line.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace varnak::cli {

PosixLine::~PosixLine() {
  if (fd_ >= 0) ::close(fd_);
}

bool PosixLine::open(const std::string& device, std::string* error) {
  fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) {
    *error = std::strerror(errno);
    if (errno == EACCES) *error += " (is the user in the dialout group?)";
    return false;
  }
  termios t{};
  if (tcgetattr(fd_, &t) != 0) {
    *error = std::string("not a serial device: ") + std::strerror(errno);
    return false;
  }
  cfmakeraw(&t);
  cfsetispeed(&t, B9600);
  cfsetospeed(&t, B9600);
  t.c_cflag |= CLOCAL | CREAD | PARENB | PARODD;
  t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | CRTSCTS | CSIZE);
  t.c_cflag |= CS8;
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  if (tcsetattr(fd_, TCSANOW, &t) != 0 && errno == EINVAL) {
    // A pseudo-terminal has no parity and says so; that is no reason to refuse it.
    t.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD);
    if (tcsetattr(fd_, TCSANOW, &t) == 0) return true;
  }
  termios now{};
  if (tcgetattr(fd_, &now) != 0 || cfgetospeed(&now) != B9600 || (now.c_cflag & CSIZE) != CS8) {
    *error = std::string("cannot set 9600,o,8,1: ") + std::strerror(errno);
    return false;
  }
  return true;
}

bool PosixLine::write(const Bytes& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd p{fd_, POLLOUT, 0};
      ::poll(&p, 1, 100);
    } else {
      return false;
    }
  }
  return true;
}

Bytes PosixLine::readSome(std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() < 0) return {};
    pollfd p{fd_, POLLIN, 0};
    const int n = ::poll(&p, 1, static_cast<int>(left.count()) + 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return {};
    if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) {
      // The device went away; wait out the deadline rather than spin.
      ::poll(nullptr, 0, static_cast<int>(left.count()));
      return {};
    }
    std::uint8_t buf[256];
    const ssize_t got = ::read(fd_, buf, sizeof buf);
    if (got > 0) return Bytes(buf, buf + got);
  }
}

void PosixLine::drain() {
  tcflush(fd_, TCIFLUSH);
  std::uint8_t buf[256];
  while (::read(fd_, buf, sizeof buf) > 0) {
  }
}

}  // namespace varnak::cli
