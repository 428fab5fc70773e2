#include "codec.h"

namespace varnak {

namespace {

constexpr char32_t kDigits[] = U"0123456789ABCDEF";

}  // namespace

bool IsBlank(char32_t c) { return c == U' ' || c == U'\t' || c == U'\n'; }

int HexDigitValue(char32_t c) {
  if (c >= U'0' && c <= U'9') return static_cast<int>(c - U'0');
  if (c >= U'A' && c <= U'F') return static_cast<int>(c - U'A') + 10;
  if (c >= U'a' && c <= U'f') return static_cast<int>(c - U'a') + 10;
  return -1;
}

Text ToHex(std::uint32_t value) {
  Text out;
  do {
    out.insert(out.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return out;
}

Text ByteToHex(std::uint8_t value) { return Text{kDigits[value >> 4], kDigits[value & 0xF]}; }

Text ToAsc(const Text& text) {
  Text out;
  out.reserve(text.size() * 2);
  for (char32_t c : text) out += ToHex(static_cast<std::uint32_t>(c));
  return out;
}

std::uint8_t ReadHexPair(char32_t first, char32_t second) {
  unsigned value = 0;
  for (char32_t c : {first, second}) {
    if (IsBlank(c)) continue;
    const int digit = HexDigitValue(c);
    if (digit < 0) break;
    value = value * 16 + static_cast<unsigned>(digit);
  }
  return static_cast<std::uint8_t>(value);
}

Bytes HexTextToBytes(const Text& hexText) {
  Bytes out(hexText.size() / 2);
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = ReadHexPair(hexText[2 * i], hexText[2 * i + 1]);
  return out;
}

Text Lrc(const Text& hexText) {
  std::uint8_t check = 0;
  for (std::uint8_t b : HexTextToBytes(hexText)) check ^= b;
  return ByteToHex(check);
}

}  // namespace varnak
