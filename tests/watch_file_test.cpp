// The register list as a file: what is taken (line ends, the byte order mark,
// quoted names), every kind of refused file with the line it names, and the
// writer's text reading back as the same list.
#include <gtest/gtest.h>

#include <vector>

#include "link/register_number.h"
#include "watch/watch_file.h"

namespace varnak {
namespace {

using F = RegisterFormat;

struct Good {
  const char* name;
  std::string bytes;
  std::vector<WatchEntry> entries;
};
void PrintTo(const Good& r, std::ostream* os) { *os << r.name; }

const Good kGood[] = {
    {"HeaderOnly", "register,name,format\n", {}},
    {"HeaderWithoutLineEnd", "register,name,format", {}},
    {"OneRow", "register,name,format\nR1000,speed,signed\n", {{01000, "speed", F::Signed}}},
    {"LastRowWithoutLineEnd", "register,name,format\nR1000,speed,signed", {{01000, "speed", F::Signed}}},
    {"Crlf",
     "register,name,format\r\nR1000,a,hex\r\n1001,b,u32\r\n",
     {{01000, "a", F::Hex}, {01001, "b", F::U32}}},
    {"ByteOrderMark", "\xEF\xBB\xBFregister,name,format\nR7,x,binary\n", {{07, "x", F::Binary}}},
    {"HeaderInAnyCaseWithBlanks", "Register , Name , FORMAT\nR7,x,\n", {{07, "x", F::Hex}}},
    {"EmptyFormatIsHex", "register,name,format\nR7,,\n", {{07, "", F::Hex}}},
    {"BlankFormatIsHex", "register,name,format\nR7,x,  \n", {{07, "x", F::Hex}}},
    {"FormatCaseAndBlanksIgnored", "register,name,format\nR7,x, F32 Hi-Lo \n", {{07, "x", F::F32HiLo}}},
    {"RegisterAsTheBoxTakesIt", "register,name,format\n r 0017 ,x,hex\n", {{017, "x", F::Hex}}},
    {"NameKeptAsWritten", "register,name,format\nR7,  two  words ,hex\n", {{07, "  two  words ", F::Hex}}},
    {"QuotedComma", "register,name,format\nR7,\"a, b\",hex\n", {{07, "a, b", F::Hex}}},
    {"DoubledQuotes", "register,name,format\nR7,\"say \"\"hi\"\"\",hex\n", {{07, "say \"hi\"", F::Hex}}},
    {"QuotedEmptyName", "register,name,format\nR7,\"\",hex\n", {{07, "", F::Hex}}},
    {"QuotedRegisterAndFormat", "register,name,format\n\"R7\",x,\"u32 hi-lo\"\n", {{07, "x", F::U32HiLo}}},
    {"QuotedLineBreaks",
     "register,name,format\nR7,\"first\nsecond\r\nthird\",hex\nR10,y,hex\n",
     {{07, "first\nsecond\r\nthird", F::Hex}, {010, "y", F::Hex}}},
    {"QuotedFieldsThenCrlf", "register,name,format\r\nR7,\"x\",\"hex\"\r\n", {{07, "x", F::Hex}}},
    {"ChineseName", "register,name,format\nR2000,出口温度,f32\n", {{02000, "出口温度", F::F32}}},
    {"TrailingEmptyLines", "register,name,format\nR7,x,hex\n\n\r\n  \n", {{07, "x", F::Hex}}},
    {"PairBelowTheTop", "register,name,format\nR77776,x,s32 hi-lo\n", {{077776, "x", F::S32HiLo}}},
    {"SingleAtTheTop", "register,name,format\nR77777,x,signed\n", {{077777, "x", F::Signed}}},
    // A pair may cover a register that has its own row: both are read.
    {"PairOverlapsARow",
     "register,name,format\nR1000,both,u32\nR1001,high,hex\n",
     {{01000, "both", F::U32}, {01001, "high", F::Hex}}},
};

class WatchFileGood : public ::testing::TestWithParam<Good> {};

TEST_P(WatchFileGood, TakenWhole) {
  const Good& r = GetParam();
  const WatchFile f = ParseWatchFile(r.bytes, "list.csv");
  EXPECT_EQ(f.error, "");
  EXPECT_EQ(f.entries, r.entries);
}

INSTANTIATE_TEST_SUITE_P(Rows, WatchFileGood, ::testing::ValuesIn(kGood),
                         [](const auto& info) { return std::string(info.param.name); });

struct Bad {
  const char* name;
  std::string bytes;
  const char* error;
};
void PrintTo(const Bad& r, std::ostream* os) { *os << r.name; }

const std::string kHead = "register,name,format\n";

std::string ManyRows(std::size_t n) {
  std::string s = kHead;
  for (std::size_t i = 0; i < n; ++i) s += RegisterName(static_cast<unsigned>(i)) + ",,hex\n";
  return s;
}

const Bad kBad[] = {
    {"Empty", "", "list.csv: the file is empty"},
    {"OnlyAByteOrderMark", "\xEF\xBB\xBF", "list.csv: the file is empty"},
    {"OnlyLineEnds", "\r\n\n", "list.csv: the file is empty"},
    {"NoHeader", "R1000,a,hex\n", "list.csv:1: the first line must be the header register,name,format"},
    {"WrongHeader", "reg,name,format\n",
     "list.csv:1: the first line must be the header register,name,format"},
    {"HeaderWithAFourthColumn", "register,name,format,unit\n",
     "list.csv:1: the first line must be the header register,name,format"},
    {"NotUtf8", kHead + "R7,a,hex\nR10,\xC3(,hex\n", "list.csv:3: the text is not UTF-8"},
    {"Latin1Name", kHead + "R7,caf\xE9,hex\n", "list.csv:2: the text is not UTF-8"},
    {"OverlongSlash", kHead + "R7,\xC0\xAF,hex\n", "list.csv:2: the text is not UTF-8"},
    {"Surrogate", kHead + "R7,\xED\xA0\x80,hex\n", "list.csv:2: the text is not UTF-8"},
    {"AboveUnicode", kHead + "R7,\xF4\x90\x80\x80,hex\n", "list.csv:2: the text is not UTF-8"},
    {"TruncatedAtTheEnd", kHead + "R7,\xE4\xB8", "list.csv:2: the text is not UTF-8"},
    {"TwoFields", kHead + "R7,a\n", "list.csv:2: a row has 3 fields (register,name,format); this one has 2"},
    {"FourFields", kHead + "R7,a,hex,x\n",
     "list.csv:2: a row has 3 fields (register,name,format); this one has 4"},
    {"EmptyLineAmongRows", kHead + "R7,a,hex\n\nR10,b,hex\n", "list.csv:3: an empty line among the rows"},
    {"RegisterNotOctal", kHead + "R7,a,hex\nR2008,b,hex\n", "list.csv:3: register R2008 is not octal"},
    {"RegisterWithSign", kHead + "-1,b,hex\n", "list.csv:2: register -1 is not octal"},
    {"RegisterAboveRange", kHead + "R100000,b,hex\n", "list.csv:2: register R100000 is above 77777"},
    {"RegisterEmpty", kHead + " ,b,hex\n", "list.csv:2: the register cell is empty"},
    {"RegisterLong", kHead + "R12345678901234567890123,b,hex\n",
     "list.csv:2: register R1234567890123456789… is not octal"},
    {"UnknownFormat", kHead + "R7,a,float\n",
     "list.csv:2: format float is unknown (known: hex, unsigned, signed, binary, u32, s32, f32, u32 hi-lo, "
     "s32 hi-lo, f32 hi-lo)"},
    {"PairPastTheTop", kHead + "R7,a,hex\nR10,b,hex\nR77777,c,u32\n",
     "list.csv:4: u32 at R77777 needs R100000, above R77777"},
    {"DuplicateRegister", kHead + "R1000,a,hex\nR7,b,hex\n01000,c,signed\n",
     "list.csv:4: register R1000 is already on line 2"},
    {"UnterminatedQuote", kHead + "R7,\"open\nR10,b,hex\n",
     "list.csv:2: a quote opened here is never closed"},
    {"QuoteInsideAPlainField", kHead + "R7,ab\"c,hex\n",
     "list.csv:2: a quote inside a field that does not begin with one (quote the whole field and write the "
     "quote twice)"},
    {"TextAfterAClosingQuote", kHead + "R7,\"ab\"c,hex\n",
     "list.csv:2: text after a closing quote (a quote inside a quoted field is written twice)"},
    // Line numbers follow the file's lines, also past a name with line breaks in it.
    {"LineNumbersPastAQuotedLineBreak", kHead + "R7,\"one\ntwo\r\nthree\",hex\nR8,b,hex\n",
     "list.csv:5: register R8 is not octal"},
    {"LineNumbersWithCrlf", "register,name,format\r\nR7,a,hex\r\nR9,b,hex\r\n",
     "list.csv:3: register R9 is not octal"},
    {"LineNumbersAfterAByteOrderMark", "\xEF\xBB\xBF" + kHead + "R9,b,hex\n",
     "list.csv:2: register R9 is not octal"},
    {"TooManyRows", ManyRows(kMaxWatchRows + 1), "list.csv:1002: more than 1000 rows"},
};

class WatchFileBad : public ::testing::TestWithParam<Bad> {};

TEST_P(WatchFileBad, RefusedWholeNamingTheLine) {
  const Bad& r = GetParam();
  const WatchFile f = ParseWatchFile(r.bytes, "list.csv");
  EXPECT_EQ(f.error, r.error);
  EXPECT_TRUE(f.entries.empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, WatchFileBad, ::testing::ValuesIn(kBad),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WatchFile, MostRowsAreTaken) {
  const WatchFile f = ParseWatchFile(ManyRows(kMaxWatchRows), "list.csv");
  EXPECT_EQ(f.error, "");
  EXPECT_EQ(f.entries.size(), kMaxWatchRows);
}

std::string Marked(const char* context, const char* key) { return std::string("<") + context + ">" + key; }

TEST(WatchFile, ReasonsGoThroughTheTranslation) {
  EXPECT_EQ(ParseWatchFile(kHead + "R9,,\n", "l.csv", Marked).error,
            "l.csv:2: <WatchFile>register R9 is not octal");
  EXPECT_EQ(ParseWatchFile("", "l.csv", Marked).error, "l.csv: <WatchFile>the file is empty");
}

TEST(WatchFile, WriterQuotesOnlyWhereNeeded) {
  const std::vector<WatchEntry> entries = {{02000, "speed", F::Hex},
                                           {07, "a, b", F::U32HiLo},
                                           {010, "say \"hi\"", F::Signed},
                                           {011, "two\nlines", F::F32},
                                           {012, "", F::Binary}};
  EXPECT_EQ(FormatWatchFile(entries),
            "register,name,format\n"
            "R2000,speed,hex\n"
            "R7,\"a, b\",u32 hi-lo\n"
            "R10,\"say \"\"hi\"\"\",signed\n"
            "R11,\"two\nlines\",f32\n"
            "R12,,binary\n");
}

TEST(WatchFile, WrittenListReadsBackAsItWas) {
  std::vector<WatchEntry> entries;
  const char* names[] = {"",           "plain",    "a,b",      "\"", "\"\"x\"", "line\nbreak",
                         "cr\rlf\r\n", " blanks ", "出口温度", ",",  "\n",      "trailing cr\r"};
  for (unsigned i = 0; i < 200; ++i) {
    const auto format = static_cast<F>(i % kRegisterFormatCount);
    entries.push_back({i * 37 % 077777, names[i % std::size(names)], format});
  }
  entries.push_back({077777, "top", F::Signed});
  const WatchFile back = ParseWatchFile(FormatWatchFile(entries), "x.csv");
  EXPECT_EQ(back.error, "");
  EXPECT_EQ(back.entries, entries);
  EXPECT_EQ(FormatWatchFile(back.entries), FormatWatchFile(entries));
  EXPECT_EQ(ParseWatchFile(FormatWatchFile({}), "x.csv").error, "");
}

}  // namespace
}  // namespace varnak
