// The simulator's end of the line: a pseudo-terminal's master side, or a TCP
// port on 127.0.0.1 that serves one client at a time.
#pragma once

#include <string>

#include "link/text.h"

namespace varnak::sim {

class SimLine {
 public:
  virtual ~SimLine() = default;
  // The descriptor to wait on for bytes from the tool; -1 while there is none
  // (no client connected).
  virtual int dataFd() const = 0;
  // A descriptor to wait on for something else to do (a client knocking); -1: none.
  virtual int otherFd() const { return -1; }
  // Called when otherFd() is readable.
  virtual void onOther() {}
  // What is waiting now, without blocking.
  virtual Bytes readAvailable() = 0;
  // Every byte, or false (nobody there to take them).
  virtual bool write(const Bytes& bytes) = 0;
};

}  // namespace varnak::sim
