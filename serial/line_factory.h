// The one maker of lines: the backend that an address needs, for the window,
// the client and any program that runs the link control without a window.
//
//   /dev/ttyUSB0, /dev/pts/7   LocalPort (QSerialPort, locked, settings read back)
//   tcp://HOST:PORT            TcpLine: raw bytes, the server's line settings
//   socket://HOST:PORT         the same
//   rfc2217://HOST:PORT        TcpLine speaking telnet with the COM port option
#pragma once

#include <QString>
#include <memory>

#include "line/transport.h"
#include "net/address.h"
#include "serial/local_port.h"

namespace varnak {

// `label` starts every sentence the line tells ("COM1: tcp://plc:4001").
std::unique_ptr<Transport> MakeTransport(const LineAddress& address, const QString& label,
                                         MsClock clock = SteadyMs);

}  // namespace varnak
