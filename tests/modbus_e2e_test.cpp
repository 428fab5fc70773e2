// `varnak bridge --modbus` against Modbus clients no one here wrote: mbpoll
// and pymodbus, with the paced simulator on a pty behind the bridge.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <memory>

#include "bridge_process.h"
#include "cli_run.h"

namespace varnak::testing {
namespace {

#define SKIP_WITHOUT(program)                            \
  if (QStandardPaths::findExecutable(program).isEmpty()) \
  GTEST_SKIP() << program " is not installed (scripts/install-deps.sh installs it)"

class Modbus : public BridgeOnSim {
 protected:
  Modbus() : BridgeOnSim("--modbus") {}
  void SetUp() override {
    SKIP_WITHOUT("mbpoll");
    BridgeOnSim::SetUp();
  }
  // mbpoll once against the bridge: "-r 1025 -c 2 -t 4:hex", then values to write, if any.
  CliRun mbpoll(const QString& options, const QStringList& values = {}) {
    QStringList args = options.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    args << "-m"
         << "tcp"
         << "-p" << QString::number(port_) << "-1"
         << "-o"
         << "5"
         << "127.0.0.1";
    if (!values.isEmpty()) args << "--" << values;
    return RunProgram(QStringLiteral("mbpoll"), args);
  }
  QString sim(const char* command) { return sim_.command(QString::fromLatin1(command)); }
};

// The map: R2000 (octal) is holding register 1024, reference 1025; a write of
// 00A5 is stored and the outputs (coils 0-7) follow it; function 16 writes four.
TEST_F(Modbus, ReadsWritesAndTheOutputsThroughMbpoll) {
  ASSERT_EQ(sim("set R2000 1234"), QStringLiteral("ok"));
  CliRun r = mbpoll("-r 1025 -t 4:hex");
  EXPECT_EQ(r.exit, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.contains(QStringLiteral("[1025]: \t0x1234"))) << r.out.toStdString();

  r = mbpoll("-r 1025 -t 4", {"165"});
  EXPECT_EQ(r.exit, 0) << r.err.toStdString();
  EXPECT_EQ(sim("get R2000"), QStringLiteral("R2000 00A5"));
  EXPECT_TRUE(WaitFor(
      [&] {
        return mbpoll("-r 1 -c 8 -t 0")
            .out.contains(QStringLiteral(
                "[1]: \t1\n[2]: \t0\n[3]: \t1\n[4]: \t0\n[5]: \t0\n[6]: \t1\n[7]: \t0\n[8]: \t1\n"));
      },
      3000))
      << "the coils follow the outputs";

  r = mbpoll("-r 1026 -t 4", {"1", "2", "3", "4"});
  EXPECT_EQ(r.exit, 0) << r.err.toStdString();
  EXPECT_EQ(sim("get R2001") + " " + sim("get R2004"), QStringLiteral("R2001 0001 R2004 0004"));
  r = mbpoll("-r 1026 -c 4 -t 3:hex");
  EXPECT_TRUE(r.out.contains(
      QStringLiteral("[1026]: \t0x0001\n[1027]: \t0x0002\n[1028]: \t0x0003\n[1029]: \t0x0004")))
      << "input registers are the same registers\n"
      << r.out.toStdString();
  EXPECT_TRUE(bridge_->said(QStringLiteral("modbus write 1025-1028"))) << "the trace names each request";
}

struct ExceptionCase {
  const char* name;
  const char* options;
  QStringList values;
  const char* said;  // mbpoll's words for the exception
};

// What mbpoll is answered for what the bridge does not serve.
TEST_F(Modbus, ExceptionsForWhatIsNotServed) {
  const ExceptionCase cases[] = {
      {"AnUnknownUnitIs0B", "-a 5 -r 1025", {}, "Target device failed to respond"},
      {"AnAddressPastR77777Is02", "-r 32768 -c 2", {}, "Illegal data address"},
      {"ACoilBeyondQ7Is02", "-r 9 -t 0", {}, "Illegal data address"},
      {"WritingACoilIs01", "-r 1 -t 0", {"1"}, "Illegal function"},
  };
  for (const ExceptionCase& c : cases) {
    SCOPED_TRACE(c.name);
    const CliRun r = mbpoll(QString::fromLatin1(c.options), c.values);
    EXPECT_NE(r.exit, 0);
    EXPECT_TRUE(r.err.contains(QString::fromLatin1(c.said))) << r.err.toStdString();
  }
}

// A silent controller: once the engine's tries are spent, exception 0B.
TEST_F(Modbus, ASilentControllerIs0B) {
  ASSERT_EQ(sim("silent on"), QStringLiteral("ok"));
  const CliRun r = mbpoll("-r 1040");
  EXPECT_NE(r.exit, 0);
  EXPECT_TRUE(r.err.contains(QStringLiteral("Target device failed to respond"))) << r.err.toStdString();
}

TEST_F(Modbus, ReadOnlyRefusesWritesWith01) {
  start({"--read-only"});
  ASSERT_EQ(sim("set R2000 0007"), QStringLiteral("ok"));
  const CliRun r = mbpoll("-r 1025", {"9"});
  EXPECT_TRUE(r.err.contains(QStringLiteral("Illegal function"))) << r.err.toStdString();
  EXPECT_EQ(sim("get R2000"), QStringLiteral("R2000 0007"));
  EXPECT_TRUE(mbpoll("-r 1025").out.contains(QStringLiteral("[1025]: \t7"))) << "reads still go";
}

// Ten pymodbus clients at once, each reading ten registers a second: every
// request answered.
TEST_F(Modbus, TenClientsAtOnceAreAllAnswered) {
  if (RunProgram(QStringLiteral("/usr/bin/python3"), {"-c", "import pymodbus"}).exit != 0)
    GTEST_SKIP() << "pymodbus is not installed (scripts/install-deps.sh installs it)";
  const CliRun r =
      RunProgram(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(VARNAK_TESTS_DIR "/modbus_clients.py"), QString::number(port_), "10", "3"});
  EXPECT_EQ(r.exit, 0) << r.out.toStdString() << r.err.toStdString();
  EXPECT_TRUE(r.out.startsWith(QStringLiteral("answered 30 of 30"))) << r.out.toStdString();
}

}  // namespace
}  // namespace varnak::testing
