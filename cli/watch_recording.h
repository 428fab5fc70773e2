// What `varnak watch --csv` and `--vcd FILE` write: the outputs recorded as the
// window records them, its CSV rows on a stream (stdout) and its VCD into a
// file, each row flushed as it comes, and the VCD closed with its last timestamp
// however watch ends, so that the file is complete.
#pragma once

#include <cstdint>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>

#include <vector>

#include "timeline/csv_writer.h"
#include "timeline/recorder.h"
#include "timeline/vcd_writer.h"

namespace varnak {
struct ListReport;
}

namespace varnak::cli {

class WatchRecording {
 public:
  // `startMs` on the clock of every later call; `startEpochMs` the wall clock then.
  WatchRecording(std::int64_t startMs, std::int64_t startEpochMs);
  ~WatchRecording();

  // Registers read between the polls, before writeCsv() and writeVcd(): their
  // columns and vectors, in this order. With registers, nothing is written until
  // start(): the first row has the outputs and every register.
  void setColumns(std::vector<unsigned> columns);
  // What the register list learnt (a value read, a read failed).
  void report(std::int64_t now, const ListReport& report);
  // The first row, with everything read so far; then each change as it comes.
  void start(std::int64_t now);

  // CSV rows onto `out` (the header now).
  void writeCsv(std::ostream& out);
  // A VCD into `path` (the header now); false, with `error` saying why, if it cannot be written.
  bool writeVcd(const std::string& path, std::string* error);

  // A poll reply with the outputs.
  void sample(std::int64_t now, Outputs outputs);
  // The closing timestamp; nothing is written after it.
  void close(std::int64_t now);
  // False once a write to the CSV stream or the VCD file failed.
  bool ok() const { return ok_; }

 private:
  void row(const TimelineRow& row);

  Recorder recorder_;
  std::ostream* csvOut_ = nullptr;
  std::unique_ptr<CsvWriter> csv_;
  std::ofstream vcdFile_;
  std::unique_ptr<VcdWriter> vcd_;
  bool closed_ = false;
  bool held_ = false;  // rows wait for start()
  bool ok_ = true;
};

}  // namespace varnak::cli
