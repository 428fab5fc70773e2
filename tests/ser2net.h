// A real serial device server for a test: ser2net on a free local port with a
// YAML file of its own, its serial side on the simulator's pseudo-terminal.
// Started and ended by the test (the destructor kills it, also when the test
// fails), never left running.
#pragma once

#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTextStream>

#include "free_port.h"
#include "qt_helpers.h"

namespace varnak::testing {

// Whether something listens on 127.0.0.1:port (we cannot listen there ourselves).
inline bool Listening(int port) {
  QTcpServer probe;
  return !probe.listen(QHostAddress::LocalHost, static_cast<quint16>(port));
}

inline QString Ser2netPath() {
  return QStandardPaths::findExecutable(QStringLiteral("ser2net"), {"/usr/sbin", "/usr/bin", "/sbin"});
}

class Ser2net {
 public:
  enum class Kind { Raw, Rfc2217 };
  // `defaults`: the serial side's settings until a client sets others ("9600o81").
  Ser2net(const QString& device, Kind kind, const QString& defaults, int port = FreeLocalPort())
      : device_(device), kind_(kind), defaults_(defaults), port_(port) {}
  ~Ser2net() { stop(); }
  Ser2net(const Ser2net&) = delete;
  Ser2net& operator=(const Ser2net&) = delete;

  int port() const { return port_; }
  QString address() const {
    return QStringLiteral("%1://127.0.0.1:%2").arg(kind_ == Kind::Raw ? "tcp" : "rfc2217").arg(port_);
  }

  // True once it listens.
  bool start() {
    stop();
    const QString yaml = dir_.filePath(QStringLiteral("ser2net.yaml"));
    QFile f(yaml);
    if (!f.open(QIODevice::WriteOnly)) return false;
    QTextStream(&f) << "%YAML 1.1\n---\nconnection: &line\n  accepter: "
                    << (kind_ == Kind::Raw ? "tcp" : "telnet(rfc2217),tcp") << ",127.0.0.1," << port_
                    << "\n  connector: serialdev," << device_ << "," << defaults_ << ",local\n";
    f.close();
    process_.setProcessChannelMode(QProcess::MergedChannels);
    EndsWithTheTest(process_);
    process_.start(Ser2netPath(), {"-d", "-c", yaml, "-P", dir_.filePath(QStringLiteral("ser2net.pid"))});
    if (!process_.waitForStarted(3000)) return false;
    return WaitFor([this] { return Listening(port_); }, 5000);
  }
  // Killed outright, as a server that crashes or loses power.
  void stop() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.kill();
    process_.waitForFinished(3000);
  }

 private:
  QTemporaryDir dir_;
  QString device_;
  Kind kind_;
  QString defaults_;
  int port_;
  QProcess process_;
};

}  // namespace varnak::testing
