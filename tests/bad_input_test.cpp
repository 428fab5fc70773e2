// Every operator input against every kind of bad text: the port box, the
// start-up answer, both register boxes and the value box. Each row says which
// frame goes out, or that none does.
#include <gtest/gtest.h>

#include "fakes.h"

namespace varnak::testing {
namespace {

struct Row {
  const char* name;
  Text input;
  std::string address;    // start address digits in the write and the read header
  std::string dataBlock;  // the data block for it as the value, "" when none is sent
  bool isPort;            // accepted as a port number (box or start-up answer)
};
void PrintTo(const Row& r, std::ostream* os) { *os << r.name; }

// A register is octal 0 to 77777 with blanks and one leading R allowed; a
// value is one to four hex digits. Anything else sends nothing.
const Row kRows[] = {
    {"Plain", U"2000", "0401", "02 00 20 03 20", true},
    {"PortNumber", U" 3 ", "0004", "", true},
    {"Empty", U"", "", "", false},
    {"Blanks", U"   ", "", "", false},
    {"Letters", U"abc", "", "02 BC 0A 03 B6", false},
    {"RegisterName", U"R2000", "0401", "", false},
    {"LowerCaseRegisterName", U" r 7", "0008", "", false},
    {"TwoRs", U"RR7", "", "", false},
    {"MinusSign", U"-3", "", "", false},
    {"PlusSign", U"+7", "", "", false},
    {"Decimal", U"12.5", "", "", false},
    {"Zero", U"0", "0001", "02 00 00 03 00", false},
    {"HighestRegister", U"77777", "8000", "", false},
    {"AboveRange", U"100000", "", "", false},
    {"LeadingZerosDoNotCount", U"0077777", "8000", "", false},
    {"Overlong", U"123456789", "", "", false},
    {"NonOctalDigits", U"89", "", "02 89 00 03 89", true},
    {"TypoEndsTheNumber", U"2008", "", "02 08 20 03 28", true},
    {"HexTypo", U"12G4", "", "", false},
    {"Chinese", U"二〇〇〇", "", "", false},
    {"FullWidthDigits", U"１２", "", "", false},
    {"ControlCharacters", U"\x01\x7f", "", "", false},
    {"Emoji", U"\U0001F600", "", "", false},
    {"HugePasteOfDigits", Text(1 << 20, U'7'), "", "", false},
    {"HugePasteOfLetters", Text(1 << 20, U'A'), "", "", false},
};

class BadInput : public ::testing::TestWithParam<Row> {};

TEST_P(BadInput, StartUpAnswer) {
  Rig rig(GetParam().input);
  rig.core.Timer1_Timer(rig.now);
  EXPECT_EQ(rig.take(), GetParam().isPort ? std::vector<std::string>{kEnq} : std::vector<std::string>{});
  EXPECT_EQ(rig.flags(), "TFF");
}

TEST_P(BadInput, PortBox) {
  Rig rig;
  rig.panel.setText(Field::Combo1, GetParam().input);
  rig.panel.Combo1_Change(rig.now);
  rig.core.Timer1_Timer(rig.now);
  EXPECT_EQ(rig.take(), GetParam().isPort ? std::vector<std::string>{kEnq} : std::vector<std::string>{});
}

std::string Address(const std::string& header) {
  // Characters 5-8 of the header are bytes 5-8 of the frame.
  std::string digits;
  for (int i = 5; i < 9; ++i) digits += static_cast<char>(std::stoi(header.substr(3 * i, 2), nullptr, 16));
  return digits;
}

TEST_P(BadInput, RegisterBoxes) {
  Rig rig;
  rig.panel.setText(Field::Text2, GetParam().input);
  rig.panel.setText(Field::Text6, GetParam().input);
  // Replies come only to what was sent.
  auto answer = [&](const Bytes& reply) {
    if (!rig.port.written.empty()) rig.receive(reply);
  };
  rig.panel.Command1_Click(rig.now);
  answer(kEnqAck);
  // The write's header ack never comes; the write's further attempts go unanswered.
  rig.advance((LinkControl::kReplyTimeoutMs + LinkControl::kRetryQuietMs) * kAttempts);
  auto frames = rig.take();
  rig.panel.Command3_Click(rig.now);
  answer(kEnqAck);
  for (auto& f : rig.take()) frames.push_back(f);
  EXPECT_EQ(rig.panel.text(Field::Text2), GetParam().input) << "the box itself is never changed";
  if (GetParam().address.empty()) {
    EXPECT_TRUE(frames.empty()) << "a register that cannot be meant sends nothing";
    EXPECT_NE(rig.core.status(rig.now).message, "");
    return;
  }
  std::vector<std::string> headers;
  for (const std::string& f : frames)
    if (f.size() == 17 * 3 - 1) headers.push_back(f);
  ASSERT_EQ(headers.size(), 2u);
  EXPECT_EQ(Address(headers[0]), GetParam().address);
  EXPECT_EQ(Address(headers[1]), GetParam().address);
}

TEST_P(BadInput, ValueBox) {
  Rig rig;
  rig.panel.setText(Field::Text1, GetParam().input);
  rig.panel.Command1_Click(rig.now);
  if (!rig.port.written.empty()) {
    rig.receive(kEnqAck);
    rig.receive(kAckByte);
  }
  std::vector<std::string> expected;
  if (!GetParam().dataBlock.empty()) expected = {kEnq, kWriteHeader2000, GetParam().dataBlock};
  EXPECT_EQ(rig.take(), expected);
  // An empty box starts no exchange but holds polling, as the write button always has;
  // a value that cannot be meant changes nothing.
  EXPECT_EQ(rig.flags(), GetParam().input.empty() ? "FTT" : expected.empty() ? "FFF" : "FTF");
  if (expected.empty()) {
    EXPECT_NE(rig.core.status(rig.now).message, "");
  }
}

INSTANTIATE_TEST_SUITE_P(Operator, BadInput, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace varnak::testing
