// One line of text per link event, for the line monitor and for --trace alike:
//
//   16:02:13.123     812.402 TX 4E 21 05  enquiry
//   16:02:13.131     820.950 RX 4E 21 06  enquiry ack -> poll header sent
//   16:02:13.340    1030.112 -- poll started by the poll timer
#pragma once

#include <string>

#include "control/link_events.h"
#include "link/words.h"

namespace varnak {

// `timeOfDay` as "HH:MM:SS.mmm"; `msSinceStart` on the tool's monotonic clock.
// The words in the operator's language where `lang` translates them.
std::string FormatLinkEvent(const LinkEvent& event, const std::string& timeOfDay, double msSinceStart,
                            Translate lang = English);

}  // namespace varnak
