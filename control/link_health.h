// Whether what the window shows is still live: the lamps go stale when no poll
// reply has set them for a while, and the title says so when frames go out and
// nothing recognisable comes back. Times are milliseconds on any monotonic clock,
// passed in, so that the rules can be tested without waiting.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "link/words.h"

namespace varnak {

class LinkHealth {
 public:
  // Five poll periods.
  static constexpr std::int64_t kStaleAfterMs = 1000;

  // A frame went out on the line.
  void frameSent(std::int64_t now) {
    if (!unansweredSince_) unansweredSince_ = now;
    lastSent_ = now;
  }
  // The controller answered with an enquiry ack, an ack or a good data reply.
  void replyRecognised(std::int64_t) { unansweredSince_.reset(); }
  // A poll reply set the lamps.
  void lampsSet(std::int64_t now) { lampsSetAt_ = now; }

  // The lamps show outputs older than kStaleAfterMs, or none at all yet.
  bool lampsStale(std::int64_t now) const { return !lampsSetAt_ || now - *lampsSetAt_ >= kStaleAfterMs; }
  // Frames have been going out for kStaleAfterMs without a recognised reply.
  // While nothing goes out (polling held) silence says nothing of the controller.
  bool noReply(std::int64_t now) const {
    return unansweredSince_ && now - *unansweredSince_ >= kStaleAfterMs && now - lastSent_ < kStaleAfterMs;
  }

 private:
  std::optional<std::int64_t> unansweredSince_;  // first frame sent since the last recognised reply
  std::optional<std::int64_t> lampsSetAt_;
  std::int64_t lastSent_ = 0;
};

// What the window shows after its plain title: the port's problem if it has one
// (it says more than silence does), else "COM1: no reply from the controller"
// while nothing answers, else nothing. The port's problem comes in the
// operator's language already; `lang` translates the rest.
std::string StatusMessage(const std::string& portProblem, bool noReply, std::optional<int> portNumber,
                          Translate lang = English);

}  // namespace varnak
