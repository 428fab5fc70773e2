// The registers `varnak watch --registers R1000,R1001` (or `--watch FILE`) reads
// between its polls: the window's register list engine (round robin, a pair read
// whole), each read done by the caller, and the words the lines show.
//
//   next(now) ──> the caller reads the register ──> ended(job, result, now): changed?
//
// Pure: no I/O, times passed in.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/read_lines.h"

// The client's own failures are its words; the list engine stays out of sight.
namespace varnak {
class WatchList;
struct ListReport;
}  // namespace varnak

namespace varnak::cli {

// "R1000,R1001": registers in octal as `read` takes them, in this order, each
// shown in hex; false, with `error` saying why, for a bad or repeated one.
bool ParseRegisterList(const std::string& text, std::vector<ReadItem>* items, std::string* error);

class WatchRegisters {
 public:
  explicit WatchRegisters(const std::vector<ReadItem>& items);
  ~WatchRegisters();

  bool empty() const;
  // The register to read next.
  std::optional<unsigned> next(std::int64_t now);
  // That read gave `value`; true when a row's value changed (or was read the first time).
  bool ended(unsigned reg, std::uint16_t value, std::int64_t now);
  // Told of every whole value read, for a recording.
  void setReporter(std::function<void(const ListReport&)> reporter);
  // Every row has had a good read.
  bool allKnown() const;
  // " R1000=0041 R1001=1234", each row in its format (hex unless a list file says).
  std::string lineText() const;
  // ", \"R1000\": \"0041\", ..." for a JSON line.
  std::string jsonText() const;
  // The registers read, in the rows' order (a pair's second after its first): the files' columns.
  std::vector<unsigned> columns() const;

 private:
  std::unique_ptr<WatchList> list_;
  std::vector<std::uint64_t> revisions_;  // each row's value as last seen, by its revision
  std::vector<std::string> shown_;        // each row's value text as last seen
};

}  // namespace varnak::cli
