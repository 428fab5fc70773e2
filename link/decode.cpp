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
  if (v > 077777) return std::nullopt;
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

std::string DescribeChunk(const Bytes& b) {
  const std::size_t n = b.size();
  if (n == 3 && b[0] == 0x4E && b[1] == 0x21 && b[2] == kEnq) return "enquiry";
  if (n == 3 && b[0] == 0x4E && b[1] == 0x21 && b[2] == kAck) return "enquiry ack";
  if (n == 3 && b[0] == 0x4E && b[1] == 0x21 && b[2] == kNak) return "enquiry nak";
  if (n == 1 && b[0] == kAck) return "ack";
  if (n == 1 && b[0] == kNak) return "nak";
  if (n == 17 && b[0] == kSoh && b[15] == kEtb) {
    std::string kind;
    const std::string ops(b.begin() + 3, b.begin() + 5);
    if (ops == "03") {
      kind = "poll header";
    } else if (ops == "81") {
      kind = "write header " + RegisterOfAddress(b);
    } else if (ops == "01") {
      kind = "read header " + RegisterOfAddress(b);
    } else {
      kind = "header";
    }
    return Xor(b, 1, 15) == b[16] ? kind : kind + " (bad LRC)";
  }
  if (n == 5 && b[0] == kStx && b[3] == kEtx) {
    const std::string d = "data block " + Hex4(b[2], b[1]);
    return CheckByteOk(b, 0) ? d : d + " (bad LRC)";
  }
  if (n == 6 && b[1] == kStx && b[4] == kEtx) {
    const std::string lead = b[0] == kAck ? "ack" : b[0] == kNak ? "nak" : "?";
    return lead + " + data " + Hex4(b[3], b[2]) +
           (CheckByteOk(b, 1) ? " (check byte ok)" : " (check byte bad)");
  }
  return "unrecognised";
}

}  // namespace varnak
