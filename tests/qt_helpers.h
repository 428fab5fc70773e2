#pragma once

#include <signal.h>
#include <sys/prctl.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <functional>

namespace varnak::testing {

// Runs the event loop until `done` holds or `ms` have passed: true at the
// first look at `done` that holds, and `done` is not looked at again then. A
// condition can hold at one look and not at the next (a snapshot taken by a
// child process, such as what the broker keeps, read partly on a loaded
// machine): a look after the one that succeeded would turn a success into a
// failure. The last look is after the last events were processed.
inline bool WaitFor(const std::function<bool()>& done, int ms = 2000) {
  QElapsedTimer t;
  t.start();
  for (;;) {
    if (done()) return true;
    if (t.elapsed() >= ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::usleep(500);
  }
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
