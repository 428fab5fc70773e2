#include "bridge/bridge_port.h"

#include "line/port_number.h"
#include "link/text.h"
#include "net/address.h"

namespace varnak::bridge {

std::unique_ptr<BridgePort> MakeBridgePort(const std::string& text, std::string* why) {
  auto p = std::make_unique<BridgePort>();
  if (const auto n = ParsePortNumber(FromUtf8(text))) {
    p->port = std::make_unique<NumberedPort>();
    p->answer = QString::number(*n);
    p->label = PortName(*n);
    return p;
  }
  std::string error;
  const bool network = IsNetworkAddress(text);
  if ((network && ParseLineAddress(text, &error)) ||
      (!network && !text.empty() && (text[0] == '/' || text[0] == '.'))) {
    // Bound to number 1, as the window's --port 1=ADDRESS binds it.
    p->port = std::make_unique<NumberedPort>(QMap<int, QString>{{1, QString::fromStdString(text)}});
    p->answer = QStringLiteral("1");
    p->label = text;
    return p;
  }
  *why = !error.empty() ? error
                        : "--port wants a device path, tcp://HOST:PORT, rfc2217://HOST:PORT or a port number "
                          "from 1 to 32767, got: " +
                              text;
  return nullptr;
}

}  // namespace varnak::bridge
