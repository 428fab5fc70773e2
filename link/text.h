// Texts and bytes as the link protocol sees them.
//
// Every text that reaches the protocol (the operator's boxes, hex texts) is held
// as code points, so that a length counts characters as the operator sees them:
// a value box holding Chinese characters still yields a 5-byte data block.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varnak {

using Text = std::u32string;
using Bytes = std::vector<std::uint8_t>;

// UTF-8 at the edges (command line, logs, tests). Malformed input decodes to
// U+FFFD per bad byte rather than failing: operator input is never rejected here.
Text FromUtf8(std::string_view utf8);
std::string ToUtf8(const Text& text);

// "00A5": a 16-bit value as four upper-case hex digits, high byte first, as the
// operator types and reads it.
std::string ValueHex(std::uint16_t value);

// "4E 21 05": bytes as upper-case hex pairs separated by blanks, for logs and traces.
std::string BytesToHex(const Bytes& bytes);

// The first `most` bytes as BytesToHex does, then " ... (N bytes)" when there are
// more, so that one chunk of noise stays one line of an error message.
std::string HexPreview(const Bytes& bytes, std::size_t most = 32);

}  // namespace varnak
