// A line behind a real serial device server: the window and the client
// through ser2net (raw TCP and RFC 2217) to the simulator's pseudo-terminal,
// the server absent, killed and back, busy, silent behind it; and the
// simulator's own TCP port.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>

#include "cli_run.h"
#include "panel/form2.h"
#include "panel/startup.h"
#include "ser2net.h"
#include "serial/numbered_port.h"
#include "serial/tcp_line.h"
#include "sim_process.h"
#include "window_on_sim.h"

namespace varnak::testing {
namespace {

#define SKIP_WITHOUT_SER2NET() \
  if (Ser2netPath().isEmpty()) \
  GTEST_SKIP() << "ser2net is not installed (scripts/install-deps.sh installs it)"

struct Mode {
  const char* name;
  Ser2net::Kind kind;
  const char* defaults;  // the server's own settings for the serial side
};
void PrintTo(const Mode& m, std::ostream* os) { *os << m.name; }

class ThroughSer2net : public ::testing::TestWithParam<Mode> {};

// The lamps follow the outputs; a write of 00FF (its block 02 FF 00 03 FF) and
// a read of FF00 (its reply 06 02 00 FF 03 FF) come out right, IAC and all.
// For RFC 2217 the server starts at 19200 baud without parity, and the window's
// 9600 baud and 8 bits are what the pty then has (it keeps PARODD though it
// drops PARENB).
TEST_P(ThroughSer2net, LampsFollowAndFFBytesComeOutRight) {
  SKIP_WITHOUT_SER2NET();
  const Mode& m = GetParam();
  SimProcess sim({});
  ASSERT_TRUE(sim.device().startsWith(QLatin1String("/dev/")));
  Ser2net server(sim.device(), m.kind, QString::fromLatin1(m.defaults));
  ASSERT_TRUE(server.start()) << server.why();
  WindowOnLine w(server.address());
  ASSERT_EQ(sim.command(QStringLiteral("set R2000 00A5")), QStringLiteral("ok"));
  EXPECT_TRUE(WaitFor([&] { return w.lamps() == QStringLiteral("10100101") && w.lampsLive(); }, 5000))
      << w.lamps().toStdString() << " " << w.form.windowTitle().toStdString();

  if (m.kind == Ser2net::Kind::Rfc2217) {
    const int fd = ::open(sim.device().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios t{};
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    ::close(fd);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_TRUE(t.c_cflag & PARODD) << "odd parity was not asked for";
    EXPECT_FALSE(t.c_cflag & CSTOPB);
  }

  w.form.Text1->setText(QStringLiteral("00FF"));
  w.form.Text2->setText(QStringLiteral("2000"));
  w.form.Command1->click();
  EXPECT_TRUE(WaitFor(
      [&] { return sim.command(QStringLiteral("get R2000")) == QStringLiteral("R2000 00FF"); }, 5000));
  EXPECT_TRUE(WaitFor([&] { return w.lamps() == QStringLiteral("11111111"); }, 3000))
      << w.lamps().toStdString();

  ASSERT_EQ(sim.command(QStringLiteral("set R2001 FF00")), QStringLiteral("ok"));
  w.form.Text6->setText(QStringLiteral("2001"));
  QElapsedTimer shown;
  shown.start();
  // A read's reply counts only until the next tick's poll: click until it lands.
  bool read = false;
  while (!read && shown.elapsed() < 5000) {
    w.form.Command3->click();
    read = WaitFor([&] { return w.form.Text5->text() == QStringLiteral("FF00"); }, 600);
  }
  EXPECT_TRUE(read) << w.form.Text5->text().toStdString();
  EXPECT_EQ(w.form.windowTitle(), kWindowTitle);
}

INSTANTIATE_TEST_SUITE_P(NetLine, ThroughSer2net,
                         ::testing::Values(Mode{"Raw", Ser2net::Kind::Raw, "9600o81"},
                                           Mode{"Rfc2217", Ser2net::Kind::Rfc2217, "19200n81"}),
                         [](const auto& info) { return std::string(info.param.name); });

// The window as a program (its prompt answered "1"), with the server not there
// at start, then there, then killed and back: one line on stderr for each
// change, naming the address and why; no spinning while the server is away;
// polling again soon after it returns.
struct PanelProgram {
  explicit PanelProgram(const QString& address) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    process.setProcessEnvironment(env);
    QObject::connect(&process, &QProcess::readyReadStandardError, [this] {
      while (process.canReadLine()) lines << QString::fromUtf8(process.readLine()).trimmed();
    });
    process.setReadChannel(QProcess::StandardError);
    process.start(QStringLiteral(VARNAK_PANEL_CHILD_PATH), {"--port", "1=" + address});
    process.waitForStarted(5000);
  }
  ~PanelProgram() {
    process.terminate();
    if (!process.waitForFinished(5000)) process.kill();
    process.waitForFinished(2000);
  }
  // CPU seconds so far, from /proc.
  double cpu() const {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(process.processId()));
    if (!stat.open(QIODevice::ReadOnly)) return -1;
    const QString text = QString::fromLatin1(stat.readAll());
    const QStringList f = text.mid(text.lastIndexOf(QLatin1Char(')')) + 2).split(QLatin1Char(' '));
    return (f.value(11).toDouble() + f.value(12).toDouble()) / sysconf(_SC_CLK_TCK);
  }
  bool said(const QString& line, int ms) {
    return WaitFor([&] { return lines.contains(line); }, ms);
  }
  QProcess process;
  QStringList lines;
};

TEST(NetLineFaults, ServerAbsentAtStartThenKilledAndRestarted) {
  SKIP_WITHOUT_SER2NET();
  SimProcess sim({});
  // The window is told the address before the server is there: a port fixed now.
  Ser2net server(sim.device(), Ser2net::Kind::Raw, QStringLiteral("9600o81"), FreeLocalPort());
  PanelProgram panel(server.address());
  const QString prefix = QStringLiteral("varnak-panel: COM1: ") + server.address();
  ASSERT_TRUE(panel.said(prefix + QStringLiteral(": connection refused"), 3000))
      << panel.lines.join('|').toStdString();
  const double before = panel.cpu();
  Pump(3000);
  const double cpu = (panel.cpu() - before) / 3;
  EXPECT_LT(cpu, 0.01) << "more than 1 % of a core while the server is away";
  std::printf("window CPU while the server is away: %.2f %% of a core\n", 100 * cpu);

  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round ? "restarted" : "first start");
    panel.lines.clear();
    ASSERT_TRUE(server.start()) << server.why();
    QElapsedTimer back;
    back.start();
    EXPECT_TRUE(panel.said(QStringLiteral("varnak-panel: link ok"), 2000))
        << panel.lines.join('|').toStdString();
    std::printf("polling again %lld ms after the server listened\n", static_cast<long long>(back.elapsed()));
    server.stop();
    EXPECT_TRUE(WaitFor(
        [&] {
          return panel.lines.contains(prefix + QStringLiteral(": connection closed by the server")) ||
                 panel.lines.contains(prefix + QStringLiteral(": connection refused"));
        },
        2000))
        << panel.lines.join('|').toStdString();
  }
}

TEST(NetLineFaults, RawPortGivenAsRfc2217IsSaidWithinThreeSeconds) {
  SKIP_WITHOUT_SER2NET();
  SimProcess sim({});
  Ser2net server(sim.device(), Ser2net::Kind::Raw, QStringLiteral("9600o81"));
  ASSERT_TRUE(server.start()) << server.why();
  const QString address = QStringLiteral("rfc2217://127.0.0.1:%1").arg(server.port());
  WindowOnLine w(address);
  QElapsedTimer t;
  t.start();
  EXPECT_TRUE(WaitFor(
      [&] {
        return w.form.windowTitle().endsWith(
            QStringLiteral(": the server does not speak RFC 2217 (try tcp://)"));
      },
      3000))
      << w.form.windowTitle().toStdString();
  EXPECT_LE(t.elapsed(), 3000);
}

// The client through ser2net, and the exit codes of a line behind a server.
TEST(NetLineClient, ThroughSer2netAndItsExitCodes) {
  SKIP_WITHOUT_SER2NET();
  SimProcess sim({});
  for (const Ser2net::Kind kind : {Ser2net::Kind::Raw, Ser2net::Kind::Rfc2217}) {
    Ser2net server(sim.device(), kind,
                   QString::fromLatin1(kind == Ser2net::Kind::Raw ? "9600o81" : "19200n81"));
    ASSERT_TRUE(server.start()) << server.why();
    const QString a = server.address();
    SCOPED_TRACE(a.toStdString());
    // A block ending in FF (02 FF 00 03 FF) is not held back by the server.
    QElapsedTimer took;
    took.start();
    CliRun r = RunCli({"--port", a, "write", "R2000", "00FF"});
    EXPECT_EQ(r.exit, 0) << r.err.toStdString();
    EXPECT_LT(took.elapsed(), 800) << "the write took as long as a server's hold-back";
    EXPECT_EQ(sim.command(QStringLiteral("get R2000")), QStringLiteral("R2000 00FF"));
    ASSERT_EQ(sim.command(QStringLiteral("set R2001 FF00")), QStringLiteral("ok"));
    r = RunCli({"--port", a, "read", "R2001"});
    EXPECT_EQ(r.exit, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("FF00\n"));
    r = RunCli({"--port", a, "outputs"});
    EXPECT_EQ(r.out, QStringLiteral("Q0=1 Q1=1 Q2=1 Q3=1 Q4=1 Q5=1 Q6=1 Q7=1\n"));

    // One client at a time: the second is told so.
    QTcpSocket holder;
    holder.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(server.port()));
    ASSERT_TRUE(holder.waitForConnected(2000));
    Pump(200);
    r = RunCli({"--port", a, "read", "R2001"});
    EXPECT_EQ(r.exit, 3);
    EXPECT_EQ(r.err.toStdString(),
              QStringLiteral("varnak: %1 is in use by another client of the server\n").arg(a).toStdString());
    holder.abort();
    Pump(300);

    // A silent controller behind a working server: no reply, exit 4.
    ASSERT_EQ(sim.command(QStringLiteral("silent on")), QStringLiteral("ok"));
    r = RunCli({"--port", a, "--timeout", "300", "--retries", "0", "read", "R2001"});
    EXPECT_EQ(r.exit, 4) << r.err.toStdString();
    EXPECT_EQ(r.err.toStdString(),
              QStringLiteral("varnak: %1: no reply after 1 attempt\n").arg(a).toStdString());
    ASSERT_EQ(sim.command(QStringLiteral("silent off")), QStringLiteral("ok"));
  }

  // Nobody listening: refused, exit 3, naming the address.
  const int nobody = FreeLocalPort();
  CliRun r = RunCli({"--port", QStringLiteral("tcp://127.0.0.1:%1").arg(nobody), "read", "R2000"});
  EXPECT_EQ(r.exit, 3);
  EXPECT_EQ(r.err.toStdString(),
            QStringLiteral("varnak: tcp://127.0.0.1:%1: connection refused\n").arg(nobody).toStdString());
  r = RunCli({"--port", "tcp://host.invalid:4001", "read", "R2000"});
  EXPECT_EQ(r.exit, 3);
  EXPECT_EQ(r.err.toStdString(),
            QStringLiteral("varnak: tcp://host.invalid:4001: host not found\n").toStdString());
}

// A server that takes the connection and closes it at once.
TEST(NetLineClient, AServerThatClosesIsExitThree) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
  QObject::connect(&server, &QTcpServer::newConnection, [&] {
    while (QTcpSocket* s = server.nextPendingConnection()) {
      s->close();
      s->deleteLater();
    }
  });
  QProcess p;
  const QString a = QStringLiteral("tcp://127.0.0.1:%1").arg(server.serverPort());
  p.start(QStringLiteral(VARNAK_CLI_PATH), {"--port", a, "read", "R2000"});
  ASSERT_TRUE(WaitFor([&] { return p.state() == QProcess::NotRunning; }, 10000));
  EXPECT_EQ(p.exitCode(), 3);
  EXPECT_EQ(QString::fromUtf8(p.readAllStandardError()).toStdString(),
            QStringLiteral("varnak: %1: connection closed by the server\n").arg(a).toStdString());
}

// Frames written while the line is still connecting: once it is up, only the
// newest goes, and once; an older one would put a second enquiry right behind it.
TEST(NetLineTcp, OnlyTheNewestFrameWrittenWhileConnectingGoesOutOnce) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
  const QString a = QStringLiteral("tcp://127.0.0.1:%1").arg(server.serverPort());
  TcpLine line(*ParseLineAddress(a.toStdString()), a);
  ASSERT_TRUE(line.open());
  ASSERT_FALSE(line.ready());
  const Bytes older{0x05, 0x30, 0x31}, newest{0x05, 0x32, 0x33};
  ASSERT_TRUE(line.write(older));
  ASSERT_TRUE(line.write(newest));

  ASSERT_TRUE(WaitFor([&] { return server.hasPendingConnections(); }, 3000));
  QTcpSocket* peer = server.nextPendingConnection();
  QByteArray got;
  WaitFor([&] { return (got += peer->readAll()).size() >= 3; }, 3000);
  Pump(300);  // and nothing after it
  got += peer->readAll();
  EXPECT_EQ(got.toHex(' ').toStdString(), "05 32 33");
}

// The simulator's own raw TCP port: the client without any server program.
TEST(NetLineSim, TheSimulatorServesOneClientOverTcp) {
  const int port = FreeLocalPort();
  SimProcess sim({"--tcp", QString::number(port)});
  ASSERT_EQ(sim.device(), QStringLiteral("tcp://127.0.0.1:%1").arg(port));
  ASSERT_EQ(sim.command(QStringLiteral("set R2000 1234")), QStringLiteral("ok"));
  CliRun r = RunCli({"--port", sim.device(), "read", "R2000"});
  EXPECT_EQ(r.exit, 0) << r.err.toStdString();
  EXPECT_EQ(r.out, QStringLiteral("1234\n"));
  QTcpSocket holder;
  holder.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
  ASSERT_TRUE(holder.waitForConnected(2000));
  Pump(100);
  r = RunCli({"--port", sim.device(), "read", "R2000"});
  EXPECT_EQ(r.exit, 3);
  EXPECT_EQ(r.err,
            QStringLiteral("varnak: %1 is in use by another client of the server\n").arg(sim.device()));
}

}  // namespace
}  // namespace varnak::testing
