#include "modbus/modbus_replies.h"

#include <modbus.h>

#include <memory>

namespace varnak::modbus {
namespace {

struct FreeMapping {
  void operator()(modbus_mapping_t* m) const { modbus_mapping_free(m); }
};
using Mapping = std::unique_ptr<modbus_mapping_t, FreeMapping>;

// The table libmodbus answers from: the outputs as coils and discrete inputs, and
// the registers asked for as holding and input registers alike.
Mapping MappingFor(const Plan& plan, const Answers& answers) {
  const bool registers = plan.kind != Plan::Kind::ReadOutputs;
  const int start = registers ? static_cast<int>(plan.address) : 0;
  const int count = registers ? static_cast<int>(plan.count) : 0;
  Mapping m(modbus_mapping_new_start_address(0, kOutputCount, 0, kOutputCount, start, count, start, count));
  if (!m) return m;
  if (registers) {
    const auto values = answers.registers();
    for (int i = 0; i < count; ++i) m->tab_registers[i] = m->tab_input_registers[i] = values[i];
  } else {
    for (unsigned i = 0; i < kOutputCount; ++i)
      m->tab_bits[i] = m->tab_input_bits[i] = (answers.outputs() >> i) & 1;
  }
  return m;
}

}  // namespace

Replies::Replies() : context_(modbus_new_tcp("127.0.0.1", MODBUS_TCP_DEFAULT_PORT)) {}

Replies::~Replies() {
  if (!context_) return;
  modbus_set_socket(context_, -1);
  modbus_free(context_);
}

bool Replies::sendException(int fd, const std::uint8_t* frame, std::size_t length, Exception exception) {
  (void)length;
  if (!context_) return false;
  modbus_set_socket(context_, fd);
  const int sent = modbus_reply_exception(context_, frame, static_cast<unsigned>(exception));
  modbus_set_socket(context_, -1);
  return sent > 0;
}

bool Replies::send(int fd, const std::uint8_t* frame, std::size_t length, const Plan& plan,
                   const Answers& answers) {
  if (answers.exception() != Exception::None) return sendException(fd, frame, length, answers.exception());
  const Mapping mapping = MappingFor(plan, answers);
  if (!context_ || !mapping) return false;
  modbus_set_socket(context_, fd);
  const int sent = modbus_reply(context_, frame, static_cast<int>(length), mapping.get());
  modbus_set_socket(context_, -1);
  return sent > 0;
}

}  // namespace varnak::modbus
