#include "modbus/modbus_requests.h"

#include "link/register_number.h"
#include "link/text.h"

namespace varnak::modbus {
namespace {

constexpr std::uint8_t kReadCoils = 1;
constexpr std::uint8_t kReadDiscreteInputs = 2;
constexpr std::uint8_t kReadHoldingRegisters = 3;
constexpr std::uint8_t kReadInputRegisters = 4;
constexpr std::uint8_t kWriteSingleRegister = 6;
constexpr std::uint8_t kWriteMultipleRegisters = 16;

unsigned Word(const std::uint8_t* at) { return (unsigned{at[0]} << 8) | at[1]; }

std::string Range(unsigned first, unsigned count) {
  if (count == 1) return std::to_string(first);
  if (count == 0) return std::to_string(first) + ", count 0";
  return std::to_string(first) + "-" + std::to_string(first + count - 1);
}

// The registers' octal names beside the addresses, when the map has them all.
std::string RegisterNames(unsigned first, unsigned count) {
  if (count == 0 || first + count > kRegisterCount) return "";
  if (count == 1) return " (" + RegisterName(first) + ")";
  return " (" + RegisterName(first) + "-" + RegisterName(first + count - 1) + ")";
}

std::string OutputNames(unsigned first, unsigned count) {
  if (count == 0 || first + count > kOutputCount) return "";
  if (count == 1) return " (Q" + std::to_string(first) + ")";
  return " (Q" + std::to_string(first) + "-Q" + std::to_string(first + count - 1) + ")";
}

std::string Values(const std::vector<std::uint16_t>& values) {
  std::string text;
  for (std::uint16_t v : values) text += (text.empty() ? "" : " ") + ValueHex(v);
  return text;
}

std::string Describe(const Plan& p) {
  switch (p.function) {
    case kReadCoils:
      return "modbus read coils " + Range(p.address, p.count) + OutputNames(p.address, p.count);
    case kReadDiscreteInputs:
      return "modbus read discrete inputs " + Range(p.address, p.count) + OutputNames(p.address, p.count);
    case kReadHoldingRegisters:
    case kReadInputRegisters:
      return "modbus read " + Range(p.address, p.count) + RegisterNames(p.address, p.count);
    case kWriteSingleRegister:
    case kWriteMultipleRegisters: {
      std::string text = "modbus write " + Range(p.address, p.count) + RegisterNames(p.address, p.count);
      return p.values.empty() ? text : text + " = " + Values(p.values);
    }
    default:
      return "modbus function " + std::to_string(p.function);
  }
}

Plan Reject(Plan plan, Exception exception, std::string why) {
  plan.kind = Plan::Kind::Reject;
  plan.exception = exception;
  plan.why = std::move(why);
  plan.command = Describe(plan);
  return plan;
}

}  // namespace

Cut CutFrame(const std::uint8_t* bytes, std::size_t size) {
  if (size >= 4 && Word(bytes + 2) != 0) return {Cut::Kind::NotModbusTcp, 0};
  if (size < 6) return {Cut::Kind::Partial, 0};
  const unsigned following = Word(bytes + 4);
  if (following < 2 || following > 254) return {Cut::Kind::NotModbusTcp, 0};
  const std::size_t length = 6 + following;
  if (size < length) return {Cut::Kind::Partial, 0};
  return {Cut::Kind::Whole, length};
}

Plan PlanRequest(const std::uint8_t* frame, std::size_t length, bool readOnly) {
  Plan plan;
  const std::uint8_t unit = frame[kHeaderLength - 1];
  const std::uint8_t* pdu = frame + kHeaderLength;
  const std::size_t pduLength = length - kHeaderLength;
  plan.function = pdu[0];
  // The fields the function has, as far as the frame holds them, for the trace.
  if (pduLength >= 5) {
    plan.address = Word(pdu + 1);
    plan.count = Word(pdu + 3);
  }
  const bool write = plan.function == kWriteSingleRegister || plan.function == kWriteMultipleRegisters;
  if (plan.function == kWriteSingleRegister && pduLength >= 5) {
    plan.count = 1;
    plan.values = {static_cast<std::uint16_t>(Word(pdu + 3))};
  }
  if (plan.function == kWriteMultipleRegisters && pduLength >= 6 && pduLength == 6u + pdu[5] &&
      pdu[5] == 2 * plan.count) {
    for (unsigned i = 0; i < plan.count; ++i)
      plan.values.push_back(static_cast<std::uint16_t>(Word(pdu + 6 + 2 * i)));
  }

  if (unit != kUnit && unit != kUnitAny) {
    return Reject(plan, Exception::GatewayTargetFailed,
                  "unit " + std::to_string(unit) + " is not served (1 or 255)");
  }
  switch (plan.function) {
    case kReadCoils:
    case kReadDiscreteInputs:
    case kReadHoldingRegisters:
    case kReadInputRegisters:
    case kWriteSingleRegister:
    case kWriteMultipleRegisters:
      break;
    default:
      return Reject(plan, Exception::IllegalFunction, "function not served");
  }
  if (write && readOnly) return Reject(plan, Exception::IllegalFunction, "writes are off (read-only)");

  const bool bits = plan.function == kReadCoils || plan.function == kReadDiscreteInputs;
  const bool wellFormed = plan.function == kWriteMultipleRegisters
                              ? pduLength >= 6 && pduLength == 6u + pdu[5] && pdu[5] == 2 * plan.count
                              : pduLength == 5;
  const unsigned limit = bits                                       ? kMaxReadBits
                         : plan.function == kWriteMultipleRegisters ? kMaxWriteRegisters
                         : plan.function == kWriteSingleRegister    ? 1
                                                                    : kMaxReadRegisters;
  if (!wellFormed) return Reject(plan, Exception::IllegalDataValue, "malformed request");
  if (plan.count < 1 || plan.count > limit) {
    return Reject(plan, Exception::IllegalDataValue, "count not from 1 to " + std::to_string(limit));
  }
  if (bits && plan.address + plan.count > kOutputCount) {
    return Reject(plan, Exception::IllegalDataAddress, "outside the outputs (0-7: Q0-Q7)");
  }
  if (!bits && plan.address + plan.count > kRegisterCount) {
    return Reject(plan, Exception::IllegalDataAddress, "outside the registers (0-32767: R0-R77777)");
  }

  plan.kind = bits ? Plan::Kind::ReadOutputs : write ? Plan::Kind::WriteRegisters : Plan::Kind::ReadRegisters;
  plan.command = Describe(plan);
  return plan;
}

std::vector<share::LineRequest> LineRequests(const Plan& plan, std::int64_t maxAgeMs,
                                             const std::string& master) {
  using Kind = share::LineRequest::Kind;
  std::vector<share::LineRequest> requests;
  share::LineRequest r;
  r.master = master;
  switch (plan.kind) {
    case Plan::Kind::Reject:
      break;
    case Plan::Kind::ReadOutputs:
      // The output poll's own rate: what it read last is new enough.
      r.kind = Kind::Outputs;
      r.maxAgeMs = 200;
      requests.push_back(r);
      break;
    case Plan::Kind::ReadRegisters:
      r.kind = Kind::Read;
      r.maxAgeMs = maxAgeMs;
      for (unsigned i = 0; i < plan.count; ++i) {
        r.reg = plan.address + i;
        requests.push_back(r);
      }
      break;
    case Plan::Kind::WriteRegisters:
      r.kind = Kind::Write;
      for (unsigned i = 0; i < plan.count; ++i) {
        r.reg = plan.address + i;
        r.value = plan.values[i];
        requests.push_back(r);
      }
      break;
  }
  return requests;
}

}  // namespace varnak::modbus
