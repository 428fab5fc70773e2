#include "port_lock.h"

#include <QCoreApplication>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <QStringList>
#include <cerrno>
#include <cstring>

namespace varnak {

namespace {

QString SystemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QString HolderOf(const QString& realPath) {
  return LockHolder(QtLockFilePath(realPath))
      .value_or(QCoreApplication::translate("varnak::PortLock", "another program"));
}

speed_t SpeedCode(qint32 baud) {
  switch (baud) {
    case 1200:
      return B1200;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    default:
      return 0;  // not a rate this check knows: not checked
  }
}

}  // namespace

QString OpenFailure::why() const {
  if (kind == Kind::Permission)
    return QCoreApplication::translate("varnak::PortLock", "%1 (is the user in the dialout group?)")
        .arg(reason);
  if (kind == Kind::Settings)
    return QCoreApplication::translate("varnak::PortLock", "the driver did not take %1").arg(reason);
  return reason;
}

QString OpenFailure::sentence(const QString& label) const {
  if (kind == Kind::Busy)
    return QCoreApplication::translate("varnak::PortLock", "%1 is in use by %2").arg(label, reason);
  return QCoreApplication::translate("varnak::PortLock", "%1: %2").arg(label, why());
}

QString RealDevicePath(const QString& device) {
  const QString real = QFileInfo(device).canonicalFilePath();
  return real.isEmpty() ? device : real;
}

QString QtLockFilePath(const QString& realPath) {
  // The folders QSerialPort looks at, in its order: the first readable one
  // where the file exists or may be made.
  const QStringList folders = {QStringLiteral("/var/lock"),
                               QStringLiteral("/etc/locks"),
                               QStringLiteral("/var/spool/locks"),
                               QStringLiteral("/var/spool/uucp"),
                               QStringLiteral("/tmp"),
                               QStringLiteral("/var/tmp"),
                               QStringLiteral("/var/lock/lockdev"),
                               QStringLiteral("/run/lock"),
                               QStandardPaths::writableLocation(QStandardPaths::TempLocation)};
  QString name = realPath.startsWith(QLatin1String("/dev/")) ? realPath.mid(5) : realPath;
  name.replace(QLatin1Char('/'), QLatin1Char('_'));
  name.prepend(QLatin1String("/LCK.."));
  for (const QString& folder : folders) {
    const QFileInfo info(folder);
    if (info.isReadable() && (QFile::exists(folder + name) || info.isWritable())) return folder + name;
  }
  return {};
}

std::optional<QString> LockHolder(const QString& lockPath) {
  if (lockPath.isEmpty() || !QFile::exists(lockPath)) return std::nullopt;
  qint64 pid = 0;
  QString host, app;
  if (!QLockFile(lockPath).getLockInfo(&pid, &host, &app) || pid <= 0) return std::nullopt;
  // A dead holder's file is stale: Qt takes it over at the next open.
  if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM) return std::nullopt;
  return QCoreApplication::translate("varnak::PortLock", "%1 (pid %2)")
      .arg(app.isEmpty() ? QCoreApplication::translate("varnak::PortLock", "a program") : app)
      .arg(pid);
}

bool IsPseudoTerminal(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return false;
  // Unix98 pty slaves have majors 136 to 143.
  return major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
}

bool ClearStrayParity(int fd) {
  termios t{};
  if (::tcgetattr(fd, &t) != 0) return false;
  if (!(t.c_cflag & PARODD) || (t.c_cflag & PARENB)) return false;
  t.c_cflag &= ~static_cast<tcflag_t>(PARODD);
  return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

QString SettingsNotTaken(int fd, const QSerialPort& port) {
  termios t{};
  if (::tcgetattr(fd, &t) != 0)
    return QCoreApplication::translate("varnak::PortLock", "the settings (cannot read them back: %1)")
        .arg(SystemError(errno));
  QStringList missing;
  const speed_t speed = SpeedCode(port.baudRate());
  if (speed && (cfgetispeed(&t) != speed || cfgetospeed(&t) != speed))
    missing << QCoreApplication::translate("varnak::PortLock", "%1 baud").arg(port.baudRate());
  const tcflag_t size = port.dataBits() == QSerialPort::Data5   ? CS5
                        : port.dataBits() == QSerialPort::Data6 ? CS6
                        : port.dataBits() == QSerialPort::Data7 ? CS7
                                                                : CS8;
  if ((t.c_cflag & CSIZE) != size)
    missing << QCoreApplication::translate("varnak::PortLock", "%1 data bits").arg(port.dataBits());
  const bool two = port.stopBits() == QSerialPort::TwoStop;
  if (bool(t.c_cflag & CSTOPB) != two)
    missing << (two ? QCoreApplication::translate("varnak::PortLock", "2 stop bits")
                    : QCoreApplication::translate("varnak::PortLock", "1 stop bit"));
  const QSerialPort::Parity parity = port.parity();
  if (!IsPseudoTerminal(fd)) {
    const bool on = parity != QSerialPort::NoParity;
    const bool odd = parity == QSerialPort::OddParity || parity == QSerialPort::MarkParity;
    if (bool(t.c_cflag & PARENB) != on || (on && bool(t.c_cflag & PARODD) != odd)) {
      static const char* names[] = {QT_TRANSLATE_NOOP("varnak::PortLock", "no parity"),
                                    "",
                                    QT_TRANSLATE_NOOP("varnak::PortLock", "even parity"),
                                    QT_TRANSLATE_NOOP("varnak::PortLock", "odd parity"),
                                    QT_TRANSLATE_NOOP("varnak::PortLock", "space parity"),
                                    QT_TRANSLATE_NOOP("varnak::PortLock", "mark parity")};
      const int i = static_cast<int>(parity);
      missing << QCoreApplication::translate(
          "varnak::PortLock",
          i >= 0 && i < 6 ? names[i] : QT_TRANSLATE_NOOP("varnak::PortLock", "the parity"));
    }
  }
  if (port.flowControl() == QSerialPort::NoFlowControl &&
      ((t.c_cflag & CRTSCTS) || (t.c_iflag & (IXON | IXOFF))))
    missing << QCoreApplication::translate("varnak::PortLock", "no flow control");
  return missing.join(QStringLiteral(", "));
}

PortLock::~PortLock() { release(); }

void PortLock::release() {
  if (fd_ >= 0) ::close(fd_);  // releases the flock
  fd_ = -1;
}

void PortLock::close(QSerialPort& port) {
  if (port.isOpen()) port.close();
  release();
}

std::optional<OpenFailure> PortLock::open(QSerialPort& port, const QString& device) {
  using Kind = OpenFailure::Kind;
  close(port);
  const QString real = RealDevicePath(device);
  fd_ = ::open(real.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) {
    const int e = errno;
    switch (e) {
      case ENOENT:
      case ENODEV:
      case ENXIO:
        return OpenFailure{Kind::Missing, SystemError(e)};
      case EACCES:
      case EPERM:
        return OpenFailure{Kind::Permission, SystemError(e)};
      case EBUSY:  // another holder's exclusive mode
        return OpenFailure{Kind::Busy, HolderOf(real)};
      default:
        return OpenFailure{Kind::Other, SystemError(e)};
    }
  }
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    const int e = errno;
    release();
    if (e == EWOULDBLOCK) return OpenFailure{Kind::Busy, HolderOf(real)};
    return OpenFailure{
        Kind::Other, QCoreApplication::translate("varnak::PortLock", "cannot lock: %1").arg(SystemError(e))};
  }
  if (const auto holder = LockHolder(QtLockFilePath(real))) {
    release();
    return OpenFailure{Kind::Busy, *holder};
  }
  ClearStrayParity(fd_);
  port.setPortName(real);
  if (!port.open(QIODevice::ReadWrite)) {
    const QSerialPort::SerialPortError error = port.error();
    const QString why = port.errorString();
    release();
    if (const auto holder = LockHolder(QtLockFilePath(real))) return OpenFailure{Kind::Busy, *holder};
    if (error == QSerialPort::DeviceNotFoundError) return OpenFailure{Kind::Missing, why};
    return OpenFailure{Kind::Other, why};
  }
  const QString notTaken = SettingsNotTaken(port.handle(), port);
  if (!notTaken.isEmpty()) {
    close(port);
    return OpenFailure{Kind::Settings, notTaken};
  }
  return std::nullopt;
}

}  // namespace varnak
