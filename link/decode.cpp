#include "decode.h"

#include <cstdio>

#include "link/frames.h"

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

std::string RegisterOfAddress(const Bytes& header) {
  if (header.size() < 9) return {};
  unsigned address = 0;
  for (std::size_t i = 5; i < 9; ++i) {
    const char c = static_cast<char>(header[i]);
    int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (d < 0) return {};
    address = address * 16 + static_cast<unsigned>(d);
  }
  if (address == 0) return {};
  char s[16];
  std::snprintf(s, sizeof s, "R%o", address - 1);
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
    return (b[1] ^ b[2]) == b[4] ? d : d + " (bad LRC)";
  }
  if (n == 6 && b[1] == kStx && b[4] == kEtx) {
    const std::string lead = b[0] == kAck ? "ack" : b[0] == kNak ? "nak" : "?";
    return lead + " + data " + Hex4(b[3], b[2]) + ((b[2] ^ b[3]) == b[5] ? " (check byte ok)" : " (check byte bad)");
  }
  return "unrecognised";
}

}  // namespace varnak
