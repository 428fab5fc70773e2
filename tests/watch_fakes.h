// A controller in memory that serves the register list's jobs as the link
// control would hand them to the line, for driving a WatchList job by job.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "control/list_source.h"
#include "link/register_number.h"
#include "link/text.h"

namespace varnak::testing {

class ListController {
 public:
  std::map<unsigned, std::uint16_t> regs;  // registers not named read as 0
  bool ignoreWrites = false;               // acknowledges writes but keeps its values (read-only registers)
  // Failures for the jobs numbered here (from 0, counted over the whole run).
  std::map<int, Failure> failAt;
  // Values the controller's own program stores just before job N is served.
  std::multimap<int, std::pair<unsigned, std::uint16_t>> setAt;
  // Every job served: "R1000" for a read, "W1000=00A5" for a write.
  std::vector<std::string> trace;

  ListResult serve(const ListJob& job) {
    const int n = static_cast<int>(trace.size());
    for (auto [i, end] = setAt.equal_range(n); i != end; ++i) regs[i->second.first] = i->second.second;
    trace.push_back(job.kind == ListJob::Kind::Read
                        ? RegisterName(job.reg)
                        : "W" + RegisterName(job.reg).substr(1) + "=" + ValueHex(job.value));
    if (const auto f = failAt.find(n); f != failAt.end()) return ListResult{false, f->second, 0};
    if (job.kind == ListJob::Kind::Write) {
      if (!ignoreWrites) regs[job.reg] = job.value;
      return ListResult{true, Failure::NoReply, 0};
    }
    const auto r = regs.find(job.reg);
    return ListResult{true, Failure::NoReply, r == regs.end() ? std::uint16_t{0} : r->second};
  }
};

// Hands out and serves up to `jobs` jobs, `stepMs` apart (an exchange takes some
// 70 ms); stops early when the list has none. Returns how many ran.
template <typename List>
int RunJobs(List& list, ListController& controller, int jobs, std::int64_t& now, std::int64_t stepMs = 70) {
  int ran = 0;
  for (; ran < jobs; ++ran) {
    const auto job = list.nextJob(now);
    if (!job) break;
    now += stepMs;
    list.jobEnded(*job, controller.serve(*job), now);
  }
  return ran;
}

}  // namespace varnak::testing
