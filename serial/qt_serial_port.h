// The serial port on QSerialPort.
//
// Port number N names the N-th serial port that the system reports (see
// port_list.h) unless a device was bound to N (the window's --port N=DEVICE).
// The number is resolved when it is set, and the port kept by its stable name;
// a number that names no port is looked up again while frames are sent, at most
// once a second and only after /dev has changed (asking the system for its ports
// costs some 25 ms), so an adapter plugged in later is found. Settings made while closed take effect at the
// next open. A pseudo-terminal works as a port: it refuses DTR, which is no failure.
//
// Data arrival: bytes are gathered until the line has been quiet for 3.5
// character times (about 4 ms at 9600 8O1), and only then is one receive event
// raised, so that a reply that the driver hands over a byte or two at a time
// still reaches the dispatcher whole. Bytes separated by a longer pause are two
// chunks. Closing or reconfiguring discards bytes not yet delivered.
//
// A line that never goes quiet (a streaming device, noise, another baud rate)
// would keep everything waiting for ever: once more bytes wait than any reply
// has (kMaxWaiting), they are delivered at once as one chunk, which no rule
// recognises, so memory stays flat and the first quiet gap brings back normal.
//
// The device is opened through PortLock: a line that another program holds is
// refused with the holder's name, and the lock is held while the port is open.
//
// Failures (no such device, busy, no permission, an adapter pulled while open)
// never throw and never loop: the port closes, problemChanged() says why, and
// the next open tries again, so the tool recovers when the device comes back.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QMap>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>

#include "control/serial_port.h"
#include "serial/port_lock.h"
#include "serial/system_ports.h"

namespace varnak {

class QtSerialPort : public QObject, public SerialPort {
  Q_OBJECT

 public:
  explicit QtSerialPort(QMap<int, QString> devices = {}, PortLister lister = SystemPorts,
                        QObject* parent = nullptr);

  // The folder whose changes send the port list to be looked at again
  // (/dev unless a test says otherwise).
  void watchDevices(const QString& folder);
  // The device that the current port number names, empty if none.
  QString devicePath() const { return device_; }
  // The problem the operator should see now, or empty while all is well.
  QString problem() const { return problem_; }
  // The quiet time that ends a chunk, in microseconds.
  int quietMicroseconds() const { return quietUs_; }
  // More bytes than the longest reply (6): delivered without waiting for a gap.
  static constexpr int kMaxWaiting = 64;
  // The most bytes that have waited for delivery at once since the port was made.
  int peakWaiting() const { return peakWaiting_; }

  bool isOpen() const override { return port_.isOpen(); }
  void close() override;
  void setPortNumber(std::optional<int> number) override;
  bool setLineSettings(const std::string& settings) override;
  void clearInput() override;
  void setReadLength(int) override {}  // reads always return everything waiting
  void setDtr(bool on) override;
  void setInputMode(InputMode) override {}      // always binary
  void setHandshaking(Handshaking) override {}  // always none
  void setReceiveThreshold(int) override {}     // the quiet gap decides
  void setSendThreshold(int) override {}
  bool open() override;
  bool write(const Bytes& bytes) override;
  CommEvent lastEvent() const override { return lastEvent_; }
  Bytes read() override;
  std::string lastError() const override { return problem_.toStdString(); }

 signals:
  // A chunk is waiting: the receive event.
  void commEvent();
  // The operator-facing problem changed; empty when it cleared.
  void problemChanged(const QString& problem);

 private:
  void onReadyRead();
  void onQuiet();
  void deliver();
  void onError(QSerialPort::SerialPortError error);
  void setProblem(const QString& problem);
  QString portLabel() const;
  // Looks the current number up among the bindings and the system's ports.
  void resolve();

  QSerialPort port_;
  PortLock lock_;  // held while port_ is open
  QMap<int, QString> devices_;
  PortLister lister_;
  std::optional<int> number_;
  QString device_;          // what the number names, empty when no port has it
  QString noSuchPort_;      // why not: the ports there are
  QElapsedTimer lookedUp_;  // since the last look at the system's ports
  QFileSystemWatcher devicesWatch_;
  bool devicesChanged_ = true;  // /dev changed since the last look (or cannot be watched)
  QTimer quiet_;
  int quietUs_ = 4010;
  bool dtr_ = false;
  QByteArray pending_;
  int peakWaiting_ = 0;
  CommEvent lastEvent_ = CommEvent::None;
  QString problem_;
};

}  // namespace varnak
