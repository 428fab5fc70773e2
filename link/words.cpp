#include "words.h"

#include <vector>

namespace varnak {

std::string Fill(const std::string& pattern, std::initializer_list<std::string> args) {
  const std::vector<std::string> a(args);
  std::string out;
  out.reserve(pattern.size() + 16);
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
    const auto n = static_cast<std::size_t>(next - '1');
    if (pattern[i] == '%' && next >= '1' && next <= '9' && n < a.size()) {
      out += a[n];
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

}  // namespace varnak
