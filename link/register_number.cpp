#include "register_number.h"

#include <algorithm>

#include "link/codec.h"

namespace varnak {

namespace {

constexpr std::size_t kMaxRegisterDigits = 5;  // 77777

}  // namespace

RegisterInput CheckRegister(const Text& typed) {
  Text digits;
  bool seenR = false;
  for (char32_t c : typed) {
    if (IsBlank(c)) continue;
    if ((c == U'R' || c == U'r') && digits.empty() && !seenR) {
      seenR = true;
      continue;
    }
    if (c < U'0' || c > U'7') return {InputProblem::NotOctal, {}, 0};
    digits.push_back(c);
  }
  if (digits.empty()) return {InputProblem::Empty, {}, 0};
  // Leading zeros do not make a number larger.
  std::size_t first = digits.find_first_not_of(U'0');
  if (first != Text::npos && digits.size() - first > kMaxRegisterDigits)
    return {InputProblem::AboveRange, {}, 0};
  if (first == Text::npos) first = digits.size() - 1;
  RegisterInput in{InputProblem::None, digits.substr(first), 0};
  for (char32_t c : in.digits) in.number = in.number * 8 + static_cast<unsigned>(c - U'0');
  return in;
}

RegisterInput CheckRegisterWord(std::string_view utf8) {
  const Text typed = FromUtf8(utf8);
  if (std::any_of(typed.begin(), typed.end(), IsBlank)) return {InputProblem::NotOctal, {}, 0};
  return CheckRegister(typed);
}

std::optional<unsigned> ParseRegisterName(std::string_view utf8) {
  const RegisterInput in = CheckRegisterWord(utf8);
  if (in.problem != InputProblem::None) return std::nullopt;
  return in.number;
}

Text RegisterDigits(unsigned reg) {
  Text digits;
  do {
    digits.insert(digits.begin(), static_cast<char32_t>(U'0' + (reg & 7)));
    reg >>= 3;
  } while (reg);
  return digits;
}

std::string RegisterName(unsigned reg) { return "R" + ToUtf8(RegisterDigits(reg)); }

}  // namespace varnak
