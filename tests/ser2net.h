// A real serial device server for a test: ser2net on a free local port with a
// YAML file of its own, its serial side on the simulator's pseudo-terminal.
// Started and ended by the test (the destructor kills it, also when the test
// fails), never left running.
#pragma once

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include "server_process.h"

namespace varnak::testing {

inline QString Ser2netPath() {
  return QStandardPaths::findExecutable(QStringLiteral("ser2net"), {"/usr/sbin", "/usr/bin", "/sbin"});
}

class Ser2net {
 public:
  enum class Kind { Raw, Rfc2217 };
  // `defaults`: the serial side's settings until a client sets others ("9600o81").
  // `port` 0: a free one, chosen at start() (pass FreeLocalPort() to know it before).
  Ser2net(const QString& device, Kind kind, const QString& defaults, int port = 0)
      : device_(device), kind_(kind), defaults_(defaults), server_(port) {}

  int port() const { return server_.port(); }
  QString address() const {
    return QStringLiteral("%1://127.0.0.1:%2").arg(kind_ == Kind::Raw ? "tcp" : "rfc2217").arg(port());
  }

  // True once it listens; else why() tells what ser2net said.
  bool start() {
    return server_.start(Ser2netPath(), [this](int port) {
      const QString yaml = dir_.filePath(QStringLiteral("ser2net.yaml"));
      QFile f(yaml);
      // A port it could not take at once (someone else had it a moment) is
      // tried again a second later, not after ser2net's usual ten.
      if (f.open(QIODevice::WriteOnly))
        QTextStream(&f) << "%YAML 1.1\n---\nconnection: &line\n  accepter: "
                        << (kind_ == Kind::Raw ? "tcp" : "telnet(rfc2217),tcp") << ",127.0.0.1," << port
                        << "\n  connector: serialdev," << device_ << "," << defaults_ << ",local\n"
                        << "  options:\n    accepter-retry-time: 1\n";
      return QStringList{"-d", "-c", yaml, "-P", dir_.filePath(QStringLiteral("ser2net.pid"))};
    });
  }
  // Killed outright, as a server that crashes or loses power.
  void stop() { server_.stop(); }
  std::string why() const { return server_.why(); }

 private:
  QTemporaryDir dir_;
  QString device_;
  Kind kind_;
  QString defaults_;
  ServerProcess server_;
};

}  // namespace varnak::testing
