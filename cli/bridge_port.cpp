#include "cli/bridge_port.h"

#include "control/port_number.h"
#include "link/text.h"

namespace varnak::cli {

std::unique_ptr<BridgePort> MakeBridgePort(const std::string& text, std::string* why) {
  auto p = std::make_unique<BridgePort>();
  if (const auto n = ParsePortNumber(FromUtf8(text))) {
    p->port = std::make_unique<QtSerialPort>();
    p->answer = QString::number(*n);
    p->label = "COM" + std::to_string(*n);
  } else if (!text.empty() && (text[0] == '/' || text[0] == '.')) {
    // A device is bound to number 1, as the window's --port 1=DEVICE binds it.
    p->port = std::make_unique<QtSerialPort>(QMap<int, QString>{{1, QString::fromStdString(text)}});
    p->answer = QStringLiteral("1");
    p->label = text;
  } else {
    *why = "--port wants a device path or a port number from 1 to 32767, got: " + text;
    return nullptr;
  }
  return p;
}

void WireBridgePort(BridgePort& port, QObject* context, const std::function<void()>& received,
                    const std::function<void(const QString&)>& problem) {
  QObject::connect(port.port.get(), &QtSerialPort::commEvent, context, received);
  QObject::connect(port.port.get(), &QtSerialPort::problemChanged, context, problem);
}

}  // namespace varnak::cli
