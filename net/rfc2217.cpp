#include "rfc2217.h"

namespace varnak {

namespace {

// The COM port option's codes (client to server; the server answers code + 100).
constexpr std::uint8_t kSetBaudrate = 1, kSetDatasize = 2, kSetParity = 3, kSetStopsize = 4, kSetControl = 5;
// SET-CONTROL values.
constexpr std::uint8_t kNoFlowControl = 1, kDtrOff = 9;

std::uint8_t ParityCode(char letter) {
  switch (letter) {
    case 'o':
      return 2;
    case 'e':
      return 3;
    case 'm':
      return 4;
    case 's':
      return 5;
    default:
      return 1;
  }
}

std::string ValueWords(std::uint8_t code, const Bytes& v) {
  if (code == kSetBaudrate && v.size() == 4)
    return std::to_string(std::uint32_t(v[0]) << 24 | std::uint32_t(v[1]) << 16 | std::uint32_t(v[2]) << 8 |
                          v[3]) +
           " baud";
  if (v.size() != 1) return "a malformed answer";
  const int x = v[0];
  switch (code) {
    case kSetDatasize:
      return std::to_string(x) + " data bits";
    case kSetParity: {
      static const char* names[] = {"the parity unchanged", "no parity",   "odd parity",
                                    "even parity",          "mark parity", "space parity"};
      return x < 6 ? names[x] : "parity " + std::to_string(x);
    }
    case kSetStopsize:
      return x == 1   ? "1 stop bit"
             : x == 2 ? "2 stop bits"
             : x == 3 ? "1.5 stop bits"
                      : "stop size " + std::to_string(x);
    default:
      return "control " + std::to_string(x);
  }
}

}  // namespace

Bytes Rfc2217Session::Escape(const Bytes& data) {
  Bytes out;
  out.reserve(data.size() + 2);
  for (std::uint8_t b : data) {
    out.push_back(b);
    if (b == kIac) out.push_back(kIac);
  }
  return out;
}

Bytes Rfc2217Session::Command(std::uint8_t code, const Bytes& value) {
  Bytes out{kIac, kSb, kComPort, code};
  const Bytes v = Escape(value);
  out.insert(out.end(), v.begin(), v.end());
  out.push_back(kIac);
  out.push_back(kSe);
  return out;
}

Bytes Rfc2217Session::start(std::int64_t now) {
  state_ = State::Offered;
  failure_ = Failure::None;
  notTaken_.clear();
  instead_.clear();
  asked_.clear();
  dtrNoted_ = false;
  parse_ = Parse::Data;
  sb_.clear();
  deadline_ = now + kAnswerMs;
  return {kIac, kWill, kComPort};
}

std::optional<std::int64_t> Rfc2217Session::deadline() const { return deadline_; }

void Rfc2217Session::fail(Failure why, const std::string& which, const std::string& instead) {
  if (state_ == State::Failed) return;
  state_ = State::Failed;
  failure_ = why;
  notTaken_ = which;
  instead_ = instead;
  deadline_.reset();
}

void Rfc2217Session::timeout(std::int64_t now) {
  if (!deadline_ || now < *deadline_) return;
  deadline_.reset();
  if (state_ == State::Offered) return fail(Failure::NotRfc2217);
  for (const Asked& a : asked_) {
    if (a.answered) continue;
    if (a.required) return fail(Failure::NotTaken, a.name);
    if (!dtrNoted_) {
      dtrNoted_ = true;
      notes_.push_back(std::string("the server did not answer ") + a.name + " (it may not have that line)");
    }
  }
}

std::vector<std::string> Rfc2217Session::takeNotes() {
  std::vector<std::string> out;
  out.swap(notes_);
  return out;
}

void Rfc2217Session::checkDone() {
  if (state_ != State::Setting) return;
  for (const Asked& a : asked_)
    if (a.required && !a.answered) return;
  state_ = State::Ready;
  // The deadline stays while DTR's answer is out, so that its silence is noted.
  bool open = false;
  for (const Asked& a : asked_) open = open || !a.answered;
  if (!open) deadline_.reset();
}

void Rfc2217Session::onOption(std::uint8_t verb, std::uint8_t option, Output& out, std::int64_t now) {
  if (option == kComPort) {
    if (verb == kDo && state_ == State::Offered) {
      // Accepted: ask for the link's settings, each to be read back.
      const std::uint32_t baud = static_cast<std::uint32_t>(want_.baud);
      asked_ = {
          {kSetBaudrate,
           {std::uint8_t(baud >> 24), std::uint8_t(baud >> 16), std::uint8_t(baud >> 8), std::uint8_t(baud)},
           "",
           true},
          {kSetDatasize, {std::uint8_t(want_.dataBits)}, "", true},
          {kSetParity, {ParityCode(want_.parity)}, "", true},
          {kSetStopsize, {std::uint8_t(want_.stopBits == 2 ? 2 : 1)}, "", true},
          {kSetControl, {kNoFlowControl}, "no flow control", true},
          {kSetControl, {kDtrOff}, "DTR off", false}};
      for (int i = 0; i < 4; ++i) asked_[i].name = ValueWords(asked_[i].code, asked_[i].value);
      for (const Asked& a : asked_) {
        const Bytes c = Command(a.code, a.value);
        out.send.insert(out.send.end(), c.begin(), c.end());
      }
      state_ = State::Setting;
      deadline_ = now + kAnswerMs;
    } else if ((verb == kDont || verb == kWont) && state_ == State::Offered) {
      fail(Failure::NotRfc2217);
    }
    return;
  }
  // Every other option is refused, once each time it is offered or asked for.
  if (verb == kWill) out.send.insert(out.send.end(), {kIac, kDont, option});
  if (verb == kDo) out.send.insert(out.send.end(), {kIac, kWont, option});
}

void Rfc2217Session::onSubnegotiation(const Bytes& sb) {
  if (sb.size() < 2 || sb[0] != kComPort || sb[1] < 100) return;
  const std::uint8_t code = static_cast<std::uint8_t>(sb[1] - 100);
  const Bytes value(sb.begin() + 2, sb.end());
  for (Asked& a : asked_) {
    if (a.answered || a.code != code) continue;
    // SET-CONTROL answers one request at a time: it belongs to the request with its value.
    if (code == kSetControl && value != a.value) continue;
    a.answered = true;
    if (value != a.value && state_ != State::Failed) fail(Failure::NotTaken, a.name, ValueWords(code, value));
    return checkDone();
  }
  // A SET-CONTROL answer with another value than either request: the flow control not taken.
  if (code == kSetControl && state_ == State::Setting) {
    for (Asked& a : asked_)
      if (a.code == kSetControl && a.required && !a.answered)
        return fail(Failure::NotTaken, a.name, ValueWords(code, value));
  }
}

Rfc2217Session::Output Rfc2217Session::receive(const Bytes& in, std::int64_t now) {
  Output out;
  for (std::uint8_t b : in) {
    switch (parse_) {
      case Parse::Data:
        if (b == kIac) {
          parse_ = Parse::Iac;
        } else {
          out.data.push_back(b);
        }
        break;
      case Parse::Iac:
        if (b == kIac) {
          out.data.push_back(kIac);
          parse_ = Parse::Data;
        } else if (b == kWill || b == kWont || b == kDo || b == kDont) {
          verb_ = b;
          parse_ = Parse::Option;
        } else if (b == kSb) {
          sb_.clear();
          parse_ = Parse::Sb;
        } else {
          parse_ = Parse::Data;  // NOP, GA and the like: nothing to do
        }
        break;
      case Parse::Option:
        onOption(verb_, b, out, now);
        parse_ = Parse::Data;
        break;
      case Parse::Sb:
        if (b == kIac) {
          parse_ = Parse::SbIac;
        } else if (sb_.size() < 64) {
          sb_.push_back(b);
        }
        break;
      case Parse::SbIac:
        if (b == kSe) {
          onSubnegotiation(sb_);
          parse_ = Parse::Data;
        } else {
          if (sb_.size() < 64) sb_.push_back(b);  // IAC IAC inside: one 0xFF
          parse_ = Parse::Sb;
        }
        break;
    }
  }
  return out;
}

}  // namespace varnak
