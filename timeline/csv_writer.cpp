#include "csv_writer.h"

#include "timeline/local_time.h"

namespace varnak {

std::string CsvQuoted(const std::string& text) {
  std::string s = "\"";
  for (char c : text) {
    if (c == '"') s += '"';
    s += c;
  }
  return s + '"';
}

CsvWriter::CsvWriter(std::ostream& out, std::int64_t startEpochMs, EventWords words)
    : out_(out), startEpochMs_(startEpochMs), words_(std::move(words)) {}

void CsvWriter::header() { out_ << "time,ms,Q0,Q1,Q2,Q3,Q4,Q5,Q6,Q7,event\n"; }

void CsvWriter::row(const TimelineRow& row) {
  std::string line = LocalIsoTime(startEpochMs_ + row.t);
  line += ',';
  line += std::to_string(row.t);
  for (int i = 0; i < 8; ++i) {
    line += ',';
    if (row.known) line += ((row.outputs >> i) & 1) ? '1' : '0';
  }
  line += ',';
  const std::string event = words_.text(row);
  if (!event.empty()) line += CsvQuoted(event);
  line += '\n';
  out_ << line;
}

void WriteCsv(std::ostream& out, const Recorder& recorder, std::int64_t now, const EventWords& words) {
  CsvWriter writer(out, recorder.startEpochMs(), words);
  writer.header();
  recorder.forEachRow(now, [&writer](const TimelineRow& row) { writer.row(row); });
}

}  // namespace varnak
