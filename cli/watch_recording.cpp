#include "watch_recording.h"

#include <cerrno>
#include <cstring>

#include "timeline/list_recorder.h"

namespace varnak::cli {

WatchRecording::WatchRecording(std::int64_t startMs, std::int64_t startEpochMs)
    : recorder_(startMs, startEpochMs) {
  recorder_.setListener([this](const TimelineRow& r) { row(r); });
}

WatchRecording::~WatchRecording() = default;

void WatchRecording::setColumns(std::vector<unsigned> columns) {
  held_ = !columns.empty();
  recorder_.setColumns(std::move(columns));
}

void WatchRecording::report(std::int64_t now, const ListReport& r) {
  if (!closed_) RecordListReport(recorder_, now, r);
}

void WatchRecording::start(std::int64_t now) {
  if (!held_ || closed_) return;
  held_ = false;
  TimelineRow first;
  first.t = recorder_.elapsed(now);
  first.known = !recorder_.changes().empty();
  first.outputs = first.known ? recorder_.changes().back().outputs() : 0;
  first.live = recorder_.liveAt(first.t);
  first.cells = &recorder_.currentCells();
  row(first);
}

void WatchRecording::writeCsv(std::ostream& out) {
  csvOut_ = &out;
  csv_ = std::make_unique<CsvWriter>(out, recorder_.startEpochMs(), EventWords{}, recorder_.columns());
  csv_->header();
  ok_ = ok_ && static_cast<bool>(out.flush());
}

bool WatchRecording::writeVcd(const std::string& path, std::string* error) {
  vcdFile_.open(path, std::ios::out | std::ios::trunc);
  if (!vcdFile_) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  vcd_ = std::make_unique<VcdWriter>(vcdFile_, recorder_.columns());
  vcd_->header(recorder_.startEpochMs(), {});
  ok_ = ok_ && static_cast<bool>(vcdFile_.flush());
  return true;
}

void WatchRecording::sample(std::int64_t now, Outputs outputs) {
  if (!closed_) recorder_.sample(now, outputs);
}

void WatchRecording::row(const TimelineRow& r) {
  if (held_) return;
  if (csv_) {
    csv_->row(r);
    ok_ = ok_ && static_cast<bool>(csvOut_->flush());
  }
  if (vcd_) {
    vcd_->row(r);
    ok_ = ok_ && static_cast<bool>(vcdFile_.flush());
  }
}

void WatchRecording::close(std::int64_t now) {
  if (closed_) return;
  recorder_.advance(now);  // a span not live at the end is in the file too
  closed_ = true;
  if (vcd_) {
    vcd_->close(recorder_.elapsed(now));
    vcdFile_.flush();
    ok_ = ok_ && static_cast<bool>(vcdFile_);
    vcdFile_.close();
  }
}

}  // namespace varnak::cli
