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
  // Why the line can no longer be used (the device hung up or vanished, or the
  // program was asked to stop); empty while it can. No retry helps then.
  virtual std::string failure() const { return {}; }
};

}  // namespace varnak::cli
