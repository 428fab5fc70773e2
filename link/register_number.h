// Register numbers as the operator and scripts write them: octal, 0 to 77777
// (the range whose start address, the number plus 1, fits four hex digits).
// One reading for every box, argument and file cell, so that "2008" is refused
// everywhere with the same reason and never becomes another register; one
// writing ("R2000") for every message, trace and file.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "link/text.h"

namespace varnak {

// The highest register a box, an argument or a file may name.
constexpr unsigned kMaxRegister = 077777;

// What is wrong with a typed register or value. The value kinds belong to the
// value box (control/input_check.h) but share the reasons' wording.
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
  Text digits;  // the octal digits alone, leading zeros dropped ("2000" for " R02000 "), when no problem
  unsigned number = 0;  // their value, 0 to kMaxRegister, when no problem
};

// A register as a box or a file cell holds it: blanks anywhere and one leading
// R or r allowed, leading zeros fine.
RegisterInput CheckRegister(const Text& typed);

// A register named in one word, as scripts and command lines give it: what
// CheckRegister takes, without blanks. A blank inside one argument ("R20 00")
// is a quoting slip, and is refused as NotOctal rather than read as R2000.
RegisterInput CheckRegisterWord(std::string_view utf8);
// The number CheckRegisterWord reads, when it finds no problem.
std::optional<unsigned> ParseRegisterName(std::string_view utf8);

// "R2000" for register 02000. Any number, also one above 77777 that a foreign
// header's address names.
std::string RegisterName(unsigned reg);
// "2000": the octal digits alone, as the header builders take a register.
Text RegisterDigits(unsigned reg);

}  // namespace varnak
