// A serial line for a blocking client: 9600 baud, odd parity, 8 data bits,
// 1 stop bit, raw, no flow control, on any device path (a pty included).
#pragma once

#include <chrono>
#include <string>

#include "link/text.h"

namespace varnak::cli {

class Line {
 public:
  virtual ~Line() = default;
  virtual bool write(const Bytes& bytes) = 0;
  // Whatever arrives until `deadline`, returned as soon as something has
  // arrived; empty at the deadline.
  virtual Bytes readSome(std::chrono::steady_clock::time_point deadline) = 0;
  // Throws away whatever is waiting (late replies of an earlier attempt).
  virtual void drain() = 0;
};

class PosixLine : public Line {
 public:
  PosixLine() = default;
  PosixLine(const PosixLine&) = delete;
  PosixLine& operator=(const PosixLine&) = delete;
  ~PosixLine() override;
  // False with `error` set ("No such file or directory", ...).
  bool open(const std::string& device, std::string* error);
  bool write(const Bytes& bytes) override;
  Bytes readSome(std::chrono::steady_clock::time_point deadline) override;
  void drain() override;

 private:
  int fd_ = -1;
};

}  // namespace varnak::cli
