#include "frames.h"

#include "codec.h"

namespace varnak {

namespace {

// Anything above four hex digits ends as "0000", so larger numbers need not be kept.
constexpr std::uint32_t kSaturated = 0x100000;

HeaderText BuildHeader(const Text& operation, const Text& registerText) {
  HeaderText h;
  h.frameText = operation + ToAsc(AddressDigits(registerText)) + U"30303032" + U"3031";
  h.sendText = U"01" + h.frameText + U"17" + Lrc(h.frameText);
  return h;
}

}  // namespace

Text AddressDigits(const Text& registerText) {
  std::uint32_t number = 0;
  for (char32_t c : registerText) {
    if (IsBlank(c)) continue;
    if (c < U'0' || c > U'7') break;
    number = number * 8 + static_cast<std::uint32_t>(c - U'0');
    if (number > kSaturated) number = kSaturated;
  }
  Text digits = ToHex(number + 1);
  if (digits.size() > 4) return U"0000";
  return Text(4 - digits.size(), U'0') + digits;
}

HeaderText BuildWriteHeader(const Text& registerText) { return BuildHeader(U"30313831", registerText); }

HeaderText BuildReadHeader(const Text& registerText) { return BuildHeader(U"30313031", registerText); }

Text NormaliseValue(const Text& value) {
  if (value.empty() || value.size() == 4) return value;
  if (value.size() > 4) return U"0000";
  return Text(4 - value.size(), U'0') + value;
}

DataBlockText BuildDataBlock(const Text& normalisedValue) {
  DataBlockText d;
  if (normalisedValue.size() != 4) return d;
  d.frameText = normalisedValue.substr(2, 2) + normalisedValue.substr(0, 2);
  d.sendText = U"02" + d.frameText + U"03" + Lrc(d.frameText);
  return d;
}

}  // namespace varnak
