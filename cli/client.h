// The scripting client's exchanges: the window's frames byte for byte, but each
// reply is waited for, joined when it arrives in pieces, and checked; NAK, a bad
// check byte or silence fail the attempt, and a retry starts from the enquiry.
#pragma once

#include <functional>
#include <string>

#include "cli/line.h"
#include "link/replies.h"

namespace varnak::cli {

// LineFailed: the line itself is gone (hung up, vanished, or told to stop); no
// retry is made.
enum class Failure { None, NoReply, Refused, Corrupted, LineFailed };

struct Outcome {
  Failure failure = Failure::None;
  std::uint16_t value = 0;  // the register read, or the output byte
  std::string detail;       // what went wrong, for the operator
};

class Client {
 public:
  // `trace` sees every chunk sent ("TX") and received ("RX").
  using Trace = std::function<void(const char* direction, const Bytes& chunk)>;
  Client(Line& line, int timeoutMs, int retries, Trace trace = {})
      : line_(line), timeoutMs_(timeoutMs), retries_(retries), trace_(std::move(trace)) {}

  // `reg` is the register number (its octal digits are what the operator types).
  Outcome read(unsigned reg);
  Outcome write(unsigned reg, std::uint16_t value);
  Outcome outputs();

 private:
  Outcome withRetries(const std::function<Outcome()>& attempt);
  // Sends `frame` and waits for the reply, assembled from its pieces; on success
  // the outcome holds the value of a data reply.
  Outcome step(const Bytes& frame, ExpectedReply expect);

  Line& line_;
  int timeoutMs_;
  int retries_;
  Trace trace_;
};

}  // namespace varnak::cli
