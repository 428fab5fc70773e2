// How a watched register is shown and typed: every format's text for known
// words, every refusal with its reason, and the round trip both ways for every
// 16-bit word and a spread of 32-bit ones (f32 bit for bit).
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "watch/register_format.h"

namespace varnak {
namespace {

using F = RegisterFormat;

std::uint32_t Bits(float f) {
  std::uint32_t b;
  std::memcpy(&b, &f, sizeof b);
  return b;
}

TEST(RegisterFormatNames, EveryNameReadsBack) {
  for (int i = 0; i < kRegisterFormatCount; ++i) {
    const auto f = static_cast<F>(i);
    EXPECT_EQ(ParseFormat(FormatName(f)), f) << FormatName(f);
  }
  EXPECT_EQ(ParseFormat("  U32 HI-LO\t"), F::U32HiLo);
  EXPECT_EQ(ParseFormat("Hex"), F::Hex);
  for (const char* bad : {"", "u32hi-lo", "u32  hi-lo", "float", "int16", "hex,", "u 32"})
    EXPECT_FALSE(ParseFormat(bad)) << bad;
  const bool pair[] = {false, false, false, false, true, true, true, true, true, true};
  for (int i = 0; i < kRegisterFormatCount; ++i) EXPECT_EQ(IsPair(static_cast<F>(i)), pair[i]) << i;
}

TEST(RegisterFormatNames, APairNeedsTheNextRegister) {
  EXPECT_EQ(PairProblem(F::F32HiLo, 077777), "f32 hi-lo at R77777 needs R100000, above R77777");
  EXPECT_EQ(PairProblem(F::U32, 077776), "");
  EXPECT_EQ(PairProblem(F::Signed, 077777), "");
}

struct Shown {
  const char* name;
  F format;
  std::uint16_t first, second;
  const char* text;
};
void PrintTo(const Shown& r, std::ostream* os) { *os << r.name; }

const Shown kShown[] = {
    {"HexFourDigitsHighByteFirst", F::Hex, 0x00A5, 0, "00A5"},
    {"HexUpperCase", F::Hex, 0xBEEF, 0, "BEEF"},
    {"UnsignedTop", F::Unsigned, 0xFFFF, 0, "65535"},
    {"UnsignedZero", F::Unsigned, 0, 0, "0"},
    {"SignedMinusTwo", F::Signed, 0xFFFE, 0, "-2"},
    {"SignedLowest", F::Signed, 0x8000, 0, "-32768"},
    {"SignedHighest", F::Signed, 0x7FFF, 0, "32767"},
    {"BinaryBitZeroAtTheRight", F::Binary, 0x0001, 0, "0000000000000001"},
    {"BinaryHighBitAtTheLeft", F::Binary, 0x8005, 0, "1000000000000101"},
    {"U32LowWordInTheRegisterNamed", F::U32, 0x0001, 0x0002, "131073"},
    {"U32HiLoHighWordInTheRegisterNamed", F::U32HiLo, 0x0001, 0x0002, "65538"},
    {"U32Top", F::U32, 0xFFFF, 0xFFFF, "4294967295"},
    {"S32MinusOne", F::S32, 0xFFFF, 0xFFFF, "-1"},
    {"S32Lowest", F::S32, 0x0000, 0x8000, "-2147483648"},
    {"S32HiLoLowest", F::S32HiLo, 0x8000, 0x0000, "-2147483648"},
    {"F32OneAndAHalf", F::F32, 0x0000, 0x3FC0, "1.5"},
    {"F32HiLoOneAndAHalf", F::F32HiLo, 0x3FC0, 0x0000, "1.5"},
    {"F32ShortestText", F::F32, static_cast<std::uint16_t>(Bits(0.1f)),
     static_cast<std::uint16_t>(Bits(0.1f) >> 16), "0.1"},
    {"F32MinusZero", F::F32, 0x0000, 0x8000, "-0"},
    {"F32Largest", F::F32, 0xFFFF, 0x7F7F, "3.4028235e+38"},
    {"F32SmallestDenormal", F::F32, 0x0001, 0x0000, "1e-45"},
    {"F32Infinity", F::F32, 0x0000, 0x7F80, "inf"},
    {"F32MinusInfinity", F::F32, 0x0000, 0xFF80, "-inf"},
    {"F32QuietNan", F::F32, 0x0000, 0x7FC0, "nan"},
    {"F32NegativeSignallingNan", F::F32, 0x0001, 0xFF80, "nan"},
};

class RegisterFormatShown : public ::testing::TestWithParam<Shown> {};

TEST_P(RegisterFormatShown, AsDocumented) {
  const Shown& r = GetParam();
  EXPECT_EQ(FormatValue(r.format, r.first, r.second), r.text);
}

INSTANTIATE_TEST_SUITE_P(Rows, RegisterFormatShown, ::testing::ValuesIn(kShown),
                         [](const auto& info) { return std::string(info.param.name); });

struct Typed {
  const char* name;
  F format;
  const char* typed;
  std::uint16_t first, second;  // when taken
  const char* problem;          // "" when taken
};
void PrintTo(const Typed& r, std::ostream* os) { *os << r.name; }

const Typed kTyped[] = {
    {"HexOneDigit", F::Hex, "5", 0x0005, 0, ""},
    {"HexLowerCase", F::Hex, "beef", 0xBEEF, 0, ""},
    {"HexBlanksAround", F::Hex, " \t00a5 ", 0x00A5, 0, ""},
    {"HexNotHex", F::Hex, "12G4", 0, 0, "value 12G4 is not hex"},
    {"HexNoPrefix", F::Hex, "0x12", 0, 0, "value 0x12 is not hex"},
    {"HexBlankInside", F::Hex, "12 34", 0, 0, "value 12 34 is not hex"},
    {"HexFiveDigits", F::Hex, "00012", 0, 0, "value 00012 has more than 4 digits"},
    {"HexEmpty", F::Hex, "  ", 0, 0, "no value typed for hex"},
    {"UnsignedTop", F::Unsigned, "65535", 0xFFFF, 0, ""},
    {"UnsignedLeadingZeros", F::Unsigned, "000042", 42, 0, ""},
    {"UnsignedAbove", F::Unsigned, "70000", 0, 0, "value 70000 does not fit unsigned (0 to 65535)"},
    {"UnsignedNegative", F::Unsigned, "-1", 0, 0, "value -1 does not fit unsigned (0 to 65535)"},
    {"UnsignedMinusZero", F::Unsigned, "-0", 0, 0, ""},
    {"UnsignedPlusSign", F::Unsigned, "+1", 0, 0, "value +1 is not a whole number"},
    {"UnsignedFraction", F::Unsigned, "1.5", 0, 0, "value 1.5 is not a whole number"},
    {"UnsignedHuge", F::Unsigned, "99999999999999999999999", 0, 0,
     "value 99999999999999999999… does not fit unsigned (0 to 65535)"},
    {"SignedMinusTwoWritesFFFE", F::Signed, "-2", 0xFFFE, 0, ""},
    {"SignedLowest", F::Signed, "-32768", 0x8000, 0, ""},
    {"SignedBelow", F::Signed, "-32769", 0, 0, "value -32769 does not fit signed (-32768 to 32767)"},
    {"SignedAbove", F::Signed, "32768", 0, 0, "value 32768 does not fit signed (-32768 to 32767)"},
    {"SignedOnlyMinus", F::Signed, "-", 0, 0, "value - is not a whole number"},
    {"BinaryShort", F::Binary, "101", 5, 0, ""},
    {"BinarySixteen", F::Binary, "1000000000000001", 0x8001, 0, ""},
    {"BinarySeventeen", F::Binary, "10000000000000000", 0, 0,
     "value 10000000000000000 has more than 16 digits"},
    {"BinaryNotBinary", F::Binary, "102", 0, 0, "value 102 is not binary"},
    {"U32SplitLowWordFirst", F::U32, "65538", 0x0002, 0x0001, ""},
    {"U32HiLoSplitHighWordFirst", F::U32HiLo, "65538", 0x0001, 0x0002, ""},
    {"U32Top", F::U32, "4294967295", 0xFFFF, 0xFFFF, ""},
    {"U32Above", F::U32, "4294967296", 0, 0, "value 4294967296 does not fit u32 (0 to 4294967295)"},
    {"S32MinusOne", F::S32, "-1", 0xFFFF, 0xFFFF, ""},
    {"S32HiLoLowest", F::S32HiLo, "-2147483648", 0x8000, 0x0000, ""},
    {"S32Below", F::S32, "-2147483649", 0, 0,
     "value -2147483649 does not fit s32 (-2147483648 to 2147483647)"},
    {"F32OneAndAHalf", F::F32, "1.5", 0x0000, 0x3FC0, ""},
    {"F32HiLoOneAndAHalf", F::F32HiLo, " 1.5 ", 0x3FC0, 0x0000, ""},
    {"F32Exponent", F::F32, "-2.5e3", 0x4000, 0xC51C, ""},
    {"F32Infinity", F::F32, "inf", 0x0000, 0x7F80, ""},
    {"F32MinusInfinity", F::F32, "-INF", 0x0000, 0xFF80, ""},
    {"F32MinusZero", F::F32, "-0", 0x0000, 0x8000, ""},
    {"F32NanRefused", F::F32, "nan", 0, 0, "value nan is not a number"},
    {"F32InfinityWordRefused", F::F32, "infinity", 0, 0, "value infinity is not a number"},
    {"F32Letters", F::F32, "1.5x", 0, 0, "value 1.5x is not a number"},
    {"F32HexFloat", F::F32, "0x1p3", 0, 0, "value 0x1p3 is not a number"},
    {"F32Comma", F::F32, "1,5", 0, 0, "value 1,5 is not a number"},
    {"F32TooLarge", F::F32, "1e39", 0, 0, "value 1e39 does not fit f32"},
    {"F32TooSmall", F::F32, "1e-50", 0, 0, "value 1e-50 does not fit f32"},
    {"F32Empty", F::F32HiLo, "", 0, 0, "no value typed for f32 hi-lo"},
};

class RegisterFormatTyped : public ::testing::TestWithParam<Typed> {};

TEST_P(RegisterFormatTyped, TakenOrRefusedWithAReason) {
  const Typed& r = GetParam();
  const TypedValue v = ParseValue(r.format, r.typed);
  EXPECT_EQ(v.ok, !*r.problem) << v.problem;
  EXPECT_EQ(v.problem, r.problem);
  if (v.ok) {
    EXPECT_EQ(v.first, r.first);
    EXPECT_EQ(v.second, r.second);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, RegisterFormatTyped, ::testing::ValuesIn(kTyped),
                         [](const auto& info) { return std::string(info.param.name); });

std::string Marked(const char* context, const char* key) { return std::string("<") + context + ">" + key; }

TEST(RegisterFormatLanguage, ReasonGoesThroughTheTranslation) {
  EXPECT_EQ(ParseValue(F::Unsigned, "70000", Marked).problem,
            "<RegisterFormat>value 70000 does not fit unsigned (0 to 65535)");
}

// Every word of a single-register format, shown and typed back, is the same word.
TEST(RegisterFormatRoundTrip, EverySixteenBitWord) {
  for (const F f : {F::Hex, F::Unsigned, F::Signed, F::Binary}) {
    for (unsigned w = 0; w <= 0xFFFF; ++w) {
      const std::string text = FormatValue(f, static_cast<std::uint16_t>(w));
      const TypedValue v = ParseValue(f, text);
      ASSERT_TRUE(v.ok) << FormatName(f) << " " << text << ": " << v.problem;
      ASSERT_EQ(v.first, w) << FormatName(f) << " " << text;
      ASSERT_EQ(FormatValue(f, v.first), text);
    }
  }
}

// Pairs: the edges, every exponent of a float with several mantissas, and a
// spread of pseudo-random words; NaNs are shown as "nan" and refused when typed.
TEST(RegisterFormatRoundTrip, PairsBitForBit) {
  std::vector<std::uint32_t> words = {0,          1,          0xFFFF,     0x10000,    0x7FFFFFFF,
                                      0x80000000, 0xFFFFFFFF, 0x00000001, 0x007FFFFF, 0x00800000,
                                      0x7F7FFFFF, 0x7F800000, 0xFF800000, 0x80000001};
  for (std::uint32_t exponent = 0; exponent < 256; ++exponent)
    for (std::uint32_t m : {0u, 1u, 0x400000u, 0x7FFFFFu, 0x123456u})
      for (std::uint32_t sign : {0u, 0x80000000u}) words.push_back(sign | exponent << 23 | m);
  std::uint32_t x = 12345;
  for (int i = 0; i < 200000; ++i) {
    x = x * 1664525u + 1013904223u;
    words.push_back(x);
  }
  int nans = 0;
  for (const F f : {F::U32, F::S32, F::F32, F::U32HiLo, F::S32HiLo, F::F32HiLo}) {
    for (const std::uint32_t w : words) {
      const auto a = static_cast<std::uint16_t>(w), b = static_cast<std::uint16_t>(w >> 16);
      const std::string text = FormatValue(f, a, b);
      const TypedValue v = ParseValue(f, text);
      if (text == "nan") {
        ++nans;
        ASSERT_FALSE(v.ok);
        continue;
      }
      ASSERT_TRUE(v.ok) << FormatName(f) << " " << text << ": " << v.problem;
      ASSERT_EQ(v.first, a) << FormatName(f) << " " << text;
      ASSERT_EQ(v.second, b) << FormatName(f) << " " << text;
    }
  }
  EXPECT_GT(nans, 0);
}

// Typed text in its shortest form comes back as typed.
TEST(RegisterFormatRoundTrip, CanonicalTextsComeBackAsTyped) {
  const struct {
    F format;
    const char* text;
  } rows[] = {{F::Hex, "FFFE"},
              {F::Unsigned, "65534"},
              {F::Signed, "-2"},
              {F::Binary, "0101010101010101"},
              {F::U32, "4000000000"},
              {F::S32, "-123456789"},
              {F::F32, "0.1"},
              {F::F32HiLo, "-1.25e-20"},
              {F::F32, "16777216"},
              {F::F32, "inf"},
              {F::S32HiLo, "2147483647"},
              {F::U32HiLo, "65536"}};
  for (const auto& r : rows) {
    const TypedValue v = ParseValue(r.format, r.text);
    ASSERT_TRUE(v.ok) << r.text << ": " << v.problem;
    EXPECT_EQ(FormatValue(r.format, v.first, v.second), r.text);
  }
}

}  // namespace
}  // namespace varnak
