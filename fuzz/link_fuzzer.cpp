// Random sequences of events into the link control: received chunks of any
// length and content, clicks, ticks, edits of every box and of the port box,
// port failures, time passing. Nothing crashes or hangs; every write is one
// whole frame of the link protocol; Text5 changes only through a matching
// six-byte reply with a good check byte (or the read command's clearing); the
// flags move as the state table says for the operator's events and not at all
// for the register list's; the lamps move only with a poll's reply; no deadline
// is left behind.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "link/codec.h"
#include "link/frames.h"
#include "tests/fakes.h"

using namespace varnak;
using namespace varnak::testing;

namespace {

void CheckAt(bool ok, int line) {
  if (ok) return;
  std::fprintf(stderr, "link_fuzzer: check on line %d failed\n", line);
  std::abort();
}
#define Check(ok) CheckAt((ok), __LINE__)

class Input {
 public:
  Input(const std::uint8_t* d, std::size_t n) : d_(d), n_(n) {}
  bool more() const { return i_ < n_; }
  std::uint8_t byte() { return i_ < n_ ? d_[i_++] : 0; }
  Bytes bytes(std::size_t count) {
    Bytes b;
    while (count-- && more()) b.push_back(byte());
    return b;
  }
  Text text() {
    static const char32_t kAlphabet[] = U"0123456789abcdefABCDEFxg -+.\t中Ａ";
    Text t;
    for (std::size_t n = byte() % 12; n && more(); --n)
      t.push_back(kAlphabet[byte() % (std::size(kAlphabet) - 1)]);
    return t;
  }

 private:
  const std::uint8_t* d_;
  std::size_t n_;
  std::size_t i_ = 0;
};

bool IsHeader(const Bytes& b) {
  if (b.size() != 17 || b[0] != kSoh || b[15] != kEtb) return false;
  const std::string op(b.begin() + 1, b.begin() + 5);
  if (op != "0181" && op != "0101" && op != "0103") return false;
  for (int i = 5; i < 9; ++i) {
    const char c = static_cast<char>(b[static_cast<std::size_t>(i)]);
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  if (std::string(b.begin() + 9, b.begin() + 15) != "000201") return false;
  std::uint8_t x = 0;
  for (int i = 1; i <= 14; ++i) x ^= b[static_cast<std::size_t>(i)];
  return x == b[16];
}

bool IsFrame(const Bytes& b) {
  if (b == Bytes{0x4E, 0x21, varnak::kEnq}) return true;
  if (b.size() == 5) return b[0] == kStx && b[3] == kEtx && b[4] == (b[1] ^ b[2]);
  return IsHeader(b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in(data, size);
  FakePort port;
  FakePanel panel;
  LinkControl core(port);
  panel.attach(core);
  std::int64_t now = 0;
  FakeList list;
  core.setListSource(&list);
  panel.Form2_Load(in.text(), now);
  Bytes received;  // every byte received, for the Text5 rule

  while (in.more()) {
    const LinkState before = core.state();
    const int text5Before = panel.text5Writes;
    const int lampsBefore = panel.lampWrites;
    const std::uint8_t op = in.byte() % 19;
    switch (op) {
      case 0: {
        const Bytes chunk = in.bytes(in.byte() % 9);
        received.insert(received.end(), chunk.begin(), chunk.end());
        port.input = chunk;
        port.deliver(now);
        break;
      }
      case 1:
        panel.Command1_Click(now);
        break;
      case 2:
        panel.Command3_Click(now);
        break;
      case 3:
        core.Command4_Click(now);
        break;
      case 4:
        core.Text1_Click(now);
        break;
      case 5:
        core.Text2_Click(now);
        break;
      case 6:
        core.Text5_Click(now);
        break;
      case 7:
        core.Text6_Click(now);
        break;
      case 8:
        core.Timer1_Timer(now);
        break;
      case 9:
        panel.setText(Field::Text1, in.text());
        break;
      case 10:
        panel.texts[Field::Text2] = in.text();
        break;
      case 11:
        panel.texts[Field::Text6] = in.text();
        break;
      case 12:
        panel.texts[Field::Text5] = in.text();
        break;
      case 13:
        panel.texts[Field::Combo1] = in.text();
        panel.Combo1_Change(now);
        break;
      case 14:
        port.failOpen = !port.failOpen;
        break;
      case 15:
        port.failWrite = !port.failWrite;
        break;
      case 16:
        // The port's own problem, told and cleared.
        port.tell(in.byte() % 2 ? "lost" : "", now);
        break;
      case 18: {
        // The register list gains registers, loses them, or a row writes a value.
        list.regs.clear();
        for (std::size_t n = in.byte() % 4; n; --n)
          list.regs.push_back((in.byte() << 8 | in.byte()) % 0100000);
        if (in.byte() % 2) {
          ListJob w;
          w.kind = ListJob::Kind::Write;
          w.reg = in.byte();
          w.value = static_cast<std::uint16_t>(in.byte() << 8 | in.byte());
          list.write = w;
        }
        core.ListChanged(now);
        break;
      }
      case 17: {
        // Time passes; the window calls back at every deadline asked for.
        const std::int64_t until = now + in.byte() * 4;
        while (auto d = core.nextDeadline()) {
          if (*d > until) break;
          now = std::max(now, *d);
          core.Timeout(now);
        }
        now = until;
        // Nothing waits for ever: every deadline lies ahead.
        if (auto d = core.nextDeadline()) Check(*d > now);
        break;
      }
    }
    for (const Bytes& w : port.written) Check(IsFrame(w));
    port.written.clear();

    const LinkState& s = core.state();
    Check(!(s.PollMode && s.WriteMode));
    auto modesKept = [&] { return s.PollMode == before.PollMode && s.WriteMode == before.WriteMode; };
    // The flags after each event, as the state table has them. A command may
    // also wait for the exchange under way (nothing changes) or be refused for
    // its input; replies and time may end an exchange and start a waiting one.
    switch (op) {
      // A command whose enquiry cannot be written fails at once and releases its hold.
      case 1:
        Check((!s.PollMode && s.WriteMode) || (modesKept() && s.PollHold == before.PollHold));
        break;
      case 2:
        Check((!s.PollMode && !s.WriteMode) || (modesKept() && s.PollHold == before.PollHold));
        break;
      case 3:
        Check(modesKept() && !s.PollHold);
        break;
      case 4:
      case 5:
      case 6:
      case 7:
        // Held at once, or once the command under way ends.
        Check(modesKept() && (s.PollHold || !before.PollHold));
        break;
      case 8:
        if (before.PollHold) {
          Check(modesKept() && s.PollHold);
        } else {
          Check((s.PollMode && !s.WriteMode && !s.PollHold) || (modesKept() && !s.PollHold));
        }
        break;
      case 0:
      case 17:
        break;
      case 18:
        // The list's exchanges move no flag; only a command it was waiting for could.
        Check(modesKept() && s.PollHold == before.PollHold);
        break;
      default:
        Check(modesKept() && s.PollHold == before.PollHold);
    }
    // The lamps follow only a reply judged while polling.
    if (panel.lampWrites != lampsBefore) Check(op == 0 || op == 17);
    if (panel.lampWrites != lampsBefore) Check(before.PollMode);
    // Text5: cleared when a read starts, set only by a data reply with a good
    // check byte, which ends the bytes received so far (pieces may have been joined).
    const int text5Changes = panel.text5Writes - text5Before;
    const Text& t5 = panel.texts[Field::Text5];
    if (text5Changes > 0 && !t5.empty()) {
      // Only a read's reply, judged while neither polling nor held.
      Check(op == 0 && text5Changes == 1 && received.size() >= 6 && !before.PollMode && !before.PollHold);
      const Bytes r(received.end() - 6, received.end());
      // Written out here rather than taken from the code under test.
      Check(r[1] == kStx && r[4] == kEtx && (r[2] ^ r[3]) == r[5]);
      Check(t5 == ByteToHex(r[3]) + ByteToHex(r[2]));
    } else if (text5Changes > 0) {
      Check(op == 0 || op == 2 || op == 17);
    }
  }
  return 0;
}
