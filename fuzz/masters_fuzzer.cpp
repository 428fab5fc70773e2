// What masters on the network send the bridge, at random: the first byte picks
// the face. A master speaking the link protocol (its bytes in pieces of any
// length, the line answering or failing at random, time passing): nothing
// crashes or hangs, and every byte sent back is one whole answer of the
// controller (an enquiry ack, ACK, NAK or a data reply). A Modbus TCP client: every cut frame is within
// what came and within one frame's bound, every plan is a reject with an
// exception or asks for registers inside the map (at most 125 read, 123
// written) or outputs inside Q0-Q7.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "modbus/modbus_requests.h"
#include "share/master_session.h"

using namespace varnak;

namespace {

void CheckAt(bool ok, int line) {
  if (ok) return;
  std::fprintf(stderr, "masters_fuzzer: check on line %d failed\n", line);
  std::abort();
}
#define Check(ok) CheckAt((ok), __LINE__)

void Master(const std::uint8_t* data, std::size_t size) {
  std::vector<std::pair<share::LineService::RequestId, share::LineService::Answer>> waiting;
  share::LineService::RequestId last = 0;
  share::LineAsker line{[&](const share::LineRequest& r, std::int64_t, share::LineService::Answer a,
                            share::LineService::RequestId* id) -> std::optional<share::LineAnswer> {
                          *id = ++last;
                          Check(r.reg <= 077777);
                          waiting.emplace_back(*id, std::move(a));
                          return std::nullopt;
                        },
                        [&](share::LineService::RequestId id) {
                          for (auto it = waiting.begin(); it != waiting.end(); ++it)
                            if (it->first == id) {
                              waiting.erase(it);
                              return;
                            }
                        }};
  std::vector<Bytes> sent;
  share::MasterSession::Hooks hooks{[&](const Bytes& b) { sent.push_back(b); }, [](const share::MasterEvent&) {}};
  share::MasterSession session("fuzz", line, hooks);
  std::int64_t now = 0;
  std::size_t at = 0;
  while (at < size) {
    const std::uint8_t op = data[at++];
    if (op < 0x40) {  // a piece of the master's bytes
      const std::size_t n = std::min<std::size_t>(op % 24 + 1, size - at);
      session.push(Bytes(data + at, data + at + n), now);
      at += n;
    } else if (op < 0x60) {  // time passes, the timer fires when due
      now += (op - 0x40) * 150;
      if (const auto d = session.nextDeadline(); d && *d <= now) session.timeout(now);
    } else if (op < 0x80 && !waiting.empty()) {  // the line answers the oldest request
      auto w = std::move(waiting.front());
      waiting.erase(waiting.begin());
      const bool ok = op & 1;
      w.second(w.first, share::LineAnswer{ok, Failure::NoReply, static_cast<std::uint16_t>(op * 257), 1});
    } else if (op == 0xFF) {
      session.leave();
    }
    for (const Bytes& b : sent) {
      const bool enquiryAck = b == Bytes{0x4E, 0x21, 0x06};
      const bool single = b.size() == 1 && (b[0] == 0x06 || b[0] == 0x15);
      const bool dataReply = b.size() == 6 && b[0] == 0x06 && b[1] == 0x02 && b[4] == 0x03 && (b[2] ^ b[3]) == b[5];
      Check(enquiryAck || single || dataReply);
    }
    sent.clear();
  }
}

void ModbusClient(const std::uint8_t* data, std::size_t size) {
  std::size_t at = 0;
  while (at < size) {
    const modbus::Cut cut = modbus::CutFrame(data + at, size - at);
    if (cut.kind != modbus::Cut::Kind::Whole) return;
    Check(cut.length >= modbus::kHeaderLength + 1 && cut.length <= size - at && cut.length <= 7 + 253);
    const modbus::Plan plan = modbus::PlanRequest(data + at, cut.length, data[at] & 1);
    switch (plan.kind) {
      case modbus::Plan::Kind::Reject:
        Check(plan.exception != modbus::Exception::None);
        break;
      case modbus::Plan::Kind::ReadRegisters:
        Check(plan.count >= 1 && plan.count <= 125 && plan.address + plan.count <= modbus::kRegisterCount);
        break;
      case modbus::Plan::Kind::ReadOutputs:
        Check(plan.count >= 1 && plan.address + plan.count <= modbus::kOutputCount);
        break;
      case modbus::Plan::Kind::WriteRegisters:
        Check(!plan.values.empty() && plan.values.size() <= 123 &&
              plan.address + plan.values.size() <= modbus::kRegisterCount);
        Check(plan.count == plan.values.size());
        break;
    }
    if (plan.kind != modbus::Plan::Kind::Reject)
      for (const share::LineRequest& r : modbus::LineRequests(plan, 2000, "fuzz")) Check(r.reg <= 077777);
    at += cut.length;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  if (data[0] & 1)
    Master(data + 1, size - 1);
  else
    ModbusClient(data + 1, size - 1);
  return 0;
}
