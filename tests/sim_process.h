// varnak-sim as a child process: its device, its log, and its control commands.
#pragma once

#include <QProcess>
#include <QStringList>

#include "qt_helpers.h"

namespace varnak::testing {

class SimProcess {
 public:
  explicit SimProcess(const QStringList& args) {
    QObject::connect(&process_, &QProcess::readyReadStandardOutput, [this] {
      while (process_.canReadLine()) lines_ << QString::fromUtf8(process_.readLine()).trimmed();
    });
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral(VARNAK_SIM_PATH), QStringList{"--control", "--log"} + args);
    WaitFor([this] { return !lines_.isEmpty(); }, 5000);
    if (!lines_.isEmpty()) device_ = lines_.front();
  }
  ~SimProcess() { stop(); }

  const QString& device() const { return device_; }
  // Every line printed so far (the device, log lines, command answers, stats).
  const QStringList& lines() const { return lines_; }

  // Sends a control command and returns its answer (without the "= ").
  QString command(const QString& c) {
    const int before = answers();
    process_.write((c + QLatin1Char('\n')).toUtf8());
    WaitFor([&] { return answers() > before; }, 3000);
    for (int i = lines_.size() - 1; i >= 0; --i)
      if (lines_[i].startsWith(QLatin1String("= "))) return lines_[i].mid(2);
    return {};
  }

  // Stops it as an operator would (SIGTERM) so that it prints its figures.
  void stop() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    WaitFor([this] { return process_.state() == QProcess::NotRunning; }, 5000);
    if (process_.state() != QProcess::NotRunning) process_.kill();
    process_.waitForFinished(1000);
  }

 private:
  int answers() const {
    int n = 0;
    for (const QString& l : lines_) n += l.startsWith(QLatin1String("= "));
    return n;
  }
  QProcess process_;
  QStringList lines_;
  QString device_;
};

}  // namespace varnak::testing
