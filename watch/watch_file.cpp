#include "watch_file.h"

#include <map>

#include "link/register_number.h"
#include "link/text.h"

namespace varnak {

namespace {

const char kHeader[] = "register,name,format";

// The offset of the first byte that is not part of well-formed UTF-8 (no
// overlong forms, no surrogates, nothing above U+10FFFF), or npos.
std::size_t FirstBadUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t extra = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // the allowed range of the second byte
    if (b < 0x80) {
      ++i;
      continue;
    } else if (b >= 0xC2 && b <= 0xDF) {
      extra = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
      extra = 2;
      if (b == 0xE0) lo = 0xA0;
      if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      extra = 3;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;
    } else {
      return i;
    }
    for (std::size_t k = 1; k <= extra; ++k) {
      if (i + k >= s.size()) return i;
      const auto c = static_cast<unsigned char>(s[i + k]);
      if (k == 1 ? (c < lo || c > hi) : (c < 0x80 || c > 0xBF)) return i;
    }
    i += 1 + extra;
  }
  return std::string_view::npos;
}

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

std::string Trimmed(const std::string& s) {
  std::size_t a = 0, b = s.size();
  while (a < b && IsSpace(s[a])) ++a;
  while (b > a && IsSpace(s[b - 1])) --b;
  return s.substr(a, b - a);
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// A cell as a message shows it: at most 20 characters, and no line break.
std::string Shown(const std::string& cell) {
  Text t = FromUtf8(Trimmed(cell));
  if (t.size() > 20) t = t.substr(0, 20) + U"…";
  for (char32_t& c : t)
    if (c == U'\n' || c == U'\r') c = U' ';
  return ToUtf8(t);
}

// Why a record could not be read, with the line it names.
struct Problem {
  std::size_t line = 0;
  const char* key = nullptr;  // empty when none
};

struct Record {
  std::size_t line = 0;  // where it begins
  std::vector<std::string> fields;
  bool blank = false;  // an empty line, or one of blanks only
  Problem problem;
};

// RFC 4180 records, one at a time; `line` counts the file's physical lines,
// also those inside a quoted field.
class Records {
 public:
  explicit Records(std::string_view bytes) : bytes_(bytes) {}

  bool next(Record& r) {
    if (pos_ >= bytes_.size()) return false;
    r = {};
    r.line = line_;
    std::string field;
    bool quoted = false;  // some field of the record was quoted
    enum { Start, Plain, Quoted, AfterQuote } state = Start;
    std::size_t quoteLine = 0;
    const auto fail = [&](std::size_t line, const char* key) {
      r.problem = {line, key};
      pos_ = bytes_.size();
      return true;
    };
    while (pos_ < bytes_.size()) {
      const char c = bytes_[pos_++];
      if (state == Quoted) {
        if (c == '\n') ++line_;
        if (c != '"') {
          field += c;
        } else if (pos_ < bytes_.size() && bytes_[pos_] == '"') {
          field += '"';
          ++pos_;
        } else {
          state = AfterQuote;
        }
        continue;
      }
      if (c == '\n') {
        ++line_;
        // The CR of a CRLF line end belongs to the line end.
        if (state != AfterQuote && !field.empty() && field.back() == '\r') field.pop_back();
        r.fields.push_back(field);
        r.blank = r.fields.size() == 1 && !quoted && Trimmed(field).empty();
        return true;
      }
      if (c == ',') {
        r.fields.push_back(field);
        field.clear();
        state = Start;
        continue;
      }
      if (state == AfterQuote) {
        if (c == '\r' && pos_ < bytes_.size() && bytes_[pos_] == '\n') continue;
        return fail(line_, QT_TRANSLATE_NOOP("WatchFile",
                                             "text after a closing quote (a quote inside a quoted "
                                             "field is written twice)"));
      }
      if (c == '"') {
        if (state == Plain)
          return fail(line_,
                      QT_TRANSLATE_NOOP("WatchFile",
                                        "a quote inside a field that does not begin with one (quote the "
                                        "whole field and write the quote twice)"));
        state = Quoted;
        quoted = true;
        quoteLine = line_;
        continue;
      }
      field += c;
      state = Plain;
    }
    if (state == Quoted)
      return fail(quoteLine, QT_TRANSLATE_NOOP("WatchFile", "a quote opened here is never closed"));
    if (state != AfterQuote && !field.empty() && field.back() == '\r') field.pop_back();
    r.fields.push_back(field);
    r.blank = r.fields.size() == 1 && !quoted && Trimmed(field).empty();
    return true;
  }

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
  std::size_t line_ = 1;
};

std::string KnownFormats() {
  std::string s;
  for (int i = 0; i < kRegisterFormatCount; ++i) {
    if (i) s += ", ";
    s += FormatName(static_cast<RegisterFormat>(i));
  }
  return s;
}

bool NeedsQuotes(const std::string& field) { return field.find_first_of(",\"\r\n") != std::string::npos; }

std::string Quoted(const std::string& field) {
  if (!NeedsQuotes(field)) return field;
  std::string s = "\"";
  for (char c : field) {
    if (c == '"') s += '"';
    s += c;
  }
  return s + '"';
}

}  // namespace

WatchFile ParseWatchFile(std::string_view bytes, const std::string& fileName, Translate lang) {
  WatchFile out;
  const auto refuseWith = [&](std::size_t line, const std::string& why) {
    out.entries.clear();
    out.error = fileName + ":" + std::to_string(line) + ": " + why;
    return out;
  };
  const auto refuse = [&](std::size_t line, const char* key, std::initializer_list<std::string> args = {}) {
    return refuseWith(line, Fill(lang("WatchFile", key), args));
  };
  if (const std::size_t bad = FirstBadUtf8(bytes); bad != std::string_view::npos) {
    std::size_t line = 1;
    for (std::size_t i = 0; i < bad; ++i) line += bytes[i] == '\n';
    return refuse(line, QT_TRANSLATE_NOOP("WatchFile", "the text is not UTF-8"));
  }
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  if (bytes.find_first_not_of(" \t\r\n") == std::string_view::npos) {
    out.error = fileName + ": " + lang("WatchFile", QT_TRANSLATE_NOOP("WatchFile", "the file is empty"));
    return out;
  }

  Records records(bytes);
  Record r;
  records.next(r);
  if (r.problem.key) return refuse(r.problem.line, r.problem.key);
  {
    std::string header;
    for (std::size_t i = 0; i < r.fields.size(); ++i) header += (i ? "," : "") + Lower(Trimmed(r.fields[i]));
    if (header != kHeader)
      return refuse(r.line, QT_TRANSLATE_NOOP("WatchFile", "the first line must be the header %1"),
                    {kHeader});
  }

  std::map<unsigned, std::size_t> lineOf;  // register -> the line of its row
  std::size_t blankLine = 0;               // the first empty line since the last row
  while (records.next(r)) {
    if (r.problem.key) return refuse(r.problem.line, r.problem.key);
    if (r.blank) {
      if (!blankLine) blankLine = r.line;
      continue;
    }
    if (blankLine) return refuse(blankLine, QT_TRANSLATE_NOOP("WatchFile", "an empty line among the rows"));
    if (r.fields.size() != 3)
      return refuse(
          r.line,
          QT_TRANSLATE_NOOP("WatchFile", "a row has 3 fields (register,name,format); this one has %1"),
          {std::to_string(r.fields.size())});
    if (out.entries.size() == kMaxWatchRows)
      return refuse(r.line, QT_TRANSLATE_NOOP("WatchFile", "more than %1 rows"),
                    {std::to_string(kMaxWatchRows)});

    const RegisterInput reg = CheckRegister(FromUtf8(r.fields[0]));
    switch (reg.problem) {
      case InputProblem::None:
        break;
      case InputProblem::Empty:
        return refuse(r.line, QT_TRANSLATE_NOOP("WatchFile", "the register cell is empty"));
      case InputProblem::AboveRange:
        return refuse(r.line, QT_TRANSLATE_NOOP("WatchFile", "register %1 is above 77777"),
                      {Shown(r.fields[0])});
      default:
        return refuse(r.line, QT_TRANSLATE_NOOP("WatchFile", "register %1 is not octal"),
                      {Shown(r.fields[0])});
    }
    WatchEntry e;
    e.reg = reg.number;
    e.name = r.fields[1];
    if (!Trimmed(r.fields[2]).empty()) {
      const auto format = ParseFormat(r.fields[2]);
      if (!format)
        return refuse(r.line, QT_TRANSLATE_NOOP("WatchFile", "format %1 is unknown (known: %2)"),
                      {Shown(r.fields[2]), KnownFormats()});
      e.format = *format;
    }
    if (const std::string pair = PairProblem(e.format, e.reg, lang); !pair.empty())
      return refuseWith(r.line, pair);
    const auto [earlier, fresh] = lineOf.emplace(e.reg, r.line);
    if (!fresh)
      return refuse(r.line, QT_TRANSLATE_NOOP("WatchFile", "register %1 is already on line %2"),
                    {RegisterName(e.reg), std::to_string(earlier->second)});
    out.entries.push_back(std::move(e));
  }
  return out;
}

std::string FormatWatchFile(const std::vector<WatchEntry>& entries) {
  std::string s = std::string(kHeader) + "\n";
  for (const WatchEntry& e : entries)
    s += RegisterName(e.reg) + "," + Quoted(e.name) + "," + FormatName(e.format) + "\n";
  return s;
}

}  // namespace varnak
