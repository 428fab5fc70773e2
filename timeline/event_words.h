// How the files word what happened: English for the client, the operator's
// language for the window, which passes its own words.
#pragma once

#include <functional>
#include <string>

#include "timeline/recorder.h"

namespace varnak {

// "write R2000 = 00A5 confirmed", "write R2000 = 00A5 not confirmed",
// "read R1000 = 1234", "read R1000 failed"; "..." while under way.
std::string EnglishCommandText(const CommandMarker& command);

struct EventWords {
  std::function<std::string(const CommandMarker&)> command = EnglishCommandText;
  std::string notLive = "not live";
  std::string liveAgain = "live again";
  // A register's: %1 is its name (R1000).
  std::string registerNotLive = "%1 not live";
  std::string registerLiveAgain = "%1 live again";

  // The event of a row, or an empty text for a plain change.
  std::string text(const TimelineRow& row) const;
};

}  // namespace varnak
