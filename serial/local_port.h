// The local backend: a serial device (or a pseudo-terminal) on QSerialPort,
// opened through PortLock, at the link's line settings, which the open reads
// back: a setting the driver did not take is an open that fails naming it.
//
// Every piece the driver hands over is a chunk at once (the link control
// assembles replies), so nothing waits here and a babbling line costs no memory.
// An adapter pulled while open closes the port and tells why; the next open
// tries again, so the tool recovers when the device comes back. A
// pseudo-terminal refuses DTR, which is no failure.
#pragma once

#include <QObject>
#include <QSerialPort>
#include <QString>
#include <functional>
#include <optional>

#include "line/steady_clock.h"
#include "line/transport.h"
#include "serial/port_lock.h"

namespace varnak {

class LocalPort : public QObject, public Transport {
  Q_OBJECT

 public:
  // `label` starts every sentence told ("COM1: /dev/ttyUSB0").
  LocalPort(QString device, QString label, MsClock clock = SteadyMs);
  ~LocalPort() override;

  bool isOpen() const override { return port_.isOpen(); }
  bool open() override;
  void close() override;
  bool write(const Bytes& frame) override;
  void apply(PortSetting setting) override;

  // The most bytes handed over in one chunk since the port was made.
  int peakChunk() const { return peakChunk_; }
  // Why the last open failed, when the device was there; none otherwise.
  const std::optional<OpenFailure>& openFailure() const { return openFailure_; }

 private:
  void onReadyRead();
  void onError(QSerialPort::SerialPortError error);
  void tell(const QString& problem);

  QString device_, label_;
  MsClock clock_;
  QSerialPort port_;
  PortLock lock_;  // held while port_ is open
  bool dtr_ = false;
  int peakChunk_ = 0;
  QString problem_;
  std::optional<OpenFailure> openFailure_;
};

}  // namespace varnak
