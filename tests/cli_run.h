// A program run to its end as a user runs it (the client, mbpoll, a script):
// its exit status and what it printed.
#pragma once

#include <QProcess>
#include <QStringList>

namespace varnak::testing {

struct CliRun {
  int exit = -1;  // -1: it crashed or did not end within 30 s
  QString out, err;
};

inline CliRun RunProgram(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  p.waitForFinished(30000);
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
          QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

inline CliRun RunCli(const QStringList& args) { return RunProgram(QStringLiteral(VARNAK_CLI_PATH), args); }

}  // namespace varnak::testing
