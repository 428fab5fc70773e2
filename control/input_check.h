// What the operator's boxes can mean. A register is an octal number from 0 to
// 77777, read by CheckRegister (link/register_number.h, the one reading of
// register numbers); a value is one to four hex digits. Anything else is refused
// with a reason before a frame is sent: a typo must never become another
// register or another value.
#pragma once

#include <optional>
#include <string>

#include "link/register_number.h"
#include "link/text.h"
#include "link/words.h"

namespace varnak {

InputProblem CheckValue(const Text& typed);

// "register 2008 is not octal", "value 12G4 is not hex", ...; `what` is
// "register" or "value". In the operator's language where `lang` translates.
std::string InputProblemText(const char* what, InputProblem problem, const Text& typed,
                             Translate lang = English);

}  // namespace varnak
