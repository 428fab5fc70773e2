// The serial ports this machine reports, numbered (see port_list.h).
#pragma once

#include <functional>
#include <vector>

#include "serial/port_list.h"

namespace varnak {

// What QSerialPortInfo reports, with stable names from /dev/serial/by-id, in
// number order.
std::vector<PortInfo> SystemPorts();

using PortLister = std::function<std::vector<PortInfo>()>;

}  // namespace varnak
