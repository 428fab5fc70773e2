// What the bridge publishes, and what it makes of the messages it gets, with no
// I/O: the shell tells it what the line and the broker did and sends what it
// returns.
//
//   line (outputs, controller, a row's value) ──> BridgeCore ──> messages to publish
//   broker (connected, lost, a message) ──────> BridgeCore ──> messages, writes to start
//
// The state is kept whether the broker is there or not; while it is away
// nothing is queued but the last few events (kMaxWaitingEvents). At every
// connect the whole state goes out again: availability, controller, outputs,
// every register known, and the discovery configs. Between connects only
// changes go out. A write through PREFIX/R<reg>/set becomes jobs of the line's
// engine, submitted together (its words, then their read-back), each to go only
// after the one before succeeded: a pair is never written by half after its
// first word failed. The engine runs jobs in the order submitted, so each
// read-back reads its own write. The jobs' ends make the write's one event. A
// few writes of one register may be under way (kMaxWaitingWrites).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "control/job.h"
#include "control/link_events.h"
#include "share/master_event.h"
#include "watch/watch_list.h"

namespace varnak::bridge {

struct Message {
  std::string topic;
  std::string payload;
  bool retain = true;
  bool operator==(const Message& o) const {
    return topic == o.topic && payload == o.payload && retain == o.retain;
  }
};

enum class ControllerState {
  Unknown,     // just started: nothing said yet
  Online,      // polls are answered
  NoReply,     // the lamps would be dimmed: no poll reply for a second
  PortFailed,  // the line cannot be opened or written
};
// "online", "no reply", "port failed"; empty for Unknown.
const char* ControllerText(ControllerState state);
// `portProblem`: the port's own problem is there; `lampsStale`: no poll reply
// set the outputs for a second; `sinceStartMs`: the bridge's age, within whose
// first second silence says nothing yet.
ControllerState ControllerStateOf(bool portProblem, bool lampsStale, std::int64_t sinceStartMs);

struct BridgeSettings {
  std::string prefix = "varnak";
  std::vector<WatchEntry> list;  // the registers published, in the list's order
  bool readOnly = false;
  bool haDiscovery = false;
  std::string portLabel;  // names the line in the discovery's device
};

// What one input asks of the shell.
struct Actions {
  std::vector<Message> publish;
};

// Submits a job to the line and returns its id; its end comes to jobEnded(),
// never from inside the call.
using Submit = std::function<JobId(const Job&)>;

class BridgeCore {
 public:
  static constexpr std::size_t kMaxWaitingEvents = 100;
  static constexpr std::size_t kMaxWaitingWrites = 8;

  BridgeCore(BridgeSettings settings, Submit submit);

  // The topics to subscribe to at each connect, before anything is published.
  std::vector<std::string> subscriptions() const;
  // The broker took the connection: everything to publish now.
  Actions connected();
  void disconnected() { connected_ = false; }
  bool isConnected() const { return connected_; }
  // The clean stop's last message: availability offline (the last will's payload).
  Message goingOffline() const;
  // The last will, set before each connect.
  Message lastWill() const { return goingOffline(); }

  Actions outputs(std::uint8_t outputs);
  Actions controller(ControllerState state);
  // A listed row's value changed: in its format, empty while no read gave one.
  Actions rowChanged(unsigned reg, const std::string& value);
  // A message on a subscribed topic.
  Actions message(const std::string& topic, const std::string& payload, bool retained,
                  const std::string& time);
  // A job of the line ended (any job: those that are no write's are let be);
  // the write they belong to ends with its first failure or its last job.
  Actions jobEnded(const JobEnd& end, const std::string& time);
  // A network master's request ended (a window's or client's over --share, a Modbus client's).
  Actions masterEvent(const share::MasterEvent& e, const std::string& time);
  // How many masters are connected over --share.
  Actions masters(int count);

 private:
  struct Register {
    RegisterFormat format = RegisterFormat::Hex;
    std::optional<std::string> value;  // the last value published or to publish
    std::size_t writes = 0;            // writes under way or waiting for the line
  };
  // A write under way: its words, then their read-back, as jobs in that order.
  struct RowWrite {
    std::string command;  // "write R1000 = 00A5"
    unsigned reg = 0;
    std::size_t words = 1;  // 2 for a pair
    JobId jobs[4] = {};     // the words' writes, then their reads
    std::size_t ended = 0;  // jobs ended, all of them ok
    std::uint16_t written[2] = {};
    std::uint16_t read[2] = {};
  };
  // The write's end: its event, and the read-back's value published.
  void finish(Actions* a, const RowWrite& w, RowStatus status, Failure failure, const std::string& time);

  Actions setMessage(unsigned reg, const std::string& payload, bool retained, const std::string& time);
  Actions discoveryMessage(const std::string& topic, const std::string& payload, bool retained);
  // An event to publish now, or to keep for the next connect.
  void event(Actions* a, const std::string& time, const std::string& command, const std::string& outcome,
             const std::string& why = {}, const std::string& value = {}, const std::string& master = {});
  void send(Actions* a, Message m) const {
    if (connected_) a->publish.push_back(std::move(m));
  }

  BridgeSettings settings_;
  Submit submit_;
  std::deque<RowWrite> rowWrites_;  // in the order submitted
  bool connected_ = false;
  std::optional<std::uint8_t> outputs_;
  std::optional<int> masters_;
  ControllerState controller_ = ControllerState::Unknown;
  std::map<unsigned, Register> registers_;
  std::deque<Message> waitingEvents_;
};

}  // namespace varnak::bridge
