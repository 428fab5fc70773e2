// The one reading and writing of register numbers: a box or a file cell
// (CheckRegister) and one word of a command line (CheckRegisterWord) take the
// same numbers for the same reasons, except that a word holds no blanks.
#include <gtest/gtest.h>

#include "link/register_number.h"

namespace varnak {
namespace {

struct Row {
  const char* name;
  const char* typed;  // UTF-8
  InputProblem box;   // CheckRegister
  InputProblem word;  // CheckRegisterWord
  unsigned number;    // when accepted
  const char* digits;
};

const Row kRows[] = {
    {"Plain", "2000", InputProblem::None, InputProblem::None, 02000, "2000"},
    {"WithR", "R2000", InputProblem::None, InputProblem::None, 02000, "2000"},
    {"LowerCaseR", "r17", InputProblem::None, InputProblem::None, 017, "17"},
    {"Zero", "0", InputProblem::None, InputProblem::None, 0, "0"},
    {"ZeroWithR", "R0", InputProblem::None, InputProblem::None, 0, "0"},
    {"AllZeros", "R0000000", InputProblem::None, InputProblem::None, 0, "0"},
    {"Highest", "77777", InputProblem::None, InputProblem::None, 077777, "77777"},
    {"LeadingZerosDoNotCount", "0000077777", InputProblem::None, InputProblem::None, 077777, "77777"},
    {"BlanksAround", " R2000 ", InputProblem::None, InputProblem::NotOctal, 02000, "2000"},
    {"BlankInside", "R20 00", InputProblem::None, InputProblem::NotOctal, 02000, "2000"},
    {"TabAfterR", "r\t7", InputProblem::None, InputProblem::NotOctal, 07, "7"},
    {"Empty", "", InputProblem::Empty, InputProblem::Empty, 0, ""},
    {"OnlyBlanks", "   ", InputProblem::Empty, InputProblem::NotOctal, 0, ""},
    {"OnlyR", "R", InputProblem::Empty, InputProblem::Empty, 0, ""},
    {"TwoRs", "RR7", InputProblem::NotOctal, InputProblem::NotOctal, 0, ""},
    {"RAfterDigits", "7R", InputProblem::NotOctal, InputProblem::NotOctal, 0, ""},
    {"DigitEight", "2008", InputProblem::NotOctal, InputProblem::NotOctal, 0, ""},
    {"DigitNine", "R9", InputProblem::NotOctal, InputProblem::NotOctal, 0, ""},
    {"MinusSign", "-1", InputProblem::NotOctal, InputProblem::NotOctal, 0, ""},
    {"PlusSign", "+1", InputProblem::NotOctal, InputProblem::NotOctal, 0, ""},
    {"HexPrefix", "0x10", InputProblem::NotOctal, InputProblem::NotOctal, 0, ""},
    {"FullWidthDigit", "\xEF\xBC\x91", InputProblem::NotOctal, InputProblem::NotOctal, 0, ""},
    {"NotUtf8", "\xFF", InputProblem::NotOctal, InputProblem::NotOctal, 0, ""},
    {"CarriageReturn", "7\r", InputProblem::NotOctal, InputProblem::NotOctal, 0, ""},
    {"AboveRange", "100000", InputProblem::AboveRange, InputProblem::AboveRange, 0, ""},
    {"FarAboveRange", "177776", InputProblem::AboveRange, InputProblem::AboveRange, 0, ""},
    {"SevenDigits", "1234567", InputProblem::AboveRange, InputProblem::AboveRange, 0, ""},
    // The first bad character decides, wherever the number would end.
    {"NotOctalBeatsAboveRange", "1000008", InputProblem::NotOctal, InputProblem::NotOctal, 0, ""},
};

void PrintTo(const Row& r, std::ostream* os) { *os << r.name; }

class RegisterNumber : public ::testing::TestWithParam<Row> {};

TEST_P(RegisterNumber, BoxAndWordReadAsDocumented) {
  const Row& r = GetParam();
  const RegisterInput box = CheckRegister(FromUtf8(r.typed));
  EXPECT_EQ(box.problem, r.box);
  if (r.box == InputProblem::None) {
    EXPECT_EQ(box.number, r.number);
    EXPECT_EQ(ToUtf8(box.digits), r.digits);
  }
  const RegisterInput word = CheckRegisterWord(r.typed);
  EXPECT_EQ(word.problem, r.word);
  EXPECT_EQ(ParseRegisterName(r.typed).has_value(), r.word == InputProblem::None);
  if (r.word == InputProblem::None) {
    EXPECT_EQ(word.number, r.number);
    EXPECT_EQ(ParseRegisterName(r.typed), r.number);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, RegisterNumber, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RegisterNumberWriting, NamesAndDigits) {
  const struct {
    unsigned reg;
    const char* name;
  } rows[] = {{0, "R0"},
              {07, "R7"},
              {010, "R10"},
              {02000, "R2000"},
              {077777, "R77777"},
              // A foreign header's address may name a register the boxes cannot.
              {0100000, "R100000"},
              {0177776, "R177776"}};
  for (const auto& r : rows) {
    EXPECT_EQ(RegisterName(r.reg), r.name);
    EXPECT_EQ(ToUtf8(RegisterDigits(r.reg)), r.name + 1);
  }
}

// Every register a box can name is written as a text that reads back as it.
TEST(RegisterNumberWriting, EveryRegisterReadsBack) {
  for (unsigned reg = 0; reg <= kMaxRegister; ++reg) {
    ASSERT_EQ(ParseRegisterName(RegisterName(reg)), reg);
    ASSERT_EQ(CheckRegister(RegisterDigits(reg)).number, reg);
  }
  EXPECT_FALSE(ParseRegisterName(RegisterName(kMaxRegister + 1)));
}

}  // namespace
}  // namespace varnak
