// Replies built and sent by libmodbus on a client's socket. libmodbus answers a
// request from a table (modbus_mapping_t); the table is made for each reply from
// the line's answers, over exactly the addresses asked for, and only requests the
// plan accepted reach modbus_reply, so that libmodbus's own checks never fire:
// on a bad count it would sleep a response timeout and drain the socket, which
// would stall every client and swallow the next request. Exceptions decided here
// go out through modbus_reply_exception.
#pragma once

#include <cstddef>
#include <cstdint>

#include "modbus/modbus_answers.h"
#include "modbus/modbus_requests.h"

struct _modbus;

namespace varnak::modbus {

class Replies {
 public:
  Replies();
  ~Replies();
  Replies(const Replies&) = delete;
  Replies& operator=(const Replies&) = delete;

  // Each sends on the connected socket `fd` the reply to `frame` (one whole frame
  // as CutFrame cut it); false, with errno set, when it could not all be sent.
  bool sendException(int fd, const std::uint8_t* frame, std::size_t length, Exception exception);
  // `answers` done: the values, or the exception of the failure.
  bool send(int fd, const std::uint8_t* frame, std::size_t length, const Plan& plan, const Answers& answers);

 private:
  _modbus* context_;  // only for its TCP framing: never connected, the socket set for each reply
};

}  // namespace varnak::modbus
