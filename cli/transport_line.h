// The client's line on any transport that the factory makes (a serial device
// server over raw TCP or RFC 2217), in blocking form: each wait runs the event
// loop in slices of at most 100 ms, asking between slices whether the program
// was told to stop.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "cli/line.h"
#include "control/transport.h"

class QEventLoop;

namespace varnak::cli {

class TransportLine : public Line, private TransportListener {
 public:
  TransportLine(std::unique_ptr<Transport> transport, std::function<bool()> stopRequested);
  ~TransportLine() override;

  // Connects (and, for RFC 2217, sets the line) before the first frame, so that
  // a server that is not there is said at once. Nothing on success, else the
  // problem's sentence, naming the address.
  std::optional<std::string> open(int limitMs);
  bool write(const Bytes& bytes) override;
  Bytes readSome(std::chrono::steady_clock::time_point deadline) override;
  void drain() override;
  std::string failure() const override { return failure_; }

 private:
  void onChunk(const Bytes& chunk, std::int64_t now) override;
  void onProblem(const std::string& problem, std::int64_t now) override;
  void onNote(const std::string& note, std::int64_t now) override;
  bool usable();
  // Runs the event loop until `until` (at most `sliceMs`) or something arrives.
  void runSlice(std::chrono::steady_clock::time_point until, int sliceMs);

  std::unique_ptr<Transport> transport_;
  std::function<bool()> stopRequested_;
  Bytes received_;
  std::string failure_;
  QEventLoop* running_ = nullptr;  // the slice under way, ended early by a chunk or a problem
};

}  // namespace varnak::cli
