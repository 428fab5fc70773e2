// The recording as CSV, for spreadsheets: a header, then one row per change or
// event. The window writes a whole recording; the client writes rows as they come.
#pragma once

#include <cstdint>
#include <ostream>

#include "timeline/event_words.h"
#include "timeline/recorder.h"

namespace varnak {

class CsvWriter {
 public:
  // `startEpochMs`: the wall clock at the recording's start, for the first column.
  CsvWriter(std::ostream& out, std::int64_t startEpochMs, EventWords words = {});

  // time,ms,Q0,...,Q7,event
  void header();
  // Local clock time, ms since the start, Q0..Q7 as 0/1 (empty before the first
  // reply), and the event quoted as CSV quotes text.
  void row(const TimelineRow& row);

 private:
  std::ostream& out_;
  std::int64_t startEpochMs_;
  EventWords words_;
};

// Every row of the recording up to `now`.
void WriteCsv(std::ostream& out, const Recorder& recorder, std::int64_t now, const EventWords& words = {});

// "text" with every " doubled.
std::string CsvQuoted(const std::string& text);

}  // namespace varnak
