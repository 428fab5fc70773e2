#include "numbered_port.h"

#include "line/port_number.h"

#include <QCoreApplication>

#include "net/address.h"
#include "serial/line_factory.h"
#include "translations/translate.h"

namespace varnak {

NumberedPort::NumberedPort(QMap<int, QString> addresses, PortLister lister, QObject* parent)
    : QObject(parent), addresses_(std::move(addresses)), lister_(std::move(lister)) {
  connect(&devicesWatch_, &QFileSystemWatcher::directoryChanged, this, [this] { devicesChanged_ = true; });
  watchDevices(QStringLiteral("/dev"));
}

NumberedPort::~NumberedPort() {
  if (line_) line_->setListener(nullptr);
}

void NumberedPort::watchDevices(const QString& folder) {
  // A new adapter adds a node to /dev; without a watch, look every second.
  if (!devicesWatch_.directories().isEmpty()) devicesWatch_.removePaths(devicesWatch_.directories());
  devicesWatch_.addPath(folder);
  devicesChanged_ = true;
}

void NumberedPort::resolve() {
  if (line_) {
    line_->setListener(nullptr);
    line_->close();
    line_.reset();
  }
  device_.clear();
  noSuchPort_.clear();
  network_ = false;
  if (!number_) return;
  if (addresses_.contains(*number_)) {
    device_ = addresses_.value(*number_);
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
  if (device_.isEmpty()) return;
  const auto address = ParseLineAddress(device_.toStdString());
  if (!address) return;  // bindings are checked where they are given
  network_ = address->network();
  line_ = MakeTransport(*address, portLabel(), [this] { return clock_(); });
  line_->setListener(this);
}

QString NumberedPort::portLabel() const {
  const QString name = QString::fromStdString(PortName(number_));
  return !number_ || device_.isEmpty() ? name : QStringLiteral("%1: %2").arg(name, device_);
}

void NumberedPort::setPortNumber(std::optional<int> number) {
  number_ = number;
  resolve();
}

bool NumberedPort::open() {
  if (isOpen()) return true;
  if (!number_) {
    tell(QCoreApplication::translate("varnak::QtSerialPort",
                                     "no valid port number (type a whole number from 1 to 32767)"));
    return false;
  }
  // A number that named no port is looked up again once /dev has changed, at
  // most once a second.
  if (device_.isEmpty() && devicesChanged_ && lookedUp_.isValid() && lookedUp_.elapsed() >= 1000) resolve();
  if (!line_) {
    tell(QCoreApplication::translate("varnak::QtSerialPort", "%1: no such port (%2)")
             .arg(portLabel(), noSuchPort_));
    return false;
  }
  return line_->open();
}

void NumberedPort::close() {
  if (line_) line_->close();
}

bool NumberedPort::write(const Bytes& frame) {
  if (!line_ || !line_->write(frame)) return false;
  // Gone out: whatever was wrong before (another number, say) is over. A
  // network line still connecting has only queued it.
  if (line_->ready()) tell(QString());
  return true;
}

void NumberedPort::apply(PortSetting setting) {
  if (line_) line_->apply(setting);
}

void NumberedPort::onChunk(const Bytes& chunk, std::int64_t now) {
  peakChunk_ = std::max(peakChunk_, static_cast<int>(chunk.size()));
  if (listener_) listener_->onChunk(chunk, now);
}

void NumberedPort::onProblem(const std::string& problem, std::int64_t) {
  tell(QString::fromStdString(problem));
}

void NumberedPort::onNote(const std::string& note, std::int64_t now) {
  if (listener_) listener_->onNote(note, now);
}

void NumberedPort::tell(const QString& problem) {
  if (problem == problem_) return;
  problem_ = problem;
  if (listener_) listener_->onProblem(problem.toStdString(), clock_());
}

}  // namespace varnak
