// The tests' own waiting helper: a condition met once during the wait is a success.
#include <gtest/gtest.h>

#include <vector>

#include "qt_helpers.h"

namespace varnak::testing {
namespace {

struct WaitCase {
  const char* name;
  std::vector<bool> looks;  // what `done` says look by look; false after these
  bool met;
  int looksTaken;  // -1: as many as the time allows
};

TEST(WaitFor, TrueAtTheFirstLookThatHoldsAndNotLookedAtAgain) {
  const WaitCase cases[] = {
      {"met at once", {true}, true, 1},
      {"met once, not at the next look", {false, false, true, false}, true, 3},
      {"never met", {}, false, -1},
  };
  for (const WaitCase& c : cases) {
    SCOPED_TRACE(c.name);
    int n = 0;
    QElapsedTimer t;
    t.start();
    const bool met = WaitFor(
        [&] {
          const bool holds = n < static_cast<int>(c.looks.size()) && c.looks[static_cast<std::size_t>(n)];
          ++n;
          return holds;
        },
        200);
    EXPECT_EQ(met, c.met);
    if (c.looksTaken >= 0) {
      EXPECT_EQ(n, c.looksTaken);
    }
    if (!c.met) {
      EXPECT_GE(t.elapsed(), 200);
    }
  }
}

}  // namespace
}  // namespace varnak::testing
