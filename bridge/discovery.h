// Home Assistant's MQTT discovery for one bridge: retained configs on
// homeassistant/<component>/<node_id>/<object_id>/config, one device for the
// controller, node_id and every unique_id made from the topic prefix so that
// two bridges never collide. A binary_sensor per output, a sensor per listed
// register, and a number per unsigned or signed row unless read-only.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "watch/watch_file.h"

namespace varnak::bridge {

inline constexpr const char* kDiscoveryPrefix = "homeassistant";

struct DiscoveryConfig {
  std::string topic;
  std::string payload;  // JSON
};

// The prefix as an id: every character outside [A-Za-z0-9_-] becomes _
// ("plant/line 1" is "plant_line_1").
std::string NodeId(const std::string& prefix);

// Every config the bridge publishes now. `portLabel` goes into the device's model.
std::vector<DiscoveryConfig> DiscoveryConfigs(const std::string& prefix, const std::vector<WatchEntry>& list,
                                              bool readOnly, const std::string& portLabel);

// homeassistant/+/NODE_ID/+/config: the bridge's own node, and nothing else.
std::string DiscoveryFilter(const std::string& prefix);

// A retained config of the bridge's own node that it no longer publishes (a
// register gone from the list, a number under --read-only): what to empty, the
// config and, for a register, its state topic. None for a config it still
// publishes or a topic of another node.
std::vector<std::string> StaleTopics(const std::string& prefix, const std::vector<WatchEntry>& list,
                                     bool readOnly, const std::string& configTopic);

}  // namespace varnak::bridge
