// What `varnak read` prints for one register: every shape of line, and names
// that JSON must escape.
#include <gtest/gtest.h>

#include "cli/read_lines.h"

namespace varnak::cli {
namespace {

using F = RegisterFormat;

TEST(ReadLines, EveryShape) {
  const ReadStyle plain{}, json{true, false, false}, described{true, true, false}, named{true, true, true};
  const struct {
    const char* name;
    ReadItem item;
    std::uint16_t first, second;
    ReadStyle style;
    const char* line;
  } rows[] = {
      {"DefaultIsFourHexDigits", {02000, "", F::Hex}, 0x1234, 0, plain, "1234"},
      {"FormatAlone", {02000, "", F::Signed}, 0xFFFE, 0, plain, "-2"},
      {"PairAlone", {02000, "", F::F32}, 0x0000, 0x3FC0, plain, "1.5"},
      {"JsonAsBefore",
       {02000, "", F::Hex},
       0x000A,
       0,
       json,
       "{\"register\": \"R2000\", \"value\": \"000A\"}"},
      {"JsonWithTheFormat",
       {07, "", F::Signed},
       0xFFFE,
       0,
       described,
       "{\"register\": \"R7\", \"format\": \"signed\", \"value\": \"-2\", \"words\": [\"FFFE\"]}"},
      {"JsonPairGivesBothWords",
       {07, "", F::U32HiLo},
       0x0001,
       0x0002,
       described,
       "{\"register\": \"R7\", \"format\": \"u32 hi-lo\", \"value\": \"65538\", \"words\": [\"0001\", "
       "\"0002\"]}"},
      {"JsonFromAList",
       {010, "speed", F::Hex},
       0x00FF,
       0,
       named,
       "{\"register\": \"R10\", \"name\": \"speed\", \"format\": \"hex\", \"value\": \"00FF\", \"words\": "
       "[\"00FF\"]}"},
      {"JsonNameEscaped",
       {010, "a \"b\"\\c\nd\te", F::Hex},
       0,
       0,
       named,
       "{\"register\": \"R10\", \"name\": \"a \\\"b\\\"\\\\c\\u000ad\\u0009e\", \"format\": \"hex\", "
       "\"value\": "
       "\"0000\", \"words\": [\"0000\"]}"},
      {"JsonNameUtf8KeptAsIs",
       {010, "出口温度", F::Unsigned},
       5,
       0,
       named,
       "{\"register\": \"R10\", \"name\": \"出口温度\", \"format\": \"unsigned\", \"value\": \"5\", "
       "\"words\": "
       "[\"0005\"]}"},
  };
  for (const auto& r : rows) EXPECT_EQ(ReadLine(r.item, r.first, r.second, r.style), r.line) << r.name;
}

// Q0 is the lowest bit, written first.
TEST(OutputsLine, BitsLowestFirstAsTextAndAsJsonMembers) {
  EXPECT_EQ(OutputsLine(0x81, false), "Q0=1 Q1=0 Q2=0 Q3=0 Q4=0 Q5=0 Q6=0 Q7=1");
  EXPECT_EQ(OutputsLine(0x02, true),
            ", \"Q0\": 0, \"Q1\": 1, \"Q2\": 0, \"Q3\": 0, \"Q4\": 0, \"Q5\": 0, \"Q6\": 0, \"Q7\": 0");
}

}  // namespace
}  // namespace varnak::cli
