// Port numbers for the machine's real serial ports. Number N names the N-th port
// that the system reports, in a stable order: the built-in ports first by their
// own number (ttyS0, ttyS1, ...), then the others (USB adapters ttyUSB*, ttyACM*,
// ...) by name and number. A chosen port is kept by its stable name
// (/dev/serial/by-id/...) where it has one, so that an adapter pulled and put
// back under another ttyUSB number is the same port, and another adapter never
// takes its number over.
//
// Pure: the caller passes what the system reported; the one look at the file
// system is AddStableNames, which reads a folder of by-id links.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "link/words.h"

namespace varnak {

struct PortInfo {
  std::string device = {};        // "/dev/ttyUSB0"
  std::string stableName = {};    // "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0", or empty
  std::string description = {};   // "FT232R USB UART"
  std::string manufacturer = {};  // "FTDI"
  std::string serialNumber = {};  // "A12345"
  std::optional<std::uint16_t> vendorId = {}, productId = {};
};

// The reported ports in number order: element i is port number i + 1.
std::vector<PortInfo> NumberPorts(std::vector<PortInfo> reported);

// Sets each port's stableName to the link in `byIdDir` that leads to its device.
void AddStableNames(std::vector<PortInfo>& ports, const std::string& byIdDir);

// The device to open for port number `number` among the numbered `ports`: its
// stable name where it has one, else its device; nothing if no port has the number.
std::optional<std::string> DeviceForNumber(const std::vector<PortInfo>& ports, int number);

// "ports: 1 /dev/ttyS0, 2 /dev/ttyUSB0", or "no serial ports" when there are none;
// in the operator's language where `lang` translates (the window), else English.
std::string PortSummary(const std::vector<PortInfo>& ports, Translate lang = English);

// One line per port, tab-separated: number, device, stable name, description,
// manufacturer, serial number, USB vendor:product id ("-" for what is unknown).
// With `json`, one JSON array of objects with those fields instead.
std::string FormatPortList(const std::vector<PortInfo>& ports, bool json);

// The port box's tooltip: one line per port (number, device, description), the
// one that `current` names marked with "▶".
std::string PortsTooltip(const std::vector<PortInfo>& ports, std::optional<int> current,
                         Translate lang = English);

// The numbers bound with --port N=ADDRESS (devices and network lines), which win
// over the system's: a heading and one line each, the current one marked with
// "▶"; empty when there are none.
std::string BoundPortsTooltip(const std::map<int, std::string>& bound, std::optional<int> current,
                              Translate lang = English);

}  // namespace varnak
