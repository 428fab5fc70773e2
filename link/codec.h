// The hex-text codec. A hex text holds two hexadecimal digits per byte, most
// significant digit first, pairs in wire order. Frames are built as hex text and
// turned into bytes only at transmission, so these functions never touch a port.
#pragma once

#include "text.h"

namespace varnak {

// The character codes of `text` as hex text: upper case, no leading zeros, no
// separators ("0401" -> "30343031"). Hex digits always give two digits each.
Text ToAsc(const Text& text);

// Reads one pair of a hex text the way every conversion here does: blanks are
// skipped, digits are taken up to the first other character that is not a hex
// digit ("4g" -> 4, "zz" -> 0, " 5" -> 5). Always 0..255.
std::uint8_t ReadHexPair(char32_t first, char32_t second);

// Half as many bytes as the text has characters; byte i is pair i+1. A trailing
// odd character is ignored and an empty text gives no bytes.
Bytes HexTextToBytes(const Text& hexText);

// The XOR of the bytes that HexTextToBytes makes of the same text, as exactly two
// upper-case digits, so the check byte always matches what goes on the line.
// An empty text (or a single character) gives "00".
Text Lrc(const Text& hexText);

// The blanks that every reading of the operator's texts skips: space, tab, newline.
bool IsBlank(char32_t c);

// 0-15 for a hex digit of either case, -1 for any other character.
int HexDigitValue(char32_t c);

// Upper-case hex of `value`, no leading zeros ("0" for zero).
Text ToHex(std::uint32_t value);

// Upper-case hex of a byte, always two digits.
Text ByteToHex(std::uint8_t value);

}  // namespace varnak
