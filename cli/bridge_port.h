// The bridge's line: made from the text --port takes, as the client takes it.
// The one place where the bridge chooses a port backend.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "serial/qt_serial_port.h"

namespace varnak::cli {

struct BridgePort {
  std::unique_ptr<QtSerialPort> port;
  QString answer;     // the port number the link control is started with
  std::string label;  // names the line for the operator: "/dev/ttyUSB0", "COM2"
};

// A device path, or a port number as 'varnak ports' lists them; none with `why` for other text.
std::unique_ptr<BridgePort> MakeBridgePort(const std::string& text, std::string* why);

// The port's receive event and its problems (empty when it cleared) to the bridge.
void WireBridgePort(BridgePort& port, QObject* context, const std::function<void()>& received,
                    const std::function<void(const QString&)>& problem);

}  // namespace varnak::cli
