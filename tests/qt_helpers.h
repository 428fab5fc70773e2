#pragma once

#include <signal.h>
#include <sys/prctl.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <functional>

namespace varnak::testing {

// Runs the event loop until `done` holds or `ms` have passed; returns `done()`.
inline bool WaitFor(const std::function<bool()>& done, int ms = 2000) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::usleep(500);
  }
  return done();
}

// A program a test starts (a simulator, a server, a broker) is killed with the
// test even when the test's process dies without running its destructors
// (an abort, a sanitizer's report).
inline void EndsWithTheTest(QProcess& process) {
  process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

inline void Pump(int ms) {
  WaitFor([] { return false; }, ms);
}

}  // namespace varnak::testing
