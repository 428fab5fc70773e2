// A serial port that reports every chunk it writes and reads, and otherwise
// passes everything through unchanged: the window behaves the same with it.
#pragma once

#include <functional>

#include "control/serial_port.h"

namespace varnak {

class TracingPort : public SerialPort {
 public:
  using Sink = std::function<void(const char* direction, const Bytes& chunk)>;
  TracingPort(SerialPort& port, Sink sink) : port_(port), sink_(std::move(sink)) {}

  bool isOpen() const override { return port_.isOpen(); }
  void close() override { port_.close(); }
  void setPortNumber(std::optional<int> n) override { port_.setPortNumber(n); }
  bool setLineSettings(const std::string& s) override { return port_.setLineSettings(s); }
  void clearInput() override { port_.clearInput(); }
  void setReadLength(int n) override { port_.setReadLength(n); }
  void setDtr(bool on) override { port_.setDtr(on); }
  void setInputMode(InputMode m) override { port_.setInputMode(m); }
  void setHandshaking(Handshaking h) override { port_.setHandshaking(h); }
  void setReceiveThreshold(int n) override { port_.setReceiveThreshold(n); }
  void setSendThreshold(int n) override { port_.setSendThreshold(n); }
  bool open() override { return port_.open(); }
  bool write(const Bytes& bytes) override {
    const bool ok = port_.write(bytes);
    if (ok) sink_("TX", bytes);
    return ok;
  }
  CommEvent lastEvent() const override { return port_.lastEvent(); }
  Bytes read() override {
    Bytes chunk = port_.read();
    if (!chunk.empty()) sink_("RX", chunk);
    return chunk;
  }
  std::string lastError() const override { return port_.lastError(); }

 private:
  SerialPort& port_;
  Sink sink_;
};

}  // namespace varnak
