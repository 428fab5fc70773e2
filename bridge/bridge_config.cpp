#include "bridge/bridge_config.h"

#include <algorithm>
#include <cstdlib>

#include "net/address.h"

namespace varnak::bridge {

const char kBridgeUsage[] =
    "Usage: varnak bridge [--mqtt URL] [--share tcp://HOST:PORT] [--modbus tcp://HOST:PORT] [options]\n"
    "Owns the line, polls the outputs and reads the registers of a list file as the window does,\n"
    "and serves them: to an MQTT broker as retained topics under PREFIX (writes come in on\n"
    "PREFIX/R<reg>/set), to other windows and clients that reach the bridge as the controller\n"
    "over TCP (--share), and as a Modbus TCP server (--modbus). At least one of the three.\n"
    "\n"
    "Options:\n"
    "  --port LINE           the serial device, port number N as 'varnak ports' lists it (default 1),\n"
    "                        or a serial device server: tcp://HOST:PORT, rfc2217://HOST:PORT\n"
    "  --mqtt URL            the broker: mqtt://HOST[:PORT] (default port 1883), or\n"
    "                        mqtts://HOST[:PORT] over TLS (default port 8883)\n"
    "  --share tcp://HOST:PORT  take up to 16 masters of the line over TCP: windows with\n"
    "                        --port 1=tcp://HOST:PORT, clients with --port tcp://HOST:PORT\n"
    "                        (HOST: an address, [IPv6], a host name, 0.0.0.0 for every interface)\n"
    "  --modbus tcp://HOST:PORT  serve up to 32 Modbus TCP clients: holding register N is the\n"
    "                        register whose octal number is N (R2000 = 1024), coils 0-7 Q0-Q7\n"
    "  --max-age MS          Modbus reads are answered from values read this long ago at most\n"
    "                        (default 2000)\n"
    "  --trace               every chunk on the line and every master's request on stderr\n"
    "  --topic PREFIX        the topics' prefix (default varnak)\n"
    "  --watch FILE          the register list file (CSV with the header register,name,format)\n"
    "  --ha-discovery        publish Home Assistant discovery configs under homeassistant/\n"
    "  --read-only           take no writes: every PREFIX/R<reg>/set is ignored, a shared\n"
    "                        master's write header is answered with NAK, Modbus writes with\n"
    "                        exception 01\n"
    "  --username U          the broker's user name\n"
    "  --password-file F     the broker password: the first line of F\n"
    "  --cafile F            mqtts: the certificate authorities to trust (default: the system's)\n"
    "  --config FILE         the same options as 'key = value' lines (port = /dev/ttyUSB0,\n"
    "                        ha-discovery = yes); options given on the command line win\n"
    "  --help                this text\n"
    "\n"
    "Topics (retained unless said): PREFIX/availability (online, offline), PREFIX/controller\n"
    "(online, no reply, port failed), PREFIX/outputs (two hex digits), PREFIX/Q0..Q7 (1, 0),\n"
    "PREFIX/R<reg> (the value in the row's format), PREFIX/masters (masters connected with\n"
    "--share), PREFIX/events (JSON, not retained).\n"
    "Runs until SIGTERM or SIGINT: then publishes offline, disconnects and releases the line\n"
    "(exit 143 or 130). Exit 2: usage error. A line that cannot be opened, or a broker away,\n"
    "is tried again for as long as the bridge runs.\n";

namespace {

struct Key {
  const char* name;
  bool flag;  // takes no value on the command line
};
constexpr Key kKeys[] = {{"port", false},     {"mqtt", false},          {"topic", false},
                         {"watch", false},    {"ha-discovery", true},   {"read-only", true},
                         {"username", false}, {"password-file", false}, {"cafile", false},
                         {"config", false},   {"share", false},         {"modbus", false},
                         {"max-age", false},  {"trace", true}};

const Key* FindKey(const std::string& name) {
  const auto* k =
      std::find_if(std::begin(kKeys), std::end(kKeys), [&](const Key& e) { return name == e.name; });
  return k == std::end(kKeys) ? nullptr : k;
}

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

std::optional<bool> ParseYesNo(const std::string& v) {
  std::string l = v;
  std::transform(l.begin(), l.end(), l.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (l == "yes" || l == "true" || l == "on" || l == "1") return true;
  if (l == "no" || l == "false" || l == "off" || l == "0") return false;
  return std::nullopt;
}

// Empty when taken.
std::string Set(BridgeConfig* c, const std::string& key, const std::string& value) {
  if (key == "port") c->port = value;
  if (key == "mqtt") c->mqtt = value;
  if (key == "topic") c->topic = value;
  if (key == "watch") c->watchFile = value;
  if (key == "username") c->username = value;
  if (key == "password-file") c->passwordFile = value;
  if (key == "cafile") c->cafile = value;
  if (key == "config") c->configFile = value;
  if (key == "share") c->share = value;
  if (key == "modbus") c->modbus = value;
  if (key == "max-age") {
    const bool digits =
        !value.empty() && value.size() <= 7 && std::all_of(value.begin(), value.end(), ::isdigit);
    if (!digits) return "--max-age wants milliseconds, got: " + value;
    c->maxAgeMs = std::atoi(value.c_str());
  }
  if (key == "ha-discovery" || key == "read-only" || key == "trace") {
    const auto yes = ParseYesNo(value);
    if (!yes) return key + " wants yes or no, got: " + value;
    (key == "ha-discovery" ? c->haDiscovery : key == "trace" ? c->trace : c->readOnly) = *yes;
  }
  if (!FindKey(key)->flag && value.empty()) return "--" + key + " wants a value";
  return {};
}

// What the options say together, once all are in.
std::string Check(BridgeConfig* c) {
  if (c->mqtt.empty() && c->share.empty() && c->modbus.empty())
    return "bridge needs at least one of --mqtt mqtt://HOST[:PORT], --share tcp://HOST:PORT and "
           "--modbus tcp://HOST:PORT";
  std::string why;
  for (const auto& [option, text] : {std::pair{"--share", &c->share}, std::pair{"--modbus", &c->modbus}}) {
    if (text->empty()) continue;
    const auto a = ParseLineAddress(*text, &why);
    if (!a || a->kind != LineAddress::Kind::RawTcp || text->rfind("tcp://", 0) != 0)
      return std::string(option) + " wants tcp://HOST:PORT, got: " + *text;
  }
  if (!c->share.empty() && c->share == c->modbus) return "--share and --modbus want ports of their own";
  if (c->mqtt.empty()) {
    if (c->haDiscovery) return "--ha-discovery needs --mqtt";
    return {};
  }
  const auto broker = ParseBrokerAddress(c->mqtt, &why);
  if (!broker) return why;
  c->broker = *broker;
  if (!c->cafile.empty() && !c->broker.tls) return "--cafile is for mqtts://";
  if (!c->passwordFile.empty() && c->username.empty()) return "--password-file needs --username";
  if (const std::string p = TopicPrefixProblem(c->topic); !p.empty()) return p;
  return {};
}

}  // namespace

std::optional<BrokerAddress> ParseBrokerAddress(const std::string& text, std::string* why) {
  BrokerAddress a;
  std::string rest;
  if (text.rfind("mqtt://", 0) == 0) {
    rest = text.substr(7);
  } else if (text.rfind("mqtts://", 0) == 0) {
    rest = text.substr(8);
    a.tls = true;
    a.port = 8883;
  } else {
    *why = "--mqtt wants mqtt://HOST[:PORT] or mqtts://HOST[:PORT], got: " + text;
    return std::nullopt;
  }
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  std::string portText;
  if (!rest.empty() && rest[0] == '[') {
    const auto close = rest.find(']');
    if (close == std::string::npos) {
      *why = "--mqtt: an IPv6 address wants its closing ], got: " + text;
      return std::nullopt;
    }
    a.host = rest.substr(1, close - 1);
    const std::string after = rest.substr(close + 1);
    if (!after.empty()) {
      if (after[0] != ':') {
        *why = "--mqtt: after the host comes :PORT or nothing, got: " + text;
        return std::nullopt;
      }
      portText = after.substr(1);
      if (portText.empty()) portText = "-";
    }
  } else {
    const auto colon = rest.find(':');
    a.host = rest.substr(0, colon);
    if (colon != std::string::npos) portText = rest.substr(colon + 1);
    if (colon != std::string::npos && portText.empty()) portText = "-";
  }
  if (a.host.empty() || a.host.find_first_of("/@ ") != std::string::npos) {
    *why = "--mqtt wants a host name or address, got: " + text;
    return std::nullopt;
  }
  if (!portText.empty()) {
    const bool digits = portText.size() <= 5 && std::all_of(portText.begin(), portText.end(), ::isdigit);
    const long n = digits ? std::strtol(portText.c_str(), nullptr, 10) : 0;
    if (n < 1 || n > 65535) {
      *why = "--mqtt: the port is a number from 1 to 65535, got: " + text;
      return std::nullopt;
    }
    a.port = static_cast<int>(n);
  }
  return a;
}

std::string TopicPrefixProblem(const std::string& prefix) {
  if (prefix.empty()) return "--topic wants a prefix";
  if (prefix.find_first_of("+#") != std::string::npos) return "--topic may not hold + or #, got: " + prefix;
  if (prefix.front() == '/' || prefix.back() == '/' || prefix.find("//") != std::string::npos)
    return "--topic may not begin or end with / or hold an empty level, got: " + prefix;
  if (prefix.find('\0') != std::string::npos) return "--topic may not hold a NUL";
  return {};
}

bool ApplyConfigText(const std::string& text, const std::string& fileName,
                     const std::vector<std::string>& given, BridgeConfig* config) {
  std::size_t at = 0;
  int lineNo = 0;
  while (at < text.size()) {
    auto end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = Trim(text.substr(at, end - at));
    at = end + 1;
    ++lineNo;
    if (line.empty() || line[0] == '#') continue;
    const auto where = fileName + ":" + std::to_string(lineNo) + ": ";
    const auto eq = line.find('=');
    if (eq == std::string::npos) {
      config->error = where + "want key = value, got: " + line;
      return false;
    }
    const std::string key = Trim(line.substr(0, eq)), value = Trim(line.substr(eq + 1));
    const Key* k = FindKey(key);
    if (!k || key == "config") {
      config->error = where + "unknown key: " + key;
      return false;
    }
    if (std::find(given.begin(), given.end(), key) != given.end()) continue;
    if (const std::string why = Set(config, key, value); !why.empty()) {
      config->error = where + why;
      return false;
    }
  }
  return true;
}

BridgeConfig ParseBridgeArguments(const std::vector<std::string>& words, FileReader readFile) {
  BridgeConfig c;
  std::vector<std::string> given;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& w = words[i];
    if (w == "--help" || w == "-h") {
      c.help = true;
      return c;
    }
    if (w.rfind("--", 0) != 0) {
      c.error = "bridge takes options only, got: " + w;
      return c;
    }
    std::string name = w.substr(2), value;
    const auto eq = name.find('=');
    const bool inlineValue = eq != std::string::npos;
    if (inlineValue) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    const Key* k = FindKey(name);
    if (!k) {
      c.error = "unknown option: " + w;
      return c;
    }
    if (std::find(given.begin(), given.end(), name) != given.end()) {
      c.error = "--" + name + " given twice";
      return c;
    }
    given.push_back(name);
    if (k->flag) {
      if (inlineValue) {
        c.error = "--" + name + " takes no value";
        return c;
      }
      value = "yes";
    } else if (!inlineValue) {
      if (i + 1 >= words.size()) {
        c.error = "--" + name + " wants a value";
        return c;
      }
      value = words[++i];
    }
    if (const std::string why = Set(&c, name, value); !why.empty()) {
      c.error = why;
      return c;
    }
  }
  if (!c.configFile.empty()) {
    std::string text, why;
    if (!readFile(c.configFile, &text, &why)) {
      c.error = why;
      return c;
    }
    if (!ApplyConfigText(text, c.configFile, given, &c)) return c;
  }
  if (c.port.empty()) c.port = "1";
  c.error = Check(&c);
  return c;
}

}  // namespace varnak::bridge
