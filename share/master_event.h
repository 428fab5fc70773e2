// One request of a network master and how it ended, for the bridge's trace
// (stderr) and its PREFIX/events topic: who asked, what, and what came of it.
#pragma once

#include <string>

namespace varnak::share {

struct MasterEvent {
  std::string master;   // "10.0.0.7:50112", "[::1]:41000"
  std::string command;  // "read R2000", "write R2000 = 00A5", "outputs", "modbus read 1024-1033"
  std::string outcome;  // "confirmed", "read", "failed", "refused", "ignored"
  std::string why;      // empty, or the reason in words ("no reply", "bad check byte")
  std::string value;    // empty, or the value read or written as shown
};

}  // namespace varnak::share
