#include "serial_line.h"

#include <algorithm>

namespace varnak::cli {

namespace {

using Clock = std::chrono::steady_clock;

int SliceUntil(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, SerialLine::kSliceMs));
}

// A frame is 17 bytes at most: some 20 ms at 9600 baud. A line that takes a
// second to take it is not sending.
constexpr auto kWriteLimit = std::chrono::milliseconds(1000);

}  // namespace

SerialLine::SerialLine(std::function<bool()> stopRequested) : stopRequested_(std::move(stopRequested)) {
  port_.setBaudRate(9600);
  port_.setParity(QSerialPort::OddParity);
  port_.setDataBits(QSerialPort::Data8);
  port_.setStopBits(QSerialPort::OneStop);
  port_.setFlowControl(QSerialPort::NoFlowControl);
}

SerialLine::~SerialLine() { lock_.close(port_); }

std::optional<OpenFailure> SerialLine::open(const QString& device) {
  failure_.clear();
  return lock_.open(port_, device);
}

bool SerialLine::usable() {
  if (!failure_.empty()) return false;
  if (stopRequested_ && stopRequested_()) {
    failure_ = "stopped";
  } else if (!port_.isOpen() || port_.error() == QSerialPort::ResourceError) {
    failure_ = "device lost (unplugged or hung up)";
  }
  return failure_.empty();
}

bool SerialLine::write(const Bytes& bytes) {
  if (!usable()) return false;
  const auto size = static_cast<qint64>(bytes.size());
  if (port_.write(reinterpret_cast<const char*>(bytes.data()), size) != size) {
    usable();
    return false;
  }
  const auto deadline = Clock::now() + kWriteLimit;
  while (port_.bytesToWrite() > 0) {
    if (!port_.waitForBytesWritten(std::max(1, SliceUntil(deadline)))) {
      if (!usable() || Clock::now() >= deadline) return false;
    }
  }
  return usable();
}

Bytes SerialLine::readSome(Clock::time_point deadline) {
  while (usable()) {
    if (port_.bytesAvailable() > 0) {
      const QByteArray got = port_.readAll();
      return Bytes(got.begin(), got.end());
    }
    const int slice = SliceUntil(deadline);
    if (slice <= 0) break;
    port_.waitForReadyRead(slice);
  }
  return {};
}

void SerialLine::drain() {
  if (!usable()) return;
  port_.clear(QSerialPort::Input);
  port_.readAll();
}

}  // namespace varnak::cli
