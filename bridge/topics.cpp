#include "bridge/topics.h"

#include <cstdio>

#include "link/register_number.h"

namespace varnak::bridge {

std::string AvailabilityTopic(const std::string& prefix) { return prefix + "/availability"; }
std::string ControllerTopic(const std::string& prefix) { return prefix + "/controller"; }
std::string OutputsTopic(const std::string& prefix) { return prefix + "/outputs"; }
std::string OutputTopic(const std::string& prefix, int output) {
  return prefix + "/Q" + std::to_string(output);
}
std::string RegisterTopic(const std::string& prefix, unsigned reg) {
  return prefix + "/" + RegisterName(reg);
}
std::string SetTopic(const std::string& prefix, unsigned reg) { return RegisterTopic(prefix, reg) + "/set"; }
std::string EventsTopic(const std::string& prefix) { return prefix + "/events"; }

std::string MastersTopic(const std::string& prefix) { return prefix + "/masters"; }
std::string SetFilter(const std::string& prefix) { return prefix + "/+/set"; }

std::optional<unsigned> ParseSetTopic(const std::string& prefix, const std::string& topic) {
  const std::string head = prefix + "/R", tail = "/set";
  if (topic.size() <= head.size() + tail.size() || topic.compare(0, head.size(), head) != 0 ||
      topic.compare(topic.size() - tail.size(), tail.size(), tail) != 0)
    return std::nullopt;
  const std::string digits = topic.substr(head.size(), topic.size() - head.size() - tail.size());
  const auto reg = ParseRegisterName(digits);
  // One spelling per register, the one its state topic has: R1000, not R01000.
  if (!reg || RegisterTopic(prefix, *reg) + tail != topic) return std::nullopt;
  return reg;
}

std::string OutputsPayload(std::uint8_t outputs) {
  char s[3];
  std::snprintf(s, sizeof s, "%02X", outputs);
  return s;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c < 0x20 || c == 0x7F) {
      char u[8];
      std::snprintf(u, sizeof u, "\\u%04x", c);
      out += u;
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

}  // namespace varnak::bridge
