// The client's line on QSerialPort in its blocking form, opened and locked as
// the window opens it (PortLock). Every wait is cut into slices of at most
// 100 ms, because Qt's waits restart after a signal: between slices the line
// asks whether the program was told to stop.
#pragma once

#include <QSerialPort>
#include <functional>
#include <optional>

#include "cli/line.h"
#include "serial/port_lock.h"

namespace varnak::cli {

class SerialLine : public Line {
 public:
  // `stopRequested` is asked between slices of every wait.
  explicit SerialLine(std::function<bool()> stopRequested);
  ~SerialLine() override;

  // Nothing on success.
  std::optional<OpenFailure> open(const QString& device);
  bool write(const Bytes& bytes) override;
  Bytes readSome(std::chrono::steady_clock::time_point deadline) override;
  void drain() override;
  std::string failure() const override { return failure_; }

  static constexpr int kSliceMs = 100;

 private:
  // False, with failure_ set, once the device is gone or a stop was asked for.
  bool usable();

  QSerialPort port_;
  PortLock lock_;
  std::function<bool()> stopRequested_;
  std::string failure_;
};

}  // namespace varnak::cli
