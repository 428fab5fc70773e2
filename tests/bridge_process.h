// `varnak bridge` as a child process of a test, ended with the test. What it
// says on stderr is kept (and echoed, for the test's own log).
#pragma once

#include <signal.h>

#include <QProcess>
#include <QStringList>
#include <cstdio>

#include "qt_helpers.h"

namespace varnak::testing {

class BridgeProcess {
 public:
  explicit BridgeProcess(const QStringList& args) {
    QObject::connect(&process_, &QProcess::readyReadStandardError, [this] {
      const QByteArray bytes = process_.readAllStandardError();
      std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
      err_ += QString::fromUtf8(bytes);
    });
    EndsWithTheTest(process_);
    process_.start(QStringLiteral(VARNAK_CLI_PATH), QStringList{"bridge"} + args);
    process_.waitForStarted(3000);
  }
  ~BridgeProcess() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.kill();
    process_.waitForFinished(3000);
  }
  void signal(int s) { ::kill(static_cast<pid_t>(process_.processId()), s); }
  // The exit status once it ended within `ms`, or -1.
  int waitForExit(int ms) {
    if (!WaitFor([this] { return process_.state() == QProcess::NotRunning; }, ms)) return -1;
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : 128 + SIGKILL;
  }
  // Whether it said `text` on stderr within `ms`.
  bool said(const QString& text, int ms = 5000) {
    return WaitFor([&] { return err_.contains(text); }, ms);
  }
  const QString& err() const { return err_; }

 private:
  QProcess process_;
  QString err_;
};

}  // namespace varnak::testing
