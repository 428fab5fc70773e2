// The port that a number names, on whichever backend its address needs: the
// link control's SerialPort in the window and in any program that runs the
// link control without one.
//
// Port number N is the address bound to N (--port N=ADDRESS: a device path,
// tcp://, socket:// or rfc2217://; see net/address.h) or else the N-th serial
// port that the system reports (port_list.h). The number is resolved when it is
// set, a local port kept by its stable name, and the backend made for it by
// MakeTransport (line_factory.h); a number that names no port is looked up again
// while frames are sent, at most once a second and only after /dev has changed
// (asking the system for its ports costs some 25 ms), so an adapter plugged in
// later is found. Settings made while closed take effect at the next open.
//
// Everything the backend receives and every problem it tells goes straight to
// the listener (the link control); problem() keeps the last one for whoever
// asks. Failures never throw and never loop: the next open tries again.
#pragma once

#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QMap>
#include <QObject>
#include <QString>
#include <memory>

#include "line/serial_port.h"
#include "serial/local_port.h"
#include "serial/system_ports.h"

namespace varnak {

class NumberedPort : public QObject, public SerialPort, private TransportListener {
  Q_OBJECT

 public:
  explicit NumberedPort(QMap<int, QString> addresses = {}, PortLister lister = SystemPorts,
                        QObject* parent = nullptr);
  ~NumberedPort() override;

  // The folder whose changes send the port list to be looked at again
  // (/dev unless a test says otherwise).
  void watchDevices(const QString& folder);
  // The clock that stamps what the port tells (the steady one unless a test says).
  void setClock(MsClock clock) { clock_ = std::move(clock); }
  // What the current number names (a device path, or an address as given),
  // empty if none.
  QString devicePath() const { return device_; }
  // Whether the current number names a line on the network.
  bool networkLine() const override { return network_; }
  std::string label() const override { return portLabel().toStdString(); }
  // The problem the operator should see now, or empty while all is well.
  QString problem() const { return problem_; }
  // The most bytes handed over in one chunk since the port was made.
  int peakChunk() const { return peakChunk_; }

  void setPortNumber(std::optional<int> number) override;
  bool isOpen() const override { return line_ && line_->isOpen(); }
  bool ready() const override { return line_ && line_->ready(); }
  bool open() override;
  void close() override;
  bool write(const Bytes& frame) override;
  void apply(PortSetting setting) override;

 private:
  void onChunk(const Bytes& chunk, std::int64_t now) override;
  void onProblem(const std::string& problem, std::int64_t now) override;
  void onNote(const std::string& note, std::int64_t now) override;
  void tell(const QString& problem);
  QString portLabel() const;
  // Looks the current number up among the bindings and the system's ports, and
  // makes its backend.
  void resolve();

  QMap<int, QString> addresses_;
  PortLister lister_;
  MsClock clock_ = SteadyMs;
  std::optional<int> number_;
  QString device_;      // what the number names, empty when no port has it
  QString noSuchPort_;  // why not: the ports there are
  bool network_ = false;
  std::unique_ptr<Transport> line_;  // the backend for device_
  QElapsedTimer lookedUp_;           // since the last look at the system's ports
  QFileSystemWatcher devicesWatch_;
  bool devicesChanged_ = true;  // /dev changed since the last look (or cannot be watched)
  int peakChunk_ = 0;
  QString problem_;
};

}  // namespace varnak
