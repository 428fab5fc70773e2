// Feeds a Recorder from the link control's reports: each poll reply that set the
// lamps is a sample, each write and read a command, marked at its click, with
// its outcome.
#pragma once

#include <cstdint>
#include <functional>

#include "control/link_events.h"
#include "timeline/recorder.h"

namespace varnak {

class LinkRecorder : public LinkObserver {
 public:
  // Milliseconds on the recorder's clock.
  using Clock = std::function<std::int64_t()>;
  LinkRecorder(Recorder& recorder, Clock clock) : recorder_(recorder), clock_(std::move(clock)) {}

  void onLinkEvent(const LinkEvent& event) override;

 private:
  Recorder& recorder_;
  Clock clock_;
  struct Waiting {
    ExchangeKind exchange = ExchangeKind::Write;
    std::string reg, value;
  } waitingFor_;          // the command that waits, as its Waiting event named it
  bool waiting_ = false;  // the newest marker is a command clicked during another exchange
};

}  // namespace varnak
