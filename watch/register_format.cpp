#include "register_format.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "link/register_number.h"
#include "link/text.h"

namespace varnak {

namespace {

const char* const kNames[kRegisterFormatCount] = {"hex", "unsigned", "signed",    "binary",    "u32",
                                                  "s32", "f32",      "u32 hi-lo", "s32 hi-lo", "f32 hi-lo"};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

// The pair's 32 bits, whichever register holds the high word.
std::uint32_t Joined(RegisterFormat format, std::uint16_t first, std::uint16_t second) {
  const bool hiLo = IsHighWordFirst(format);
  const std::uint16_t high = hiLo ? first : second, low = hiLo ? second : first;
  return static_cast<std::uint32_t>(high) << 16 | low;
}

TypedValue Split(RegisterFormat format, std::uint32_t bits) {
  const auto high = static_cast<std::uint16_t>(bits >> 16), low = static_cast<std::uint16_t>(bits);
  if (!IsPair(format)) return {true, low, 0, {}};
  const bool hiLo = IsHighWordFirst(format);
  return {true, hiLo ? high : low, hiLo ? low : high, {}};
}

std::string F32Text(std::uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  if (std::isnan(f)) return "nan";
  if (std::isinf(f)) return f < 0 ? "-inf" : "inf";
  // The shortest text that reads back as the same float.
  char s[32];
  const auto r = std::to_chars(s, s + sizeof s, f);
  return std::string(s, r.ptr);
}

// Digits of `base` only, at most `most` of them; the value, or -1 for a wrong
// character and -2 for too many digits.
long long Digits(std::string_view s, int base, std::size_t most) {
  long long v = 0;
  for (char c : s) {
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    if (d < 0 || d >= base) return -1;
    if (s.size() <= most) v = v * base + d;
  }
  return s.size() > most ? -2 : v;
}

// A whole decimal number with an optional minus sign; beyond 2^40 it saturates,
// which every range here refuses alike.
std::optional<long long> Whole(std::string_view s) {
  const bool minus = !s.empty() && s.front() == '-';
  if (minus) s.remove_prefix(1);
  if (s.empty()) return std::nullopt;
  long long v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    if (v < (1LL << 40)) v = v * 10 + (c - '0');
  }
  return minus ? -v : v;
}

struct WholeRange {
  long long lo, hi;
  const char *loText, *hiText;
};

WholeRange RangeOf(RegisterFormat format) {
  switch (format) {
    case RegisterFormat::Unsigned:
      return {0, 65535, "0", "65535"};
    case RegisterFormat::Signed:
      return {-32768, 32767, "-32768", "32767"};
    case RegisterFormat::U32:
    case RegisterFormat::U32HiLo:
      return {0, 4294967295LL, "0", "4294967295"};
    default:
      return {-2147483648LL, 2147483647LL, "-2147483648", "2147483647"};
  }
}

}  // namespace

bool IsHighWordFirst(RegisterFormat f) {
  return f == RegisterFormat::U32HiLo || f == RegisterFormat::S32HiLo || f == RegisterFormat::F32HiLo;
}

bool IsPair(RegisterFormat format) {
  switch (format) {
    case RegisterFormat::Hex:
    case RegisterFormat::Unsigned:
    case RegisterFormat::Signed:
    case RegisterFormat::Binary:
      return false;
    default:
      return true;
  }
}

const char* FormatName(RegisterFormat format) { return kNames[static_cast<int>(format)]; }

std::optional<RegisterFormat> ParseFormat(std::string_view name) {
  name = Trimmed(name);
  for (int i = 0; i < kRegisterFormatCount; ++i) {
    const std::string_view known = kNames[i];
    if (known.size() != name.size()) continue;
    bool same = true;
    for (std::size_t k = 0; k < known.size() && same; ++k) {
      const char c = name[k] >= 'A' && name[k] <= 'Z' ? static_cast<char>(name[k] - 'A' + 'a') : name[k];
      same = c == known[k];
    }
    if (same) return static_cast<RegisterFormat>(i);
  }
  return std::nullopt;
}

std::string PairProblem(RegisterFormat format, unsigned reg, Translate lang) {
  if (!IsPair(format) || reg < kMaxRegister) return {};
  return Fill(lang("RegisterFormat", QT_TRANSLATE_NOOP("RegisterFormat", "%1 at %2 needs %3, above %4")),
              {FormatName(format), RegisterName(reg), RegisterName(reg + 1), RegisterName(kMaxRegister)});
}

std::string FormatValue(RegisterFormat format, std::uint16_t first, std::uint16_t second) {
  const std::uint32_t bits = Joined(format, first, second);
  switch (format) {
    case RegisterFormat::Hex:
      return ValueHex(first);
    case RegisterFormat::Unsigned:
      return std::to_string(first);
    case RegisterFormat::Signed:
      return std::to_string(static_cast<std::int16_t>(first));
    case RegisterFormat::Binary: {
      std::string s(16, '0');
      for (int i = 0; i < 16; ++i)
        if (first >> i & 1) s[15 - i] = '1';
      return s;
    }
    case RegisterFormat::U32:
    case RegisterFormat::U32HiLo:
      return std::to_string(bits);
    case RegisterFormat::S32:
    case RegisterFormat::S32HiLo:
      return std::to_string(static_cast<std::int32_t>(bits));
    case RegisterFormat::F32:
    case RegisterFormat::F32HiLo:
      return F32Text(bits);
  }
  return {};
}

TypedValue ParseValue(RegisterFormat format, std::string_view typed, Translate lang) {
  const std::string_view s = Trimmed(typed);
  const std::string name = FormatName(format);
  const std::string shown = [&] {
    const Text t = FromUtf8(s);
    return ToUtf8(t.size() > 20 ? t.substr(0, 20) + U"…" : t);
  }();
  const auto refuse = [&](const char* key, std::initializer_list<std::string> args) {
    TypedValue v;
    v.problem = Fill(lang("RegisterFormat", key), args);
    return v;
  };
  if (s.empty()) return refuse(QT_TRANSLATE_NOOP("RegisterFormat", "no value typed for %1"), {name});

  switch (format) {
    case RegisterFormat::Hex: {
      const long long v = Digits(s, 16, 4);
      if (v == -1) return refuse(QT_TRANSLATE_NOOP("RegisterFormat", "value %1 is not hex"), {shown});
      if (v == -2)
        return refuse(QT_TRANSLATE_NOOP("RegisterFormat", "value %1 has more than %2 digits"), {shown, "4"});
      return Split(format, static_cast<std::uint32_t>(v));
    }
    case RegisterFormat::Binary: {
      const long long v = Digits(s, 2, 16);
      if (v == -1) return refuse(QT_TRANSLATE_NOOP("RegisterFormat", "value %1 is not binary"), {shown});
      if (v == -2)
        return refuse(QT_TRANSLATE_NOOP("RegisterFormat", "value %1 has more than %2 digits"), {shown, "16"});
      return Split(format, static_cast<std::uint32_t>(v));
    }
    case RegisterFormat::Unsigned:
    case RegisterFormat::Signed:
    case RegisterFormat::U32:
    case RegisterFormat::U32HiLo:
    case RegisterFormat::S32:
    case RegisterFormat::S32HiLo: {
      const auto v = Whole(s);
      if (!v) return refuse(QT_TRANSLATE_NOOP("RegisterFormat", "value %1 is not a whole number"), {shown});
      const WholeRange range = RangeOf(format);
      if (*v < range.lo || *v > range.hi)
        return refuse(QT_TRANSLATE_NOOP("RegisterFormat", "value %1 does not fit %2 (%3 to %4)"),
                      {shown, name, range.loText, range.hiText});
      return Split(format, static_cast<std::uint32_t>(*v));
    }
    case RegisterFormat::F32:
    case RegisterFormat::F32HiLo: {
      float f = 0;
      // Exactly what FormatValue shows for the infinities; a NaN has many bit
      // patterns and none of them is what the operator meant.
      std::string magnitude(s.front() == '-' ? s.substr(1) : s);
      for (char& c : magnitude)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      const bool inf = magnitude == "inf";
      // from_chars would also take "infinity" and "nan".
      const bool letters = magnitude.find_first_of("in") != std::string::npos;
      if (inf) {
        f = s.front() == '-' ? -HUGE_VALF : HUGE_VALF;
      } else {
        const auto r = std::from_chars(s.data(), s.data() + s.size(), f);
        if (letters || r.ptr != s.data() + s.size() ||
            (r.ec != std::errc() && r.ec != std::errc::result_out_of_range))
          return refuse(QT_TRANSLATE_NOOP("RegisterFormat", "value %1 is not a number"), {shown});
        if (r.ec == std::errc::result_out_of_range)
          return refuse(QT_TRANSLATE_NOOP("RegisterFormat", "value %1 does not fit %2"), {shown, name});
      }
      std::uint32_t bits;
      std::memcpy(&bits, &f, sizeof bits);
      return Split(format, bits);
    }
  }
  return {};
}

}  // namespace varnak
