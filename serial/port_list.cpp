#include "port_list.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <tuple>

#include "line/port_number.h"

namespace varnak {

namespace {

namespace fs = std::filesystem;

// "/dev/ttyUSB10" -> {"ttyUSB", 10}; a name without a trailing number has -1.
std::pair<std::string, long> NameAndNumber(const std::string& device) {
  const std::string name = fs::path(device).filename().string();
  std::size_t digits = name.size();
  while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
  if (digits == name.size() || name.size() - digits > 9) return {name, -1};
  return {name.substr(0, digits), std::stol(name.substr(digits))};
}

bool BuiltIn(const std::string& device) { return NameAndNumber(device).first == "ttyS"; }

std::string Hex4(std::uint16_t v) {
  char s[8];
  std::snprintf(s, sizeof s, "%04x", v);
  return s;
}

std::string UsbId(const PortInfo& p) {
  return p.vendorId && p.productId ? Hex4(*p.vendorId) + ":" + Hex4(*p.productId) : std::string();
}

std::string Json(const std::string& s) {
  std::string out = "\"";
  for (const char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char e[8];
      std::snprintf(e, sizeof e, "\\u%04x", c);
      out += e;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string OrDash(const std::string& s) { return s.empty() ? "-" : s; }

constexpr const char* kContext = "PortList";

// "FT232R USB UART, FTDI, serial A12345"
std::string Description(const PortInfo& p, Translate lang) {
  std::string d = p.description;
  const std::string serial =
      p.serialNumber.empty()
          ? std::string()
          : Fill(lang(kContext, QT_TRANSLATE_NOOP("PortList", "serial %1")), {p.serialNumber});
  for (const std::string& more : {p.manufacturer, serial})
    if (!more.empty()) d += (d.empty() ? "" : ", ") + more;
  return d;
}

}  // namespace

std::vector<PortInfo> NumberPorts(std::vector<PortInfo> ports) {
  std::stable_sort(ports.begin(), ports.end(), [](const PortInfo& a, const PortInfo& b) {
    const auto [an, anum] = NameAndNumber(a.device);
    const auto [bn, bnum] = NameAndNumber(b.device);
    return std::make_tuple(!BuiltIn(a.device), an, anum, a.device) <
           std::make_tuple(!BuiltIn(b.device), bn, bnum, b.device);
  });
  return ports;
}

void AddStableNames(std::vector<PortInfo>& ports, const std::string& byIdDir) {
  std::error_code ec;
  for (const fs::directory_entry& link : fs::directory_iterator(byIdDir, ec)) {
    const fs::path target = fs::canonical(link.path(), ec);
    if (ec) continue;
    for (PortInfo& p : ports) {
      std::error_code e2;
      if (p.stableName.empty() && fs::canonical(p.device, e2) == target && !e2)
        p.stableName = link.path().string();
    }
  }
}

std::optional<std::string> DeviceForNumber(const std::vector<PortInfo>& ports, int number) {
#ifdef _WIN32
  // There, port number N is simply COMN.
  (void)ports;
  return PortName(number);
#else
  if (number < 1 || static_cast<std::size_t>(number) > ports.size()) return std::nullopt;
  const PortInfo& p = ports[static_cast<std::size_t>(number - 1)];
  return p.stableName.empty() ? p.device : p.stableName;
#endif
}

std::string PortSummary(const std::vector<PortInfo>& ports, Translate lang) {
  if (ports.empty()) return lang(kContext, QT_TRANSLATE_NOOP("PortList", "no serial ports"));
  std::string s;
  for (std::size_t i = 0; i < ports.size(); ++i)
    s += (i ? ", " : "") + std::to_string(i + 1) + " " + ports[i].device;
  return Fill(lang(kContext, QT_TRANSLATE_NOOP("PortList", "ports: %1")), {s});
}

std::string FormatPortList(const std::vector<PortInfo>& ports, bool json) {
  std::string out;
  if (json) out = "[";
  for (std::size_t i = 0; i < ports.size(); ++i) {
    const PortInfo& p = ports[i];
    if (json) {
      out += std::string(i ? ",\n " : "") + "{\"number\": " + std::to_string(i + 1) +
             ", \"device\": " + Json(p.device) + ", \"stable_name\": " + Json(p.stableName) +
             ", \"description\": " + Json(p.description) + ", \"manufacturer\": " + Json(p.manufacturer) +
             ", \"serial_number\": " + Json(p.serialNumber) + ", \"usb_id\": " + Json(UsbId(p)) + "}";
    } else {
      out += std::to_string(i + 1) + "\t" + p.device + "\t" + OrDash(p.stableName) + "\t" +
             OrDash(p.description) + "\t" + OrDash(p.manufacturer) + "\t" + OrDash(p.serialNumber) + "\t" +
             OrDash(UsbId(p)) + "\n";
    }
  }
  if (json) out += "]\n";
  return out;
}

std::string PortsTooltip(const std::vector<PortInfo>& ports, std::optional<int> current, Translate lang) {
  if (ports.empty()) return lang(kContext, QT_TRANSLATE_NOOP("PortList", "No serial ports found."));
  std::string s = lang(kContext, QT_TRANSLATE_NOOP("PortList", "Serial ports:"));
  for (std::size_t i = 0; i < ports.size(); ++i) {
    const bool mark = current && *current == static_cast<int>(i + 1);
    const std::string d = Description(ports[i], lang);
    s += std::string("\n") + (mark ? "▶ " : "   ") + std::to_string(i + 1) + "  " + ports[i].device +
         (d.empty() ? "" : "  " + d);
  }
  return s;
}

std::string BoundPortsTooltip(const std::map<int, std::string>& bound, std::optional<int> current,
                              Translate lang) {
  if (bound.empty()) return {};
  std::string s = lang(kContext, QT_TRANSLATE_NOOP("PortList", "Bound with --port:"));
  for (const auto& [number, address] : bound)
    s += std::string("\n") + (current && *current == number ? "▶ " : "   ") + std::to_string(number) + "  " +
         address;
  return s;
}

}  // namespace varnak
