#include "decode.h"

#include <cstdio>

#include "link/codec.h"
#include "link/frames.h"
#include "link/replies.h"

namespace varnak {

namespace {

std::string Hex4(std::uint8_t high, std::uint8_t low) {
  char s[8];
  std::snprintf(s, sizeof s, "%02X%02X", high, low);
  return s;
}

std::uint8_t Xor(const Bytes& b, std::size_t from, std::size_t to) {
  std::uint8_t x = 0;
  for (std::size_t i = from; i < to; ++i) x ^= b[i];
  return x;
}

}  // namespace

std::optional<unsigned> HexField(const Bytes& b, std::size_t from, std::size_t count) {
  if (b.size() < from + count) return std::nullopt;
  unsigned v = 0;
  for (std::size_t i = from; i < from + count; ++i) {
    const int d = HexDigitValue(b[i]);
    if (d < 0) return std::nullopt;
    v = v * 16 + static_cast<unsigned>(d);
  }
  return v;
}

std::string RegisterOfAddress(const Bytes& header) {
  const auto address = HexField(header, 5, 4);
  return address && *address ? RegisterName(*address - 1) : std::string();
}

std::optional<unsigned> ParseRegisterName(std::string_view text) {
  const std::size_t start = !text.empty() && (text[0] == 'R' || text[0] == 'r') ? 1 : 0;
  if (start == text.size() || text.size() - start > 6) return std::nullopt;
  unsigned v = 0;
  for (std::size_t i = start; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '7') return std::nullopt;
    v = v * 8 + static_cast<unsigned>(text[i] - '0');
  }
  if (v > 0177776) return std::nullopt;
  return v;
}

std::string RegisterName(unsigned reg) {
  char s[16];
  std::snprintf(s, sizeof s, "R%o", reg);
  return s;
}

std::string TraceLine(double ms, const char* direction, const Bytes& chunk) {
  char head[48];
  std::snprintf(head, sizeof head, "%10.3f %s ", ms, direction);
  return head + BytesToHex(chunk) + "  " + DescribeChunk(chunk);
}

std::string DescribeChunk(const Bytes& b, Translate lang) {
  constexpr const char* kContext = "Decode";
  auto say = [&](const char* key) { return lang(kContext, key); };
  const std::size_t n = b.size();
  if (n == 3 && b[0] == 0x4E && b[1] == 0x21 && b[2] == kEnq)
    return say(QT_TRANSLATE_NOOP("Decode", "enquiry"));
  if (n == 3 && b[0] == 0x4E && b[1] == 0x21 && b[2] == kAck)
    return say(QT_TRANSLATE_NOOP("Decode", "enquiry ack"));
  if (n == 3 && b[0] == 0x4E && b[1] == 0x21 && b[2] == kNak)
    return say(QT_TRANSLATE_NOOP("Decode", "enquiry nak"));
  if (n == 1 && b[0] == kAck) return say(QT_TRANSLATE_NOOP("Decode", "ack"));
  if (n == 1 && b[0] == kNak) return say(QT_TRANSLATE_NOOP("Decode", "nak"));
  const std::string badLrc = QT_TRANSLATE_NOOP("Decode", "%1 (bad LRC)");
  if (n == 17 && b[0] == kSoh && b[15] == kEtb) {
    std::string kind;
    const std::string ops(b.begin() + 3, b.begin() + 5);
    if (ops == "03") {
      kind = say(QT_TRANSLATE_NOOP("Decode", "poll header"));
    } else if (ops == "81") {
      kind = Fill(say(QT_TRANSLATE_NOOP("Decode", "write header %1")), {RegisterOfAddress(b)});
    } else if (ops == "01") {
      kind = Fill(say(QT_TRANSLATE_NOOP("Decode", "read header %1")), {RegisterOfAddress(b)});
    } else {
      kind = say(QT_TRANSLATE_NOOP("Decode", "header"));
    }
    return Xor(b, 1, 15) == b[16] ? kind : Fill(say(badLrc.c_str()), {kind});
  }
  if (n == 5 && b[0] == kStx && b[3] == kEtx) {
    const std::string d = Fill(say(QT_TRANSLATE_NOOP("Decode", "data block %1")), {Hex4(b[2], b[1])});
    return CheckByteOk(b, 0) ? d : Fill(say(badLrc.c_str()), {d});
  }
  if (n == 6 && b[1] == kStx && b[4] == kEtx) {
    const std::string lead = b[0] == kAck   ? say(QT_TRANSLATE_NOOP("Decode", "ack"))
                             : b[0] == kNak ? say(QT_TRANSLATE_NOOP("Decode", "nak"))
                                            : std::string("?");
    return Fill(CheckByteOk(b, 1) ? say(QT_TRANSLATE_NOOP("Decode", "%1 + data %2 (check byte ok)"))
                                  : say(QT_TRANSLATE_NOOP("Decode", "%1 + data %2 (check byte bad)")),
                {lead, Hex4(b[3], b[2])});
  }
  return say(QT_TRANSLATE_NOOP("Decode", "unrecognised"));
}

}  // namespace varnak
