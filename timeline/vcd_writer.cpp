#include "vcd_writer.h"

#include <algorithm>

#include "link/register_number.h"
#include "timeline/local_time.h"

namespace varnak {

namespace {

// Identifiers of the nine wires: Q0..Q7, then live.
constexpr char kIds[] = "!\"#$%&'()";
constexpr int kLiveWire = 8;

// A comment ends at the first "$end": no text of ours may contain a '$'.
std::string Plain(std::string text) {
  for (char& c : text)
    if (c == '$' || c == '\n' || c == '\r') c = ' ';
  return text;
}

}  // namespace

std::string VcdId(std::size_t i) {
  constexpr std::size_t kDigits = '~' - '!' + 1;
  std::string id;
  do {
    id += static_cast<char>('!' + i % kDigits);
    i /= kDigits;
  } while (i > 0);
  return id;
}

VcdWriter::VcdWriter(std::ostream& out, std::vector<unsigned> columns)
    : out_(out), columns_(std::move(columns)), shown_(columns_.size(), -1) {}

void VcdWriter::header(std::int64_t startEpochMs, const std::vector<std::string>& comments) {
  std::string h = "$date " + LocalIsoTime(startEpochMs) + " $end\n";
  h += "$version varnak " VARNAK_VERSION " $end\n";
  if (!comments.empty()) {
    h += "$comment\n";
    for (const std::string& c : comments) h += "  " + Plain(c) + "\n";
    h += "$end\n";
  }
  h += "$timescale 1 ms $end\n$scope module varnak $end\n";
  for (int i = 0; i <= kLiveWire; ++i) {
    h += "$var wire 1 ";
    h += kIds[i];
    h += i == kLiveWire ? std::string(" live") : " Q" + std::to_string(i);
    h += " $end\n";
  }
  for (std::size_t c = 0; c < columns_.size(); ++c)
    h += "$var wire 16 " + VcdId(kLiveWire + 1 + c) + " " + RegisterName(columns_[c]) + " $end\n";
  h += "$upscope $end\n$enddefinitions $end\n";
  out_ << h;
}

void VcdWriter::row(const TimelineRow& row) {
  if (row.event == TimelineRow::Event::Command || !row.known) return;
  const unsigned changed = started_ ? (row.outputs ^ outputs_) : 0xFFu;
  std::string values;
  for (int i = 0; i < 8; ++i) {
    if (((changed >> i) & 1u) == 0) continue;
    const char line[] = {((row.outputs >> i) & 1) ? '1' : '0', kIds[i], '\n'};
    values.append(line, sizeof line);
  }
  if (!started_ || row.live != live_) {
    const char line[] = {row.live ? '1' : '0', kIds[kLiveWire], '\n'};
    values.append(line, sizeof line);
  }
  for (std::size_t c = 0; c < columns_.size(); ++c) {
    const RegisterCell cell = row.cells && c < row.cells->size() ? (*row.cells)[c] : RegisterCell{};
    const int value = cell.known && cell.live ? cell.value : -1;
    if (started_ && value == shown_[c]) continue;
    shown_[c] = value;
    std::string bits = "bx";
    if (value >= 0) {
      bits = "b";
      for (int b = 15; b >= 0; --b) bits += ((value >> b) & 1) ? '1' : '0';
    }
    values += bits + ' ' + VcdId(kLiveWire + 1 + c) + '\n';
  }
  if (values.empty()) return;
  const std::int64_t t = std::max(row.t, lastT_);
  if (!started_ || t != lastT_) values = "#" + std::to_string(t) + "\n" + values;
  started_ = true;
  lastT_ = t;
  outputs_ = row.outputs;
  live_ = row.live;
  out_ << values;
}

void VcdWriter::close(std::int64_t t) {
  // Readers show nothing after the last timestamp: the closing one always lies
  // beyond the last change.
  if (closedAt_ && t <= *closedAt_) return;  // closed already
  if (started_ && t <= lastT_) t = lastT_ + 1;
  out_ << "#" << t << "\n";
  started_ = true;
  lastT_ = t;
  closedAt_ = t;
}

std::string VcdCommandComment(const CommandMarker& command, std::int64_t startEpochMs,
                              const EventWords& words) {
  return "at " + std::to_string(command.t) + " ms (" + LocalIsoTime(startEpochMs + command.t) +
         "): " + words.command(command);
}

void WriteVcd(std::ostream& out, const Recorder& recorder, std::int64_t now, const EventWords& words,
              const std::vector<unsigned>& columns) {
  std::vector<std::string> comments;
  for (const CommandMarker& m : recorder.markers())
    comments.push_back(VcdCommandComment(m, recorder.startEpochMs(), words));
  VcdWriter writer(out, columns);
  writer.header(recorder.startEpochMs(), comments);
  recorder.forEachRow(now, columns, [&writer](const TimelineRow& row) { writer.row(row); });
  writer.close(recorder.elapsed(now));
}

}  // namespace varnak
