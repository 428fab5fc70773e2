// The network masters' requests as the line sees them: which jobs go on the
// line, and what each asker is answered.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "link/register_number.h"
#include "link/words.h"
#include "share/line_service.h"

namespace varnak::share {
namespace {

// The engine as the service sees it: the jobs submitted and taken back, in words.
struct Line {
  std::string jobs;
  std::map<JobId, Job> submitted;
  JobId last = 0;
  LineService service{[this](const Job& j) {
                        jobs += (j.kind == Job::Kind::Write ? "write " : "read ") + RegisterName(j.reg) +
                                (j.after ? " after " + std::to_string(j.after) : std::string()) + ";";
                        submitted[++last] = j;
                        return last;
                      },
                      [this](JobId id) {
                        jobs += "withdraw " + std::to_string(id) + ";";
                        return true;
                      }};
  std::string answers;
  LineService::Answer answer() {
    return [this](LineService::RequestId id, const LineAnswer& a) {
      answers += std::to_string(id) +
                 (a.ok ? "=" + ValueHex(a.value) : ": " + std::string(FailureText(a.failure))) + ";";
    };
  }
  void end(JobId id, bool ok, std::uint16_t value, std::int64_t time = 0, Failure f = Failure::NoReply) {
    JobEnd e;
    e.id = id;
    e.kind = submitted[id].kind == Job::Kind::Write ? ExchangeKind::ListWrite : ExchangeKind::ListRead;
    e.cause = Cause::Master;
    e.reg = submitted[id].reg;
    e.time = time;
    e.value = value;
    e.ok = ok;
    e.failure = f;
    service.jobEnded(e);
  }
  void poll(bool ok, std::uint8_t outputs, std::int64_t time) {
    JobEnd e;
    e.kind = ExchangeKind::Poll;
    e.cause = Cause::PollTimer;
    e.time = time;
    e.value = outputs;
    e.ok = ok;
    service.jobEnded(e);
  }
  // Asks; "now" when answered at once, "" when it waits.
  std::string ask(LineRequest r, std::int64_t now = 0) {
    LineService::RequestId id = 0;
    const auto a = service.ask(r, now, answer(), &id);
    return a ? (a->ok ? "now " + ValueHex(a->value) : "now failed") : "";
  }
};

LineRequest Read(unsigned reg, std::int64_t maxAge = 0, const char* master = "a") {
  return {LineRequest::Kind::Read, reg, 0, maxAge, 0, master};
}
LineRequest Write(unsigned reg, std::uint16_t v, std::uint64_t after = 0, const char* master = "a") {
  return {LineRequest::Kind::Write, reg, v, 0, after, master};
}
LineRequest Outputs() { return {LineRequest::Kind::Outputs, 0, 0, 200}; }

TEST(LineService, ReadsOfOneRegisterAskedAtOnceAreOneReadOnTheLine) {
  Line l;
  l.ask(Read(02000, 0, "a"));
  l.ask(Read(02000, 0, "b"));
  l.ask(Read(01000, 0, "c"));
  EXPECT_EQ(l.jobs, "read R2000;read R1000;");
  l.end(1, true, 0x1234, 100);
  EXPECT_EQ(l.answers, "1=1234;2=1234;");
  l.ask(Read(02000, 0, "b"));  // after the read ended: a read of its own
  EXPECT_EQ(l.jobs, "read R2000;read R1000;read R2000;");
}

// One job of each asker on the engine at a time: a client asking for many
// registers holds up a master asking for one by one read at most.
TEST(LineService, AskersTakeTurns) {
  Line l;
  for (unsigned reg : {01000u, 01001u, 01002u}) l.ask(Read(reg, 0, "modbus"));
  l.ask(Read(02000, 0, "master"));
  EXPECT_EQ(l.jobs, "read R1000;read R2000;");
  l.end(1, true, 1);
  EXPECT_EQ(l.jobs, "read R1000;read R2000;read R1001;");
  l.end(2, true, 2);
  EXPECT_EQ(l.answers, "1=0001;4=0002;");
}

TEST(LineService, AValueFreshEnoughIsAnsweredFromTheImage) {
  Line l;
  l.ask(Read(02000));
  l.end(1, true, 0x00A5, 1000);
  EXPECT_EQ(l.ask(Read(02000, 2000), 3000), "now 00A5");
  EXPECT_EQ(l.ask(Read(02000, 2000), 3001), "") << "older than the age asked for";
  l.ask(Write(01000, 0x0007, 0, "w"));
  l.end(3, true, 0x0007, 3100);
  EXPECT_EQ(l.ask(Read(01000, 2000), 3200), "now 0007") << "a confirmed write is in the image";
}

TEST(LineService, OutputsComeFromThePoll) {
  Line l;
  EXPECT_EQ(l.ask(Outputs(), 0), "") << "no poll yet: the next one";
  l.poll(true, 0x81, 50);
  EXPECT_EQ(l.answers, "1=0081;");
  EXPECT_EQ(l.ask(Outputs(), 250), "now 0081");
  EXPECT_EQ(l.ask(Outputs(), 251), "");
  l.poll(false, 0, 300);
  EXPECT_EQ(l.answers, "1=0081;3: no reply;");
  EXPECT_EQ(l.jobs, "") << "the outputs are never a job of their own";
}

TEST(LineService, AForgottenRequestIsTakenBackWhenNobodyElseWaits) {
  Line l;
  LineService::RequestId a = 0, b = 0, w = 0;
  l.service.ask(Read(02000, 0, "a"), 0, l.answer(), &a);
  l.service.ask(Read(02000, 0, "b"), 0, l.answer(), &b);
  l.service.ask(Write(01000, 1, 0, "c"), 0, l.answer(), &w);
  l.service.forget(a);
  EXPECT_EQ(l.jobs, "read R2000;write R1000;") << "another still waits for the read";
  l.service.forget(b);
  l.service.forget(w);
  EXPECT_EQ(l.jobs, "read R2000;write R1000;withdraw 1;withdraw 2;");
  l.end(1, false, 0, 0, Failure::Withdrawn);
  EXPECT_EQ(l.answers, "") << "nobody is answered";
}

// Writes of several registers stop at the first failure; the image forgets
// a register whose write failed (it may have reached the controller).
TEST(LineService, WritesAfterAFailedOneFailAlikeUnsent) {
  Line l;
  l.ask(Read(02000));
  l.end(1, true, 0x0005, 0);
  LineService::RequestId first = 0, second = 0, third = 0;
  l.service.ask(Write(02000, 1), 0, l.answer(), &first);
  l.service.ask(Write(02001, 2, first), 0, l.answer(), &second);
  l.service.ask(Write(02002, 3, second), 0, l.answer(), &third);
  EXPECT_EQ(l.jobs, "read R2000;write R2000;");
  l.end(2, false, 0, 10, Failure::Refused);
  EXPECT_EQ(l.jobs, "read R2000;write R2000;");
  EXPECT_EQ(l.answers, "1=0005;2: refused;3: refused;4: refused;");
  EXPECT_EQ(l.ask(Read(02000, 2000), 20), "") << "not answered from the image";
}

TEST(LineService, RegistersKeptFreshTakeTurnsWithTheListAndLeaveLater) {
  Line l;
  l.service.keepFresh(02000, 0);
  l.service.keepFresh(02001, 0);
  std::string regs;
  for (int i = 0; i < 3; ++i) regs += RegisterName(l.service.nextJob(100)->reg) + " ";
  EXPECT_EQ(regs, "R2000 R2001 R2000 ");
  EXPECT_FALSE(l.service.nextJob(LineService::kKeepFreshMs + 1)) << "not asked for in ten seconds";
}

}  // namespace
}  // namespace varnak::share
