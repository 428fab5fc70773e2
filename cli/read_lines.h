// What `varnak read` prints for each register it reads: one line, the value
// alone or a JSON object. Pure, so that a table test checks every shape.
//
//   1234                                   the default: four hex digits, high byte first
//   -2                                     with --format signed
//   {"register": "R2000", "value": "1234"}                        --json
//   {"register": "R2000", "format": "signed", "value": "-2", "words": ["FFFE"]}
//                                          --json with --format: the format, and the words read
//   {"register": "R2000", "name": "speed", "format": "f32", "value": "1.5", "words": ["0000", "3FC0"]}
//                                          --json with --watch: the row's name too; a pair's words
//                                          are the register's and the next one's
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "watch/register_format.h"

namespace varnak::cli {

// One register to read (a pair format: it and the next one), as the command
// line or a list file names it.
struct ReadItem {
  unsigned reg = 0;
  std::string name;  // from a list file, UTF-8
  RegisterFormat format = RegisterFormat::Hex;
};

struct ReadStyle {
  bool json = false;
  bool described = false;  // --format or --watch: JSON gives the format and the words
  bool named = false;      // --watch: JSON gives the row's name
};

// The line for `item`, without its line end; `second` is the next register's word (pairs only).
std::string ReadLine(const ReadItem& item, std::uint16_t first, std::uint16_t second, const ReadStyle& style);

// The outputs as `watch` and `outputs` print them: "Q0=1 Q1=0 ... Q7=0", or
// JSON members ", \"Q0\": 1, ..." to follow the object's first one.
std::string OutputsLine(unsigned byte, bool json);

// `utf8` as a JSON string, quotes included: quote, backslash and control characters escaped.
std::string JsonString(std::string_view utf8);

}  // namespace varnak::cli
