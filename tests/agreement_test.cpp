// The window and the client against the same faulty line: one engine judges
// both, so each fault ends a read the same way in the window's title and in
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
  const char* outcome;  // "1234", or the failure's words in the title
  int exit;             // the client's exit code for it
};
void PrintTo(const Fault& f, std::ostream* os) { *os << f.name; }

const Fault kFaults[] = {
    {"None", {}, "", "1234", 0},
    {"EveryReplyDropped", {"--drop", "1"}, "", "no reply", 4},
    {"ControllerSilent", {}, "silent on", "no reply", 4},
    {"EveryFrameRefused", {"--nak", "1"}, "", "refused", 5},
    {"EveryReplyCorrupted", {"--corrupt", "1", "--seed", "3"}, "", "corrupted", 5},
    {"FirstEnquiryLostThenAnswered", {"--drop-first", "enquiry"}, "", "1234", 0},
    {"FirstHeaderLostThenAnswered", {"--drop-first", "header"}, "", "1234", 0},
    {"RepliesInPiecesBehindAnAdapter", {"--usb-latency", "16"}, "", "1234", 0},
};

// The window's outcome: the value in the read box, or why the read failed.
std::string WindowOutcome(WindowOnSim& w) {
  w.form->Command3->click();
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 5000) {
    QTest::qWait(20);
    if (w.form->Text5->text() == QLatin1String("1234")) return "1234";
    const std::string title = w.form->core().status(w.form->now()).message;
    for (const char* why : {"no reply", "refused", "check byte bad", "reply not understood"})
      if (title.find(std::string("failed (") + why + ")") != std::string::npos)
        return std::string(why) == "check byte bad" || std::string(why) == "reply not understood"
                   ? "corrupted"
                   : why;
  }
  return "nothing within 5 s";
}

class Agreement : public ::testing::TestWithParam<Fault> {};

TEST_P(Agreement, TheClientEndsAsTheWindowDoes) {
  const Fault& f = GetParam();
  WindowOnSim w;
  w.start(f.simArgs);
  ASSERT_EQ(w.sim->command(QStringLiteral("set R2000 1234")), "ok");
  if (*f.control) {
    ASSERT_EQ(w.sim->command(QString::fromUtf8(f.control)), "ok");
  }
  EXPECT_EQ(WindowOutcome(w), f.outcome);
  // The window lets go of the line; the client takes it, with the window's reply timeout.
  const QString device = w.sim->device();
  const auto timeout = QString::number(w.form->core().replyTimeoutMs());
  w.form.reset();
  w.port.reset();
  QProcess client;
  client.start(QStringLiteral(VARNAK_CLI_PATH), {"--port", device, "--timeout", timeout, "read", "R2000"});
  ASSERT_TRUE(client.waitForFinished(15000));
  const QString out = QString::fromUtf8(client.readAllStandardOutput()).trimmed();
  EXPECT_EQ(client.exitCode(), f.exit) << client.readAllStandardError().toStdString();
  if (f.exit == 0) {
    EXPECT_EQ(out.toStdString(), f.outcome);
  }
}

INSTANTIATE_TEST_SUITE_P(SameLine, Agreement, ::testing::ValuesIn(kFaults),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace varnak::testing
