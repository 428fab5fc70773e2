#include "qt_serial_port.h"

#include <QFileInfo>
#include <QStringList>

#include <algorithm>

#include "translations/translate.h"

namespace varnak {

namespace {

// Bits on the line per character: start, data, parity, stop.
int BitsPerCharacter(const QSerialPort& p) {
  return 1 + static_cast<int>(p.dataBits()) + (p.parity() == QSerialPort::NoParity ? 0 : 1) +
         (p.stopBits() == QSerialPort::OneStop ? 1 : 2);
}

}  // namespace

QtSerialPort::QtSerialPort(QMap<int, QString> devices, PortLister lister, QObject* parent)
    : QObject(parent), devices_(std::move(devices)), lister_(std::move(lister)) {
  quiet_.setSingleShot(true);
  quiet_.setTimerType(Qt::PreciseTimer);
  connect(&quiet_, &QTimer::timeout, this, &QtSerialPort::onQuiet);
  connect(&port_, &QSerialPort::readyRead, this, &QtSerialPort::onReadyRead);
  connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialPort::onError);
  setLineSettings("9600,o,8,1");
  connect(&devicesWatch_, &QFileSystemWatcher::directoryChanged, this, [this] { devicesChanged_ = true; });
  watchDevices(QStringLiteral("/dev"));
}

void QtSerialPort::watchDevices(const QString& folder) {
  // A new adapter adds a node to /dev; without a watch, look every second.
  if (!devicesWatch_.directories().isEmpty()) devicesWatch_.removePaths(devicesWatch_.directories());
  devicesWatch_.addPath(folder);
  devicesChanged_ = true;
}

void QtSerialPort::resolve() {
  device_.clear();
  noSuchPort_.clear();
  if (!number_) return;
  if (devices_.contains(*number_)) {
    device_ = devices_.value(*number_);
  } else {
    const std::vector<PortInfo> ports = lister_();
    lookedUp_.start();
    devicesChanged_ = devicesWatch_.directories().isEmpty();
    if (const auto d = DeviceForNumber(ports, *number_)) {
      device_ = QString::fromStdString(*d);
    } else {
      noSuchPort_ = QString::fromStdString(PortSummary(ports, Translated));
    }
  }
}

QString QtSerialPort::portLabel() const {
  if (!number_) return QStringLiteral("COM");
  return device_.isEmpty() ? QStringLiteral("COM%1").arg(*number_)
                           : QStringLiteral("COM%1: %2").arg(*number_).arg(device_);
}

void QtSerialPort::close() {
  quiet_.stop();
  pending_.clear();
  lock_.close(port_);
}

void QtSerialPort::setPortNumber(std::optional<int> number) {
  number_ = number;
  resolve();
}

bool QtSerialPort::setLineSettings(const std::string& settings) {
  const QStringList f = QString::fromStdString(settings).split(QLatin1Char(','));
  if (f.size() != 4) return false;
  bool ok1 = false, ok2 = false;
  const int baud = f[0].trimmed().toInt(&ok1);
  const int data = f[2].trimmed().toInt(&ok2);
  const QString parity = f[1].trimmed().toLower();
  const QString stop = f[3].trimmed();
  static const QMap<QString, QSerialPort::Parity> parities{{"n", QSerialPort::NoParity},
                                                           {"o", QSerialPort::OddParity},
                                                           {"e", QSerialPort::EvenParity},
                                                           {"m", QSerialPort::MarkParity},
                                                           {"s", QSerialPort::SpaceParity}};
  if (!ok1 || baud <= 0 || !ok2 || data < 5 || data > 8 || !parities.contains(parity) ||
      (stop != "1" && stop != "2" && stop != "1.5"))
    return false;
  port_.setBaudRate(baud);
  port_.setParity(parities.value(parity));
  port_.setDataBits(static_cast<QSerialPort::DataBits>(data));
  port_.setStopBits(stop == "1"   ? QSerialPort::OneStop
                    : stop == "2" ? QSerialPort::TwoStop
                                  : QSerialPort::OneAndHalfStop);
  port_.setFlowControl(QSerialPort::NoFlowControl);
  // 3.5 character times of silence end a chunk.
  quietUs_ = static_cast<int>(3.5 * BitsPerCharacter(port_) * 1e6 / baud);
  quiet_.setInterval(std::max(1, (quietUs_ + 500) / 1000));
  return true;
}

void QtSerialPort::clearInput() {
  quiet_.stop();
  pending_.clear();
  if (port_.isOpen()) port_.clear(QSerialPort::Input);
}

void QtSerialPort::setDtr(bool on) {
  dtr_ = on;
  // A pseudo-terminal refuses; that is not a failure of the port.
  if (port_.isOpen()) port_.setDataTerminalReady(on);
}

bool QtSerialPort::open() {
  if (port_.isOpen()) return true;
  if (!number_) {
    setProblem(tr("no valid port number (type a whole number from 1 to 32767)"));
    return false;
  }
  // A number that named no port is looked up again once /dev has changed, at
  // most once a second.
  if (device_.isEmpty() && devicesChanged_ && lookedUp_.isValid() && lookedUp_.elapsed() >= 1000) resolve();
  if (device_.isEmpty()) {
    setProblem(tr("%1: no such port (%2)").arg(portLabel(), noSuchPort_));
    return false;
  }
  // A missing device is the common case while an adapter is unplugged; a cheap
  // look first keeps the retry at every frame nearly free.
  if (!QFileInfo::exists(device_)) {
    setProblem(tr("%1: No such file or directory").arg(portLabel()));
    return false;
  }
  if (const auto failure = lock_.open(port_, device_)) {
    setProblem(failure->sentence(portLabel()));
    return false;
  }
  pending_.clear();
  port_.clear(QSerialPort::Input);
  port_.setDataTerminalReady(dtr_);
  return true;
}

bool QtSerialPort::write(const Bytes& bytes) {
  if (!port_.isOpen()) return false;
  const auto size = static_cast<qint64>(bytes.size());
  if (port_.write(reinterpret_cast<const char*>(bytes.data()), size) != size) {
    setProblem(tr("%1: cannot write: %2").arg(portLabel(), port_.errorString()));
    close();
    return false;
  }
  port_.flush();  // start sending now rather than at the next turn of the event loop
  // A failed flush has already closed the port and said why (onError): that is
  // a failure, and its message must stay.
  if (!port_.isOpen()) return false;
  setProblem(QString());
  return true;
}

Bytes QtSerialPort::read() {
  Bytes out(pending_.begin(), pending_.end());
  pending_.clear();
  return out;
}

void QtSerialPort::onReadyRead() {
  pending_.append(port_.readAll());
  peakWaiting_ = std::max(peakWaiting_, static_cast<int>(pending_.size()));
  if (pending_.size() > kMaxWaiting) {
    quiet_.stop();
    deliver();
    // Nobody read them (no dispatcher connected): they must not pile up either.
    pending_.clear();
    return;
  }
  quiet_.start();
}

void QtSerialPort::onQuiet() { deliver(); }

void QtSerialPort::deliver() {
  if (pending_.isEmpty()) return;
  lastEvent_ = CommEvent::Receive;
  emit commEvent();
}

void QtSerialPort::onError(QSerialPort::SerialPortError error) {
  switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
      // The device went away (adapter pulled, the other side of a pty closed).
      // Closing stops the endless stream of errors; the next frame reopens.
      if (!port_.isOpen()) return;
      setProblem(tr("%1: device lost (unplugged or hung up)").arg(portLabel()));
      close();
      port_.clearError();
      return;
    default:
      return;  // open and write failures are reported where they happen; DTR refusals are expected
  }
}

void QtSerialPort::setProblem(const QString& problem) {
  if (problem == problem_) return;
  problem_ = problem;
  emit problemChanged(problem_);
}

}  // namespace varnak
