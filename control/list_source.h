// The list's side of the link control: a register list read (and written from
// its rows) between the window's own exchanges. The link control asks the list
// for its next exchange whenever the line is idle and nothing else is due, and
// tells it how each one ended. A list exchange sets none of the link flags and
// its replies never reach the read box or the lamps.
#pragma once

#include <cstdint>
#include <optional>

#include "control/link_events.h"

namespace varnak {

struct ListJob {
  enum class Kind { Read, Write };
  Kind kind = Kind::Read;
  unsigned reg = 0;         // register number, 0 to 077777
  std::uint16_t value = 0;  // Write: the value to store
};

struct ListResult {
  bool ok = false;
  Failure failure = Failure::NoReply;  // when !ok: NoReply, Refused, NotAReply, CheckByteBad, PortFailed
  std::uint16_t value = 0;             // a Read that is ok: the register's value
};

class ListSource {
 public:
  virtual ~ListSource() = default;
  // The next exchange the list wants, or none; `now` in milliseconds on the link control's clock.
  virtual std::optional<ListJob> nextJob(std::int64_t now) = 0;
  // The job handed out last has ended.
  virtual void jobEnded(const ListJob& job, const ListResult& result, std::int64_t now) = 0;
};

}  // namespace varnak
