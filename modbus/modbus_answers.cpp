#include "modbus/modbus_answers.h"

#include "link/text.h"

namespace varnak::modbus {

Exception ExceptionFor(Failure failure) {
  switch (failure) {
    case Failure::NoReply:
    case Failure::NotAReply:
    case Failure::CheckByteBad:
    case Failure::PortFailed:
      return Exception::GatewayTargetFailed;
    default:
      return Exception::ServerDeviceFailure;
  }
}

Answers::Answers(const Plan& plan) : answers_(plan.kind == Plan::Kind::ReadOutputs ? 1 : plan.count) {}

void Answers::take(std::size_t index, const share::LineAnswer& answer) {
  if (index >= answers_.size() || answers_[index]) return;
  answers_[index] = answer;
  if (!answer.ok && !failed_) failed_ = answer.failure;
}

bool Answers::done() const { return failed_ || missing().empty(); }

std::vector<std::size_t> Answers::missing() const {
  std::vector<std::size_t> indexes;
  for (std::size_t i = 0; i < answers_.size(); ++i) {
    if (!answers_[i]) indexes.push_back(i);
  }
  return indexes;
}

Exception Answers::exception() const { return failed_ ? ExceptionFor(*failed_) : Exception::None; }

std::optional<Failure> Answers::failure() const { return failed_; }

std::vector<std::uint16_t> Answers::registers() const {
  std::vector<std::uint16_t> values;
  for (const auto& a : answers_) values.push_back(a ? a->value : 0);
  return values;
}

std::uint8_t Answers::outputs() const {
  return answers_.empty() || !answers_[0] ? 0 : static_cast<std::uint8_t>(answers_[0]->value);
}

share::MasterEvent Report(const Plan& plan, const Answers* answers, const std::string& master) {
  share::MasterEvent event;
  event.master = master;
  event.command = plan.command;
  if (!answers) {
    event.outcome = "rejected";
    event.why = plan.why;
    return event;
  }
  if (answers->exception() != Exception::None) {
    event.outcome = *answers->failure() == Failure::Refused ? "refused" : "failed";
    event.why = FailureText(*answers->failure());
    return event;
  }
  if (plan.kind == Plan::Kind::WriteRegisters) {
    event.outcome = "confirmed";
    return event;  // the values are in the command already
  }
  event.outcome = "read";
  if (plan.kind == Plan::Kind::ReadOutputs) {
    event.value = ValueHex(answers->outputs()).substr(2);
  } else {
    for (std::uint16_t v : answers->registers())
      event.value += (event.value.empty() ? "" : " ") + ValueHex(v);
  }
  return event;
}

}  // namespace varnak::modbus
