#include "link_health.h"

#include "line/port_number.h"

namespace varnak {

std::string StatusMessage(const std::string& portProblem, bool noReply, std::optional<int> portNumber,
                          Translate lang) {
  if (!portProblem.empty()) return portProblem;
  if (!noReply) return {};
  return Fill(lang("LinkHealth", QT_TRANSLATE_NOOP("LinkHealth", "%1: no reply from the controller")),
              {PortName(portNumber)});
}

}  // namespace varnak
