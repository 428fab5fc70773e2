// A Mosquitto broker for a test: on a free local port, with a config file of
// its own in a temporary folder, ended by the destructor whatever the test did.
// And the broker's own clients, mosquitto_sub and mosquitto_pub, as a test uses them.
#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include "qt_helpers.h"
#include "server_process.h"

namespace varnak::testing {

class BrokerProcess {
 public:
  // `extra`: more lines of the broker's config (a TLS listener's files).
  explicit BrokerProcess(const QString& extra = {}) : extra_(extra) {}

  // 0 until it has started.
  int port() const { return server_.port(); }
  QString url() const { return QStringLiteral("mqtt://127.0.0.1:%1").arg(port()); }

  // Starts it and waits until it takes connections; else why() tells what it said.
  bool start() {
    return server_.start(QStringLiteral("mosquitto"), [this](int port) {
      const QString path = dir_.filePath(QStringLiteral("mosquitto.conf"));
      QFile conf(path);
      conf.open(QIODevice::WriteOnly);
      conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\n%2")
                     .arg(port)
                     .arg(extra_)
                     .toUtf8());
      return QStringList{"-c", path};
    });
  }
  void stop() { server_.stop(); }
  std::string why() const { return server_.why(); }

 private:
  QTemporaryDir dir_;
  QString extra_;
  ServerProcess server_;
};

// mosquitto_sub printing "RETAIN TOPIC PAYLOAD" a line; lines kept as they come.
class Subscriber {
 public:
  Subscriber(int port, const QStringList& topics, const QStringList& more = {}) {
    QStringList args{"-h", "127.0.0.1", "-p", QString::number(port), "-F", "%r %t %p"};
    for (const QString& t : topics) args << "-t" << t;
    QObject::connect(&process_, &QProcess::readyReadStandardOutput, [this] {
      while (process_.canReadLine()) lines_ << QString::fromUtf8(process_.readLine()).chopped(1);
    });
    EndsWithTheTest(process_);
    process_.start(QStringLiteral("mosquitto_sub"), args + more);
    process_.waitForStarted(3000);
    Pump(300);  // subscribed
  }
  ~Subscriber() {
    process_.kill();
    process_.waitForFinished(2000);
  }
  const QStringList& lines() const { return lines_; }
  // Waits for a line that starts with `head` and returns it (empty if none within `ms`).
  QString waitFor(const QString& head, int ms = 5000) {
    QString found;
    WaitFor(
        [&] {
          for (const QString& l : lines_)
            if (l.startsWith(head)) return !(found = l).isEmpty();
          return false;
        },
        ms);
    return found;
  }

 private:
  QProcess process_;
  QStringList lines_;
};

// What the broker keeps under `filter` now: "TOPIC PAYLOAD" lines.
inline QStringList RetainedNow(int port, const QString& filter) {
  QProcess p;
  p.start(QStringLiteral("mosquitto_sub"),
          {"-h", "127.0.0.1", "-p", QString::number(port), "-t", filter, "--retained-only", "-W", "1", "-v"});
  p.waitForFinished(5000);
  return QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

inline bool Publish(int port, const QString& topic, const QString& payload, bool retain = false) {
  QStringList args{"-h", "127.0.0.1", "-p", QString::number(port), "-t", topic, "-m", payload};
  if (retain) args << "-r";
  return QProcess::execute(QStringLiteral("mosquitto_pub"), args) == 0;
}

}  // namespace varnak::testing
