#include "local_port.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace varnak {

namespace {

QSerialPort::Parity ParityOf(char letter) {
  switch (letter) {
    case 'o':
      return QSerialPort::OddParity;
    case 'e':
      return QSerialPort::EvenParity;
    case 'm':
      return QSerialPort::MarkParity;
    case 's':
      return QSerialPort::SpaceParity;
    default:
      return QSerialPort::NoParity;
  }
}

}  // namespace

LocalPort::LocalPort(QString device, QString label, MsClock clock)
    : device_(std::move(device)), label_(std::move(label)), clock_(std::move(clock)) {
  connect(&port_, &QSerialPort::readyRead, this, &LocalPort::onReadyRead);
  connect(&port_, &QSerialPort::errorOccurred, this, &LocalPort::onError);
  apply(PortSetting::LineSettings);
  apply(PortSetting::NoHandshaking);
}

LocalPort::~LocalPort() { lock_.close(port_); }

void LocalPort::apply(PortSetting setting) {
  switch (setting) {
    case PortSetting::LineSettings:
      port_.setBaudRate(kLinkLineSettings.baud);
      port_.setParity(ParityOf(kLinkLineSettings.parity));
      port_.setDataBits(static_cast<QSerialPort::DataBits>(kLinkLineSettings.dataBits));
      port_.setStopBits(kLinkLineSettings.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
      return;
    case PortSetting::ClearInput:
      if (port_.isOpen()) {
        port_.clear(QSerialPort::Input);
        port_.readAll();
      }
      return;
    case PortSetting::NoHandshaking:
      port_.setFlowControl(QSerialPort::NoFlowControl);
      return;
    case PortSetting::DtrOff:
      dtr_ = false;
      // A pseudo-terminal refuses; that is not a failure of the port.
      if (port_.isOpen()) port_.setDataTerminalReady(false);
      return;
  }
}

void LocalPort::close() { lock_.close(port_); }

bool LocalPort::open() {
  if (port_.isOpen()) return true;
  openFailure_.reset();
  // A missing device is the common case while an adapter is unplugged; a cheap
  // look first keeps the retry at every frame nearly free.
  if (!QFileInfo::exists(device_)) {
    tell(QCoreApplication::translate("varnak::QtSerialPort", "%1: No such file or directory").arg(label_));
    return false;
  }
  if (const auto failure = lock_.open(port_, device_)) {
    openFailure_ = failure;
    tell(failure->sentence(label_));
    return false;
  }
  port_.clear(QSerialPort::Input);
  port_.setDataTerminalReady(dtr_);
  return true;
}

bool LocalPort::write(const Bytes& frame) {
  if (!port_.isOpen()) return false;
  const auto size = static_cast<qint64>(frame.size());
  if (port_.write(reinterpret_cast<const char*>(frame.data()), size) != size) {
    tell(QCoreApplication::translate("varnak::QtSerialPort", "%1: cannot write: %2")
             .arg(label_, port_.errorString()));
    close();
    return false;
  }
  port_.flush();  // start sending now rather than at the next turn of the event loop
  // A failed flush has already closed the port and said why (onError): that is
  // a failure, and its message must stay.
  if (!port_.isOpen()) return false;
  tell(QString());
  return true;
}

void LocalPort::onReadyRead() {
  const QByteArray got = port_.readAll();
  if (got.isEmpty()) return;
  peakChunk_ = std::max(peakChunk_, static_cast<int>(got.size()));
  if (listener_) listener_->onChunk(Bytes(got.begin(), got.end()), clock_());
}

void LocalPort::onError(QSerialPort::SerialPortError error) {
  switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
      // The device went away (adapter pulled, the other side of a pty closed).
      // Closing stops the endless stream of errors; the next frame reopens.
      if (!port_.isOpen()) return;
      close();
      port_.clearError();
      tell(QCoreApplication::translate("varnak::QtSerialPort", "%1: device lost (unplugged or hung up)")
               .arg(label_));
      return;
    default:
      return;  // open and write failures are told where they happen; DTR refusals are expected
  }
}

void LocalPort::tell(const QString& problem) {
  if (problem == problem_) return;
  problem_ = problem;
  if (listener_) listener_->onProblem(problem.toStdString(), clock_());
}

}  // namespace varnak
