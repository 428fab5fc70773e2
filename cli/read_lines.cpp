#include "read_lines.h"

#include <cstdio>

#include "link/register_number.h"
#include "link/text.h"

namespace varnak::cli {

std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  for (const char c : utf8) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char e[8];
      std::snprintf(e, sizeof e, "\\u%04x", static_cast<unsigned>(c));
      out += e;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string ReadLine(const ReadItem& item, std::uint16_t first, std::uint16_t second,
                     const ReadStyle& style) {
  const std::string value = FormatValue(item.format, first, second);
  if (!style.json) return value;
  std::string s = "{\"register\": " + JsonString(RegisterName(item.reg));
  if (!style.described) return s + ", \"value\": " + JsonString(value) + "}";
  if (style.named) s += ", \"name\": " + JsonString(item.name);
  s += ", \"format\": " + JsonString(FormatName(item.format)) + ", \"value\": " + JsonString(value) +
       ", \"words\": [" + JsonString(ValueHex(first));
  if (IsPair(item.format)) s += ", " + JsonString(ValueHex(second));
  return s + "]}";
}

std::string OutputsLine(unsigned byte, bool json) {
  std::string s;
  for (int i = 0; i < 8; ++i) {
    const char bit = ((byte >> i) & 1) ? '1' : '0';
    if (json) {
      s += ", \"Q" + std::to_string(i) + "\": " + bit;
    } else {
      s += (i ? " Q" : "Q") + std::to_string(i) + "=" + bit;
    }
  }
  return s;
}

}  // namespace varnak::cli
