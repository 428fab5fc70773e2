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
// changes go out. A write through PREFIX/R<reg>/set goes to the line one at a
// time per register, each ending in one event; a few more may wait
// (kMaxWaitingWrites a register).
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

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

// A write for the shell to hand to the register list: the row's register and the value as typed.
struct Write {
  unsigned reg = 0;
  std::string typed;
};

// What one input asks of the shell.
struct Actions {
  std::vector<Message> publish;
  std::optional<Write> write;  // to start now
};

class BridgeCore {
 public:
  static constexpr std::size_t kMaxWaitingEvents = 100;
  static constexpr std::size_t kMaxWaitingWrites = 8;

  explicit BridgeCore(BridgeSettings settings);

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
  // A listed row changed (its revision moved): its value in its format when a
  // read gave one (empty while none has), its status and the status's words,
  // and the time of day for an event ("2026-12-08T11:00:00.250+01:00").
  Actions rowChanged(unsigned reg, const std::string& value, RowStatus status, const std::string& statusText,
                     const std::string& time);
  // A message on a subscribed topic.
  Actions message(const std::string& topic, const std::string& payload, bool retained,
                  const std::string& time);
  // The register list refused a write the core passed (it should not: the core checks the same way).
  Actions writeRefused(unsigned reg, const std::string& why, const std::string& time);

 private:
  struct Pending {
    std::string command;  // "write R1000 = 00A5"
    std::string typed;
  };
  struct Register {
    RegisterFormat format = RegisterFormat::Hex;
    std::optional<std::string> value;  // the last value published or to publish
    std::deque<Pending> writes;        // front: under way (when `writing`), then waiting
    bool writing = false;
  };

  Actions setMessage(unsigned reg, const std::string& payload, bool retained, const std::string& time);
  Actions discoveryMessage(const std::string& topic, const std::string& payload, bool retained);
  // An event to publish now, or to keep for the next connect.
  void event(Actions* a, const std::string& time, const std::string& command, const std::string& outcome,
             const std::string& why = {}, const std::string& value = {});
  void send(Actions* a, Message m) const {
    if (connected_) a->publish.push_back(std::move(m));
  }

  BridgeSettings settings_;
  bool connected_ = false;
  std::optional<std::uint8_t> outputs_;
  ControllerState controller_ = ControllerState::Unknown;
  std::map<unsigned, Register> registers_;
  std::deque<Message> waitingEvents_;
};

}  // namespace varnak::bridge
