// One line, many masters: `varnak bridge --share` owning the paced simulator's
// pty, with windows, clients and hand-driven masters (raw TCP) on it.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTcpSocket>
#include <memory>
#include <vector>

#include "bridge_process.h"
#include "cli_run.h"
#include "window_on_sim.h"

namespace varnak::testing {
namespace {

// "4E 21 05" as bytes.
QByteArray Hex(const char* text) { return QByteArray::fromHex(QByteArray(text).replace(' ', "")); }

const char* kEnquiry = "4E 21 05";
const char* kReadHeader2000 = "01 30 31 30 31 30 34 30 31 30 30 30 32 30 31 17 06";
const char* kWriteHeader2000 = "01 30 31 38 31 30 34 30 31 30 30 30 32 30 31 17 0E";

// A master driven by hand: frames out, the bridge's answers in.
class RawMaster {
 public:
  explicit RawMaster(int port) {
    socket_.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(port));
    connected_ = socket_.waitForConnected(2000);
  }
  bool connected() const { return connected_; }
  // Sends a frame; what came back within `ms` once `bytes` came, or at `ms`.
  QByteArray ask(const char* frame, int bytes, int ms = 2000) {
    socket_.write(Hex(frame));
    socket_.flush();
    WaitFor([&] { return socket_.bytesAvailable() >= bytes; }, ms);
    return socket_.readAll().toHex(' ').toUpper();
  }
  // `bytes` of noise, written as fast as the bridge takes them.
  void flood(int bytes) { socket_.write(QByteArray(bytes, '\0')); }
  bool closedByPeer(int ms) {
    return WaitFor([&] { return socket_.state() == QAbstractSocket::UnconnectedState; }, ms);
  }
  void abort() { socket_.abort(); }

 private:
  QTcpSocket socket_;
  bool connected_ = false;
};

class Share : public BridgeOnSim {
 protected:
  Share() : BridgeOnSim("--share") {}
};

// Four windows follow the outputs and stay live while a client writes and reads
// through the same bridge.
TEST_F(Share, WindowsAndAClientShareTheLine) {
  std::vector<std::unique_ptr<WindowOnLine>> windows;
  for (int i = 0; i < 4; ++i) windows.push_back(std::make_unique<WindowOnLine>(address()));
  const auto all = [&](const char* lamps) {
    for (const auto& w : windows)
      if (w->lamps() != QLatin1String(lamps) || !w->lampsLive()) return false;
    return true;
  };
  ASSERT_EQ(sim_.command(QStringLiteral("set R2000 00A5")), QStringLiteral("ok"));
  EXPECT_TRUE(WaitFor([&] { return all("10100101"); }, 5000)) << windows[0]->lamps().toStdString();

  CliRun r = RunCli({"--port", address(), "write", "R2000", "003C"});
  EXPECT_EQ(r.exit, 0) << r.err.toStdString();
  EXPECT_EQ(sim_.command(QStringLiteral("get R2000")), QStringLiteral("R2000 003C"));
  EXPECT_TRUE(WaitFor([&] { return all("00111100"); }, 3000)) << windows[0]->lamps().toStdString();
  ASSERT_EQ(sim_.command(QStringLiteral("set R1001 BEEF")), QStringLiteral("ok"));
  r = RunCli({"--port", address(), "read", "R1001"});
  EXPECT_EQ(r.exit, 0) << r.err.toStdString();
  EXPECT_EQ(r.out, QStringLiteral("BEEF\n"));
  Pump(1000);
  EXPECT_TRUE(all("00111100")) << "a window's lamps went stale while the others worked";
  EXPECT_TRUE(bridge_->said(QStringLiteral("write R2000 = 003C: confirmed"))) << "the trace names the write";
}

// Two masters writing at the same moment: both stored, both told so.
TEST_F(Share, WritesFromTwoMastersAtOnceAreBothStoredAndConfirmed) {
  QProcess a, b;
  a.start(QStringLiteral(VARNAK_CLI_PATH), {"--port", address(), "write", "R1000", "1111"});
  b.start(QStringLiteral(VARNAK_CLI_PATH), {"--port", address(), "write", "R1001", "2222"});
  ASSERT_TRUE(a.waitForFinished(10000) && b.waitForFinished(10000));
  EXPECT_EQ(a.exitCode(), 0) << a.readAllStandardError().toStdString();
  EXPECT_EQ(b.exitCode(), 0) << b.readAllStandardError().toStdString();
  EXPECT_EQ(sim_.command(QStringLiteral("get R1000")), QStringLiteral("R1000 1111"));
  EXPECT_EQ(sim_.command(QStringLiteral("get R1001")), QStringLiteral("R1001 2222"));
}

// The bridge as the controller to a master that misbehaves: what it answers, and
// that nothing it half sent reaches the line or holds up the others.
TEST_F(Share, MastersThatStallVanishOrGarbleWriteNothingAndHoldNobodyUp) {
  ASSERT_EQ(sim_.command(QStringLiteral("set R2000 0001")), QStringLiteral("ok"));
  RawMaster stalls(port_), vanishes(port_), garbles(port_);
  ASSERT_TRUE(stalls.connected() && vanishes.connected() && garbles.connected());
  EXPECT_EQ(stalls.ask(kEnquiry, 3), "4E 21 06");
  EXPECT_EQ(vanishes.ask(kEnquiry, 3), "4E 21 06");
  EXPECT_EQ(vanishes.ask(kWriteHeader2000, 1), "06");
  vanishes.ask("02 34", 0, 100);  // half its data block
  vanishes.abort();

  // A corrupted header, and frames that belong to no exchange: NAK.
  EXPECT_EQ(garbles.ask(kReadHeader2000, 1), "15") << "a header with no enquiry before it";
  EXPECT_EQ(garbles.ask(kEnquiry, 3), "4E 21 06");
  EXPECT_EQ(garbles.ask("01 30 31 30 31 30 34 30 31 30 30 30 32 30 31 17 07", 1), "15") << "bad check byte";
  EXPECT_EQ(garbles.ask("02 34 12 03 26", 1), "15") << "a data block with no header before it";
  EXPECT_EQ(garbles.ask("FF FF 00 17 42", 1, 300), "") << "garbage is not answered";
  garbles.flood(4 << 20);  // noise by the megabyte, while the others work
  Pump(300);

  // The others are not held up.
  CliRun r = RunCli({"--port", address(), "--timeout", "1000", "write", "R1002", "0042"});
  EXPECT_EQ(r.exit, 0) << r.err.toStdString();
  EXPECT_EQ(garbles.ask(kEnquiry, 3), "4E 21 06");
  EXPECT_EQ(garbles.ask(kReadHeader2000, 6), "06 02 01 00 03 01");

  // Two seconds after its enquiry the stalled master's exchange is gone.
  Pump(2200);
  EXPECT_TRUE(garbles.closedByPeer(0) || garbles.ask(kEnquiry, 3, 3000).endsWith("4E 21 06"))
      << "the noise was taken and the master is served again";
  EXPECT_EQ(stalls.ask(kWriteHeader2000, 1), "15");
  EXPECT_EQ(sim_.command(QStringLiteral("get R2000")), QStringLiteral("R2000 0001")) << "nothing was written";
}

// Sixteen masters at once; the seventeenth is closed, and the bridge says so.
TEST_F(Share, TheSeventeenthMasterIsRefused) {
  std::vector<std::unique_ptr<RawMaster>> masters;
  for (int i = 0; i < 16; ++i) {
    masters.push_back(std::make_unique<RawMaster>(port_));
    ASSERT_TRUE(masters.back()->connected());
  }
  EXPECT_EQ(masters.back()->ask(kEnquiry, 3), "4E 21 06");
  RawMaster seventeenth(port_);
  EXPECT_TRUE(seventeenth.closedByPeer(3000));
  EXPECT_TRUE(bridge_->said(QStringLiteral("16 masters")));
  masters.front()->abort();
  Pump(300);
  RawMaster next(port_);
  EXPECT_EQ(next.ask(kEnquiry, 3), "4E 21 06") << "a place freed is taken again";
}

// A bridge that takes no writes answers a master's write header with NAK.
TEST_F(Share, ReadOnlyRefusesAMastersWrite) {
  start({"--read-only"});
  ASSERT_EQ(sim_.command(QStringLiteral("set R2000 0007")), QStringLiteral("ok"));
  const CliRun r = RunCli({"--port", address(), "--retries", "0", "write", "R2000", "0009"});
  EXPECT_NE(r.exit, 0);
  EXPECT_TRUE(r.err.contains(QStringLiteral("refused"))) << r.err.toStdString();
  EXPECT_EQ(sim_.command(QStringLiteral("get R2000")), QStringLiteral("R2000 0007"));
}

// A silent controller: the master gets no reply, as on the line itself, and
// the bridge says `no reply`.
TEST_F(Share, ASilentLineGivesTheMastersNoReply) {
  ASSERT_EQ(sim_.command(QStringLiteral("silent on")), QStringLiteral("ok"));
  const CliRun r = RunCli({"--port", address(), "--timeout", "500", "--retries", "0", "read", "R2000"});
  EXPECT_EQ(r.exit, 4) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains(QStringLiteral("no reply"))) << r.err.toStdString();
  EXPECT_TRUE(bridge_->said(QStringLiteral("controller: no reply")));
}

}  // namespace
}  // namespace varnak::testing
