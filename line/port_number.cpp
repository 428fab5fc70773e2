#include "port_number.h"

namespace varnak {

std::optional<int> ParsePortNumber(const Text& text) {
  auto isBlank = [](char32_t c) { return c == U' ' || c == U'\t'; };
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && isBlank(text[begin])) ++begin;
  while (end > begin && isBlank(text[end - 1])) --end;
  if (begin == end) return std::nullopt;
  long value = 0;
  for (std::size_t i = begin; i < end; ++i) {
    const char32_t c = text[i];
    if (c < U'0' || c > U'9') return std::nullopt;
    value = value * 10 + static_cast<long>(c - U'0');
    if (value > 32767) return std::nullopt;
  }
  if (value < 1) return std::nullopt;
  return static_cast<int>(value);
}

std::string PortName(std::optional<int> number) {
  return "COM" + (number ? std::to_string(*number) : std::string());
}

}  // namespace varnak
