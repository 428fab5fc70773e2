// The simulated controller on the network: listens on 127.0.0.1:PORT and
// serves one client at a time, the bytes as they are (a raw TCP port of a
// serial device server). A second client is told "Port already in use" and
// closed, as such a server does; a client that leaves frees the port.
#pragma once

#include <optional>
#include <string>

#include "sim/sim_line.h"

namespace varnak::sim {

class TcpWire : public SimLine {
 public:
  // Empty with `error` set when the port cannot be listened on.
  static std::optional<TcpWire> Listen(int port, std::string* error);
  TcpWire(TcpWire&& other) noexcept;
  TcpWire& operator=(TcpWire&&) = delete;
  TcpWire(const TcpWire&) = delete;
  ~TcpWire() override;

  int port() const { return port_; }
  int dataFd() const override { return client_; }
  int otherFd() const override { return listen_; }
  void onOther() override;
  Bytes readAvailable() override;
  bool write(const Bytes& bytes) override;

 private:
  TcpWire(int listenFd, int port) : listen_(listenFd), port_(port) {}
  void drop();
  int listen_ = -1;
  int client_ = -1;
  int port_ = 0;
};

}  // namespace varnak::sim
