// The bridge's core by tables: its options and config file, topic names, the
// discovery configs, and what it publishes on a change, a reconnect and a /set.
#include <gtest/gtest.h>

#include <cctype>
#include <set>

#include <map>

#include "bridge/bridge_config.h"
#include "bridge/bridge_core.h"
#include "bridge/discovery.h"
#include "bridge/reconnect.h"
#include "bridge/topics.h"
#include "link/register_number.h"

namespace varnak::bridge {
namespace {

std::map<std::string, std::string> gFiles;
bool FakeRead(const std::string& path, std::string* text, std::string* why) {
  const auto it = gFiles.find(path);
  if (it == gFiles.end()) {
    *why = "cannot read " + path + ": No such file or directory";
    return false;
  }
  *text = it->second;
  return true;
}

struct ArgsCase {
  const char* name;
  std::vector<std::string> words;
  std::string error;  // empty: taken
  std::string host = "";
  int port = 0;
  std::string topic = "varnak";
};

class BridgeArguments : public testing::TestWithParam<ArgsCase> {};

TEST_P(BridgeArguments, TakenOrRefusedWithTheReason) {
  gFiles = {{"bridge.conf",
             "# the line\nport = /dev/ttyUSB0\n\nmqtt = mqtt://broker:1884\ntopic = plant/line1\n"
             "ha-discovery = yes\n"},
            {"bad.conf", "port = 1\nspeed = 9600\n"},
            {"nokey.conf", "mqtt\n"},
            {"flag.conf", "mqtt = mqtt://h\nread-only = perhaps\n"}};
  const ArgsCase& c = GetParam();
  const BridgeConfig config = ParseBridgeArguments(c.words, &FakeRead);
  EXPECT_EQ(config.error, c.error);
  if (!c.error.empty()) return;
  EXPECT_EQ(config.broker.host, c.host);
  EXPECT_EQ(config.broker.port, c.port);
  EXPECT_EQ(config.topic, c.topic);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BridgeArguments,
    testing::Values(
        ArgsCase{"HostAlone", {"--mqtt", "mqtt://localhost"}, "", "localhost", 1883},
        ArgsCase{"HostAndPort", {"--mqtt=mqtt://10.0.0.5:1999"}, "", "10.0.0.5", 1999},
        ArgsCase{"TlsDefaultPort", {"--mqtt", "mqtts://b.example"}, "", "b.example", 8883},
        ArgsCase{"Ipv6", {"--mqtt", "mqtt://[::1]:1884"}, "", "::1", 1884},
        ArgsCase{"TopicGiven", {"--mqtt", "mqtt://h", "--topic", "a/b"}, "", "h", 1883, "a/b"},
        ArgsCase{"ConfigFile", {"--config", "bridge.conf"}, "", "broker", 1884, "plant/line1"},
        ArgsCase{"CommandLineWinsOverFile",
                 {"--config", "bridge.conf", "--topic", "other"},
                 "",
                 "broker",
                 1884,
                 "other"},
        ArgsCase{"NoFace",
                 {"--port", "1"},
                 "bridge needs at least one of --mqtt mqtt://HOST[:PORT], --share tcp://HOST:PORT and "
                 "--modbus tcp://HOST:PORT"},
        ArgsCase{"ShareAlone", {"--share", "tcp://0.0.0.0:5020"}, "", "", 1883},
        ArgsCase{"ModbusOnIpv6", {"--modbus", "tcp://[::1]:1502", "--max-age", "500"}, "", "", 1883},
        ArgsCase{
            "ShareNotTcp", {"--share", "rfc2217://h:1"}, "--share wants tcp://HOST:PORT, got: rfc2217://h:1"},
        ArgsCase{"ShareWithoutPort", {"--share", "tcp://h"}, "--share wants tcp://HOST:PORT, got: tcp://h"},
        ArgsCase{"SamePortTwice",
                 {"--share", "tcp://h:1502", "--modbus", "tcp://h:1502"},
                 "--share and --modbus want ports of their own"},
        ArgsCase{"MaxAgeNotANumber",
                 {"--modbus", "tcp://h:1", "--max-age", "2s"},
                 "--max-age wants milliseconds, got: 2s"},
        ArgsCase{"OtherScheme",
                 {"--mqtt", "tcp://h"},
                 "--mqtt wants mqtt://HOST[:PORT] or mqtts://HOST[:PORT], got: tcp://h"},
        ArgsCase{"PortZero",
                 {"--mqtt", "mqtt://h:0"},
                 "--mqtt: the port is a number from 1 to 65535, got: mqtt://h:0"},
        ArgsCase{"PortNotANumber",
                 {"--mqtt", "mqtt://h:x1"},
                 "--mqtt: the port is a number from 1 to 65535, got: mqtt://h:x1"},
        ArgsCase{"EmptyPort",
                 {"--mqtt", "mqtt://h:"},
                 "--mqtt: the port is a number from 1 to 65535, got: mqtt://h:"},
        ArgsCase{
            "NoHost", {"--mqtt", "mqtt://:1883"}, "--mqtt wants a host name or address, got: mqtt://:1883"},
        ArgsCase{
            "CafileWithoutTls", {"--mqtt", "mqtt://h", "--cafile", "ca.pem"}, "--cafile is for mqtts://"},
        ArgsCase{"PasswordWithoutUser",
                 {"--mqtt", "mqtt://h", "--password-file", "pw"},
                 "--password-file needs --username"},
        ArgsCase{
            "Wildcard", {"--mqtt", "mqtt://h", "--topic", "a/#"}, "--topic may not hold + or #, got: a/#"},
        ArgsCase{"TrailingSlash",
                 {"--mqtt", "mqtt://h", "--topic", "a/"},
                 "--topic may not begin or end with / or hold an empty level, got: a/"},
        ArgsCase{"UnknownOption", {"--mqtt", "mqtt://h", "--speed", "9600"}, "unknown option: --speed"},
        ArgsCase{"FlagWithValue", {"--mqtt", "mqtt://h", "--read-only=yes"}, "--read-only takes no value"},
        ArgsCase{"MissingValue", {"--mqtt"}, "--mqtt wants a value"},
        ArgsCase{"GivenTwice", {"--mqtt", "mqtt://h", "--mqtt", "mqtt://g"}, "--mqtt given twice"},
        ArgsCase{"StrayWord", {"--mqtt", "mqtt://h", "now"}, "bridge takes options only, got: now"},
        ArgsCase{"UnknownKeyInFile", {"--config", "bad.conf"}, "bad.conf:2: unknown key: speed"},
        ArgsCase{
            "LineWithoutEquals", {"--config", "nokey.conf"}, "nokey.conf:1: want key = value, got: mqtt"},
        ArgsCase{"FlagNotYesOrNo",
                 {"--config", "flag.conf"},
                 "flag.conf:2: read-only wants yes or no, got: perhaps"},
        ArgsCase{
            "FileMissing", {"--config", "none.conf"}, "cannot read none.conf: No such file or directory"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BridgeArguments, FlagsFromTheFileAndTheDefaultPort) {
  gFiles = {{"f.conf", "mqtt = mqtt://h\nread-only = true\nha-discovery = no\n"}};
  const BridgeConfig c = ParseBridgeArguments({"--config", "f.conf"}, &FakeRead);
  EXPECT_EQ(c.error, "");
  EXPECT_TRUE(c.readOnly);
  EXPECT_FALSE(c.haDiscovery);
  EXPECT_EQ(c.port, "1");
}

struct SetTopicCase {
  const char* name;
  std::string topic;
  std::optional<unsigned> reg;
};
class SetTopics : public testing::TestWithParam<SetTopicCase> {};
TEST_P(SetTopics, OneSpellingPerRegister) {
  EXPECT_EQ(ParseSetTopic("plant/a", GetParam().topic), GetParam().reg);
}
INSTANTIATE_TEST_SUITE_P(Table, SetTopics,
                         testing::Values(SetTopicCase{"Plain", "plant/a/R1000/set", 01000},
                                         SetTopicCase{"Zero", "plant/a/R0/set", 0},
                                         SetTopicCase{"Highest", "plant/a/R77777/set", 077777},
                                         SetTopicCase{"LeadingZero", "plant/a/R01000/set", std::nullopt},
                                         SetTopicCase{"NotOctal", "plant/a/R1008/set", std::nullopt},
                                         SetTopicCase{"AboveRange", "plant/a/R100000/set", std::nullopt},
                                         SetTopicCase{"NoR", "plant/a/1000/set", std::nullopt},
                                         SetTopicCase{"OtherPrefix", "plant/b/R1000/set", std::nullopt},
                                         SetTopicCase{"StateTopic", "plant/a/R1000", std::nullopt},
                                         SetTopicCase{"Deeper", "plant/a/x/R1000/set", std::nullopt}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Topics, PayloadsAndJson) {
  EXPECT_EQ(OutputsPayload(0xA5), "A5");
  EXPECT_EQ(OutputsPayload(0x01), "01");
  EXPECT_EQ(RegisterTopic("p", 02000), "p/R2000");
  EXPECT_EQ(JsonString("a\"b\\c\nd\x01"), "\"a\\\"b\\\\c\\nd\\u0001\"");
  EXPECT_EQ(JsonString("温度"), "\"温度\"");
  EXPECT_EQ(NodeId("a-b_C9"), "a-b_C9");
}

// Two bridges' prefixes never give one node: each would empty the other's configs.
TEST(Topics, NodeIdsOfDifferentPrefixesDiffer) {
  const char* prefixes[] = {"plant/a", "plant_a", "plant a", "车间1", "工厂1", "varnak", "t/p", "t_p"};
  std::set<std::string> ids;
  for (const char* p : prefixes) {
    const std::string id = NodeId(p);
    EXPECT_TRUE(ids.insert(id).second) << p << " gives " << id << " again";
    for (const char c : id)
      EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-') << id;
  }
  EXPECT_EQ(NodeId("plant/line 1").rfind("plant_line_1_", 0), 0u);
}

TEST(Reconnect, FirstWithinASecondThenDoublingToFive) {
  Reconnect r;
  std::vector<std::int64_t> gaps;
  std::int64_t now = 0;
  for (int i = 0; i < 7; ++i) {
    const std::int64_t at = r.failed(now);
    gaps.push_back(at - now);
    now = at;
  }
  EXPECT_EQ(gaps, (std::vector<std::int64_t>{500, 1000, 2000, 4000, 5000, 5000, 5000}));
  // Connections dropped at once go on doubling; one that lasted starts over.
  r.connected(now);
  r.connected(now + 1000);
  EXPECT_EQ(r.failed(now + 1000) - (now + 1000), 5000);
  r.connected(100000);
  r.connected(103000);
  EXPECT_EQ(r.failed(105000), 105500);
  EXPECT_EQ(r.failed(105500), 106500);
}

struct ControllerCase {
  const char* name;
  bool portProblem, stale;
  std::int64_t age;
  ControllerState state;
};
class Controller : public testing::TestWithParam<ControllerCase> {};
TEST_P(Controller, StateFromTheLink) {
  const auto& c = GetParam();
  EXPECT_EQ(ControllerStateOf(c.portProblem, c.stale, c.age), c.state);
}
INSTANTIATE_TEST_SUITE_P(
    Table, Controller,
    testing::Values(ControllerCase{"Answered", false, false, 5000, ControllerState::Online},
                    ControllerCase{"SilentAtStart", false, true, 300, ControllerState::Unknown},
                    ControllerCase{"Silent", false, true, 1000, ControllerState::NoReply},
                    ControllerCase{"PortFailedAtStart", true, true, 0, ControllerState::PortFailed},
                    ControllerCase{"PortFailsOverOldLamps", true, false, 9000, ControllerState::PortFailed}),
    [](const auto& info) { return std::string(info.param.name); });

// The jobs submitted, in short words ("write R2000 00A5;read R2000;"), each given the next id.
struct FakeLine {
  std::string jobs;
  JobId last = 0;
  Submit submit() {
    return [this](const Job& j) {
      jobs += (j.kind == Job::Kind::Write ? "write " : "read ") + RegisterName(j.reg) +
              (j.kind == Job::Kind::Write ? " " + ValueHex(j.value) : std::string()) +
              (j.after ? " after " + std::to_string(j.after) : std::string()) + ";";
      return ++last;
    };
  }
};

BridgeSettings Settings(bool readOnly = false, bool discovery = false) {
  BridgeSettings s;
  s.prefix = "p";
  s.list = {{01000, "count", RegisterFormat::Unsigned},
            {01002, "", RegisterFormat::Signed},
            {02000, "out", RegisterFormat::Hex}};
  s.readOnly = readOnly;
  s.haDiscovery = discovery;
  s.portLabel = "COM1";
  return s;
}

std::vector<std::string> Topics(const Actions& a) {
  std::vector<std::string> t;
  for (const Message& m : a.publish) t.push_back(m.topic + "=" + m.payload);
  return t;
}

TEST(BridgeCore, ChangesOnlyWhileConnectedAndAllAgainAtReconnect) {
  BridgeCore core(Settings(), {});
  // Before the broker: nothing goes out, the state is kept.
  EXPECT_TRUE(core.outputs(0x05).publish.empty());
  EXPECT_TRUE(core.controller(ControllerState::Online).publish.empty());
  EXPECT_TRUE(core.rowChanged(01000, "7").publish.empty());
  EXPECT_EQ(Topics(core.connected()),
            (std::vector<std::string>{"p/availability=online", "p/controller=online", "p/outputs=05",
                                      "p/Q0=1", "p/Q1=0", "p/Q2=1", "p/Q3=0", "p/Q4=0", "p/Q5=0", "p/Q6=0",
                                      "p/Q7=0", "p/R1000=7"}));
  // Connected: a change of Q1 alone, the same value again nothing.
  EXPECT_EQ(Topics(core.outputs(0x07)), (std::vector<std::string>{"p/outputs=07", "p/Q1=1"}));
  EXPECT_TRUE(core.outputs(0x07).publish.empty());
  EXPECT_EQ(Topics(core.rowChanged(01000, "8")), (std::vector<std::string>{"p/R1000=8"}));
  EXPECT_TRUE(core.rowChanged(01000, "8").publish.empty());
  // A failed read keeps the last value: nothing new.
  EXPECT_TRUE(core.rowChanged(01000, "8").publish.empty());
  EXPECT_TRUE(core.rowChanged(07, "1").publish.empty());  // not listed
  EXPECT_EQ(Topics(core.controller(ControllerState::NoReply)),
            (std::vector<std::string>{"p/controller=no reply"}));
  core.disconnected();
  EXPECT_TRUE(core.outputs(0x00).publish.empty());
  const auto again = Topics(core.connected());
  EXPECT_EQ(again.size(), 12u);
  EXPECT_EQ(again[2], "p/outputs=00");
  EXPECT_EQ(again[11], "p/R1000=8");
  EXPECT_EQ(core.lastWill(), (Message{"p/availability", "offline", true}));
}

TEST(BridgeCore, EventsWhileAwayAreBounded) {
  BridgeCore core(Settings(), {});
  for (int i = 0; i < 250; ++i) core.message("p/R7/set", "1", false, std::to_string(i));
  const Actions a = core.connected();
  std::size_t events = 0;
  for (const Message& m : a.publish) events += m.topic == "p/events";
  EXPECT_EQ(events, BridgeCore::kMaxWaitingEvents);
  EXPECT_NE(a.publish.back().payload.find("\"249\""), std::string::npos);  // the newest kept
}

struct SetCase {
  const char* name;
  std::string topic, payload;
  bool retained, readOnly;
  std::string writes;  // the job submitted, empty for none
  std::string event;   // the event's payload, empty for none
};
class SetMessages : public testing::TestWithParam<SetCase> {};
TEST_P(SetMessages, WriteOrEvent) {
  const SetCase& c = GetParam();
  FakeLine line;
  BridgeCore core(Settings(c.readOnly), line.submit());
  core.connected();
  const Actions a = core.message(c.topic, c.payload, c.retained, "T");
  EXPECT_EQ(line.jobs, c.writes);
  if (c.event.empty()) {
    EXPECT_TRUE(a.publish.empty());
  } else {
    ASSERT_EQ(a.publish.size(), 1u);
    EXPECT_EQ(a.publish[0], (Message{"p/events", c.event, false}));
  }
}
INSTANTIATE_TEST_SUITE_P(
    Table, SetMessages,
    testing::Values(
        SetCase{"HexWrites", "p/R2000/set", "00A5", false, false, "write R2000 00A5;read R2000 after 1;", ""},
        SetCase{"SignedWrites", "p/R1002/set", "-2", false, false, "write R1002 FFFE;read R1002 after 1;",
                ""},
        SetCase{
            "NotHex", "p/R2000/set", "zz", false, false, "",
            R"({"time": "T", "command": "write R2000 = zz", "outcome": "refused", "why": "value zz is not hex"})"},
        SetCase{
            "TooBigForUnsigned", "p/R1000/set", "70000", false, false, "",
            R"J({"time": "T", "command": "write R1000 = 70000", "outcome": "refused", "why": "value 70000 does not fit unsigned (0 to 65535)"})J"},
        SetCase{
            "Retained", "p/R2000/set", "0001", true, false, "",
            R"({"time": "T", "command": "write R2000 = 0001", "outcome": "ignored", "why": "retained: a write is never replayed"})"},
        SetCase{"RetainedEmptyClears", "p/R2000/set", "", true, false, "", ""},
        SetCase{
            "NotListed", "p/R7/set", "1", false, false, "",
            R"({"time": "T", "command": "write R7 = 1", "outcome": "ignored", "why": "R7 is not in the list"})"},
        SetCase{
            "ReadOnly", "p/R2000/set", "0001", false, true, "",
            R"({"time": "T", "command": "write R2000 = 0001", "outcome": "ignored", "why": "the bridge is read-only"})"},
        SetCase{
            "ControlCharactersShownAsBlanks", "p/R2000/set", "1\n2", false, false, "",
            R"({"time": "T", "command": "write R2000 = 1 2", "outcome": "refused", "why": "value 1\n2 is not hex"})"},
        SetCase{"OtherTopic", "p/R2000", "0001", false, false, "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// A write's jobs, submitted together: its word, then its read-back only if the
// word was written; how they end makes the write's one event.
struct WriteCase {
  const char* name;
  std::vector<JobEnd> ends;  // ok and value, or the failure, of each job in turn (ids filled in)
  std::string jobs;          // the jobs submitted
  std::vector<std::string> published;
};
JobEnd Ok(std::uint16_t value = 0) {
  return {0, ExchangeKind::ListRead, Cause::Master, "", 0, {}, value, true};
}
JobEnd Lost(Failure f) { return {0, ExchangeKind::ListRead, Cause::Master, "", 0, {}, 0, false, f}; }
void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }
class RowWrites : public testing::TestWithParam<WriteCase> {};
TEST_P(RowWrites, EndInOneEvent) {
  const WriteCase& c = GetParam();
  FakeLine line;
  BridgeCore core(Settings(), line.submit());
  core.connected();
  core.rowChanged(02000, "0000");
  EXPECT_TRUE(core.message("p/R2000/set", "1", false, "T").publish.empty());
  std::vector<std::string> published;
  JobId id = 0;
  for (JobEnd end : c.ends) {
    end.id = ++id;
    for (const std::string& t : Topics(core.jobEnded(end, "T"))) published.push_back(t);
  }
  EXPECT_EQ(line.jobs, c.jobs);
  EXPECT_EQ(published, c.published);
  EXPECT_TRUE(core.jobEnded(Ok(), "T").publish.empty()) << "no job of a write: nothing";
  EXPECT_TRUE(core.jobEnded(Lost(Failure::NoReply), "T").publish.empty());
}
INSTANTIATE_TEST_SUITE_P(
    Table, RowWrites,
    testing::Values(
        WriteCase{
            "ConfirmedAndReadBack",
            {Ok(), Ok(0x0001)},
            "write R2000 0001;read R2000 after 1;",
            {"p/R2000=0001",
             R"(p/events={"time": "T", "command": "write R2000 = 1", "outcome": "confirmed", "value": "0001"})"}},
        WriteCase{
            "ReadsBackAnother",
            {Ok(), Ok(0x0002)},
            "write R2000 0001;read R2000 after 1;",
            {"p/R2000=0002",
             R"(p/events={"time": "T", "command": "write R2000 = 1", "outcome": "confirmed", "why": "written, but reads back another value", "value": "0002"})"}},
        WriteCase{
            "NotWrittenNoReadBack",
            {Lost(Failure::NoReply), Lost(Failure::NoReply)},
            "write R2000 0001;read R2000 after 1;",
            {R"(p/events={"time": "T", "command": "write R2000 = 1", "outcome": "failed", "why": "not written: no reply"})"}},
        WriteCase{
            "ReadBackFailed",
            {Ok(), Lost(Failure::Refused)},
            "write R2000 0001;read R2000 after 1;",
            {R"(p/events={"time": "T", "command": "write R2000 = 1", "outcome": "confirmed", "why": "written; read-back failed: refused"})"}}),
    [](const auto& info) { return std::string(info.param.name); });

// The engine runs jobs in the order submitted: each write's read-back is
// submitted right behind it, and so reads its own write.
TEST(BridgeCore, EachWriteIsFollowedByItsOwnReadBack) {
  FakeLine line;
  BridgeCore core(Settings(), line.submit());
  core.connected();
  core.message("p/R2000/set", "1", false, "T");
  core.message("p/R2000/set", "2", false, "T");
  EXPECT_EQ(line.jobs, "write R2000 0001;read R2000 after 1;write R2000 0002;read R2000 after 3;");
}

TEST(BridgeCore, TooManyWritesWaitingAreRefused) {
  FakeLine line;
  BridgeCore core(Settings(), line.submit());
  core.connected();
  for (std::size_t i = 0; i <= BridgeCore::kMaxWaitingWrites; ++i)
    core.message("p/R2000/set", "1", false, "T");
  const Actions a = core.message("p/R2000/set", "1", false, "T");
  ASSERT_EQ(a.publish.size(), 1u);
  EXPECT_NE(a.publish[0].payload.find("too many writes of R2000 waiting"), std::string::npos);
}

TEST(Discovery, ConfigsPerOutputRegisterAndNumber) {
  const auto configs = DiscoveryConfigs("plant/a", Settings().list, false, "COM1");
  const std::string node = NodeId("plant/a");
  std::vector<std::string> topics;
  for (const auto& c : configs) topics.push_back(c.topic);
  EXPECT_EQ(topics.size(), 8u + 3u + 2u);
  EXPECT_EQ(topics[0], "homeassistant/binary_sensor/" + node + "/q0/config");
  EXPECT_EQ(topics[8], "homeassistant/sensor/" + node + "/r1000/config");
  EXPECT_EQ(topics[9], "homeassistant/number/" + node + "/r1000/config");
  EXPECT_EQ(topics[10], "homeassistant/sensor/" + node + "/r1002/config");
  EXPECT_EQ(topics[11], "homeassistant/number/" + node + "/r1002/config");
  EXPECT_EQ(topics[12], "homeassistant/sensor/" + node + "/r2000/config");
  // Read-only: no numbers.
  EXPECT_EQ(DiscoveryConfigs("plant/a", Settings().list, true, "COM1").size(), 11u);
  const std::string& number = configs[11].payload;
  for (const char* field : {R"("command_topic": "plant/a/R1002/set")", R"("min": -32768)", R"("max": 32767)",
                            R"("availability_topic": "plant/a/availability")"})
    EXPECT_NE(number.find(field), std::string::npos) << field;
  EXPECT_NE(number.find(R"("unique_id": ")" + node + R"(_r1002_set")"), std::string::npos);
  EXPECT_NE(number.find(R"("identifiers": [")" + node + R"("])"), std::string::npos);
  EXPECT_NE(configs[8].payload.find(R"("name": "count")"), std::string::npos);
  EXPECT_NE(configs[10].payload.find(R"("name": "R1002")"), std::string::npos);  // a row without a name
  EXPECT_NE(configs[3].payload.find(R"("payload_on": "1", "payload_off": "0")"), std::string::npos);
}

struct StaleCase {
  const char* name;
  std::string topic;
  bool readOnly;
  std::vector<std::string> emptied;
};
class StaleConfigs : public testing::TestWithParam<StaleCase> {};
TEST_P(StaleConfigs, EmptiedWithTheirState) {
  const auto& c = GetParam();
  EXPECT_EQ(StaleTopics("p", Settings().list, c.readOnly, c.topic), c.emptied);
}
INSTANTIATE_TEST_SUITE_P(
    Table, StaleConfigs,
    testing::Values(StaleCase{"StillListed", "homeassistant/sensor/p/r1000/config", false, {}},
                    StaleCase{"Output", "homeassistant/binary_sensor/p/q7/config", false, {}},
                    StaleCase{"GoneFromTheList",
                              "homeassistant/sensor/p/r3000/config",
                              false,
                              {"homeassistant/sensor/p/r3000/config", "p/R3000"}},
                    StaleCase{"NumberGone",
                              "homeassistant/number/p/r3000/config",
                              false,
                              {"homeassistant/number/p/r3000/config"}},
                    StaleCase{"NumberUnderReadOnly",
                              "homeassistant/number/p/r1000/config",
                              true,
                              {"homeassistant/number/p/r1000/config"}},
                    StaleCase{"NumberOfAHexRow",
                              "homeassistant/number/p/r2000/config",
                              false,
                              {"homeassistant/number/p/r2000/config"}},
                    StaleCase{"OtherNode", "homeassistant/sensor/q/r3000/config", false, {}},
                    StaleCase{"NotAConfig", "homeassistant/sensor/p/r3000/state", false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// A will left by an earlier run of this bridge (its host gone without a word,
// the broker's keepalive running out later) is answered with online again
// while connected; not once the bridge has said offline itself.
TEST(BridgeCore, AStaleWillIsAnsweredWhileConnected) {
  BridgeCore core(Settings(), {});
  EXPECT_TRUE(core.message("p/availability", "offline", true, "T").publish.empty()) << "not connected yet";
  core.connected();
  EXPECT_EQ(Topics(core.message("p/availability", "offline", false, "T")),
            (std::vector<std::string>{"p/availability=online"}));
  EXPECT_TRUE(core.message("p/availability", "online", true, "T").publish.empty());
  core.disconnected();
  EXPECT_TRUE(core.message("p/availability", "offline", false, "T").publish.empty());
}

TEST(BridgeCore, DiscoveryEmptiesOnlyRetainedStaleConfigs) {
  BridgeCore core(Settings(false, true), {});
  const Actions at = core.connected();
  EXPECT_EQ(at.publish.size(), 1u + 8u + 3u + 2u);  // availability (no register known yet), then the configs
  EXPECT_EQ(core.subscriptions(),
            (std::vector<std::string>{"p/+/set", "p/availability", "homeassistant/+/p/+/config"}));
  EXPECT_EQ(Topics(core.message("homeassistant/sensor/p/r3000/config", "{}", true, "T")),
            (std::vector<std::string>{"homeassistant/sensor/p/r3000/config=", "p/R3000="}));
  EXPECT_TRUE(core.message("homeassistant/sensor/p/r3000/config", "{}", false, "T").publish.empty());
  EXPECT_TRUE(core.message("homeassistant/sensor/p/r3000/config", "", true, "T").publish.empty());
}

}  // namespace
}  // namespace varnak::bridge
