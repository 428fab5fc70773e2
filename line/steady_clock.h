// The monotonic clock in milliseconds that stamps what the line tells and times
// every deadline of the engine, the client, the bridge and the broker connection.
#pragma once

#include <cstdint>
#include <functional>

namespace varnak {

// Milliseconds on the monotonic clock; a clock handed in where tests want their own.
using MsClock = std::function<std::int64_t()>;
std::int64_t SteadyMs();

}  // namespace varnak
