// One line, one owner. The window and the client open a serial device only
// through PortLock, so that whichever comes second is refused and told who
// holds the line, and the first one's exchanges are never shared:
//
//   device path ──realpath──> /dev/ttyUSB0 (Qt names its lock file after the
//   path it is given, and other serial tools lock the real name)
//   ──open + flock(LOCK_EX|LOCK_NB) on a descriptor of our own──> held
//   ──Qt's lock file in /run/lock──> held by a live program?
//   ──QSerialPort::open──> settings read back with tcgetattr
//
// The flock is taken before QSerialPort::open() because that open already
// changes the line's settings and exclusive mode; root passes TIOCEXCL, but
// not a flock. The flock and Qt's lock file are released by close(), and by
// the kernel and Qt's stale-lock rule if the program dies.
#pragma once

#include <QSerialPort>
#include <QString>
#include <optional>

namespace varnak {

struct OpenFailure {
  enum class Kind {
    Missing,     // no such device
    Busy,        // another program holds the line
    Permission,  // the device node refuses this user
    Settings,    // the driver did not take a setting
    Other,
  };
  Kind kind = Kind::Other;
  // Busy: who holds it ("varnak-panel (pid 4242)" or "another program");
  // Settings: which ("odd parity, 9600 baud"); otherwise why, in the system's words.
  // The window's words are in the operator's language; the client installs no
  // translation and so keeps them English.
  QString reason;

  // The operator's sentence after `label` ("COM1: /dev/ttyUSB0"):
  // "COM1: /dev/ttyUSB0 is in use by varnak-panel (pid 4242)", or
  // "COM1: /dev/ttyUSB0: Permission denied (is the user in the dialout group?)".
  QString sentence(const QString& label) const;
  // The reason with the hint that goes with its kind: "Permission denied (is the
  // user in the dialout group?)", "the driver did not take odd parity".
  QString why() const;
};

class PortLock {
 public:
  PortLock() = default;
  PortLock(const PortLock&) = delete;
  PortLock& operator=(const PortLock&) = delete;
  ~PortLock();

  // Opens `port` (its settings already chosen) on `device` for reading and
  // writing; nothing on success. On failure the port is closed and nothing is held.
  std::optional<OpenFailure> open(QSerialPort& port, const QString& device);
  // Closes the port (Qt restores the settings it found) and releases the lock.
  void close(QSerialPort& port);
  bool holds() const { return fd_ >= 0; }

 private:
  void release();
  int fd_ = -1;
};

// The device a path leads to, symbolic links followed; the path itself if it
// leads nowhere.
QString RealDevicePath(const QString& device);
// The lock file that QSerialPort takes for `realPath` ("/run/lock/LCK..ttyUSB0").
QString QtLockFilePath(const QString& realPath);
// "varnak-panel (pid 4242)" if a live process holds the lock file at `lockPath`.
std::optional<QString> LockHolder(const QString& lockPath);
// Whether `fd` is the slave side of a pseudo-terminal, which carries no parity bit.
bool IsPseudoTerminal(int fd);
// A pseudo-terminal drops PARENB but keeps PARODD. When every other setting
// already matches, QSerialPort's tcsetattr changes nothing, and glibc then
// reports the dropped PARENB as EINVAL ("Invalid argument"): a pty left so by a
// killed program could never be opened again. Clearing the meaningless PARODD
// (parity is off) lets the next open change something. True if it cleared it.
bool ClearStrayParity(int fd);
// Which of the port's settings the driver did not take, read back from `fd`:
// empty when all did ("odd parity", "9600 baud", ...). A pseudo-terminal is
// excused parity.
QString SettingsNotTaken(int fd, const QSerialPort& port);

}  // namespace varnak
