#include "system_ports.h"

#include <QSerialPortInfo>

namespace varnak {

std::vector<PortInfo> SystemPorts() {
  std::vector<PortInfo> ports;
  for (const QSerialPortInfo& i : QSerialPortInfo::availablePorts()) {
    PortInfo p;
    p.device = i.systemLocation().toStdString();
    p.description = i.description().toStdString();
    p.manufacturer = i.manufacturer().toStdString();
    p.serialNumber = i.serialNumber().toStdString();
    if (i.hasVendorIdentifier()) p.vendorId = i.vendorIdentifier();
    if (i.hasProductIdentifier()) p.productId = i.productIdentifier();
    ports.push_back(std::move(p));
  }
  AddStableNames(ports, "/dev/serial/by-id");
  return NumberPorts(std::move(ports));
}

}  // namespace varnak
