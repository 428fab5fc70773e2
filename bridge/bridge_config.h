// What `varnak bridge` is told: its line, its broker, its topics, from the
// command line or from a file of `key = value` lines (the systemd unit's
// /etc/varnak/bridge-INSTANCE.conf), one per option, the key being the option's
// name without its dashes. Pure: the file's text is handed in, never read here.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace varnak::bridge {

struct BrokerAddress {
  std::string host;
  int port = 1883;   // 1883 for mqtt://, 8883 for mqtts://
  bool tls = false;  // mqtts://
};

// "mqtt://HOST[:PORT]" or "mqtts://HOST[:PORT]"; an IPv6 host in brackets
// ("mqtt://[::1]:1883"). Empty `why` when taken.
std::optional<BrokerAddress> ParseBrokerAddress(const std::string& text, std::string* why);

struct BridgeConfig {
  std::string port;      // as --port takes it: a device path, a port number, or an address text
  std::string mqtt;      // as given; empty: no broker
  BrokerAddress broker;  // parsed from `mqtt`
  std::string share;     // "tcp://HOST:PORT": masters of the line over TCP; empty: none
  std::string modbus;    // "tcp://HOST:PORT": the Modbus TCP server; empty: none
  int maxAgeMs = 2000;   // a Modbus read is answered from values this old at most
  bool trace = false;    // every chunk on the line and every master's request on stderr
  std::string topic = "varnak";
  std::string watchFile;  // the register list file, empty for none
  bool haDiscovery = false;
  bool readOnly = false;
  std::string username;
  std::string passwordFile;
  std::string cafile;
  std::string configFile;
  bool help = false;
  std::string error;  // a usage error, in one line
};

// The words after "bridge" (and any before it that are options), as the client
// got them. --config FILE is read by `readFile`, which returns false and says why
// when it cannot; the command line wins over the file for an option given in both.
using FileReader = bool (*)(const std::string& path, std::string* text, std::string* why);
BridgeConfig ParseBridgeArguments(const std::vector<std::string>& words, FileReader readFile);

// The `key = value` lines of a config file into `config`; blank lines and lines
// starting with # are skipped. Refused with "FILE:LINE: why". `given` lists the
// keys the command line gave already, which the file does not override.
bool ApplyConfigText(const std::string& text, const std::string& fileName,
                     const std::vector<std::string>& given, BridgeConfig* config);

// Whether a topic prefix can carry the bridge's topics: not empty, no wildcard
// (+ #), no empty level, no leading or trailing slash. Empty when it can.
std::string TopicPrefixProblem(const std::string& prefix);

extern const char kBridgeUsage[];

}  // namespace varnak::bridge
