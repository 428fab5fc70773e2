// varnak-sim as a child process: its device, its log, and its control commands.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <QProcess>
#include <QStringList>

#include "qt_helpers.h"

namespace varnak::testing {

class SimProcess {
 public:
  // With keepLog false the log lines are read and dropped, so that a run of
  // hours does not grow this process (the soak measures its memory).
  explicit SimProcess(const QStringList& args, bool keepLog = true) {
    QObject::connect(&process_, &QProcess::readyReadStandardOutput, [this, keepLog] {
      while (process_.canReadLine()) {
        const QString line = QString::fromUtf8(process_.readLine()).trimmed();
        if (device_.isEmpty()) device_ = line;
        if (line.startsWith(QLatin1String("= "))) {
          ++answers_;
          lastAnswer_ = line.mid(2);
        }
        if (keepLog) lines_ << line;
      }
    });
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    EndsWithTheTest(process_);
    process_.start(QStringLiteral(VARNAK_SIM_PATH), QStringList{"--control", "--log"} + args);
    WaitFor([this] { return !device_.isEmpty(); }, 5000);
  }
  ~SimProcess() {
    stop();
    if (held_ >= 0) ::close(held_);
  }

  const QString& device() const { return device_; }
  // Every line printed so far (the device, log lines, command answers, stats);
  // empty when the log is not kept.
  const QStringList& lines() const { return lines_; }

  // Sends a control command and returns its answer (without the "= "), or an
  // empty text if none came within three seconds.
  QString command(const QString& c) {
    const int before = answers_;
    process_.write((c + QLatin1Char('\n')).toUtf8());
    if (!WaitFor([&] { return answers_ > before; }, 3000)) return {};
    return lastAnswer_;
  }

  // Stops it as an operator would (SIGTERM) so that it prints its figures.
  void stop() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    WaitFor([this] { return process_.state() == QProcess::NotRunning; }, 5000);
    if (process_.state() != QProcess::NotRunning) process_.kill();
    process_.waitForFinished(1000);
  }

  // Stops it as an adapter pulled out, but keeps the pseudo-terminal's number
  // taken until this object ends: a program still retrying the path must find
  // it gone, not another test's simulator that was given the same number.
  void unplug() {
    if (held_ < 0) held_ = ::open(device_.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    stop();
  }

 private:
  QProcess process_;
  int held_ = -1;
  QStringList lines_;
  QString device_;
  int answers_ = 0;
  QString lastAnswer_;
};

}  // namespace varnak::testing
