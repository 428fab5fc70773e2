// Modbus TCP requests as a client sends them, and the bytes it gets back: the
// map onto the registers and outputs, the exceptions, and the replies libmodbus
// builds from the line's answers.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <optional>
#include <sstream>

#include "link/register_number.h"
#include "link/text.h"
#include "modbus/modbus_answers.h"
#include "modbus/modbus_replies.h"
#include "modbus/modbus_requests.h"

namespace varnak::modbus {
namespace {

Bytes Hex(const std::string& text) {
  Bytes bytes;
  std::istringstream in(text);
  std::string pair;
  while (in >> pair) bytes.push_back(static_cast<std::uint8_t>(std::stoul(pair, nullptr, 16)));
  return bytes;
}

// What goes out on a client's socket.
class Wire {
 public:
  Wire() { socketpair(AF_UNIX, SOCK_STREAM, 0, fds_); }
  ~Wire() {
    close(fds_[0]);
    close(fds_[1]);
  }
  int server() const { return fds_[0]; }
  std::string taken() {
    std::uint8_t buffer[512];
    const ssize_t n = recv(fds_[1], buffer, sizeof buffer, MSG_DONTWAIT);
    return n > 0 ? BytesToHex(Bytes(buffer, buffer + n)) : "";
  }

 private:
  int fds_[2] = {-1, -1};
};

Plan PlanOf(const Bytes& frame, bool readOnly = false) {
  return PlanRequest(frame.data(), frame.size(), readOnly);
}

TEST(ModbusFrames, CutFromWhatCame) {
  struct Row {
    const char* name;
    const char* bytes;
    Cut::Kind kind;
    std::size_t length;
  };
  using K = Cut::Kind;
  const Row rows[] = {
      {"header begun", "00 01 00", K::Partial, 0},
      {"frame short of its last byte", "00 01 00 00 00 06 01 03 04 00 00", K::Partial, 0},
      {"whole frame", "00 01 00 00 00 06 01 03 04 00 00 02", K::Whole, 12},
      {"whole frame and the next begun", "00 01 00 00 00 06 01 03 04 00 00 02 00 02", K::Whole, 12},
      {"smallest frame", "00 01 00 00 00 02 01 07", K::Whole, 8},
      {"protocol id not 0, seen before the length", "47 45 54 20", K::NotModbusTcp, 0},
      {"length field 1", "00 01 00 00 00 01 01", K::NotModbusTcp, 0},
      {"length field 255", "00 01 00 00 00 FF 01", K::NotModbusTcp, 0},
  };
  for (const Row& r : rows) {
    const Bytes bytes = Hex(r.bytes);
    const Cut cut = CutFrame(bytes.data(), bytes.size());
    EXPECT_EQ(cut.kind, r.kind) << r.name;
    EXPECT_EQ(cut.length, r.length) << r.name;
  }
}

TEST(ModbusRequests, RefusedAtOnce) {
  struct Row {
    const char* name;
    const char* request;
    bool readOnly;
    const char* reply;
  };
  const Row rows[] = {
      {"unknown function", "00 07 00 00 00 05 01 2B 0E 01 00", false, "00 07 00 00 00 03 01 AB 01"},
      {"write coil", "00 07 00 00 00 06 01 05 00 00 FF 00", false, "00 07 00 00 00 03 01 85 01"},
      {"write when read-only", "00 07 00 00 00 06 01 06 04 00 00 A5", true, "00 07 00 00 00 03 01 86 01"},
      {"write multiple when read-only", "00 07 00 00 00 09 01 10 04 00 00 01 02 00 A5", true,
       "00 07 00 00 00 03 01 90 01"},
      {"read 0 registers", "00 07 00 00 00 06 01 03 04 00 00 00", false, "00 07 00 00 00 03 01 83 03"},
      {"read 126 registers", "00 07 00 00 00 06 01 04 00 00 00 7E", false, "00 07 00 00 00 03 01 84 03"},
      {"write 0 registers", "00 07 00 00 00 07 01 10 04 00 00 00 00", false, "00 07 00 00 00 03 01 90 03"},
      {"byte count not twice the count", "00 07 00 00 00 09 01 10 04 00 00 02 02 00 A5", false,
       "00 07 00 00 00 03 01 90 03"},
      {"read cut short", "00 07 00 00 00 04 01 03 04 00", false, "00 07 00 00 00 03 01 83 03"},
      {"read 0 coils", "00 07 00 00 00 06 01 01 00 00 00 00", false, "00 07 00 00 00 03 01 81 03"},
      {"read past R77777", "00 07 00 00 00 06 01 03 7F FF 00 02", false, "00 07 00 00 00 03 01 83 02"},
      {"read at 32768", "00 07 00 00 00 06 01 03 80 00 00 01", false, "00 07 00 00 00 03 01 83 02"},
      {"write at 40000", "00 07 00 00 00 06 01 06 9C 40 00 01", false, "00 07 00 00 00 03 01 86 02"},
      {"write multiple past R77777", "00 07 00 00 00 0B 01 10 7F FF 00 02 04 00 01 00 02", false,
       "00 07 00 00 00 03 01 90 02"},
      {"coils past Q7", "00 07 00 00 00 06 01 01 00 04 00 05", false, "00 07 00 00 00 03 01 81 02"},
      {"discrete input 8", "00 07 00 00 00 06 01 02 00 08 00 01", false, "00 07 00 00 00 03 01 82 02"},
      {"unit 2", "00 07 00 00 00 06 02 03 04 00 00 01", false, "00 07 00 00 00 03 02 83 0B"},
      {"unit 0", "00 07 00 00 00 06 00 03 04 00 00 01", false, "00 07 00 00 00 03 00 83 0B"},
      {"unit 2 before the function", "00 07 00 00 00 05 02 2B 0E 01 00", false, "00 07 00 00 00 03 02 AB 0B"},
  };
  Replies replies;
  for (const Row& r : rows) {
    const Bytes request = Hex(r.request);
    const Plan plan = PlanOf(request, r.readOnly);
    ASSERT_EQ(plan.kind, Plan::Kind::Reject) << r.name;
    Wire wire;
    EXPECT_TRUE(replies.sendException(wire.server(), request.data(), request.size(), plan.exception))
        << r.name;
    EXPECT_EQ(wire.taken(), r.reply) << r.name;
  }
}

// What each accepted request asks of the line: one read or write per register,
// the outputs once.
std::string Asked(const std::vector<share::LineRequest>& requests) {
  std::string text;
  for (const auto& r : requests) {
    if (!text.empty()) text += " ";
    switch (r.kind) {
      case share::LineRequest::Kind::Read:
        text += "read " + RegisterName(r.reg) + "/" + std::to_string(r.maxAgeMs);
        break;
      case share::LineRequest::Kind::Write:
        text += "write " + RegisterName(r.reg) + "=" + ValueHex(r.value);
        break;
      case share::LineRequest::Kind::Outputs:
        text += "outputs/" + std::to_string(r.maxAgeMs);
        break;
    }
  }
  return text;
}

TEST(ModbusRequests, MapOntoTheLine) {
  struct Row {
    const char* name;
    const char* request;
    const char* asked;
    const char* command;
  };
  const Row rows[] = {
      {"holding 1024 is R2000", "00 01 00 00 00 06 01 03 04 00 00 02", "read R2000/2000 read R2001/2000",
       "modbus read 1024-1025 (R2000-R2001)"},
      {"input registers are the same", "00 01 00 00 00 06 FF 04 00 00 00 01", "read R0/2000",
       "modbus read 0 (R0)"},
      {"the last register", "00 01 00 00 00 06 01 03 7F FF 00 01", "read R77777/2000",
       "modbus read 32767 (R77777)"},
      {"write single", "00 01 00 00 00 06 01 06 04 00 00 A5", "write R2000=00A5",
       "modbus write 1024 (R2000) = 00A5"},
      {"write multiple in address order", "00 01 00 00 00 0B 01 10 00 08 00 02 04 12 34 AB CD",
       "write R10=1234 write R11=ABCD", "modbus write 8-9 (R10-R11) = 1234 ABCD"},
      {"coils are the outputs", "00 01 00 00 00 06 01 01 00 00 00 08", "outputs/200",
       "modbus read coils 0-7 (Q0-Q7)"},
      {"discrete inputs are the outputs", "00 01 00 00 00 06 01 02 00 03 00 01", "outputs/200",
       "modbus read discrete inputs 3 (Q3)"},
  };
  for (const Row& r : rows) {
    const Plan plan = PlanOf(Hex(r.request));
    ASSERT_NE(plan.kind, Plan::Kind::Reject) << r.name << ": " << plan.why;
    EXPECT_EQ(Asked(LineRequests(plan, 2000, "10.0.0.7:50112")), r.asked) << r.name;
    EXPECT_EQ(plan.command, r.command) << r.name;
  }
}

share::LineAnswer Ok(std::uint16_t value) { return {true, Failure::NoReply, value, 1}; }
share::LineAnswer Failed(Failure failure) { return {false, failure, 0, 3}; }

TEST(ModbusRequests, AnsweredFromTheLine) {
  struct Row {
    const char* name;
    const char* request;
    std::vector<std::optional<share::LineAnswer>> answers;  // in LineRequests' order; none: not yet
    const char* reply;                                      // empty: none yet
    const char* outcome;
  };
  const auto no = std::nullopt;
  const Row rows[] = {
      {"registers read",
       "00 09 00 00 00 06 01 03 04 00 00 02",
       {Ok(0x00A5), Ok(0x1234)},
       "00 09 00 00 00 07 01 03 04 00 A5 12 34",
       "read"},
      {"input registers read",
       "00 09 00 00 00 06 FF 04 04 00 00 01",
       {Ok(0xBEEF)},
       "00 09 00 00 00 05 FF 04 02 BE EF",
       "read"},
      {"waits for every register", "00 09 00 00 00 06 01 03 04 00 00 02", {Ok(0x00A5), no}, "", ""},
      {"no reply after the tries",
       "00 09 00 00 00 06 01 03 04 00 00 02",
       {Ok(1), Failed(Failure::NoReply)},
       "00 09 00 00 00 03 01 83 0B",
       "failed"},
      {"a failure answers without the rest",
       "00 09 00 00 00 06 01 03 04 00 00 03",
       {Failed(Failure::CheckByteBad), no, no},
       "00 09 00 00 00 03 01 83 0B",
       "failed"},
      {"reply not understood",
       "00 09 00 00 00 06 01 04 04 00 00 01",
       {Failed(Failure::NotAReply)},
       "00 09 00 00 00 03 01 84 0B",
       "failed"},
      {"port failed",
       "00 09 00 00 00 06 01 03 04 00 00 01",
       {Failed(Failure::PortFailed)},
       "00 09 00 00 00 03 01 83 0B",
       "failed"},
      {"read refused",
       "00 09 00 00 00 06 01 03 04 00 00 01",
       {Failed(Failure::Refused)},
       "00 09 00 00 00 03 01 83 04",
       "refused"},
      {"write confirmed",
       "00 09 00 00 00 06 01 06 04 00 00 A5",
       {Ok(0x00A5)},
       "00 09 00 00 00 06 01 06 04 00 00 A5",
       "confirmed"},
      {"write multiple confirmed",
       "00 09 00 00 00 0B 01 10 04 00 00 02 04 00 01 00 02",
       {Ok(1), Ok(2)},
       "00 09 00 00 00 06 01 10 04 00 00 02",
       "confirmed"},
      {"second word refused",
       "00 09 00 00 00 0B 01 10 04 00 00 02 04 00 01 00 02",
       {Ok(1), Failed(Failure::Refused)},
       "00 09 00 00 00 03 01 90 04",
       "refused"},
      {"first word unanswered",
       "00 09 00 00 00 0B 01 10 04 00 00 02 04 00 01 00 02",
       {Failed(Failure::NoReply), no},
       "00 09 00 00 00 03 01 90 0B",
       "failed"},
      {"coils: bit i is Qi",
       "00 09 00 00 00 06 01 01 00 00 00 08",
       {Ok(0xA5)},
       "00 09 00 00 00 04 01 01 01 A5",
       "read"},
      {"discrete inputs Q2-Q4",
       "00 09 00 00 00 06 01 02 00 02 00 03",
       {Ok(0x14)},
       "00 09 00 00 00 04 01 02 01 05",
       "read"},
      {"outputs not polled",
       "00 09 00 00 00 06 01 01 00 00 00 08",
       {Failed(Failure::NoReply)},
       "00 09 00 00 00 03 01 81 0B",
       "failed"},
  };
  Replies replies;
  for (const Row& r : rows) {
    const Bytes request = Hex(r.request);
    const Plan plan = PlanOf(request);
    ASSERT_NE(plan.kind, Plan::Kind::Reject) << r.name << ": " << plan.why;
    ASSERT_EQ(LineRequests(plan, 2000, "").size(), r.answers.size()) << r.name;
    Answers answers(plan);
    for (std::size_t i = 0; i < r.answers.size(); ++i) {
      if (r.answers[i]) answers.take(i, *r.answers[i]);
    }
    Wire wire;
    if (answers.done()) {
      EXPECT_TRUE(replies.send(wire.server(), request.data(), request.size(), plan, answers)) << r.name;
      EXPECT_EQ(Report(plan, &answers, "").outcome, r.outcome) << r.name;
    }
    EXPECT_EQ(wire.taken(), r.reply) << r.name;
  }
}

}  // namespace
}  // namespace varnak::modbus
