#include "address.h"

#include <cctype>

namespace varnak {

bool IsNetworkAddress(const std::string& text) { return text.find("://") != std::string::npos; }

std::optional<LineAddress> ParseLineAddress(const std::string& text, std::string* error) {
  const auto fail = [&](const std::string& why) -> std::optional<LineAddress> {
    if (error) *error = text + ": " + why;
    return std::nullopt;
  };
  LineAddress a;
  a.text = text;
  const std::size_t sep = text.find("://");
  if (sep == std::string::npos) {
    if (text.empty()) return fail("empty address");
    a.device = text;
    return a;
  }
  std::string scheme = text.substr(0, sep);
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (scheme == "tcp" || scheme == "socket") {
    a.kind = LineAddress::Kind::RawTcp;
  } else if (scheme == "rfc2217") {
    a.kind = LineAddress::Kind::Rfc2217;
  } else {
    return fail("unknown kind of address (tcp://, socket:// or rfc2217://)");
  }
  std::string rest = text.substr(sep + 3);
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  std::size_t colon;
  if (!rest.empty() && rest[0] == '[') {
    const std::size_t close = rest.find(']');
    if (close == std::string::npos) return fail("no closing ] after the IPv6 address");
    a.host = rest.substr(1, close - 1);
    if (close + 1 >= rest.size() || rest[close + 1] != ':') return fail("no port number (HOST:PORT)");
    colon = close + 1;
  } else {
    colon = rest.rfind(':');
    if (colon == std::string::npos) return fail("no port number (HOST:PORT)");
    a.host = rest.substr(0, colon);
    if (a.host.find(':') != std::string::npos) return fail("an IPv6 address goes in brackets ([::1]:PORT)");
  }
  if (a.host.empty()) return fail("no host (HOST:PORT)");
  const std::string port = rest.substr(colon + 1);
  if (port.empty() || port.size() > 5) return fail("no port number from 1 to 65535");
  for (char c : port)
    if (!std::isdigit(static_cast<unsigned char>(c))) return fail("no port number from 1 to 65535");
  a.port = std::stoi(port);
  if (a.port < 1 || a.port > 65535) return fail("no port number from 1 to 65535");
  return a;
}

}  // namespace varnak
