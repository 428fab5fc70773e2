// The whole of varnak-panel's run, from the command line to the end of the
// event loop, with the port number prompt passed in so that a test can start
// the real program without a hand at the keyboard.
#pragma once

#include <QString>
#include <functional>

namespace varnak {

// Returns the exit status: 0 when the window was closed, 2 on a usage error,
// 128 + N when signal N (SIGTERM, SIGINT, SIGHUP) ended it after closing the port.
int RunPanel(int argc, char** argv, const std::function<QString()>& askPortNumber);

}  // namespace varnak
