#include "csv_writer.h"

#include "link/register_number.h"
#include "link/text.h"
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

CsvWriter::CsvWriter(std::ostream& out, std::int64_t startEpochMs, EventWords words,
                     std::vector<unsigned> columns)
    : out_(out), startEpochMs_(startEpochMs), words_(std::move(words)), columns_(std::move(columns)) {}

void CsvWriter::header() {
  std::string line = "time,ms,Q0,Q1,Q2,Q3,Q4,Q5,Q6,Q7,";
  for (unsigned reg : columns_) line += RegisterName(reg) + ',';
  out_ << line << "event\n";
}

void CsvWriter::row(const TimelineRow& row) {
  std::string line = LocalIsoTime(startEpochMs_ + row.t);
  line += ',';
  line += std::to_string(row.t);
  for (int i = 0; i < 8; ++i) {
    line += ',';
    if (row.known) line += ((row.outputs >> i) & 1) ? '1' : '0';
  }
  for (std::size_t c = 0; c < columns_.size(); ++c) {
    line += ',';
    if (row.cells && c < row.cells->size() && (*row.cells)[c].known) line += ValueHex((*row.cells)[c].value);
  }
  line += ',';
  const std::string event = words_.text(row);
  if (!event.empty()) line += CsvQuoted(event);
  line += '\n';
  out_ << line;
}

void WriteCsv(std::ostream& out, const Recorder& recorder, std::int64_t now, const EventWords& words,
              const std::vector<unsigned>& columns) {
  CsvWriter writer(out, recorder.startEpochMs(), words, columns);
  writer.header();
  recorder.forEachRow(now, columns, [&writer](const TimelineRow& row) { writer.row(row); });
}

}  // namespace varnak
