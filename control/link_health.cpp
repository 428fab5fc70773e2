#include "link_health.h"

namespace varnak {

std::string StatusMessage(const std::string& portProblem, bool noReply, std::optional<int> portNumber) {
  if (!portProblem.empty()) return portProblem;
  if (!noReply) return {};
  return "COM" + (portNumber ? std::to_string(*portNumber) : std::string()) +
         ": no reply from the controller";
}

}  // namespace varnak
