// The line's answers to one planned request, gathered until its reply can go:
// when all have come, or at the first failure (the rest would only cost line
// time for a reply that is an exception anyway). Pure: no Qt, no I/O.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "modbus/modbus_requests.h"
#include "share/line_service.h"
#include "share/master_event.h"

namespace varnak::modbus {

// The exception a client gets for a line request that failed: the controller's
// refusal is the server device's failure; a controller that never answered
// properly, after the engine's tries, is a gateway target that failed to respond.
Exception ExceptionFor(Failure failure);

class Answers {
 public:
  // `plan`: no Reject.
  explicit Answers(const Plan& plan);

  // The answer to the plan's line request number `index` (in LineRequests' order).
  void take(std::size_t index, const share::LineAnswer& answer);
  // All in, or one failed.
  bool done() const;
  // The indexes whose answer has not come, to forget once done.
  std::vector<std::size_t> missing() const;

  // Once done: None when all succeeded.
  Exception exception() const;
  // The failure that decided the exception.
  std::optional<Failure> failure() const;
  // Once done without exception: the registers read (or written), in address order.
  std::vector<std::uint16_t> registers() const;
  // Once done without exception: the output byte, bit i is Qi.
  std::uint8_t outputs() const;

 private:
  std::vector<std::optional<share::LineAnswer>> answers_;
  std::optional<Failure> failed_;  // the first failure to come: it decides the reply
};

// The trace's and the events' report of one request: rejected (`answers` null)
// or done.
share::MasterEvent Report(const Plan& plan, const Answers* answers, const std::string& master);

}  // namespace varnak::modbus
