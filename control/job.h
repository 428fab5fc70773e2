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
  // A job submitted earlier that must have succeeded for this one to go: when it
  // failed, this one ends unsent with its failure (the second word of a pair is
  // not written after the first was refused). 0: none.
  std::uint64_t after = 0;
};

}  // namespace varnak
