// The simulator's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "sim/faults.h"

namespace varnak::sim {

struct Options {
  std::string link;
  double seconds = 0;
  unsigned outputsFrom = 02000;
  std::optional<std::uint8_t> outputs;
  bool pace = true;
  int usbLatencyMs = 0;  // hand reply bytes to the line only at ticks of this period (0: at once)
  FaultSettings faults;
  bool log = false;
  bool control = false;
  bool demo = false;  // a running machine in R1000-R1004 (sim/demo_machine.h)
  int tcpPort = 0;    // --tcp PORT: on 127.0.0.1:PORT instead of a pseudo-terminal (0: a pty)
  int dropFirst = 0;  // first byte of the frame whose first reply is left out (0: none)
  bool help = false;
  bool version = false;
};

extern const char kUsage[];

// False with `error` set on a usage error.
bool ParseOptions(int argc, char** argv, Options& o, std::string& error);

}  // namespace varnak::sim
