// The recording as CSV, for spreadsheets: a header, then one row per change or
// event. The window writes a whole recording; the client writes rows as they come.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "timeline/event_words.h"
#include "timeline/recorder.h"

namespace varnak {

class CsvWriter {
 public:
  // `startEpochMs`: the wall clock at the recording's start, for the first column.
  // `columns`: the registers after Q7, in this order; each row carries their cells.
  CsvWriter(std::ostream& out, std::int64_t startEpochMs, EventWords words = {},
            std::vector<unsigned> columns = {});

  // time,ms,Q0,...,Q7,R1000,...,event
  void header();
  // Local clock time, ms since the start, Q0..Q7 as 0/1 (empty before the first
  // reply), each register as four hex digits (empty before its first good read),
  // and the event quoted as CSV quotes text.
  void row(const TimelineRow& row);

 private:
  std::ostream& out_;
  std::int64_t startEpochMs_;
  EventWords words_;
  std::vector<unsigned> columns_;
};

// Every row of the recording up to `now`, with the registers in `columns`.
void WriteCsv(std::ostream& out, const Recorder& recorder, std::int64_t now, const EventWords& words = {},
              const std::vector<unsigned>& columns = {});

// "text" with every " doubled.
std::string CsvQuoted(const std::string& text);

}  // namespace varnak
