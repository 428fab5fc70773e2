// What a master of the line asks of it, whoever the master is: a client's
// command, a broker's write, another program on the network. Every job is
// given an id when submitted and ends in exactly one JobEnd (link_events.h)
// with that id.
#pragma once

#include <cstdint>
#include <string>

namespace varnak {

struct Job {
  enum class Kind {
    Read,     // one register
    Write,    // one register, confirmed when the controller acknowledges the data block
    Outputs,  // the output byte, as the poll reads it
  };
  Kind kind = Kind::Read;
  unsigned reg = 0;         // register number, 0 to 077777 (Read, Write)
  std::uint16_t value = 0;  // Write: the value to store
  std::string master;       // who asks, for the trace and the events ("client", "mqtt", "10.0.0.7:50112")
};

}  // namespace varnak
