// A free TCP port for a test's server (a broker, a serial device server), so that
// tests running side by side never share one.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace varnak::testing {

// A port on 127.0.0.1 that nothing listens on now, as the kernel hands out for
// a bind to port 0; 0 if no socket could be had.
inline int FreeLocalPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return 0;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t n = sizeof a;
  const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n) == 0;
  ::close(fd);
  return ok ? ntohs(a.sin_port) : 0;
}

}  // namespace varnak::testing
