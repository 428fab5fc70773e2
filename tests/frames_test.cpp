// The worked examples of the codec and the frame builders, byte for byte, and
// the invariants that must hold whatever the operator types.
#include <gtest/gtest.h>

#include <random>

#include "link/codec.h"
#include "link/frames.h"

namespace varnak {
namespace {

enum class Op { ToAsc, Lrc, Bytes, Address, Normalise, WriteHeader, ReadHeader, DataBlock };

struct Example {
  const char* name;
  Op op;
  Text input;
  std::string expected;  // a text, or bytes as "4E 21 05"
};

std::string Apply(Op op, const Text& in) {
  switch (op) {
    case Op::ToAsc:
      return ToUtf8(ToAsc(in));
    case Op::Lrc:
      return ToUtf8(Lrc(in));
    case Op::Bytes:
      return BytesToHex(HexTextToBytes(in));
    case Op::Address:
      return ToUtf8(AddressDigits(in));
    case Op::Normalise:
      return ToUtf8(NormaliseValue(in));
    case Op::WriteHeader:
      return BytesToHex(HexTextToBytes(BuildWriteHeader(in).sendText));
    case Op::ReadHeader:
      return ToUtf8(BuildReadHeader(in).sendText);
    case Op::DataBlock:
      return BytesToHex(HexTextToBytes(BuildDataBlock(NormaliseValue(in)).sendText));
  }
  return {};
}

void PrintTo(const Example& e, std::ostream* os) { *os << e.name; }

class WorkedExample : public ::testing::TestWithParam<Example> {};

TEST_P(WorkedExample, HoldsByteForByte) {
  const Example& e = GetParam();
  EXPECT_EQ(Apply(e.op, e.input), e.expected);
}

const Example kExamples[] = {
    {"ToAscAddress", Op::ToAsc, U"0401", "30343031"},
    {"ToAscEmpty", Op::ToAsc, U"", ""},
    {"ToAscDigits", Op::ToAsc, U"09AF", "30394146"},
    {"ToAscLetters", Op::ToAsc, U"00FF", "30304646"},
    {"LrcTwoPairs", Op::Lrc, U"3031", "01"},
    {"LrcFourPairs", Op::Lrc, U"30313831", "08"},
    {"LrcDataPair", Op::Lrc, U"3412", "26"},
    {"LrcSinglePair", Op::Lrc, U"30", "30"},
    {"LrcSinglePairLowerCase", Op::Lrc, U"0a", "0A"},
    {"LrcReadHeader2000", Op::Lrc, U"3031303130343031303030323031", "06"},
    {"LrcWriteHeader2000", Op::Lrc, U"3031383130343031303030323031", "0E"},
    {"LrcPollHeader", Op::Lrc, U"3031303330313031303030323031", "01"},
    {"LrcHexLetters", Op::Lrc, U"00FF", "FF"},
    {"LrcEmpty", Op::Lrc, U"", "00"},
    {"BytesEnquiry", Op::Bytes, U"4e2105", "4E 21 05"},
    {"BytesStopsAtNonHex", Op::Bytes, U"4g", "04"},
    {"BytesNoDigits", Op::Bytes, U"zz", "00"},
    {"BytesBlankSkipped", Op::Bytes, U" 5", "05"},
    {"BytesOddLengthDropsLast", Op::Bytes, U"123", "12"},
    {"BytesEmpty", Op::Bytes, U"", ""},
    {"Address2000", Op::Address, U"2000", "0401"},
    {"AddressSeven", Op::Address, U"7", "0008"},
    {"AddressEmpty", Op::Address, U"", "0001"},
    {"AddressTopOfRange", Op::Address, U"77777", "8000"},
    {"AddressTooLarge", Op::Address, U"177777", "0000"},
    {"AddressStopsAtNonOctal", Op::Address, U"2080", "0011"},
    {"AddressBlanksSkipped", Op::Address, U" 2 000", "0401"},
    {"AddressHugeNumber", Op::Address, Text(100000, U'7'), "0000"},
    {"WriteHeader2000", Op::WriteHeader, U"2000", "01 30 31 38 31 30 34 30 31 30 30 30 32 30 31 17 0E"},
    {"ReadHeader2000", Op::ReadHeader, U"2000", "0130313031303430313030303230311706"},
    {"NormaliseOne", Op::Normalise, U"5", "0005"},
    {"NormaliseTwo", Op::Normalise, U"00", "0000"},
    {"NormaliseThree", Op::Normalise, U"123", "0123"},
    {"NormaliseFour", Op::Normalise, U"1234", "1234"},
    {"NormaliseTooLong", Op::Normalise, U"123456", "0000"},
    {"NormaliseEmpty", Op::Normalise, U"", ""},
    {"DataBlock1234", Op::DataBlock, U"1234", "02 34 12 03 26"},
    {"DataBlockFive", Op::DataBlock, U"5", "02 05 00 03 05"},
    {"DataBlockHexLetters", Op::DataBlock, U"00FF", "02 FF 00 03 FF"},
    {"DataBlockEmptySendsNothing", Op::DataBlock, U"", ""},
    {"DataBlockChinese", Op::DataBlock, U"中文ab", "02 AB 00 03 AB"},
};

INSTANTIATE_TEST_SUITE_P(Link, WorkedExample, ::testing::ValuesIn(kExamples),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Frames, DataBlockTextMatchesTheWorkedExample) {
  EXPECT_EQ(BuildDataBlock(U"1234").sendText, U"0234120326");
  EXPECT_EQ(BuildDataBlock(U"1234").frameText, U"3412");
}

TEST(Frames, PollHeaderConstantCarriesItsOwnCheckByte) {
  const Bytes b = HexTextToBytes(kPollHeaderText);
  ASSERT_EQ(b.size(), 17u);
  std::uint8_t x = 0;
  for (int i = 1; i <= 14; ++i) x ^= b[i];
  EXPECT_EQ(x, b[16]);
}

// Whatever the boxes hold, a header is 17 bytes and a data block 5, and the
// check byte is the XOR of what is actually sent.
TEST(Frames, LengthsAndCheckBytesHoldForAnyText) {
  std::mt19937 rng(7);
  const std::u32string alphabet = U"0123456789abcdefABCDEFgxyz -+.,\t\n中文字符\U0001F600\u00e9\u0000";
  std::vector<Text> inputs = {U"", U" ", U"中", U"中文中文", Text(1 << 20, U'8'), Text(1 << 20, U'文')};
  for (int n = 0; n < 2000; ++n) {
    Text t(rng() % 9, U' ');
    for (char32_t& c : t) c = alphabet[rng() % alphabet.size()];
    inputs.push_back(t);
  }
  for (const Text& in : inputs) {
    for (const Text& header : {BuildWriteHeader(in).sendText, BuildReadHeader(in).sendText}) {
      const Bytes b = HexTextToBytes(header);
      ASSERT_EQ(b.size(), 17u) << ToUtf8(in);
      std::uint8_t x = 0;
      for (int i = 1; i <= 14; ++i) x ^= b[i];
      EXPECT_EQ(b[0], kSoh);
      EXPECT_EQ(b[15], kEtb);
      EXPECT_EQ(b[16], x) << ToUtf8(in);
    }
    const Text value = NormaliseValue(in);
    const Bytes d = HexTextToBytes(BuildDataBlock(value).sendText);
    if (value.empty()) {
      EXPECT_TRUE(d.empty());
      continue;
    }
    ASSERT_EQ(d.size(), 5u) << ToUtf8(in);
    EXPECT_EQ(d[0], kStx);
    EXPECT_EQ(d[3], kEtx);
    EXPECT_EQ(d[4], d[1] ^ d[2]) << ToUtf8(in);
  }
}

TEST(Text, Utf8RoundTripAndMalformedInput) {
  const Text t = U"Varnak协议通讯 \U0001F600";
  EXPECT_EQ(FromUtf8(ToUtf8(t)), t);
  EXPECT_EQ(FromUtf8("\xff"
                     "a\xe4"),
            U"\uFFFD"
            U"a\uFFFD");
}

}  // namespace
}  // namespace varnak
