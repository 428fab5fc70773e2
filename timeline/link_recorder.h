// Feeds a Recorder from the link control's reports: each poll reply that set the
// lamps is a sample, each write and read a command with its outcome.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "control/link_events.h"
#include "control/panel_fields.h"
#include "timeline/recorder.h"

namespace varnak {

class LinkRecorder : public LinkObserver {
 public:
  // Milliseconds on the recorder's clock.
  using Clock = std::function<std::int64_t()>;
  // `panel` gives the register and value of a command at its click.
  LinkRecorder(Recorder& recorder, const PanelFields& panel, Clock clock)
      : recorder_(recorder), panel_(panel), clock_(std::move(clock)) {}

  void onLinkEvent(const LinkEvent& event) override;

 private:
  Recorder& recorder_;
  const PanelFields& panel_;
  Clock clock_;
  std::string valueRead_;  // of the read under way, from its data reply
};

}  // namespace varnak
