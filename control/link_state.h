// The link state: the only memory of where an exchange stands.
#pragma once

#include <string>

#include "link/text.h"

namespace varnak {

struct LinkState {
  Text FrameText;            // hex text of the frame part being built; "4e2105" for the enquiry
  Text SendText;             // hex text of the whole frame about to be transmitted
  Bytes RxBytes;             // the last non-empty chunk read from the port
  int RxLastIndex = 0;       // highest index of RxBytes (its byte count minus 1)
  std::string LineSettings;  // "9600,o,8,1" from start-up on
  Text PortText;             // the port text last taken from Combo1 by its change event
  bool PollMode = false;     // the exchange under way is the timer's read of the outputs
  bool WriteMode = false;    // the exchange under way is an operator write
  bool PollHold = false;     // the timer must not start an exchange
};

}  // namespace varnak
