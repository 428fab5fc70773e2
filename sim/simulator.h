// The simulated controller on its pseudo-terminal: reads the tool's bytes, cuts
// them into frames, answers each through the controller and the fault dice, and
// sends the replies when the schedule says; with --control, also takes commands
// on stdin.
#pragma once

#include <csignal>
#include <optional>
#include <string>
#include <vector>

#include "sim/controller.h"
#include "sim/demo_machine.h"
#include "sim/faults.h"
#include "sim/options.h"
#include "sim/schedule.h"
#include "sim/sim_line.h"

namespace varnak::sim {

class Simulator {
 public:
  Simulator(const Options& o, SimLine& line);

  // Serves until `stop` is set or --seconds have passed.
  void run(const volatile std::sig_atomic_t& stop);
  // The counts of exchanges and faults and the tool's turnaround, on stdout.
  void printStats() const;

 private:
  double sinceStart(Clock::time_point t) const;
  void log(const char* dir, const Bytes& bytes, const std::string& text) const;
  void receive();
  void handle(const Bytes& frame, Clock::time_point firstByte);
  void sendDue();
  void readCommands();
  std::string command(const std::string& line);
  std::string controlCommand(const std::string& line);
  // With --demo: the machine's registers brought up to `now`, a master's write to them taken.
  void runDemo(Clock::time_point now);

  const Options& o_;
  SimLine& line_;
  Controller controller_;
  std::optional<DemoMachine> demo_;  // with --demo only
  Faults faults_;
  FrameSplitter splitter_;
  ReplySchedule schedule_;
  Clock::time_point start_ = Clock::now();
  Clock::time_point frameStart_, lastRx_, lastReplyEnd_;
  int expectFollowUp_ = 0;
  std::vector<double> turnarounds_;
  int replies_ = 0;
  bool droppedFirst_ = false;
  bool stdinClosed_ = false;
  bool silent_ = false;  // a controller switched off: frames are read, nothing answers
  std::string commands_;
};

}  // namespace varnak::sim
