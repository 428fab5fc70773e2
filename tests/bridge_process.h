// `varnak bridge` as a child process of a test, ended with the test. What it
// says on stderr is kept (and echoed, for the test's own log).
#pragma once

#include <signal.h>

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>
#include <cstdio>
#include <memory>

#include "free_port.h"
#include "qt_helpers.h"
#include "sim_process.h"

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

// The bridge owning the paced simulator's pty, serving one network face
// ("--share" or "--modbus") on a free local port, with --trace.
class BridgeOnSim : public ::testing::Test {
 protected:
  explicit BridgeOnSim(const char* face) : face_(QString::fromLatin1(face)) {}
  void SetUp() override {
    ASSERT_TRUE(sim_.device().startsWith(QLatin1String("/dev/")));
    start({});
  }
  // The bridge (again), with more options.
  void start(const QStringList& more) {
    bridge_.reset();
    port_ = FreeLocalPort();
    bridge_ = std::make_unique<BridgeProcess>(
        QStringList{"--port", sim_.device(), face_, address(), "--trace"} + more);
    ASSERT_TRUE(bridge_->said(QStringLiteral("controller: online")));
  }
  QString address() const { return QStringLiteral("tcp://127.0.0.1:%1").arg(port_); }

  SimProcess sim_{{}};
  int port_ = 0;
  std::unique_ptr<BridgeProcess> bridge_;

 private:
  QString face_;
};

}  // namespace varnak::testing
