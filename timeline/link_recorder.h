// Feeds a Recorder from the link control's reports: each poll reply that set the
// lamps is a sample, each write and read a command, marked at its click, with
// its outcome; each at the time the report carries, on the recorder's clock.
#pragma once

#include <cstdint>

#include "control/link_events.h"
#include "timeline/recorder.h"

namespace varnak {

class LinkRecorder : public LinkObserver {
 public:
  explicit LinkRecorder(Recorder& recorder) : recorder_(recorder) {}

  void onLinkEvent(const LinkEvent& event) override;

 private:
  Recorder& recorder_;
  struct Waiting {
    ExchangeKind exchange = ExchangeKind::Write;
    std::string reg, value;
  } waitingFor_;          // the command that waits, as its Waiting event named it
  bool waiting_ = false;  // the newest marker is a command clicked during another exchange
};

}  // namespace varnak
