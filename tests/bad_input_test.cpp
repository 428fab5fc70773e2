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

const Row kRows[] = {
    {"Plain", U"2000", "0401", "02 00 20 03 20", true},
    {"PortNumber", U" 3 ", "0004", "02 03 00 03 03", true},
    {"Empty", U"", "0001", "", false},
    {"Blanks", U"   ", "0001", "02 00 00 03 00", false},
    {"Letters", U"abc", "0001", "02 BC 0A 03 B6", false},
    {"MinusSign", U"-3", "0001", "02 00 00 03 00", false},
    {"PlusSign", U"+7", "0001", "02 00 00 03 00", false},
    {"Decimal", U"12.5", "000B", "02 00 12 03 12", false},
    {"Zero", U"0", "0001", "02 00 00 03 00", false},
    {"Overlong", U"123456789", "0000", "02 00 00 03 00", false},
    {"NonOctalDigits", U"89", "0001", "02 89 00 03 89", true},
    {"Chinese", U"二〇〇〇", "0001", "02 00 00 03 00", false},
    {"FullWidthDigits", U"１２", "0001", "02 00 00 03 00", false},
    {"ControlCharacters", U"\x01\x7f", "0001", "02 00 00 03 00", false},
    {"Emoji", U"\U0001F600", "0001", "02 00 00 03 00", false},
    {"HugePasteOfDigits", Text(1 << 20, U'7'), "0000", "02 00 00 03 00", false},
    {"HugePasteOfLetters", Text(1 << 20, U'A'), "0001", "02 00 00 03 00", false},
};

class BadInput : public ::testing::TestWithParam<Row> {};

TEST_P(BadInput, StartUpAnswer) {
  Rig rig(GetParam().input);
  rig.core.Timer1_Timer();
  EXPECT_EQ(rig.take(), GetParam().isPort ? std::vector<std::string>{kEnq} : std::vector<std::string>{});
  EXPECT_EQ(rig.flags(), "TFF");
}

TEST_P(BadInput, PortBox) {
  Rig rig;
  rig.panel.setText(Field::Combo1, GetParam().input);
  rig.core.Combo1_Change();
  rig.core.Timer1_Timer();
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
  rig.core.Command1_Click();
  rig.receive(kEnqAck);
  rig.core.Command3_Click();
  rig.receive(kEnqAck);
  const auto frames = rig.take();
  ASSERT_EQ(frames.size(), 4u);
  EXPECT_EQ(Address(frames[1]), GetParam().address);
  EXPECT_EQ(Address(frames[3]), GetParam().address);
  EXPECT_EQ(rig.panel.text(Field::Text2), GetParam().input) << "the box itself is never changed";
}

TEST_P(BadInput, ValueBox) {
  Rig rig;
  rig.panel.setText(Field::Text1, GetParam().input);
  rig.core.Command1_Click();
  rig.receive(kEnqAck);
  rig.receive(kAckByte);
  // An empty box starts no exchange, and an emptied one sends no data block;
  // an acknowledged enquiry still brings the header, as any would.
  std::vector<std::string> expected = {kWriteHeader2000};
  if (!GetParam().input.empty()) expected = {kEnq, kWriteHeader2000, GetParam().dataBlock};
  EXPECT_EQ(rig.take(), expected);
  EXPECT_EQ(rig.flags(), "FTF");
  EXPECT_LE(rig.panel.text(Field::Text1).size(), 4u);
}

INSTANTIATE_TEST_SUITE_P(Operator, BadInput, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace varnak::testing
