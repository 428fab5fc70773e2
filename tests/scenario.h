// Scenarios for the link control: events applied one by one to a Rig, and
// what must follow each.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "fakes.h"

namespace varnak::testing {

// One event and what must follow it. Events:
//   Command1 Command3 Command4 Text1 Text2 Text5 Text6 Tick  the handlers
//   rx 4E 21 06                     one receive event with these bytes
//   Text1=... / Combo1=...          the operator edits a box (Combo1 raises its change)
//   failOpen / failWrite / portOk   the device starts or stops failing
//   +150                            the clock moves on 150 ms (deadlines fire)
//   list=1000,1001                  the register list reads these, in turn
//   listWrite=1000:1234             a row of the list writes 1234 to R1000
//   job=write 2000:0001 / job=read 2000 / job=outputs   a master submits a job;
//     "... after" makes it go only if the job submitted before it succeeded;
//     it starts at the next deadline ("+0")
//   withdraw                        the master takes back the job it submitted last
// `sent`: the frames written by this event, in order. `flags`: PollMode,
// WriteMode, PollHold as T/F ("" = not checked). `report`: what the link
// control reported, in EventLog's words: the rule that acted on a chunk or why
// none did. `check`: "Text5=1205", "Text1=0005", "lamps=10000001" or "" for
// nothing more; "list=R1000=1234; R1001: no reply" for how the list's jobs ended,
// "jobs=R2000 written; R2000: no reply" for the masters' jobs.
// clang-format off
struct Step {
  std::string event;
  std::vector<std::string> sent;
  std::string flags;
  std::string report;
  std::string check = "";
};
// clang-format on

struct Scenario {
  const char* name;
  std::vector<Step> steps;
  Text startAnswer = U"1";
};

inline void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

inline void Apply(Rig& rig, const std::string& event) {
  LinkControl& c = rig.core;
  if (event == "Command1") return rig.panel.Command1_Click(rig.now);
  if (event == "Command3") return rig.panel.Command3_Click(rig.now);
  if (event == "Command4") return c.Command4_Click(rig.now);
  if (event == "Text1") return c.Text1_Click(rig.now);
  if (event == "Text2") return c.Text2_Click(rig.now);
  if (event == "Text5") return c.Text5_Click(rig.now);
  if (event == "Text6") return c.Text6_Click(rig.now);
  if (event == "Tick") return c.Timer1_Timer(rig.now);
  if (event == "failOpen") return void(rig.port.failOpen = true);
  if (event == "failWrite") return void(rig.port.failWrite = true);
  if (event == "portOk") return void(rig.port.failOpen = rig.port.failWrite = false);
  if (event[0] == '+') return rig.advance(std::stoll(event.substr(1)));
  if (event.rfind("rx", 0) == 0) return rig.receive(ParseHex(event.substr(2)));
  if (event.rfind("list=", 0) == 0) {
    // The list's registers, octal, comma-separated; registering it tells an idle line.
    rig.list.regs.clear();
    std::istringstream in(event.substr(5));
    for (std::string reg; std::getline(in, reg, ',');) rig.list.regs.push_back(std::stoul(reg, nullptr, 8));
    rig.core.setListSource(&rig.list);
    return rig.core.ListChanged(rig.now);
  }
  if (event.rfind("listWrite=", 0) == 0) {
    // "listWrite=1000:1234": a row's write of a hex value to an octal register.
    const auto colon = event.find(':');
    ListJob w;
    w.kind = ListJob::Kind::Write;
    w.reg = std::stoul(event.substr(10, colon - 10), nullptr, 8);
    w.value = static_cast<std::uint16_t>(std::stoul(event.substr(colon + 1), nullptr, 16));
    rig.list.write = w;
    rig.core.setListSource(&rig.list);
    return rig.core.ListChanged(rig.now);
  }
  if (event.rfind("job=", 0) == 0) {
    std::istringstream in(event.substr(4));
    std::string kind, reg, after;
    in >> kind >> reg >> after;
    Job job;
    job.kind = kind == "write" ? Job::Kind::Write : kind == "read" ? Job::Kind::Read : Job::Kind::Outputs;
    if (reg == "after") std::swap(reg, after);
    if (!reg.empty()) {
      job.reg = std::stoul(reg.substr(0, reg.find(':')), nullptr, 8);
      if (reg.find(':') != std::string::npos)
        job.value = static_cast<std::uint16_t>(std::stoul(reg.substr(reg.find(':') + 1), nullptr, 16));
    }
    if (after == "after") job.after = rig.lastJob;
    job.master = "test";
    rig.lastJob = c.Submit(job, rig.now);
    return;
  }
  if (event == "withdraw") return void(c.Withdraw(rig.lastJob, rig.now));
  const auto eq = event.find('=');
  ASSERT_NE(eq, std::string::npos) << "unknown event " << event;
  const std::string field = event.substr(0, eq);
  const Text value = FromUtf8(event.substr(eq + 1));
  if (field == "Text1") return rig.panel.setText(Field::Text1, value);
  if (field == "Text2") return rig.panel.setText(Field::Text2, value);
  if (field == "Text6") return rig.panel.setText(Field::Text6, value);
  if (field == "Combo1") {
    rig.panel.setText(Field::Combo1, value);
    return rig.panel.Combo1_Change(rig.now);
  }
  FAIL() << "unknown event " << event;
}

inline void Check(Rig& rig, const std::string& check) {
  if (check.empty()) return;
  const auto eq = check.find('=');
  const std::string what = check.substr(0, eq);
  const std::string value = check.substr(eq + 1);
  std::string actual;
  if (what == "lamps") {
    actual = rig.panel.lampString();
  } else if (what == "Text5") {
    actual = ToUtf8(rig.panel.text(Field::Text5));
  } else if (what == "Text1") {
    actual = ToUtf8(rig.panel.text(Field::Text1));
  } else if (what == "title") {
    actual = rig.core.status(rig.now).message;
  } else if (what == "list") {
    actual = rig.list.take();
  } else if (what == "jobs") {
    actual = rig.jobs.take();
  } else if (what == "opens") {
    actual = std::to_string(rig.port.opens);
  } else {
    FAIL() << "unknown check " << check;
  }
  EXPECT_EQ(actual, value) << what;
}

inline void RunScenario(const Scenario& scenario) {
  Rig rig(scenario.startAnswer);
  int n = 0;
  for (const Step& step : scenario.steps) {
    SCOPED_TRACE("step " + std::to_string(++n) + ": " + step.event);
    Apply(rig, step.event);
    EXPECT_EQ(rig.take(), step.sent);
    if (!step.flags.empty()) {
      EXPECT_EQ(rig.flags(), step.flags);
    }
    Check(rig, step.check);
    const std::string report = rig.log.take();
    EXPECT_EQ(report, step.report);
  }
}

}  // namespace varnak::testing
