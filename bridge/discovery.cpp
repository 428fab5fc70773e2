#include "bridge/discovery.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>

#include "bridge/topics.h"
#include "link/register_number.h"

namespace varnak::bridge {

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

std::string ConfigTopic(const std::string& component, const std::string& node, const std::string& object) {
  return std::string(kDiscoveryPrefix) + "/" + component + "/" + node + "/" + object + "/config";
}

// The fields every entity of the bridge carries: its name, ids, availability and the device.
std::string Common(const std::string& prefix, const std::string& name, const std::string& uniqueId,
                   const std::string& portLabel) {
  const std::string node = NodeId(prefix);
  return "\"name\": " + JsonString(name) + ", \"unique_id\": " + JsonString(uniqueId) +
         ", \"object_id\": " + JsonString(uniqueId) +
         ", \"availability_topic\": " + JsonString(AvailabilityTopic(prefix)) +
         ", \"device\": {\"identifiers\": [" + JsonString(node) +
         "], \"name\": " + JsonString("Varnak controller " + prefix) +
         ", \"manufacturer\": \"Varnak\", \"model\": " + JsonString("station 1 on " + portLabel) +
         ", \"sw_version\": " + JsonString(VARNAK_VERSION) + "}";
}

std::string RowName(const WatchEntry& e) { return e.name.empty() ? RegisterName(e.reg) : e.name; }

bool TakesNumber(const WatchEntry& e) {
  return e.format == RegisterFormat::Unsigned || e.format == RegisterFormat::Signed;
}

}  // namespace

std::string NodeId(const std::string& prefix) {
  std::string id = prefix;
  for (char& c : id) {
    const auto u = static_cast<unsigned char>(c);
    if (!(std::isalnum(u) && u < 0x80) && c != '_' && c != '-') c = '_';
  }
  if (id == prefix) return id;
  // Characters were replaced ("plant/a" and "plant_a", or two prefixes in
  // Chinese of one length): a hash of the prefix as given keeps two bridges'
  // nodes apart, so that neither empties the other's configs.
  std::uint32_t h = 2166136261u;  // FNV-1a
  for (const char c : prefix) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  char tail[10];
  std::snprintf(tail, sizeof tail, "_%08x", h);
  return id + tail;
}

std::string DiscoveryFilter(const std::string& prefix) {
  return std::string(kDiscoveryPrefix) + "/+/" + NodeId(prefix) + "/+/config";
}

std::vector<DiscoveryConfig> DiscoveryConfigs(const std::string& prefix, const std::vector<WatchEntry>& list,
                                              bool readOnly, const std::string& portLabel) {
  const std::string node = NodeId(prefix);
  std::vector<DiscoveryConfig> out;
  for (int q = 0; q < 8; ++q) {
    const std::string object = "q" + std::to_string(q);
    out.push_back({ConfigTopic("binary_sensor", node, object),
                   "{" + Common(prefix, "Q" + std::to_string(q), node + "_" + object, portLabel) +
                       ", \"state_topic\": " + JsonString(OutputTopic(prefix, q)) +
                       ", \"payload_on\": \"1\", \"payload_off\": \"0\"}"});
  }
  for (const WatchEntry& e : list) {
    const std::string object = Lower(RegisterName(e.reg));
    out.push_back({ConfigTopic("sensor", node, object),
                   "{" + Common(prefix, RowName(e), node + "_" + object, portLabel) +
                       ", \"state_topic\": " + JsonString(RegisterTopic(prefix, e.reg)) + "}"});
    if (readOnly || !TakesNumber(e)) continue;
    const bool isSigned = e.format == RegisterFormat::Signed;
    out.push_back({ConfigTopic("number", node, object),
                   "{" + Common(prefix, RowName(e) + " set", node + "_" + object + "_set", portLabel) +
                       ", \"state_topic\": " + JsonString(RegisterTopic(prefix, e.reg)) +
                       ", \"command_topic\": " + JsonString(SetTopic(prefix, e.reg)) +
                       ", \"command_template\": \"{{ value | int }}\", \"min\": " +
                       (isSigned ? "-32768" : "0") + ", \"max\": " + (isSigned ? "32767" : "65535") +
                       ", \"step\": 1, \"mode\": \"box\", \"retain\": false}"});
  }
  return out;
}

std::vector<std::string> StaleTopics(const std::string& prefix, const std::vector<WatchEntry>& list,
                                     bool readOnly, const std::string& configTopic) {
  for (const DiscoveryConfig& c : DiscoveryConfigs(prefix, list, readOnly, {}))
    if (c.topic == configTopic) return {};
  // homeassistant/<component>/<node>/<object>/config
  const std::string head = std::string(kDiscoveryPrefix) + "/";
  if (configTopic.compare(0, head.size(), head) != 0) return {};
  const std::string rest = configTopic.substr(head.size());
  const auto a = rest.find('/'), b = rest.find('/', a + 1), c = rest.find('/', b + 1);
  if (a == std::string::npos || b == std::string::npos || c == std::string::npos) return {};
  if (rest.substr(a + 1, b - a - 1) != NodeId(prefix) || rest.substr(c) != "/config") return {};
  const std::string component = rest.substr(0, a), object = rest.substr(b + 1, c - b - 1);
  std::vector<std::string> out{configTopic};
  // A register's state goes with its sensor; a number alone (now read-only) leaves the sensor's state.
  if (component == "sensor" && object.size() > 1 && object[0] == 'r') {
    const auto reg = ParseRegisterName(object.substr(1));
    const bool listed =
        reg && std::any_of(list.begin(), list.end(), [&](const WatchEntry& e) { return e.reg == *reg; });
    if (reg && !listed) out.push_back(RegisterTopic(prefix, *reg));
  }
  return out;
}

}  // namespace varnak::bridge
