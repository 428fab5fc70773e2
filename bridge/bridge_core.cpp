#include "bridge/bridge_core.h"

#include <algorithm>

#include "bridge/discovery.h"
#include "bridge/topics.h"
#include "control/link_health.h"
#include "link/register_number.h"

namespace varnak::bridge {

namespace {

Message Retained(std::string topic, std::string payload) {
  return {std::move(topic), std::move(payload), true};
}

// A write's end as the row's status says it; none while it is under way or the status is no write's.
struct WriteEnd {
  const char* outcome;
  bool why;  // the status's words explain
};
std::optional<WriteEnd> EndOf(RowStatus s) {
  switch (s) {
    case RowStatus::Written:
      return WriteEnd{"confirmed", false};
    case RowStatus::WrittenReadsOther:
    case RowStatus::WrittenReadBackFailed:
      return WriteEnd{"confirmed", true};
    case RowStatus::WriteFailed:
    case RowStatus::HalfWritten:
      return WriteEnd{"failed", true};
    default:
      return std::nullopt;
  }
}

}  // namespace

const char* ControllerText(ControllerState state) {
  switch (state) {
    case ControllerState::Online:
      return "online";
    case ControllerState::NoReply:
      return "no reply";
    case ControllerState::PortFailed:
      return "port failed";
    case ControllerState::Unknown:
      break;
  }
  return "";
}

ControllerState ControllerStateOf(bool portProblem, bool lampsStale, std::int64_t sinceStartMs) {
  if (portProblem) return ControllerState::PortFailed;
  if (!lampsStale) return ControllerState::Online;
  return sinceStartMs < LinkHealth::kStaleAfterMs ? ControllerState::Unknown : ControllerState::NoReply;
}

BridgeCore::BridgeCore(BridgeSettings settings, Submit submit)
    : settings_(std::move(settings)), submit_(std::move(submit)) {
  for (const WatchEntry& e : settings_.list) registers_[e.reg].format = e.format;
}

std::vector<std::string> BridgeCore::subscriptions() const {
  // Its own availability too: a will left by an earlier run of this bridge
  // (its host gone without a word) must not stand while it is online.
  std::vector<std::string> s{SetFilter(settings_.prefix), AvailabilityTopic(settings_.prefix)};
  if (settings_.haDiscovery) s.push_back(DiscoveryFilter(settings_.prefix));
  return s;
}

Message BridgeCore::goingOffline() const { return Retained(AvailabilityTopic(settings_.prefix), kOffline); }

Actions BridgeCore::connected() {
  connected_ = true;
  Actions a;
  const std::string& p = settings_.prefix;
  send(&a, Retained(AvailabilityTopic(p), kOnline));
  if (controller_ != ControllerState::Unknown)
    send(&a, Retained(ControllerTopic(p), ControllerText(controller_)));
  if (outputs_) {
    send(&a, Retained(OutputsTopic(p), OutputsPayload(*outputs_)));
    for (int q = 0; q < 8; ++q) send(&a, Retained(OutputTopic(p, q), (*outputs_ >> q) & 1 ? "1" : "0"));
  }
  for (const WatchEntry& e : settings_.list)
    if (const auto& v = registers_[e.reg].value) send(&a, Retained(RegisterTopic(p, e.reg), *v));
  if (masters_) send(&a, Retained(MastersTopic(p), std::to_string(*masters_)));
  if (settings_.haDiscovery)
    for (const DiscoveryConfig& c :
         DiscoveryConfigs(p, settings_.list, settings_.readOnly, settings_.portLabel))
      send(&a, Retained(c.topic, c.payload));
  for (Message& m : waitingEvents_) a.publish.push_back(std::move(m));
  waitingEvents_.clear();
  return a;
}

Actions BridgeCore::outputs(std::uint8_t byte) {
  Actions a;
  if (outputs_ == byte) return a;
  const std::string& p = settings_.prefix;
  send(&a, Retained(OutputsTopic(p), OutputsPayload(byte)));
  // Every output the first time, then those that changed.
  const unsigned changed = outputs_ ? static_cast<unsigned>(*outputs_ ^ byte) : 0xFFu;
  for (int q = 0; q < 8; ++q)
    if ((changed >> q) & 1u) send(&a, Retained(OutputTopic(p, q), (byte >> q) & 1 ? "1" : "0"));
  outputs_ = byte;
  return a;
}

Actions BridgeCore::controller(ControllerState state) {
  Actions a;
  if (state == controller_ || state == ControllerState::Unknown) return a;
  controller_ = state;
  send(&a, Retained(ControllerTopic(settings_.prefix), ControllerText(state)));
  return a;
}

Actions BridgeCore::rowChanged(unsigned reg, const std::string& value) {
  Actions a;
  const auto it = registers_.find(reg);
  if (it == registers_.end()) return a;
  Register& r = it->second;
  if (!value.empty() && r.value != value) {
    r.value = value;
    send(&a, Retained(RegisterTopic(settings_.prefix, reg), value));
  }
  return a;
}

Actions BridgeCore::jobEnded(const JobEnd& end, const std::string& time) {
  Actions a;
  const auto w = std::find_if(rowWrites_.begin(), rowWrites_.end(), [&](const RowWrite& x) {
    return std::find(std::begin(x.jobs), std::end(x.jobs), end.id) != std::end(x.jobs);
  });
  if (w == rowWrites_.end()) return a;  // a job after one that failed: the write has ended
  const std::size_t step = w->ended;
  const bool writing = step < w->words;
  if (!end.ok) {
    const RowStatus status = !writing    ? RowStatus::WrittenReadBackFailed
                             : step == 0 ? RowStatus::WriteFailed
                                         : RowStatus::HalfWritten;
    finish(&a, *w, status, end.failure, time);
  } else {
    if (!writing) w->read[step - w->words] = end.value;
    if (++w->ended < 2 * w->words) return a;
    const bool same = w->read[0] == w->written[0] && (w->words == 1 || w->read[1] == w->written[1]);
    finish(&a, *w, same ? RowStatus::Written : RowStatus::WrittenReadsOther, Failure::NoReply, time);
  }
  --registers_[w->reg].writes;
  rowWrites_.erase(w);
  return a;
}

void BridgeCore::finish(Actions* a, const RowWrite& w, RowStatus status, Failure failure,
                        const std::string& time) {
  Register& r = registers_[w.reg];
  const bool readBack = status == RowStatus::Written || status == RowStatus::WrittenReadsOther;
  std::string value;
  if (readBack) {
    value = FormatValue(r.format, w.read[0], w.read[1]);
    if (r.value != value) {
      r.value = value;
      send(a, Retained(RegisterTopic(settings_.prefix, w.reg), value));
    }
  }
  const auto end = EndOf(status);
  event(a, time, w.command, end->outcome, end->why ? RowStatusText(status, failure, r.format) : std::string(),
        value);
}

Actions BridgeCore::message(const std::string& topic, const std::string& payload, bool retained,
                            const std::string& time) {
  if (topic == AvailabilityTopic(settings_.prefix)) {
    Actions a;
    if (connected_ && payload != kOnline) a.publish.push_back(Retained(topic, kOnline));
    return a;
  }
  if (const auto reg = ParseSetTopic(settings_.prefix, topic))
    return setMessage(*reg, payload, retained, time);
  if (settings_.haDiscovery) return discoveryMessage(topic, payload, retained);
  return {};
}

Actions BridgeCore::setMessage(unsigned reg, const std::string& payload, bool retained,
                               const std::string& time) {
  Actions a;
  // Control characters would make an unreadable command; the words stay as sent otherwise.
  std::string shown = payload.substr(0, 64);
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  const std::string command = "write " + RegisterName(reg) + " = " + shown;
  // An empty retained message only clears what the broker kept.
  if (retained && payload.empty()) return a;
  if (retained) {
    event(&a, time, command, "ignored", "retained: a write is never replayed");
    return a;
  }
  if (settings_.readOnly) {
    event(&a, time, command, "ignored", "the bridge is read-only");
    return a;
  }
  const auto it = registers_.find(reg);
  if (it == registers_.end()) {
    event(&a, time, command, "ignored", RegisterName(reg) + " is not in the list");
    return a;
  }
  Register& r = it->second;
  const TypedValue v = ParseValue(r.format, payload);
  if (!v.ok) {
    event(&a, time, command, "refused", v.problem);
    return a;
  }
  if (r.writes > kMaxWaitingWrites) {
    event(&a, time, command, "refused", "too many writes of " + RegisterName(reg) + " waiting");
    return a;
  }
  RowWrite w;
  w.command = command;
  w.reg = reg;
  w.words = IsPair(r.format) ? 2 : 1;
  w.written[0] = v.first;
  w.written[1] = v.second;
  JobId previous = 0;
  for (std::size_t i = 0; i < 2 * w.words; ++i) {
    const bool write = i < w.words;
    const std::size_t word = write ? i : i - w.words;
    Job job{write ? Job::Kind::Write : Job::Kind::Read, reg + static_cast<unsigned>(word),
            write ? w.written[word] : std::uint16_t{0}, "mqtt"};
    job.after = previous;
    previous = w.jobs[i] = submit_ ? submit_(job) : 0;
  }
  ++r.writes;
  rowWrites_.push_back(std::move(w));
  return a;
}

Actions BridgeCore::discoveryMessage(const std::string& topic, const std::string& payload, bool retained) {
  Actions a;
  // Only what the broker kept from before counts; our own configs and emptied ones come back unretained or
  // empty.
  if (!retained || payload.empty()) return a;
  for (std::string& t : StaleTopics(settings_.prefix, settings_.list, settings_.readOnly, topic))
    send(&a, Retained(std::move(t), ""));
  return a;
}

Actions BridgeCore::masterEvent(const share::MasterEvent& e, const std::string& time) {
  Actions a;
  event(&a, time, e.command, e.outcome, e.why, e.value, e.master);
  return a;
}

Actions BridgeCore::masters(int count) {
  Actions a;
  if (masters_ == count) return a;
  masters_ = count;
  send(&a, Retained(MastersTopic(settings_.prefix), std::to_string(count)));
  return a;
}

void BridgeCore::event(Actions* a, const std::string& time, const std::string& command,
                       const std::string& outcome, const std::string& why, const std::string& value,
                       const std::string& master) {
  std::string json = "{\"time\": " + JsonString(time);
  if (!master.empty()) json += ", \"master\": " + JsonString(master);
  json += ", \"command\": " + JsonString(command) + ", \"outcome\": " + JsonString(outcome);
  if (!why.empty()) json += ", \"why\": " + JsonString(why);
  if (!value.empty()) json += ", \"value\": " + JsonString(value);
  json += "}";
  Message m{EventsTopic(settings_.prefix), json, false};
  if (connected_) {
    a->publish.push_back(std::move(m));
    return;
  }
  if (waitingEvents_.size() == kMaxWaitingEvents) waitingEvents_.pop_front();
  waitingEvents_.push_back(std::move(m));
}

}  // namespace varnak::bridge
