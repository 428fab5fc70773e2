#include "input_check.h"

#include "link/codec.h"

namespace varnak {

InputProblem CheckValue(const Text& typed) {
  if (typed.empty()) return InputProblem::Empty;
  for (char32_t c : typed)
    if (HexDigitValue(c) < 0) return InputProblem::NotHex;
  return typed.size() > 4 ? InputProblem::TooLong : InputProblem::None;
}

std::string InputProblemText(const char* what, InputProblem problem, const Text& typed, Translate lang) {
  const std::string w = what;
  const std::string t = ToUtf8(typed.size() > 20 ? typed.substr(0, 20) + U"…" : typed);
  const auto say = [&](const char* key) { return Fill(lang("InputCheck", key), {t}); };
  switch (problem) {
    case InputProblem::None:
      return {};
    case InputProblem::Empty:
      return w == "value"
                 ? say(QT_TRANSLATE_NOOP("InputCheck", "nothing is sent while the value box is empty"))
                 : say(QT_TRANSLATE_NOOP("InputCheck", "the register box is empty"));
    case InputProblem::NotOctal:
      return say(QT_TRANSLATE_NOOP("InputCheck", "register %1 is not octal"));
    case InputProblem::AboveRange:
      return say(QT_TRANSLATE_NOOP("InputCheck", "register %1 is above 77777"));
    case InputProblem::NotHex:
      return say(QT_TRANSLATE_NOOP("InputCheck", "value %1 is not hex"));
    case InputProblem::TooLong:
      return say(QT_TRANSLATE_NOOP("InputCheck", "value %1 has more than four digits"));
  }
  return {};
}

}  // namespace varnak
