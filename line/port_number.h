#pragma once

#include <optional>
#include <string>

#include "link/text.h"

namespace varnak {

// A port number text as the operator types it: a whole decimal number from 1 to
// 32767, blanks around it allowed. Anything else (empty, letters, signs, "0",
// "99999") is no port number at all.
std::optional<int> ParsePortNumber(const Text& text);
// The port's name as the operator knows it: "COM3"; "COM" for none.
std::string PortName(std::optional<int> number);

}  // namespace varnak
