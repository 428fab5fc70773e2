// The window and the client against the same faulty line: one engine judges
// both, so each fault ends a read or a write the same way in the window and in
// the client's exit code.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include "window_on_sim.h"

namespace varnak::testing {
namespace {

struct Fault {
  const char* name;
  QStringList simArgs;
  const char* control;  // a control command after start, or ""
  const char* outcome;  // "ok", or the failure's words
  int exit;             // the client's exit code for it
};
void PrintTo(const Fault& f, std::ostream* os) { *os << f.name; }

const Fault kFaults[] = {
    {"None", {}, "", "ok", 0},
    {"EveryReplyDropped", {"--drop", "1"}, "", "no reply", 4},
    {"ControllerSilent", {}, "silent on", "no reply", 4},
    {"EveryFrameRefused", {"--nak", "1"}, "", "refused", 5},
    {"EveryReplyCorrupted", {"--corrupt", "1", "--seed", "3"}, "", "corrupted", 5},
    {"FirstEnquiryLostThenAnswered", {"--drop-first", "enquiry"}, "", "ok", 0},
    {"FirstHeaderLostThenAnswered", {"--drop-first", "header"}, "", "ok", 0},
    {"RepliesInPiecesBehindAnAdapter", {"--usb-latency", "16"}, "", "ok", 0},
};

// How the window's command ended: "ok", or its failure in the client's terms.
struct CommandEnd : LinkObserver {
  ExchangeKind kind;
  std::optional<JobEnd> end;
  explicit CommandEnd(ExchangeKind k) : kind(k) {}
  void onLinkEvent(const LinkEvent&) override {}
  void onJobEnded(const JobEnd& e) override {
    if (e.kind == kind) end = e;
  }
  std::string outcome() const {
    if (!end) return "nothing within 5 s";
    if (end->ok) return "ok";
    if (end->failure == Failure::CheckByteBad || end->failure == Failure::NotAReply) return "corrupted";
    return FailureText(end->failure);
  }
};

class Agreement : public ::testing::TestWithParam<std::tuple<Fault, bool>> {};

TEST_P(Agreement, TheClientEndsAsTheWindowDoes) {
  const auto& [f, write] = GetParam();
  WindowOnSim w;
  w.start(f.simArgs);
  ASSERT_EQ(w.sim->command(QStringLiteral("set R2000 1234")), "ok");
  if (*f.control) {
    ASSERT_EQ(w.sim->command(QString::fromUtf8(f.control)), "ok");
  }
  CommandEnd ended(write ? ExchangeKind::Write : ExchangeKind::Read);
  w.form->core().addObserver(&ended);
  w.form->Text1->setText(QStringLiteral("00A5"));
  (write ? w.form->Command1 : w.form->Command3)->click();
  QElapsedTimer t;
  t.start();
  while (!ended.end && t.elapsed() < 5000) QTest::qWait(20);
  w.form->core().removeObserver(&ended);
  EXPECT_EQ(ended.outcome(), f.outcome);
  if (!write && ended.outcome() == "ok") {
    EXPECT_EQ(w.form->Text5->text().toStdString(), "1234");
  }
  // The window lets go of the line; the client takes it, with the window's reply timeout.
  const QString device = w.sim->device();
  const auto timeout = QString::number(w.form->core().replyTimeoutMs());
  w.form.reset();
  w.port.reset();
  QStringList args{"--port", device, "--timeout", timeout};
  args << (write ? QStringList{"write", "R2000", "5AA5"} : QStringList{"read", "R2000"});
  QProcess client;
  client.start(QStringLiteral(VARNAK_CLI_PATH), args);
  ASSERT_TRUE(client.waitForFinished(15000));
  const QString out = QString::fromUtf8(client.readAllStandardOutput()).trimmed();
  EXPECT_EQ(client.exitCode(), f.exit) << client.readAllStandardError().toStdString();
  if (f.exit == 0 && write) {
    EXPECT_EQ(w.sim->command(QStringLiteral("get R2000")), "R2000 5AA5");
  } else if (f.exit == 0) {
    EXPECT_EQ(out.toStdString(), "1234");
  }
}

INSTANTIATE_TEST_SUITE_P(SameLine, Agreement,
                         ::testing::Combine(::testing::ValuesIn(kFaults), ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) +
                                  (std::get<1>(info.param) ? "Write" : "Read");
                         });

}  // namespace
}  // namespace varnak::testing
