// A port that reports every chunk it writes and receives, and otherwise passes
// everything through unchanged: the window behaves the same with it.
#pragma once

#include <functional>

#include "line/serial_port.h"

namespace varnak {

class TracingPort : public SerialPort, private TransportListener {
 public:
  using Sink = std::function<void(const char* direction, const Bytes& chunk)>;
  TracingPort(SerialPort& port, Sink sink) : port_(port), sink_(std::move(sink)) { port_.setListener(this); }
  ~TracingPort() override { port_.setListener(nullptr); }

  void setPortNumber(std::optional<int> n) override { port_.setPortNumber(n); }
  bool networkLine() const override { return port_.networkLine(); }
  std::string label() const override { return port_.label(); }
  bool isOpen() const override { return port_.isOpen(); }
  bool ready() const override { return port_.ready(); }
  bool open() override { return port_.open(); }
  void close() override { port_.close(); }
  bool write(const Bytes& frame) override {
    const bool ok = port_.write(frame);
    if (ok) sink_("TX", frame);
    return ok;
  }
  void apply(PortSetting s) override { port_.apply(s); }

 private:
  void onChunk(const Bytes& chunk, std::int64_t now) override {
    if (!chunk.empty()) sink_("RX", chunk);
    if (listener_) listener_->onChunk(chunk, now);
  }
  void onProblem(const std::string& problem, std::int64_t now) override {
    if (listener_) listener_->onProblem(problem, now);
  }
  void onNote(const std::string& note, std::int64_t now) override {
    if (listener_) listener_->onNote(note, now);
  }

  SerialPort& port_;
  Sink sink_;
};

}  // namespace varnak
