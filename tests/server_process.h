// A server program a test starts on a free local port (a serial device server,
// a broker) and waits for until it listens, ended with the test whatever the
// test did.
//
// Whether it listens is read from the kernel's socket table, never by binding
// or connecting to the port: a probe that binds the port can take it from the
// server in the moment between the server's bind and listen (the server then
// gives up on it or retries seconds later), and a probe that connects is a
// client the server then serves. A port chosen free may still be taken before
// the server binds it, and a server may come up slowly on a loaded machine:
// a try that does not listen in time is killed and made once more, on a fresh
// port unless the port is fixed, and a failure tells what the program said.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QStringList>
#include <functional>
#include <string>

#include "free_port.h"
#include "qt_helpers.h"

namespace varnak::testing {

// Whether process `pid` has a socket listening on TCP `port` (any address).
inline bool ProcessListensOn(qint64 pid, int port) {
  QSet<QByteArray> sockets;  // its sockets' inode numbers
  const QByteArray fds = "/proc/" + QByteArray::number(pid) + "/fd";
  if (DIR* d = ::opendir(fds.constData())) {
    while (const dirent* e = ::readdir(d)) {
      char target[64];
      const ssize_t n = ::readlink((fds + '/' + e->d_name).constData(), target, sizeof target);
      const QByteArray t(target, n > 0 ? static_cast<int>(n) : 0);
      if (t.startsWith("socket:[")) sockets.insert(t.mid(8).chopped(1));
    }
    ::closedir(d);
  }
  if (sockets.isEmpty()) return false;
  const QByteArray hexPort = QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
  for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
    QFile f(QString::fromLatin1(table));
    if (!f.open(QIODevice::ReadOnly)) continue;
    f.readLine();  // the heading
    // sl local_address rem_address st tx:rx tr:when retrnsmt uid timeout inode
    for (QByteArray line = f.readLine(); !line.isEmpty(); line = f.readLine()) {
      const QList<QByteArray> c = line.simplified().split(' ');
      if (c.size() > 9 && c[3] == "0A" && c[1].endsWith(':' + hexPort) && sockets.contains(c[9])) return true;
    }
  }
  return false;
}

class ServerProcess {
 public:
  // `port` 0: a free one is chosen at start(), and kept once the server has
  // listened on it (a restarted server is where its clients expect it).
  explicit ServerProcess(int port = 0) : port_(port), fixed_(port != 0) {}
  ~ServerProcess() { stop(); }
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  int port() const { return port_; }

  // Starts `program` with the arguments `prepare(port)` gives (it writes the
  // port into the server's config), until it listens: true once it does.
  bool start(const QString& program, const std::function<QStringList(int)>& prepare) {
    stop();
    why_.clear();
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
      if (!fixed_) port_ = FreeLocalPort();
      process_.setProcessChannelMode(QProcess::MergedChannels);
      EndsWithTheTest(process_);
      process_.start(program, prepare(port_));
      const bool listens = process_.waitForStarted(kListenMs) && waitUntilListening();
      if (listens) {
        fixed_ = true;
        return true;
      }
      const bool ended = process_.state() == QProcess::NotRunning;
      stop();
      why_ += QStringLiteral("try %1: %2 %3 on 127.0.0.1:%4; it said: %5\n")
                  .arg(attempt)
                  .arg(program)
                  .arg(ended ? QStringLiteral("ended without listening")
                             : QStringLiteral("did not listen within %1 ms").arg(kListenMs))
                  .arg(port_)
                  .arg(QString::fromLocal8Bit(process_.readAll()).trimmed());
    }
    return false;
  }
  // Killed outright, as a server that crashes or loses power.
  void stop() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.kill();
    process_.waitForFinished(3000);
  }
  // Why the last start() failed: each try's port and the program's own words.
  std::string why() const { return why_.toStdString(); }

 private:
  static constexpr int kAttempts = 2;
  // A server listens within milliseconds; seconds only on a machine busy with other tests.
  static constexpr int kListenMs = 10000;

  bool waitUntilListening() {
    QElapsedTimer t;
    t.start();
    while (!ProcessListensOn(process_.processId(), port_)) {
      if (process_.state() == QProcess::NotRunning || t.hasExpired(kListenMs)) return false;
      process_.waitForFinished(5);
    }
    return true;
  }

  int port_;
  bool fixed_;
  QProcess process_;
  QString why_;
};

}  // namespace varnak::testing
