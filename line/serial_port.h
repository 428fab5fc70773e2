// The link control's line: the transport that the port number names. Port
// number N is the address bound to N (the window's --port N=ADDRESS: a device,
// tcp://, socket:// or rfc2217://) or else the N-th local serial port; the
// backend behind it is one of those of line/transport.h.
#pragma once

#include <optional>
#include <string>

#include "line/transport.h"

namespace varnak {

class SerialPort : public Transport {
 public:
  // The N-th line (1..32767), or none when the operator's text named no valid
  // number: every open then fails, with its problem told, until one is set.
  virtual void setPortNumber(std::optional<int> number) = 0;
  // Whether the current number names a line on the network (its reply timeout
  // is longer).
  virtual bool networkLine() const { return false; }
  // The line as the operator knows it ("COM1: tcp://plc:4001"), for the
  // monitor; empty: the port number says it.
  virtual std::string label() const { return {}; }
};

}  // namespace varnak
