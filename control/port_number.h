#pragma once

#include <optional>

#include "link/text.h"

namespace varnak {

// A port number text as the operator types it: a whole decimal number from 1 to
// 32767, blanks around it allowed. Anything else (empty, letters, signs, "0",
// "99999") is no port number at all.
std::optional<int> ParsePortNumber(const Text& text);

}  // namespace varnak
