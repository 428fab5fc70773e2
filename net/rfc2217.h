// The client's side of telnet with the COM port option (RFC 2217), as far as
// a line to the controller needs it: the option offered, the link's line
// settings set and read back, every other option refused, and the data
// unescaped one way and escaped the other (IAC 0xFF doubled).
//
//   start()  ─> IAC WILL COM-PORT-OPTION
//   server: IAC DO COM-PORT-OPTION  ─> SET-BAUDRATE 9600, SET-DATASIZE 8,
//           SET-PARITY odd, SET-STOPSIZE 1, SET-CONTROL no flow control,
//           SET-CONTROL DTR off
//   server: each answer (code + 100) with the value it took ─> compared
//   all but DTR answered as asked ─> Ready
//
// No answer to the offer within kAnswerMs: the server does not speak RFC 2217
// (a raw port given as rfc2217://). A setting answered with another value, or
// not answered within kAnswerMs of the request, fails naming it. DTR off need
// not be answered (a server on a pty does not): its silence is a note.
//
// Pure: bytes in, bytes out, time passed in (ms, monotonic).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "line/transport.h"
#include "link/text.h"

namespace varnak {

class Rfc2217Session {
 public:
  static constexpr std::int64_t kAnswerMs = 1000;
  static constexpr std::uint8_t kIac = 0xFF, kSe = 240, kNop = 241, kSb = 250, kWill = 251, kWont = 252,
                                kDo = 253, kDont = 254, kComPort = 44;

  enum class State { Idle, Offered, Setting, Ready, Failed };
  enum class Failure { None, NotRfc2217, NotTaken };

  explicit Rfc2217Session(LineSettings want = kLinkLineSettings) : want_(want) {}

  // A fresh negotiation (every connection has its own): the bytes to send.
  Bytes start(std::int64_t now);

  struct Output {
    Bytes data;  // the line's bytes, unescaped, for the link
    Bytes send;  // to the server: refusals, the settings
  };
  Output receive(const Bytes& in, std::int64_t now);
  // When timeout() wants calling, or none.
  std::optional<std::int64_t> deadline() const;
  void timeout(std::int64_t now);

  State state() const { return state_; }
  Failure failure() const { return failure_; }
  // NotTaken: which setting ("odd parity", "9600 baud"), and what the server
  // said instead, if it said anything ("none"); empty when it did not answer.
  const std::string& notTaken() const { return notTaken_; }
  const std::string& answeredInstead() const { return instead_; }
  // Notes for the monitor since the last call ("the server did not answer DTR off").
  std::vector<std::string> takeNotes();

  // The link's bytes for the server: every IAC doubled.
  static Bytes Escape(const Bytes& data);
  // IAC SB COM-PORT-OPTION code value... IAC SE, IAC in the value doubled.
  static Bytes Command(std::uint8_t code, const Bytes& value);

 private:
  struct Asked {
    std::uint8_t code;  // the request's code; its answer is code + 100
    Bytes value;
    std::string name;  // "9600 baud"
    bool required;
    bool answered = false;
  };
  void onOption(std::uint8_t verb, std::uint8_t option, Output& out, std::int64_t now);
  void onSubnegotiation(const Bytes& sb);
  void fail(Failure why, const std::string& which = {}, const std::string& instead = {});
  void checkDone();

  LineSettings want_;
  State state_ = State::Idle;
  Failure failure_ = Failure::None;
  std::string notTaken_, instead_;
  std::vector<Asked> asked_;
  std::vector<std::string> notes_;
  std::optional<std::int64_t> deadline_;
  bool dtrNoted_ = false;
  // The telnet parser's state across pieces.
  enum class Parse { Data, Iac, Option, Sb, SbIac } parse_ = Parse::Data;
  std::uint8_t verb_ = 0;
  Bytes sb_;
};

}  // namespace varnak
