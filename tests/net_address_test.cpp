// Network line addresses as typed, and the COM port option's negotiation
// against a scripted server: what is sent, what is taken, what fails and why.
#include <gtest/gtest.h>

#include "fakes.h"
#include "net/address.h"
#include "net/rfc2217.h"

namespace varnak::testing {
namespace {

TEST(LineAddress, AsTyped) {
  struct Row {
    const char* text;
    LineAddress::Kind kind;
    const char* host;
    int port;
    const char* error;  // empty: parsed
  };
  using K = LineAddress::Kind;
  const Row rows[] = {
      {"/dev/ttyUSB0", K::Local, "", 0, ""},
      {"tcp://127.0.0.1:4001", K::RawTcp, "127.0.0.1", 4001, ""},
      {"socket://plc.local:4001", K::RawTcp, "plc.local", 4001, ""},
      {"TCP://plc:1", K::RawTcp, "plc", 1, ""},
      {"rfc2217://[::1]:65535", K::Rfc2217, "::1", 65535, ""},
      {"rfc2217://[fe80::1%eth0]:4002/", K::Rfc2217, "fe80::1%eth0", 4002, ""},
      {"tcp://plc", K::RawTcp, "", 0, "tcp://plc: no port number (HOST:PORT)"},
      {"tcp://:4001", K::RawTcp, "", 0, "tcp://:4001: no host (HOST:PORT)"},
      {"tcp://plc:0", K::RawTcp, "", 0, "tcp://plc:0: no port number from 1 to 65535"},
      {"tcp://plc:65536", K::RawTcp, "", 0, "tcp://plc:65536: no port number from 1 to 65535"},
      {"tcp://plc:40x1", K::RawTcp, "", 0, "tcp://plc:40x1: no port number from 1 to 65535"},
      {"tcp://::1:4001", K::RawTcp, "", 0, "tcp://::1:4001: an IPv6 address goes in brackets ([::1]:PORT)"},
      {"tcp://[::1:4001", K::RawTcp, "", 0, "tcp://[::1:4001: no closing ] after the IPv6 address"},
      {"udp://plc:4001", K::RawTcp, "", 0,
       "udp://plc:4001: unknown kind of address (tcp://, socket:// or rfc2217://)"},
  };
  for (const Row& r : rows) {
    std::string error;
    const auto a = ParseLineAddress(r.text, &error);
    if (*r.error) {
      EXPECT_FALSE(a) << r.text;
      EXPECT_EQ(error, r.error);
      continue;
    }
    ASSERT_TRUE(a) << r.text << ": " << error;
    EXPECT_EQ(a->kind, r.kind) << r.text;
    EXPECT_EQ(a->host, r.host) << r.text;
    EXPECT_EQ(a->port, r.port) << r.text;
    EXPECT_EQ(a->text, r.text);
  }
}

using S = Rfc2217Session;

Bytes Answer(std::uint8_t code, const Bytes& value) {
  return S::Command(static_cast<std::uint8_t>(code + 100), value);
}
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
const Bytes kDoComPort{0xFF, 0xFD, 44};
const Bytes kBaud9600{0x00, 0x00, 0x25, 0x80};

TEST(Rfc2217, OffersTheOptionThenSetsTheLineAndReadsItBack) {
  S s;
  EXPECT_EQ(BytesToHex(s.start(0)), "FF FB 2C");
  const S::Output asked = s.receive(kDoComPort, 10);
  // baud, data size, parity odd, stop size 1, no flow control, DTR off
  EXPECT_EQ(BytesToHex(asked.send),
            "FF FA 2C 01 00 00 25 80 FF F0 FF FA 2C 02 08 FF F0 FF FA 2C 03 02 FF F0 FF FA 2C 04 01 FF F0 "
            "FF FA 2C 05 01 FF F0 FF FA 2C 05 09 FF F0");
  EXPECT_EQ(s.state(), S::State::Setting);
  const Bytes answers =
      Cat({Answer(1, kBaud9600), Answer(2, {8}), Answer(3, {2}), Answer(4, {1}), Answer(5, {1})});
  // Split at every point, as a network may deliver it.
  for (std::size_t cut = 0; cut <= answers.size(); ++cut) {
    S t;
    t.start(0);
    t.receive(kDoComPort, 10);
    t.receive(Bytes(answers.begin(), answers.begin() + static_cast<long>(cut)), 20);
    t.receive(Bytes(answers.begin() + static_cast<long>(cut), answers.end()), 21);
    EXPECT_EQ(t.state(), S::State::Ready) << "cut at " << cut;
  }
  s.receive(answers, 20);
  ASSERT_EQ(s.state(), S::State::Ready);
  // DTR never answered: a note at the deadline, no failure.
  s.timeout(1010);
  EXPECT_EQ(s.state(), S::State::Ready);
  const auto notes = s.takeNotes();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0], "the server did not answer DTR off (it may not have that line)");
}

TEST(Rfc2217, FailuresNameWhatWasNotTaken) {
  struct Row {
    const char* name;
    Bytes answers;
    std::int64_t at;
    S::Failure failure;
    const char* notTaken;
    const char* instead;
  };
  const Row rows[] = {
      {"NoParity", Cat({Answer(1, kBaud9600), Answer(2, {8}), Answer(3, {1})}), 20, S::Failure::NotTaken,
       "odd parity", "no parity"},
      {"OtherBaud", Answer(1, {0, 0, 0x4B, 0x00}), 20, S::Failure::NotTaken, "9600 baud", "19200 baud"},
      {"FlowControlKept", Cat({Answer(5, {2})}), 20, S::Failure::NotTaken, "no flow control", "control 2"},
      {"StopSizeNeverAnswered", Cat({Answer(1, kBaud9600), Answer(2, {8}), Answer(3, {2}), Answer(5, {1})}),
       1100, S::Failure::NotTaken, "1 stop bit", ""},
  };
  for (const Row& r : rows) {
    S s;
    s.start(0);
    s.receive(kDoComPort, 10);
    s.receive(r.answers, 20);
    s.timeout(r.at);
    EXPECT_EQ(s.state(), S::State::Failed) << r.name;
    EXPECT_EQ(s.failure(), r.failure) << r.name;
    EXPECT_EQ(s.notTaken(), r.notTaken) << r.name;
    EXPECT_EQ(s.answeredInstead(), r.instead) << r.name;
  }
}

TEST(Rfc2217, ASilentServerDoesNotSpeakIt) {
  S s;
  s.start(100);
  s.receive({0x06}, 500);  // a raw port's controller bytes, no telnet
  s.timeout(1099);
  EXPECT_EQ(s.state(), S::State::Offered);
  s.timeout(1100);
  EXPECT_EQ(s.state(), S::State::Failed);
  EXPECT_EQ(s.failure(), S::Failure::NotRfc2217);
  S refused;
  refused.start(0);
  refused.receive({0xFF, 0xFE, 44}, 5);  // DONT COM-PORT-OPTION
  EXPECT_EQ(refused.failure(), S::Failure::NotRfc2217);
}

TEST(Rfc2217, OtherOptionsAreRefusedAndDataIsUnescaped) {
  S s;
  s.start(0);
  // WILL ECHO, WILL SGA, DO TERMINAL-TYPE, then data with a doubled IAC split across pieces.
  const S::Output a = s.receive({0xFF, 0xFB, 1, 0xFF, 0xFB, 3, 0xFF, 0xFD, 24, 0x06, 0x02, 0x00, 0xFF}, 1);
  EXPECT_EQ(BytesToHex(a.send), "FF FE 01 FF FE 03 FF FC 18");
  const S::Output b = s.receive({0xFF, 0x03, 0xFF, 0xFF}, 2);
  const S::Output c = s.receive({0x00}, 3);  // a lone IAC IAC ended the last piece
  Bytes data = a.data;
  data.insert(data.end(), b.data.begin(), b.data.end());
  data.insert(data.end(), c.data.begin(), c.data.end());
  EXPECT_EQ(BytesToHex(data), "06 02 00 FF 03 FF 00");
  EXPECT_EQ(BytesToHex(S::Escape({0x02, 0xFF, 0x00, 0x03, 0xFF})), "02 FF FF 00 03 FF FF");
}

}  // namespace
}  // namespace varnak::testing
