// The bridge's line: made from the text --port takes, as the client takes it.
// The one place where the bridge chooses a port backend.
#pragma once

#include <QString>
#include <memory>
#include <string>

#include "serial/numbered_port.h"

namespace varnak::bridge {

struct BridgePort {
  std::unique_ptr<NumberedPort> port;
  QString answer;     // the port number the link control is started with
  std::string label;  // names the line for the operator: "/dev/ttyUSB0", "COM2", "tcp://plc:4001"
};

// A device path, a network address (tcp://, socket://, rfc2217://) or a port
// number as 'varnak ports' lists them; none with `why` for other text.
std::unique_ptr<BridgePort> MakeBridgePort(const std::string& text, std::string* why);

}  // namespace varnak::bridge
