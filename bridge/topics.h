// The bridge's topic names and plain payloads, all under one prefix:
//
//   PREFIX/availability  online | offline        PREFIX/controller  online | no reply | port failed
//   PREFIX/outputs       "A5" (two hex digits)   PREFIX/Q0 .. Q7    1 | 0
//   PREFIX/R1000         the value in its row's format
//   PREFIX/R1000/set     a value to write         PREFIX/events      JSON, not retained
//   PREFIX/masters       masters connected over TCP (--share)
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace varnak::bridge {

inline constexpr const char* kOnline = "online";
inline constexpr const char* kOffline = "offline";

std::string AvailabilityTopic(const std::string& prefix);
std::string ControllerTopic(const std::string& prefix);
std::string OutputsTopic(const std::string& prefix);
std::string OutputTopic(const std::string& prefix, int output);  // 0..7
std::string RegisterTopic(const std::string& prefix, unsigned reg);
std::string SetTopic(const std::string& prefix, unsigned reg);
std::string EventsTopic(const std::string& prefix);
std::string MastersTopic(const std::string& prefix);
// PREFIX/+/set: what the bridge subscribes to for writes.
std::string SetFilter(const std::string& prefix);

// The register of PREFIX/R<octal>/set, as the register's own topic spells it;
// none for any other topic.
std::optional<unsigned> ParseSetTopic(const std::string& prefix, const std::string& topic);

// "A5": the output byte, high nibble first.
std::string OutputsPayload(std::uint8_t outputs);

// Text as a JSON string, quotes included: control characters escaped, UTF-8 kept.
std::string JsonString(const std::string& text);

}  // namespace varnak::bridge
