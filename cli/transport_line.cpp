#include "transport_line.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace varnak::cli {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kSliceMs = 100;

}  // namespace

TransportLine::TransportLine(std::unique_ptr<Transport> transport, std::function<bool()> stopRequested)
    : transport_(std::move(transport)), stopRequested_(std::move(stopRequested)) {
  transport_->setListener(this);
  transport_->apply(PortSetting::LineSettings);
  transport_->apply(PortSetting::ClearInput);
  transport_->apply(PortSetting::DtrOff);
  transport_->apply(PortSetting::NoHandshaking);
}

TransportLine::~TransportLine() {
  transport_->setListener(nullptr);
  transport_->close();
}

void TransportLine::onChunk(const Bytes& chunk, std::int64_t) {
  received_.insert(received_.end(), chunk.begin(), chunk.end());
  if (running_) running_->quit();
}

void TransportLine::onProblem(const std::string& problem, std::int64_t) {
  if (!problem.empty() && failure_.empty()) failure_ = problem;
  if (running_) running_->quit();
}

void TransportLine::onNote(const std::string& note, std::int64_t) {
  std::fprintf(stderr, "varnak: note: %s\n", note.c_str());
}

void TransportLine::runSlice(Clock::time_point until, int sliceMs) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
  const int ms = static_cast<int>(std::clamp<long long>(left, 0, sliceMs));
  // Sleeps in the loop until the slice ends or the transport has something
  // (a chunk, a problem): the caller then looks again.
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  running_ = &loop;
  loop.exec();
  running_ = nullptr;
}

bool TransportLine::usable() {
  if (!failure_.empty()) return false;
  if (stopRequested_ && stopRequested_()) failure_ = "stopped";
  return failure_.empty();
}

std::optional<std::string> TransportLine::open(int limitMs) {
  if (!transport_->open()) return failure_.empty() ? std::string("cannot open") : failure_;
  const auto until = Clock::now() + std::chrono::milliseconds(limitMs);
  // Readiness has no event of its own: look every few ms.
  while (usable() && !transport_->ready() && Clock::now() < until) runSlice(until, 5);
  if (!failure_.empty()) return failure_;
  if (!transport_->ready()) return std::string("not ready in time");
  return std::nullopt;
}

bool TransportLine::write(const Bytes& bytes) {
  if (!usable()) return false;
  return transport_->write(bytes) && usable();
}

Bytes TransportLine::readSome(Clock::time_point deadline) {
  while (usable() && received_.empty() && Clock::now() < deadline) runSlice(deadline, kSliceMs);
  Bytes out;
  if (!usable()) return out;
  out.swap(received_);
  return out;
}

void TransportLine::drain() {
  QCoreApplication::processEvents();
  received_.clear();
}

}  // namespace varnak::cli
