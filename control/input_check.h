// What the operator's boxes can mean. A register is an octal number from 0 to
// 77777 (the range whose start address, the number plus 1, fits four hex
// digits), with blanks and one leading R or r allowed; a value is one to four
// hex digits. Anything else is refused with a reason before a frame is sent:
// a typo must never become another register or another value.
#pragma once

#include <optional>
#include <string>

#include "link/text.h"
#include "link/words.h"

namespace varnak {

enum class InputProblem {
  None,
  Empty,       // nothing typed
  NotOctal,    // a register with a character that is not an octal digit ("2008", "-3")
  AboveRange,  // a register above 77777
  NotHex,      // a value with a character that is not a hex digit ("12G4")
  TooLong,     // a value of more than four digits
};

struct RegisterInput {
  InputProblem problem = InputProblem::None;
  Text digits;  // the octal digits alone ("2000" for " R2000 "), when there is no problem
};

RegisterInput CheckRegister(const Text& typed);
InputProblem CheckValue(const Text& typed);

// "register 2008 is not octal", "value 12G4 is not hex", ...; `what` is
// "register" or "value". In the operator's language where `lang` translates.
std::string InputProblemText(const char* what, InputProblem problem, const Text& typed,
                             Translate lang = English);

}  // namespace varnak
