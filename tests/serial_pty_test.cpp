// The real QSerialPort backend on a pseudo-terminal, with the window: frames go
// out byte for byte, replies turn the lamps and fill Text5, an unplugged or
// missing device is survived and recovered from.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "fakes.h"
#include "panel/form2.h"
#include "panel/startup.h"
#include "qt_helpers.h"
#include "serial/numbered_port.h"
#include "serial/port_lock.h"
#include "sim/pty.h"

namespace varnak::testing {
namespace {

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Port 1 is bound to a symbolic link, so that a "replugged" device can appear
// at the same path with a new pty behind it.
class PtyPanel : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    link = dir.filePath(QStringLiteral("ttyPLC"));
    plug();
    port = std::make_unique<NumberedPort>(QMap<int, QString>{{1, link}});
    form = std::make_unique<Form2>(*port);
    WireStatusLines(*form);
    form->load(QStringLiteral("1"));
    form->Timer1->stop();  // ticks by hand, so every frame is accounted for
  }

  void plug() {
    std::string error;
    auto p = Pty::Open(&error);
    ASSERT_TRUE(p) << error;
    peer = std::move(*p);
    ::unlink(link.toLocal8Bit().constData());
    ASSERT_EQ(::symlink(peer.slavePath().c_str(), link.toLocal8Bit().constData()), 0);
  }
  void unplug() {
    peer.close();
    ::unlink(link.toLocal8Bit().constData());
  }

  // The next frame the tool writes, as hex.
  std::string nextFrame(int timeoutMs = 1000) {
    Bytes got;
    WaitFor(
        [&] {
          const Bytes more = peer.readAvailable();
          got.insert(got.end(), more.begin(), more.end());
          // Bytes that came in meanwhile are the frame's too, not thrown away.
          const Bytes late = peer.readChunk(0, 15);
          got.insert(got.end(), late.begin(), late.end());
          return !got.empty() && late.empty();
        },
        timeoutMs);
    return BytesToHex(got);
  }
  // A reply that the dispatcher sees as one chunk when it arrives.
  void reply(const Bytes& b) { ASSERT_TRUE(peer.write(b)); }

  void tick() {
    form->core().Timer1_Timer(form->now());
    form->refreshStatus();
  }

  QTemporaryDir dir;
  QString link;
  Pty peer = std::move(*Pty::Open());
  std::unique_ptr<NumberedPort> port;
  std::unique_ptr<Form2> form;
};

TEST_F(PtyPanel, PollReadAndWriteGoOutByteForByte) {
  tick();
  EXPECT_EQ(nextFrame(), kEnq);
  EXPECT_EQ(form->windowTitle(), kWindowTitle);
  reply(kEnqAck);
  EXPECT_EQ(nextFrame(), kPollHeader);
  reply(DataReply(0x5A, 0x00));
  EXPECT_TRUE(WaitFor([&] { return form->lampIsGreen(1); }));
  for (int i = 0; i < 8; ++i) EXPECT_EQ(form->lampIsGreen(i), ((0x5A >> i) & 1) == 1) << i;

  QTest::mouseClick(form->Command3, Qt::LeftButton);
  EXPECT_EQ(nextFrame(), kEnq);
  reply(kEnqAck);
  EXPECT_EQ(nextFrame(), kReadHeader2000);
  reply(DataReply(0x05, 0x12));
  EXPECT_TRUE(WaitFor([&] { return form->Text5->text() == QStringLiteral("1205"); }));

  form->Text1->setText(QStringLiteral("1234"));
  QTest::mouseClick(form->Command1, Qt::LeftButton);
  EXPECT_EQ(nextFrame(), kEnq);
  reply(kEnqAck);
  EXPECT_EQ(nextFrame(), kWriteHeader2000);
  reply(kAckByte);
  EXPECT_EQ(nextFrame(), "02 34 12 03 26");
}

// One byte every `gapUs` on a thread of its own, while the window's loop runs.
void WritePaced(Pty& peer, const Bytes& bytes, const std::vector<int>& gapsUs) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i) std::this_thread::sleep_for(std::chrono::microseconds(gapsUs[i - 1]));
    peer.write({bytes[i]});
  }
}

TEST_F(PtyPanel, ReplyPacedAtWireSpeedIsOneChunk) {
  tick();
  ASSERT_EQ(nextFrame(), kEnq);
  std::thread t(WritePaced, std::ref(peer), kEnqAck, std::vector<int>{1146, 1146});
  EXPECT_EQ(nextFrame(), kPollHeader);
  t.join();
  const Bytes data = DataReply(0x81, 0x00);
  std::thread t2(WritePaced, std::ref(peer), data, std::vector<int>(5, 1146));
  EXPECT_TRUE(WaitFor([&] { return form->lampIsGreen(7); }));
  t2.join();
  EXPECT_TRUE(form->lampIsGreen(0));
}

// What the line itself carries once the window has opened it: 9600 baud, odd
// parity, 8 data bits, 1 stop bit, no flow control of any kind.
TEST_F(PtyPanel, TheLineCarriesTheSettings) {
  tick();
  ASSERT_EQ(nextFrame(), kEnq);
  const int fd = ::open(peer.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  termios t{};
  ASSERT_EQ(::tcgetattr(fd, &t), 0);
  ::close(fd);
  EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B9600));
  EXPECT_EQ(::cfgetispeed(&t), static_cast<speed_t>(B9600));
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  // A pseudo-terminal never carries a parity bit: its driver clears PARENB and
  // keeps PARODD, so odd parity shows as PARODD alone here.
  EXPECT_TRUE(t.c_cflag & PARODD);
  EXPECT_FALSE(t.c_cflag & CSTOPB);
  EXPECT_FALSE(t.c_cflag & CRTSCTS);
  EXPECT_FALSE(t.c_iflag & (IXON | IXOFF));
  EXPECT_FALSE(t.c_lflag & ICANON) << "binary: bytes unchanged, no line editing";
}

TEST_F(PtyPanel, ReplyWithLongPauseIsTwoChunksAndIgnored) {
  tick();
  ASSERT_EQ(nextFrame(), kEnq);
  std::thread t(WritePaced, std::ref(peer), kEnqAck, std::vector<int>{1146, 50000});
  Pump(300);
  t.join();
  EXPECT_EQ(BytesToHex(peer.readAvailable()), "");
  EXPECT_EQ(form->core().state().RxBytes, Bytes{0x06}) << "the last chunk is the ACK alone";
}

TEST_F(PtyPanel, UnpluggedDeviceIsSurvivedAndRecovered) {
  tick();
  ASSERT_EQ(nextFrame(), kEnq);
  unplug();
  ASSERT_TRUE(WaitFor([&] { return form->windowTitle() != kWindowTitle; }));
  EXPECT_TRUE(form->windowTitle().startsWith(kWindowTitle + QStringLiteral(" - COM1: ")))
      << form->windowTitle().toStdString();
  EXPECT_FALSE(port->isOpen());

  // Gone: ticks keep trying, nothing spins.
  form->Timer1->start();
  const double before = CpuSeconds();
  Pump(1000);
  const double cpu = CpuSeconds() - before;
  EXPECT_LT(cpu, 0.2) << "the event loop is spinning while the device is gone";
  EXPECT_NE(form->windowTitle(), kWindowTitle);
  form->Timer1->stop();

  plug();
  tick();
  EXPECT_EQ(nextFrame(), kEnq);
  // The port works again, but nothing has answered for over a second yet.
  EXPECT_EQ(form->windowTitle(), kWindowTitle + QStringLiteral(" - COM1: no reply from the controller"));
  reply(kEnqAck);
  EXPECT_EQ(nextFrame(), kPollHeader);
  EXPECT_EQ(form->windowTitle(), kWindowTitle);
}

// A device that streams without a pause (noise, another baud rate) for 3 s at
// some 100 kB/s: nothing waits for a gap, the pieces reach the dispatcher as
// they come as chunks that no rule takes, and once the line is quiet a poll
// works as before.
TEST_F(PtyPanel, BabblingLineIsDeliveredInBoundedChunksAndThenPollsWork) {
  struct Count : LinkObserver {
    int ignored = 0;
    void onLinkEvent(const LinkEvent& e) override {
      if (e.kind == LinkEvent::Kind::Received && e.ruling == Ruling::IgnoredNotAReply) ++ignored;
    }
  } count;
  form->core().addObserver(&count);
  tick();
  ASSERT_EQ(nextFrame(), kEnq);

  std::atomic<bool> stop{false};
  std::thread babbler([&] {
    const Bytes noise(100, 0x55);
    while (!stop) {
      peer.write(noise);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  Pump(3000);
  stop = true;
  babbler.join();
  Pump(50);

  EXPECT_GT(count.ignored, 50) << "the babble must be delivered while it lasts, not only at its end";
  // What one read of the device returns, and no more.
  EXPECT_LE(port->peakChunk(), 8192);
  form->core().removeObserver(&count);

  peer.readAvailable();
  tick();
  EXPECT_EQ(nextFrame(), kEnq);
  reply(kEnqAck);
  EXPECT_EQ(nextFrame(), kPollHeader);
  reply(DataReply(0x81, 0x00));
  EXPECT_TRUE(WaitFor([&] { return form->lampIsGreen(0) && form->lampIsGreen(7) && !form->lampIsGreen(1); }));
}

TEST_F(PtyPanel, MissingDeviceShowsInTitleUntilItAppears) {
  unplug();
  tick();
  EXPECT_EQ(form->windowTitle(), kWindowTitle + QStringLiteral(" - COM1: ") + link +
                                     QStringLiteral(": No such file or directory"));
  tick();
  plug();
  tick();
  EXPECT_EQ(nextFrame(), kEnq);
  EXPECT_EQ(form->windowTitle(), kWindowTitle);
}

TEST_F(PtyPanel, InvalidPortNumberShowsInTitle) {
  form->Combo1->setEditText(QStringLiteral("abc"));
  form->applyPortText();  // as when typing pauses
  tick();
  EXPECT_TRUE(form->windowTitle().contains(QStringLiteral("no valid port number")));
  form->Combo1->setEditText(QStringLiteral("1"));
  form->applyPortText();
  tick();
  EXPECT_EQ(nextFrame(), kEnq);
  EXPECT_EQ(form->windowTitle(), kWindowTitle);
}

// An adapter plugged in after start: the list is looked at again only once the
// device folder has changed, and then at most once a second.
TEST(NumberedPortNumbers, NoSuchPortIsLookedUpAgainWhenDevicesChange) {
  QTemporaryDir dev;
  int looks = 0;
  std::vector<PortInfo> ports = {{"/dev/ttyS0"}};
  NumberedPort port({}, [&] {
    ++looks;
    return ports;
  });
  port.watchDevices(dev.path());
  port.setPortNumber(2);
  EXPECT_EQ(looks, 1);
  EXPECT_FALSE(port.open());
  Pump(1100);
  EXPECT_FALSE(port.open());
  EXPECT_EQ(looks, 1) << "nothing changed: no new look";

  std::string error;
  auto adapter = Pty::Open(&error);
  ASSERT_TRUE(adapter) << error;
  ports.push_back({adapter->slavePath()});
  QFile(dev.filePath(QStringLiteral("ttyUSB0"))).open(QIODevice::WriteOnly);
  ASSERT_TRUE(WaitFor([&] { return port.open(); }, 3000));
  EXPECT_EQ(looks, 2);
  EXPECT_EQ(port.devicePath(), QString::fromStdString(adapter->slavePath()));
  port.close();
}

TEST(NumberedPortNumbers, ABindingWinsAndANumberWithoutAPortListsThePorts) {
  NumberedPort port({{7, QStringLiteral("/dev/pts/9")}}, [] {
    return std::vector<PortInfo>{{"/dev/ttyS0"}, {"/dev/ttyUSB0", "/dev/serial/by-id/usb-X"}};
  });
  port.setPortNumber(2);
  EXPECT_EQ(port.devicePath(), QStringLiteral("/dev/serial/by-id/usb-X"));
  port.setPortNumber(7);
  EXPECT_EQ(port.devicePath(), QStringLiteral("/dev/pts/9"));  // a binding wins
  port.setPortNumber(3);
  EXPECT_EQ(port.devicePath(), QString());
  EXPECT_FALSE(port.open());
  EXPECT_EQ(port.problem(), QStringLiteral("COM3: no such port (ports: 1 /dev/ttyS0, 2 /dev/ttyUSB0)"));
}

// The state a killed program leaves on a pty: Qt's settings, less the PARENB
// that a pty drops. Qt's tcsetattr at open then changes nothing, and glibc
// reports the dropped PARENB as EINVAL. PortLock clears the stray PARODD first.
void LeaveAsAKilledProgramWould(int fd) {
  termios t{};
  ASSERT_EQ(::tcgetattr(fd, &t), 0);
  ::cfmakeraw(&t);
  t.c_iflag = IGNPAR;
  t.c_cflag = CS8 | CREAD | CLOCAL | PARODD;
  ::cfsetispeed(&t, B9600);
  ::cfsetospeed(&t, B9600);
  ASSERT_EQ(::tcsetattr(fd, TCSANOW, &t), 0);
}

void OddParity9600(QSerialPort& p) {
  p.setBaudRate(9600);
  p.setParity(QSerialPort::OddParity);
  p.setDataBits(QSerialPort::Data8);
}

TEST(PortLockOpen, APtyLeftWithOddParityOpens) {
  const struct {
    const char* name;
    bool leftBehind;
    bool bareOpens;  // a bare QSerialPort, as Qt 6.4 with glibc does
  } rows[] = {{"fresh pty", false, true}, {"pty left by a killed program", true, false}};
  for (const auto& r : rows) {
    auto pty = Pty::Open();
    ASSERT_TRUE(pty);
    const QString device = QString::fromStdString(pty->slavePath());
    const int fd = ::open(pty->slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (r.leftBehind) LeaveAsAKilledProgramWould(fd);
    {
      QSerialPort bare(device);
      OddParity9600(bare);
      EXPECT_EQ(bare.open(QIODevice::ReadWrite), r.bareOpens)
          << r.name << ": " << bare.errorString().toStdString();
    }
    if (r.leftBehind) LeaveAsAKilledProgramWould(fd);
    ::close(fd);
    QSerialPort port;
    OddParity9600(port);
    PortLock lock;
    const auto failure = lock.open(port, device);
    EXPECT_FALSE(failure) << r.name << ": " << failure->reason.toStdString();
    lock.close(port);
  }
}

TEST(PortLockOpen, ASettingTheDriverDidNotTakeIsNamed) {
  auto pty = Pty::Open();
  ASSERT_TRUE(pty);
  QSerialPort port;
  OddParity9600(port);
  port.setDataBits(QSerialPort::Data7);  // a pty is always 8 bits
  PortLock lock;
  const auto failure = lock.open(port, QString::fromStdString(pty->slavePath()));
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->kind, OpenFailure::Kind::Settings);
  EXPECT_EQ(failure->why(), QStringLiteral("the driver did not take 7 data bits"));
  EXPECT_FALSE(port.isOpen());
  EXPECT_FALSE(lock.holds());
}

TEST(PortLockOpen, TheLockIsTakenOnTheRealDevice) {
  auto pty = Pty::Open();
  ASSERT_TRUE(pty);
  QTemporaryDir dir;
  const QString link = dir.filePath(QStringLiteral("ttyPLC"));
  ASSERT_EQ(::symlink(pty->slavePath().c_str(), link.toLocal8Bit().constData()), 0);
  QSerialPort first, second;
  OddParity9600(first);
  OddParity9600(second);
  PortLock a, b;
  ASSERT_FALSE(a.open(first, link));
  EXPECT_EQ(first.portName(), QString::fromStdString(pty->slavePath()).mid(5)) << "Qt locks the real name";
  const auto failure = b.open(second, QString::fromStdString(pty->slavePath()));
  ASSERT_TRUE(failure) << "the same device under two names is one line";
  EXPECT_EQ(failure->kind, OpenFailure::Kind::Busy);
  a.close(first);
  EXPECT_FALSE(b.open(second, QString::fromStdString(pty->slavePath())));
  b.close(second);
}

// Our name for Qt's lock file must be the one Qt takes, or a holder would go unnamed.
TEST(PortLockOpen, QtsLockFileIsTheOneNamed) {
  EXPECT_TRUE(QtLockFilePath(QStringLiteral("/dev/ttyUSB0")).endsWith(QStringLiteral("/LCK..ttyUSB0")));
  EXPECT_TRUE(QtLockFilePath(QStringLiteral("/dev/pts/3")).endsWith(QStringLiteral("/LCK..pts_3")));
  auto pty = Pty::Open();
  ASSERT_TRUE(pty);
  const QString device = QString::fromStdString(pty->slavePath());
  QSerialPort port(device);
  OddParity9600(port);
  ASSERT_TRUE(port.open(QIODevice::ReadWrite));
  EXPECT_EQ(LockHolder(QtLockFilePath(device)),
            QStringLiteral("%1 (pid %2)")
                .arg(QFileInfo(QCoreApplication::applicationFilePath()).fileName())
                .arg(QCoreApplication::applicationPid()));
  port.close();
  EXPECT_FALSE(LockHolder(QtLockFilePath(device)));
}

TEST(PortLockOpen, SentencesForTheOperator) {
  const QString label = QStringLiteral("COM1: /dev/ttyUSB0");
  EXPECT_EQ((OpenFailure{OpenFailure::Kind::Busy, "varnak (pid 42)"}.sentence(label)),
            QStringLiteral("COM1: /dev/ttyUSB0 is in use by varnak (pid 42)"));
  EXPECT_EQ((OpenFailure{OpenFailure::Kind::Permission, "Permission denied"}.sentence(label)),
            QStringLiteral("COM1: /dev/ttyUSB0: Permission denied (is the user in the dialout group?)"));
  EXPECT_EQ((OpenFailure{OpenFailure::Kind::Settings, "odd parity"}.sentence(label)),
            QStringLiteral("COM1: /dev/ttyUSB0: the driver did not take odd parity"));
  EXPECT_EQ((OpenFailure{OpenFailure::Kind::Missing, "No such file or directory"}.sentence(label)),
            QStringLiteral("COM1: /dev/ttyUSB0: No such file or directory"));
}

}  // namespace
}  // namespace varnak::testing
