// `varnak watch --csv --vcd FILE` against the simulated controller: the rows as
// the outputs change, and a VCD that is complete however watch ends.
#include <gtest/gtest.h>
#include <signal.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "sim_process.h"

namespace varnak::testing {
namespace {

QString ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// The value changes of a VCD after its definitions: "t wire value" for each.
QStringList Changes(const QString& vcd) {
  QStringList out;
  QString t;
  for (const QString& line : vcd.mid(vcd.indexOf(QStringLiteral("$enddefinitions"))).split('\n')) {
    if (line.startsWith('#')) t = line.mid(1);
    if (line.size() == 2 && (line[0] == '0' || line[0] == '1')) out << t + ' ' + line[1] + ' ' + line[0];
  }
  return out;
}

struct Ending {
  const char* name;
  bool interrupt;  // Ctrl+C; otherwise the controller falls silent and watch stops at the failure
  int exit;
};

class WatchFiles : public ::testing::TestWithParam<Ending> {};

TEST_P(WatchFiles, RowsAsTheOutputsChangeAndAVcdClosedAtTheEnd) {
  SimProcess sim({});
  ASSERT_FALSE(sim.device().isEmpty());
  sim.command(QStringLiteral("set R2000 0000"));
  QTemporaryDir dir;
  const QString vcdPath = dir.filePath(QStringLiteral("watch.vcd"));
  QProcess cli;
  cli.start(QStringLiteral(VARNAK_CLI_PATH), {"--port", sim.device(), "watch", "--csv", "--vcd", vcdPath});
  QString out;
  const auto rows = [&] {
    out += QString::fromUtf8(cli.readAllStandardOutput());
    return out.count('\n');
  };
  ASSERT_TRUE(WaitFor([&] { return rows() >= 2; }, 5000)) << out.toStdString();
  sim.command(QStringLiteral("set R2000 0009"));
  ASSERT_TRUE(WaitFor([&] { return rows() >= 3; }, 3000)) << out.toStdString();
  sim.command(QStringLiteral("set R2000 0001"));
  ASSERT_TRUE(WaitFor([&] { return rows() >= 4; }, 3000)) << out.toStdString();
  EXPECT_TRUE(ReadFile(vcdPath).contains(QStringLiteral("\n1$\n"))) << "every change is in the file at once";
  if (GetParam().interrupt) {
    ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
  } else {
    sim.command(QStringLiteral("silent on"));
  }
  ASSERT_TRUE(cli.waitForFinished(10000));
  rows();
  EXPECT_EQ(cli.exitCode(), GetParam().exit) << cli.readAllStandardError().toStdString();

  const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
  ASSERT_GE(lines.size(), 4);
  EXPECT_EQ(lines[0], QStringLiteral("time,ms,Q0,Q1,Q2,Q3,Q4,Q5,Q6,Q7,event"));
  EXPECT_TRUE(lines[1].endsWith(QStringLiteral(",0,0,0,0,0,0,0,0,"))) << lines[1].toStdString();
  EXPECT_TRUE(lines[2].endsWith(QStringLiteral(",1,0,0,1,0,0,0,0,"))) << lines[2].toStdString();
  EXPECT_TRUE(lines[3].endsWith(QStringLiteral(",1,0,0,0,0,0,0,0,"))) << lines[3].toStdString();

  const QString vcd = ReadFile(vcdPath);
  const QStringList changes = Changes(vcd);
  ASSERT_GE(changes.size(), 12) << vcd.toStdString();
  // The nine initial values, then Q0 and Q3 up, then Q3 down, at the CSV's times.
  const auto ms = [&](int row) { return lines[row].section(',', 1, 1); };
  EXPECT_EQ(changes[0], ms(1) + QStringLiteral(" ! 0"));
  EXPECT_EQ(changes[8], ms(1) + QStringLiteral(" ) 1"));
  EXPECT_EQ(changes[9], ms(2) + QStringLiteral(" ! 1"));
  EXPECT_EQ(changes[10], ms(2) + QStringLiteral(" $ 1"));
  EXPECT_EQ(changes[11], ms(3) + QStringLiteral(" $ 0"));
  if (!GetParam().interrupt) {
    // Silent through the retries (1.5 s): not live from 1 s after the last reply, in both files.
    EXPECT_TRUE(lines.last().endsWith(QStringLiteral(",\"not live\""))) << lines.last().toStdString();
    EXPECT_TRUE(changes.last().endsWith(QStringLiteral(" ) 0"))) << changes.last().toStdString();
  }
  // Closed: a last timestamp after the last change.
  const QString last = vcd.trimmed().section('\n', -1);
  ASSERT_TRUE(last.startsWith('#')) << vcd.toStdString();
  EXPECT_GT(last.mid(1).toLongLong(), changes.last().section(' ', 0, 0).toLongLong());
}

INSTANTIATE_TEST_SUITE_P(Varnak, WatchFiles,
                         ::testing::Values(Ending{"CtrlC", true, 128 + SIGINT},
                                           Ending{"SilentController", false, 4}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace varnak::testing
