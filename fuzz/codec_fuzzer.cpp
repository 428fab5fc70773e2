// Random texts into the codec and the frame builders: nothing crashes, a header
// is always 17 bytes and a data block 5, and every check byte matches the bytes
// that go on the line.
#include <cstdint>
#include <cstdlib>

#include "link/codec.h"
#include "link/frames.h"

using namespace varnak;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// Bytes to code points: mostly hex digits and ASCII, with blanks, controls,
// Chinese and astral characters mixed in.
Text ToText(const std::uint8_t* data, std::size_t size) {
  static const char32_t kExtra[] = {U' ',  U'\t', U'\n',         U'\0',     U'中',
                                    U'文', U'Ａ', U'\U0001F600', U'\uFFFF', U'-'};
  Text t;
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint8_t b = data[i];
    t.push_back(b < 0xF0 ? static_cast<char32_t>(b & 0x7F) : kExtra[(b - 0xF0) % 10]);
  }
  return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Text text = ToText(data, size);

  const Bytes bytes = HexTextToBytes(text);
  Check(bytes.size() == text.size() / 2);
  std::uint8_t x = 0;
  for (std::uint8_t b : bytes) x ^= b;
  Check(Lrc(text) == ByteToHex(x));
  Check(Lrc(text).size() == 2);
  const Text asc = ToAsc(text);
  Check(asc.size() >= text.size());

  for (const HeaderText& h : {BuildWriteHeader(text), BuildReadHeader(text)}) {
    const Bytes b = HexTextToBytes(h.sendText);
    Check(b.size() == 17);
    Check(b[0] == kSoh && b[15] == kEtb);
    std::uint8_t lrc = 0;
    for (int i = 1; i <= 14; ++i) lrc ^= b[static_cast<std::size_t>(i)];
    Check(lrc == b[16]);
  }
  const Text value = NormaliseValue(text);
  Check(value.empty() == text.empty());
  Check(value.empty() || value.size() == 4);
  const Bytes d = HexTextToBytes(BuildDataBlock(value).sendText);
  if (!value.empty()) {
    Check(d.size() == 5);
    Check(d[0] == kStx && d[3] == kEtx && d[4] == (d[1] ^ d[2]));
  } else {
    Check(d.empty());
  }
  return 0;
}
