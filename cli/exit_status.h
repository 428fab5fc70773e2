// How the client ends: the exit codes, the stop signals it catches, results
// flushed or a line on stderr, and a failed exchange said as one sentence.
#pragma once

#include <string>

#include "cli/client.h"
#include "cli/options.h"

namespace varnak::cli {

enum Exit { kDone = 0, kUsageError = 2, kNoPort = 3, kNoReply = 4, kBadReply = 5, kOutputFailed = 6 };

// SIGINT and SIGTERM are noted, not acted on at once: every wait is cut into
// slices short enough to see them, and the port is then closed and unlocked on
// the way out. SIGPIPE is ignored, since dying by it would leave the lock behind.
void CatchStopSignals();
bool StopRequested();
// The conventional status of a program ended by a signal (130, 143).
int StoppedStatus();

// Standard output cannot take the result: its reader went away or a write failed.
bool OutputBroken();
// Every result written, or one line on stderr and a non-zero status.
int Finish(int status);
// Says a failed exchange on stderr and returns its exit code; `where` names
// the device, and the register when several are read.
int Fail(const Outcome& o, const Options& opt, const std::string& where);

}  // namespace varnak::cli
