// A serial port and a panel that live in memory, for driving the link control
// event by event.
#pragma once

#include <array>
#include <cstdio>
#include <deque>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "control/link_control.h"
#include "line/serial_port.h"
#include "link/words.h"

namespace varnak::testing {

class FakePort : public SerialPort {
 public:
  // Every frame written, in order, each as it was passed to write().
  std::vector<Bytes> written;
  int opens = 0;
  int closes = 0;
  int clears = 0;
  bool failOpen = false;
  bool failWrite = false;
  std::optional<int> number;
  std::vector<std::optional<int>> numbersSet;  // every setPortNumber, in order
  std::vector<std::optional<int>> openedWith;  // the number in force at each open
  std::vector<PortSetting> settings;           // every apply(), in order
  bool dtr = true;
  bool noHandshaking = false;
  bool lineSet = false;
  Bytes input;           // bytes received and not yet delivered
  bool network = false;  // stands for a line behind a serial device server

  bool isOpen() const override { return open_; }
  bool networkLine() const override { return network; }
  void close() override {
    open_ = false;
    ++closes;
  }
  void setPortNumber(std::optional<int> n) override {
    number = n;
    numbersSet.push_back(n);
  }
  void apply(PortSetting s) override {
    settings.push_back(s);
    switch (s) {
      case PortSetting::LineSettings:
        lineSet = true;
        break;
      case PortSetting::ClearInput:
        input.clear();
        ++clears;
        break;
      case PortSetting::NoHandshaking:
        noHandshaking = true;
        break;
      case PortSetting::DtrOff:
        dtr = false;
        break;
    }
  }
  bool open() override {
    if (failOpen || !number) {
      tell("cannot open");
      return false;
    }
    open_ = true;
    ++opens;
    openedWith.push_back(number);
    return true;
  }
  bool write(const Bytes& bytes) override {
    if (!open_) return false;
    if (failWrite) {
      tell("cannot write");
      return false;
    }
    written.push_back(bytes);
    if (told_) tell("");  // works again, as a backend says
    return true;
  }
  // The receive event: everything in `input` as one chunk.
  void deliver(std::int64_t now) {
    Bytes chunk;
    chunk.swap(input);
    if (listener_) listener_->onChunk(chunk, now);
  }
  // The port's own problem, as a backend tells it (empty: it cleared).
  void tell(const std::string& problem, std::int64_t now = 0) {
    told_ = !problem.empty();
    if (listener_) listener_->onProblem(problem, now);
  }

 private:
  bool open_ = false;
  bool told_ = false;
};

enum class Field { Text1, Text2, Text5, Text6, Combo1 };

// The window's boxes and lamps as plain values, shown from the link control's
// reports as the window shows them, and the window's events with its boxes' texts.
class FakePanel : public LinkObserver {
 public:
  std::map<Field, Text> texts{{Field::Text1, U"00"},
                              {Field::Text2, U"2000"},
                              {Field::Text5, U""},
                              {Field::Text6, U"2000"},
                              {Field::Combo1, U""}};
  std::array<bool, 8> lamps{};
  int lampWrites = 0;
  int text5Writes = 0;

  void attach(LinkControl& core) {
    core_ = &core;
    core.addObserver(this);
  }
  Text text(Field f) const { return texts.at(f); }
  void setText(Field f, const Text& t) {
    texts[f] = t;
    if (f == Field::Text5) ++text5Writes;
    if (f == Field::Text1 && core_) core_->ValueBoxChanged(t);
  }
  void setLamp(int i, bool on) {
    lamps.at(static_cast<std::size_t>(i)) = on;
    ++lampWrites;
  }
  std::string lampString() const {
    std::string s;
    for (bool on : lamps) s += on ? '1' : '0';
    return s;
  }

  void Form2_Load(const Text& answer, std::int64_t now) {
    texts[Field::Combo1] = answer;
    core_->Form2_Load(answer, now);
  }
  void Combo1_Change(std::int64_t now) { core_->Combo1_Change(texts[Field::Combo1], now); }
  void Command1_Click(std::int64_t now) {
    core_->Command1_Click(texts[Field::Text1], texts[Field::Text2], now);
  }
  void Command3_Click(std::int64_t now) {
    core_->Command3_Click(texts[Field::Text1], texts[Field::Text6], now);
  }

  void onLinkEvent(const LinkEvent& e) override {
    if (e.kind == LinkEvent::Kind::ReadBoxCleared) setText(Field::Text5, Text());
    if (e.kind == LinkEvent::Kind::ValueNormalised) setText(Field::Text1, FromUtf8(e.value));
  }
  void onJobEnded(const JobEnd& end) override {
    if (!end.ok) return;
    if (end.kind == ExchangeKind::Read) setText(Field::Text5, FromUtf8(ValueHex(end.value)));
    if (end.kind == ExchangeKind::Poll)
      for (int i = 0; i < 8; ++i) setLamp(i, (end.value >> i) & 1);
  }

 private:
  LinkControl* core_ = nullptr;
};

// Every report of the link control, kept for a test to read back in short words:
// "write header sent", "start read", "done poll", "again write: no reply", "hold", "release",
// "open", "close", "fail" (frames sent are left out: the tests check them byte for byte).
struct EventLog : LinkObserver {
  std::vector<LinkEvent> events;
  void onLinkEvent(const LinkEvent& e) override { events.push_back(e); }
  std::string take() {
    std::string out;
    for (const LinkEvent& e : events) {
      std::string word;
      switch (e.kind) {
        case LinkEvent::Kind::Sent:
          continue;
        case LinkEvent::Kind::Received:
          word = RulingText(e.ruling);
          break;
        case LinkEvent::Kind::Started:
          word = std::string("start ") + ExchangeName(e.exchange);
          break;
        case LinkEvent::Kind::Completed:
          word = std::string("done ") + ExchangeName(e.exchange);
          break;
        case LinkEvent::Kind::Retried:
          word = std::string("again ") + ExchangeName(e.exchange) + ": " + FailureText(e.failure);
          break;
        case LinkEvent::Kind::Failed:
          word = std::string("fail ") + ExchangeName(e.exchange) + ": " +
                 (e.failure == Failure::BadInput ? InputProblemText(e.inputBox, e.input, FromUtf8(e.detail))
                                                 : FailureText(e.failure));
          break;
        case LinkEvent::Kind::Waiting:
          word = std::string("wait ") + ExchangeName(e.exchange);
          break;
        case LinkEvent::Kind::Held:
          word = "hold";
          break;
        case LinkEvent::Kind::Released:
          word = "release";
          break;
        case LinkEvent::Kind::PortOpened:
          word = "open";
          break;
        case LinkEvent::Kind::PortClosed:
          word = "close";
          break;
        case LinkEvent::Kind::PortFailed:
          word = "fail";
          break;
        case LinkEvent::Kind::PortNote:
          word = "note";
          break;
        case LinkEvent::Kind::ReadBoxCleared:
        case LinkEvent::Kind::ValueNormalised:
          continue;
      }
      out += (out.empty() ? "" : "; ") + word;
    }
    events.clear();
    return out;
  }
};

// A register list that hands out its registers in turn (round robin), a write
// first when one waits, and keeps how each job ended: "R1000=1234",
// "R1000 written", "R1000: no reply".
struct FakeList : ListSource {
  std::vector<unsigned> regs;
  std::size_t next = 0;
  std::optional<ListJob> write;
  std::vector<std::string> ended;
  std::optional<ListJob> nextJob(std::int64_t) override {
    if (write) {
      ListJob w = *write;
      write.reset();
      return w;
    }
    if (regs.empty()) return std::nullopt;
    ListJob j;
    j.reg = regs[next++ % regs.size()];
    return j;
  }
  void jobEnded(const ListJob& job, const ListResult& r, std::int64_t) override {
    char reg[16];
    std::snprintf(reg, sizeof reg, "R%o", job.reg);
    if (!r.ok)
      ended.push_back(std::string(reg) + ": " + FailureText(r.failure));
    else if (job.kind == ListJob::Kind::Write)
      ended.push_back(std::string(reg) + " written");
    else
      ended.push_back(std::string(reg) + "=" + ValueHex(r.value));
  }
  std::string take() {
    std::string out;
    for (const std::string& e : ended) out += (out.empty() ? "" : "; ") + e;
    ended.clear();
    return out;
  }
};

// How the masters' jobs ended, in order: "R2000 written", "R2000=1234",
// "outputs=81", "R2000: no reply".
struct JobLog : LinkObserver {
  std::vector<std::string> ended;
  void onLinkEvent(const LinkEvent&) override {}
  void onJobEnded(const JobEnd& e) override {
    if (e.cause != Cause::Master) return;
    char reg[16];
    std::snprintf(reg, sizeof reg, "R%o", e.reg.value_or(0));
    const std::string what = e.kind == ExchangeKind::Outputs ? "outputs" : reg;
    if (!e.ok)
      ended.push_back(what + ": " + FailureText(e.failure));
    else if (e.kind == ExchangeKind::ListWrite)
      ended.push_back(what + " written");
    else
      ended.push_back(what + "=" + ValueHex(e.value));
  }
  std::string take() {
    std::string out;
    for (const std::string& e : ended) out += (out.empty() ? "" : "; ") + e;
    ended.clear();
    return out;
  }
};

// A link control on a fake port and panel, started with port 1, on a clock that
// moves only when a test moves it.
struct Rig {
  FakePort port;
  FakePanel panel;
  LinkControl core{port};
  FakeList list;  // registered by a scenario's "list=" event
  EventLog log;
  JobLog jobs;
  JobId lastJob = 0;     // the master's job submitted last
  std::int64_t now = 0;  // ms

  explicit Rig(const Text& answer = U"1") {
    panel.attach(core);
    core.addObserver(&log);
    core.addObserver(&jobs);
    panel.Form2_Load(answer, now);
  }

  // Moves the clock, calling the link control back at each deadline it asked for.
  void advance(std::int64_t ms) {
    const std::int64_t until = now + ms;
    while (auto d = core.nextDeadline()) {
      if (*d > until) break;
      now = std::max(now, *d);
      core.Timeout(now);
    }
    now = until;
  }

  // A chunk arriving as one receive event.
  void receive(const Bytes& chunk) {
    port.input.insert(port.input.end(), chunk.begin(), chunk.end());
    port.deliver(now);
  }
  std::string flags() const {
    const LinkState& s = core.state();
    return std::string(s.PollMode ? "T" : "F") + (s.WriteMode ? "T" : "F") + (s.PollHold ? "T" : "F");
  }
  // All frames written so far as hex, one per entry, and forget them.
  std::vector<std::string> take() {
    std::vector<std::string> out;
    for (const Bytes& b : port.written) out.push_back(BytesToHex(b));
    port.written.clear();
    return out;
  }
};

// "4E 21 06" as bytes.
inline Bytes ParseHex(const std::string& s) {
  std::istringstream in(s);
  Bytes out;
  std::string pair;
  while (in >> pair) out.push_back(static_cast<std::uint8_t>(std::stoul(pair, nullptr, 16)));
  return out;
}

inline const Bytes kEnqAck{0x4E, 0x21, 0x06};
inline const Bytes kAckByte{0x06};
inline Bytes DataReply(std::uint8_t low, std::uint8_t high) {
  return {0x06, 0x02, low, high, 0x03, static_cast<std::uint8_t>(low ^ high)};
}

inline const char* kEnq = "4E 21 05";
inline const char* kPollHeader = "01 30 31 30 33 30 31 30 31 30 30 30 32 30 31 17 01";
inline const char* kWriteHeader2000 = "01 30 31 38 31 30 34 30 31 30 30 30 32 30 31 17 0E";
inline const char* kReadHeader2000 = "01 30 31 30 31 30 34 30 31 30 30 30 32 30 31 17 06";

}  // namespace varnak::testing
