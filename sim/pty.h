// The controller's end of a pseudo-terminal: the tool opens slavePath() as its
// serial port, the peer reads and writes the master side.
#pragma once

#include <optional>
#include <string>

#include "link/text.h"
#include "sim/sim_line.h"

namespace varnak {

class Pty : public sim::SimLine {
 public:
  // A raw pty whose master side does not block. Empty with `error` set on failure.
  static std::optional<Pty> Open(std::string* error = nullptr);
  Pty(Pty&& other) noexcept;
  Pty& operator=(Pty&& other) noexcept;
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;
  ~Pty() override;

  const std::string& slavePath() const { return slavePath_; }
  int masterFd() const { return master_; }
  bool isOpen() const { return master_ >= 0; }

  int dataFd() const override { return master_; }
  // Every byte, or false.
  bool write(const Bytes& bytes) override;
  // What is waiting now, without blocking.
  Bytes readAvailable() override;
  // Waits up to `timeoutMs` for the first byte, then gathers until the line has
  // been quiet for `quietMs`.
  Bytes readChunk(int timeoutMs, int quietMs = 20);
  // Like pulling the cable: the tool's side sees a hang-up.
  void close();

 private:
  Pty(int master, int slave, std::string path)
      : master_(master), slave_(slave), slavePath_(std::move(path)) {}
  int master_ = -1;
  int slave_ = -1;  // held open so that the master never reads EIO while the tool's side is closed
  std::string slavePath_;
};

}  // namespace varnak
