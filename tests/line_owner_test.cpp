// One line, one owner: the window and the client against each other on a
// simulator's pty (run as root in CI, where TIOCEXCL stops nobody), a foreign
// flock, signals, closed output, and a pty left behind by a killed program.
// Every child is a ChildProgram, killed when the test ends however it ends; the
// simulator runs in --control mode and ends when this process does.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <memory>

#include "serial/port_lock.h"
#include "sim_process.h"

namespace varnak::testing {
namespace {

// A child program that never outlives the test.
class ChildProgram {
 public:
  ChildProgram(const QString& path, const QStringList& args) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process_.setProcessEnvironment(env);
    process_.start(path, args);
    process_.waitForStarted(5000);
  }
  ~ChildProgram() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished(3000);
    }
  }
  QProcess& process() { return process_; }
  qint64 pid() const { return process_.processId(); }
  bool running() const { return process_.state() == QProcess::Running; }
  // Standard error so far (kept, so that it can be asked again).
  const QString& err() {
    err_ += QString::fromUtf8(process_.readAllStandardError());
    return err_;
  }
  void signal(int s) { ::kill(static_cast<pid_t>(pid()), s); }
  // The exit status, or -1 if it did not end within `ms` or died by a signal.
  int waitForExit(int ms) {
    WaitFor([&] { return process_.state() == QProcess::NotRunning; }, ms);
    if (process_.state() != QProcess::NotRunning || process_.exitStatus() != QProcess::NormalExit) return -1;
    return process_.exitCode();
  }

 private:
  QProcess process_;
  QString err_;
};

std::unique_ptr<ChildProgram> StartWindow(const QString& device) {
  return std::make_unique<ChildProgram>(QStringLiteral(VARNAK_PANEL_CHILD_PATH),
                                        QStringList{"--port", "1=" + device});
}

std::unique_ptr<ChildProgram> StartClient(const QString& device, const QStringList& args) {
  return std::make_unique<ChildProgram>(QStringLiteral(VARNAK_CLI_PATH),
                                        QStringList{"--port", device} + args);
}

QString LockFileOf(const QString& device) { return QtLockFilePath(RealDevicePath(device)); }

int Polls(SimProcess& sim) {
  const QRegularExpressionMatch m =
      QRegularExpression(QStringLiteral("polls (\\d+)")).match(sim.command("stats"));
  return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The program holds the line and polls through it.
bool Holding(SimProcess& sim, const QString& device) {
  return WaitFor([&] { return QFile::exists(LockFileOf(device)) && Polls(sim) > 0; }, 5000);
}

enum class Program { Window, Client };
const char* Name(Program p) { return p == Program::Window ? "varnak-panel" : "varnak"; }

std::unique_ptr<ChildProgram> StartPolling(Program p, const QString& device) {
  return p == Program::Window ? StartWindow(device) : StartClient(device, {"watch"});
}

// What the second program said when refused: the client's one line, or the
// window's title message (also one line on its stderr).
QString Refusal(Program p, const QString& device, QString* out) {
  if (p == Program::Client) {
    auto c = StartClient(device, {"read", "R2000"});
    const int status = c->waitForExit(10000);
    *out = c->err();
    return status == 3 ? QStringLiteral("exit 3") : QStringLiteral("exit %1").arg(status);
  }
  auto w = StartWindow(device);
  WaitFor([&] { return w->err().contains(QStringLiteral("in use")); }, 5000);
  *out = w->err();
  return w->running() ? QStringLiteral("running") : QStringLiteral("ended");
}

struct OwnerCase {
  const char* name;
  Program first, second;
};
void PrintTo(const OwnerCase& c, std::ostream* os) { *os << c.name; }

class LineOwner : public ::testing::TestWithParam<OwnerCase> {};

TEST_P(LineOwner, SecondIsRefusedNamingTheFirstWhichCarriesOn) {
  const OwnerCase& c = GetParam();
  SimProcess sim({"--outputs", "81"});
  auto first = StartPolling(c.first, sim.device());
  ASSERT_TRUE(Holding(sim, sim.device())) << first->err().toStdString();

  QString said;
  const QString how = Refusal(c.second, sim.device(), &said);
  EXPECT_EQ(how, c.second == Program::Client ? QStringLiteral("exit 3") : QStringLiteral("running"));
  const QString sentence = QStringLiteral("%1 is in use by %2 (pid %3)")
                               .arg(c.second == Program::Window ? "COM1: " + sim.device() : sim.device(),
                                    QString::fromLatin1(Name(c.first)))
                               .arg(first->pid());
  EXPECT_TRUE(said.contains(sentence)) << said.toStdString() << "\nwanted: " << sentence.toStdString();
  EXPECT_FALSE(said.contains(QStringLiteral("dialout"))) << said.toStdString();

  // The first goes on polling, and has nothing to complain of.
  const int before = Polls(sim);
  ASSERT_TRUE(WaitFor([&] { return Polls(sim) >= before + 3; }, 3000));
  EXPECT_TRUE(first->running());
  EXPECT_FALSE(first->err().contains(QStringLiteral("unexpected"))) << first->err().toStdString();
  EXPECT_FALSE(first->err().contains(QStringLiteral("in use"))) << first->err().toStdString();
}

const OwnerCase kOwnerCases[] = {
    {"TwoClients", Program::Client, Program::Client},
    {"WindowThenClient", Program::Window, Program::Client},
    {"ClientThenWindow", Program::Client, Program::Window},
    {"TwoWindows", Program::Window, Program::Window},
};
INSTANTIATE_TEST_SUITE_P(Programs, LineOwner, ::testing::ValuesIn(kOwnerCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A refused window keeps trying at each frame and takes the line once it is free.
TEST(LineOwnerTakeOver, TheWindowTakesTheLineWhenTheClientEnds) {
  SimProcess sim({"--outputs", "81"});
  auto watch = StartClient(sim.device(), {"watch"});
  ASSERT_TRUE(Holding(sim, sim.device())) << watch->err().toStdString();
  auto window = StartWindow(sim.device());
  ASSERT_TRUE(WaitFor([&] { return window->err().contains(QStringLiteral("in use by varnak")); }, 5000));
  watch->signal(SIGTERM);
  EXPECT_EQ(watch->waitForExit(3000), 143);
  const int before = Polls(sim);
  EXPECT_TRUE(WaitFor([&] { return Polls(sim) >= before + 3; }, 3000)) << window->err().toStdString();
  EXPECT_TRUE(window->err().contains(QStringLiteral("link ok"))) << window->err().toStdString();
}

TEST(LineOwnerForeign, AFlockHeldByAnotherProgramRefusesBoth) {
  SimProcess sim({"--outputs", "81"});
  const int fd = ::open(sim.device().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  for (const Program p : {Program::Client, Program::Window}) {
    QString said;
    Refusal(p, sim.device(), &said);
    EXPECT_TRUE(said.contains(sim.device() + QStringLiteral(" is in use by another program")))
        << said.toStdString();
  }
  EXPECT_EQ(Polls(sim), 0) << "nothing went out on a line that another program holds";
  ::close(fd);
}

struct StopCase {
  const char* name;
  Program program;
  int signal;
  int status;
};
void PrintTo(const StopCase& c, std::ostream* os) { *os << c.name; }

class Stopping : public ::testing::TestWithParam<StopCase> {};

// Asked to stop, a program closes the port and removes its lock, so that the
// next program opens the line at once.
TEST_P(Stopping, ClosesThePortAndLeavesNoLock) {
  const StopCase& c = GetParam();
  SimProcess sim({"--no-pace"});
  auto p = StartPolling(c.program, sim.device());
  ASSERT_TRUE(Holding(sim, sim.device())) << p->err().toStdString();
  p->signal(c.signal);
  EXPECT_EQ(p->waitForExit(3000), c.status) << p->err().toStdString();
  EXPECT_FALSE(QFile::exists(LockFileOf(sim.device())));
  QElapsedTimer t;
  t.start();
  auto next = StartClient(sim.device(), {"read", "R2000"});
  EXPECT_EQ(next->waitForExit(5000), 0) << next->err().toStdString();
  EXPECT_LT(t.elapsed(), 1000);
}

const StopCase kStopCases[] = {
    {"WindowSigterm", Program::Window, SIGTERM, 143}, {"WindowSigint", Program::Window, SIGINT, 130},
    {"WindowSighup", Program::Window, SIGHUP, 129},   {"WatchSigint", Program::Client, SIGINT, 130},
    {"WatchSigterm", Program::Client, SIGTERM, 143},
};
INSTANTIATE_TEST_SUITE_P(Signals, Stopping, ::testing::ValuesIn(kStopCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A program killed outright restores nothing: the pty keeps PARODD without
// PARENB (a pty carries no parity bit), and a bare QSerialPort then fails with
// "Invalid argument". The next program opens it all the same.
TEST(Killed, APtyLeftWithOddParityOpensAgain) {
  for (const Program killed : {Program::Client, Program::Window}) {
    SimProcess sim({"--no-pace"});
    auto p = StartPolling(killed, sim.device());
    ASSERT_TRUE(Holding(sim, sim.device())) << p->err().toStdString();
    p->signal(SIGKILL);
    p->waitForExit(3000);
    const int fd = ::open(sim.device().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios t{};
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    ::close(fd);
    EXPECT_TRUE((t.c_cflag & PARODD) && !(t.c_cflag & PARENB)) << "the state a killed program leaves";
    for (const Program next : {Program::Client, Program::Window}) {
      if (next == Program::Client) {
        auto c = StartClient(sim.device(), {"read", "R2000"});
        EXPECT_EQ(c->waitForExit(5000), 0) << Name(killed) << " killed: " << c->err().toStdString();
      } else {
        const int before = Polls(sim);
        auto w = StartWindow(sim.device());
        EXPECT_TRUE(WaitFor([&] { return Polls(sim) > before + 2; }, 5000))
            << Name(killed) << " killed: " << w->err().toStdString();
      }
    }
  }
}

// A reader that went away is noticed even while the outputs never change.
TEST(ClosedOutput, WatchIntoAClosedPipeEnds) {
  SimProcess sim({"--outputs", "81"});
  // The shell waits for both and hands back the watch's status.
  ChildProgram pipeline(QStringLiteral("/bin/bash"),
                        {"-c", "\"$0\" --port \"$1\" watch | head -n 1 >/dev/null; exit ${PIPESTATUS[0]}",
                         QStringLiteral(VARNAK_CLI_PATH), sim.device()});
  EXPECT_EQ(pipeline.waitForExit(5000), 6) << "watch goes on polling after its reader is gone";
  EXPECT_EQ(pipeline.err().count(QLatin1Char('\n')), 1) << pipeline.err().toStdString();
  EXPECT_FALSE(QFile::exists(LockFileOf(sim.device())));
}

TEST(ClosedOutput, ReadIntoAFullDiskIsAnError) {
  SimProcess sim({"--no-pace"});
  QProcess read;
  read.setStandardOutputFile(QStringLiteral("/dev/full"));
  read.start(QStringLiteral(VARNAK_CLI_PATH), {"--port", sim.device(), "read", "R2000"});
  ASSERT_TRUE(read.waitForFinished(5000));
  EXPECT_EQ(read.exitCode(), 6);
  EXPECT_EQ(QString::fromUtf8(read.readAllStandardError()),
            QStringLiteral("varnak: cannot write the result: No space left on device\n"));
}

TEST(StoppingWatch, OnASilentLineStopsAtOnceWhateverItsTimeout) {
  SimProcess sim(QStringList{});
  ASSERT_EQ(sim.command("silent on"), "ok");
  auto watch = StartClient(sim.device(), {"watch", "--timeout", "5000"});
  ASSERT_TRUE(WaitFor([&] { return QFile::exists(LockFileOf(sim.device())); }, 5000));
  Pump(300);  // well inside its first wait for a reply
  QElapsedTimer t;
  t.start();
  watch->signal(SIGINT);
  EXPECT_EQ(watch->waitForExit(3000), 130);
  EXPECT_LT(t.elapsed(), 500);
  EXPECT_FALSE(QFile::exists(LockFileOf(sim.device())));
}

// A hung-up device is exit 3 at once, not "no reply" after every retry.
TEST(HungUp, TheClientSaysSoAtOnce) {
  auto sim = std::make_unique<SimProcess>(QStringList{"--no-pace"});
  auto watch = StartClient(sim->device(), {"watch", "--timeout", "2000"});
  ASSERT_TRUE(Holding(*sim, sim->device()));
  sim.reset();
  EXPECT_EQ(watch->waitForExit(1000), 3);
  EXPECT_TRUE(watch->err().contains(QStringLiteral("device lost"))) << watch->err().toStdString();
}

// The simulator under --control ends with its standard input, so that a test
// that dies leaves no simulator behind.
TEST(Simulator, EndsWhenItsControlInputCloses) {
  QProcess sim;
  sim.start(QStringLiteral(VARNAK_SIM_PATH), {"--control"});
  ASSERT_TRUE(sim.waitForReadyRead(5000));
  sim.closeWriteChannel();
  EXPECT_TRUE(sim.waitForFinished(2000));
  EXPECT_EQ(sim.exitCode(), 0);
}

}  // namespace
}  // namespace varnak::testing
