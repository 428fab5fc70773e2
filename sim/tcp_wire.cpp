#include "tcp_wire.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace varnak::sim {

std::optional<TcpWire> TcpWire::Listen(int port, std::string* error) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    if (error) *error = std::string("socket: ") + std::strerror(errno);
    return std::nullopt;
  }
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 4) != 0) {
    if (error) *error = "--tcp " + std::to_string(port) + ": " + std::strerror(errno);
    ::close(fd);
    return std::nullopt;
  }
  return TcpWire(fd, port);
}

TcpWire::TcpWire(TcpWire&& o) noexcept : listen_(o.listen_), client_(o.client_), port_(o.port_) {
  o.listen_ = o.client_ = -1;
}

TcpWire::~TcpWire() {
  drop();
  if (listen_ >= 0) ::close(listen_);
}

void TcpWire::drop() {
  if (client_ >= 0) ::close(client_);
  client_ = -1;
}

void TcpWire::onOther() {
  const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (fd < 0) return;
  if (client_ >= 0) {
    // One client at a time, as a serial device server admits.
    static const char busy[] = "Port already in use\r\n";
    (void)!::write(fd, busy, sizeof busy - 1);
    ::close(fd);
    return;
  }
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  client_ = fd;
}

Bytes TcpWire::readAvailable() {
  Bytes out;
  if (client_ < 0) return out;
  std::uint8_t buf[4096];
  for (;;) {
    const ssize_t n = ::read(client_, buf, sizeof buf);
    if (n > 0) {
      out.insert(out.end(), buf, buf + n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) drop();  // the client left
      return out;
    }
  }
}

bool TcpWire::write(const Bytes& bytes) {
  std::size_t done = 0;
  while (client_ >= 0 && done < bytes.size()) {
    const ssize_t n = ::send(client_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd p{client_, POLLOUT, 0};
      ::poll(&p, 1, 100);
    } else {
      drop();
    }
  }
  return done == bytes.size();
}

}  // namespace varnak::sim
