// The address of a line as the operator gives it: a local device path (or, for
// the client, a port number), or a serial device server on the network:
//
//   tcp://HOST:PORT      raw TCP: the bytes as they are, at the server's line settings
//   socket://HOST:PORT   the same, as other serial tools name it
//   rfc2217://HOST:PORT  telnet with the COM port option: the line settings set from here
//
// HOST is an IPv4 address, an IPv6 address in brackets ([::1]) or a host name.
// Pure: nothing is resolved here.
#pragma once

#include <optional>
#include <string>

namespace varnak {

struct LineAddress {
  enum class Kind { Local, RawTcp, Rfc2217 };
  Kind kind = Kind::Local;
  std::string text;    // as given, for the title and the messages
  std::string device;  // Local: the path
  std::string host;    // network: without brackets
  int port = 0;        // network: 1..65535
  bool network() const { return kind != Kind::Local; }
};

// The address `text` names; none with `error` set ("tcp://plc: no port
// number") when it has a network scheme but not a host and port, or names an
// unknown scheme ("udp://...").
std::optional<LineAddress> ParseLineAddress(const std::string& text, std::string* error = nullptr);

// Whether `text` looks like a network address (has "scheme://").
bool IsNetworkAddress(const std::string& text);

}  // namespace varnak
