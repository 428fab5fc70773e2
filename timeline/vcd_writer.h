// The recording as a value change dump (IEEE 1364), for waveform viewers: one
// 1-bit wire per output Q0..Q7 and one named `live`, in milliseconds, then one
// 16-bit vector per register of the columns (`R1000`), unknown (x) before its
// first good read and while it is not live.
//
// The commands go into the header, one comment line each with its time: a
// comment among the value changes makes some readers drop every change after it.
// A closing timestamp ends the file, since readers show nothing after the last
// timestamp; the client writes it at Ctrl+C or when it stops at a failure, so a
// file written as the recording goes is complete whenever the client ends.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "timeline/event_words.h"
#include "timeline/recorder.h"

namespace varnak {

class VcdWriter {
 public:
  explicit VcdWriter(std::ostream& out, std::vector<unsigned> columns = {});

  // Everything up to $enddefinitions; `comments` one line each.
  void header(std::int64_t startEpochMs, const std::vector<std::string>& comments);
  // At the first row every value, then the values that changed. Command rows
  // add nothing here: they are in the header.
  void row(const TimelineRow& row);
  // The closing timestamp, `t` ms since the start (never before the last one).
  void close(std::int64_t t);

 private:
  std::ostream& out_;
  bool started_ = false;
  std::optional<std::int64_t> closedAt_;  // the closing timestamp written, if any
  std::int64_t lastT_ = 0;
  Outputs outputs_ = 0;
  bool live_ = false;
  std::vector<unsigned> columns_;
  std::vector<int> shown_;  // each column's value as written: 0..65535, or -1 for x
};

// The comment line of one command: "at 1234 ms (2026-12-07T21:03:05.123+01:00): write ...".
std::string VcdCommandComment(const CommandMarker& command, std::int64_t startEpochMs,
                              const EventWords& words);

// The whole recording up to `now`, its commands in the header, closed at `now`.
void WriteVcd(std::ostream& out, const Recorder& recorder, std::int64_t now, const EventWords& words = {},
              const std::vector<unsigned>& columns = {});

// The identifier of the i-th variable: "!" .. "~", then two characters and more.
std::string VcdId(std::size_t i);

}  // namespace varnak
