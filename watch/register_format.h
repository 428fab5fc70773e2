// How a watched register is shown and typed. One register (16 bits) or a pair:
// the register named and the next one, read as a 32-bit value. The two bytes of
// one register go on the line low byte first, so a pair takes its words in the
// same order by default: the register named holds the low word. The "hi-lo"
// formats take the other word order.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "link/words.h"

namespace varnak {

enum class RegisterFormat {
  Hex,       // "00A5": four digits, high byte first, as the read box shows
  Unsigned,  // 0..65535
  Signed,    // -32768..32767, two's complement
  Binary,    // 16 digits, bit 0 at the right
  U32,       // the register (low word) and the next one (high word)
  S32,
  F32,      // IEEE 754 single precision
  U32HiLo,  // the register holds the high word
  S32HiLo,
  F32HiLo,
};
constexpr int kRegisterFormatCount = static_cast<int>(RegisterFormat::F32HiLo) + 1;

// Whether the format spans the register and the next one.
bool IsPair(RegisterFormat format);
// Whether a pair format holds its high word in the register named (the hi-lo formats).
bool IsHighWordFirst(RegisterFormat format);
// "hex", "unsigned", "signed", "binary", "u32", "s32", "f32", "u32 hi-lo", "s32 hi-lo", "f32 hi-lo".
const char* FormatName(RegisterFormat format);
// The format of a name as FormatName gives it (surrounding blanks and case ignored); none when unknown.
std::optional<RegisterFormat> ParseFormat(std::string_view name);

// Why the format cannot start at register `reg` (a pair whose second register
// would pass 77777: "u32 at R77777 needs R100000, above R77777"); empty when it can.
std::string PairProblem(RegisterFormat format, unsigned reg, Translate lang = English);

// The value as shown. `first` is the register named, `second` the next one (used only by pair formats).
std::string FormatValue(RegisterFormat format, std::uint16_t first, std::uint16_t second = 0);

// A value typed for a row of this format: the words to write (`second` only for a pair),
// or why it cannot be written ("value 70000 does not fit unsigned"), in the operator's language by `lang`.
struct TypedValue {
  bool ok = false;
  std::uint16_t first = 0;
  std::uint16_t second = 0;
  std::string problem;  // when !ok
};
TypedValue ParseValue(RegisterFormat format, std::string_view typed, Translate lang = English);

}  // namespace varnak
