// The scripting client against the simulated controller, faults included:
// every exit code, values checked, nothing corrupted ever printed.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "cli_run.h"
#include "sim_process.h"

namespace varnak::testing {
namespace {

void WriteFile(const QString& path, const char* bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

struct Case {
  const char* name;
  QStringList simArgs;  // empty: no simulator
  QStringList setup;    // control commands before the run
  QStringList cliArgs;  // "DEV" stands for the simulator's device
  int exit;
  const char* out;       // a regular expression the whole of stdout must match
  const char* simCheck;  // "get R2000=R2000 1234": a command and its answer afterwards, or ""
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const char* kOutputs81 = "Q0=1 Q1=0 Q2=0 Q3=0 Q4=0 Q5=0 Q6=0 Q7=1\n";

const Case kCases[] = {
    {"ReadPrintsFourHexDigits", {"--no-pace"}, {"set R2000 1234"}, {"read", "R2000"}, 0, "1234\n", ""},
    {"ReadWithoutR", {"--no-pace"}, {"set R17 ff"}, {"read", "17"}, 0, "00FF\n", ""},
    {"ReadAsJson",
     {"--no-pace"},
     {"set R2000 a"},
     {"--json", "read", "R2000"},
     0,
     "\\{\"register\": \"R2000\", \"value\": \"000A\"\\}\n",
     ""},
    {"WriteStores", {}, {}, {"write", "R2000", "beef"}, 0, "", "get R2000=R2000 BEEF"},
    // Behind an adapter that hands bytes over every 16 ms, replies come in pieces and are joined.
    {"ReadBehindAUsbAdapter",
     {"--usb-latency", "16"},
     {"set R2000 1234"},
     {"read", "R2000"},
     0,
     "1234\n",
     ""},
    {"WriteBehindAUsbAdapter",
     {"--usb-latency", "16"},
     {},
     {"write", "R2000", "beef"},
     0,
     "",
     "get R2000=R2000 BEEF"},
    {"OutputsBehindAUsbAdapter",
     {"--usb-latency", "16", "--outputs", "81"},
     {},
     {"outputs"},
     0,
     kOutputs81,
     ""},
    {"WriteShortValue", {}, {}, {"write", "7", "5"}, 0, "", "get R7=R7 0005"},
    {"WriteAsJson",
     {"--no-pace"},
     {},
     {"write", "R10", "1", "--json"},
     0,
     "\\{\"register\": \"R10\", \"written\": \"0001\"\\}\n",
     "get R10=R10 0001"},
    {"Outputs", {"--outputs", "81"}, {}, {"outputs"}, 0, kOutputs81, ""},
    {"OutputsFollowR2000",
     {"--no-pace"},
     {"set R2000 01A5"},
     {"outputs", "--json"},
     0,
     "\\{\"outputs\": \"A5\", \"Q0\": 1, \"Q1\": 0, \"Q2\": 1, \"Q3\": 0, \"Q4\": 0, \"Q5\": 1, \"Q6\": 0, "
     "\"Q7\": 1\\}\n",
     ""},
    {"WatchPrintsTimestampedChanges",
     {"--outputs", "81"},
     {},
     {"watch", "--count", "1"},
     0,
     "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3} Q0=1 Q1=0 Q2=0 Q3=0 Q4=0 Q5=0 Q6=0 Q7=1\n",
     ""},
    {"SplitRepliesAreJoined", {"--split", "1"}, {"set R2000 0102"}, {"read", "R2000"}, 0, "0102\n", ""},
    {"LateRepliesWithinTimeout",
     {"--delay-ms", "100"},
     {"set R2000 0102"},
     {"read", "R2000"},
     0,
     "0102\n",
     ""},
    {"WriteRetriedAfterDroppedDataAck",
     {"--drop-first", "data"},
     {},
     {"write", "R2000", "4321", "--timeout", "150"},
     0,
     "",
     "get R2000=R2000 4321"},
    {"NoReplyIsExitFour", {"--drop", "1"}, {}, {"read", "R2000", "--timeout", "100"}, 4, "", ""},
    {"NoRetriesMeansOneAttempt",
     {"--drop-first", "enquiry"},
     {},
     {"read", "R2000", "--timeout", "100", "--retries", "0"},
     4,
     "",
     ""},
    {"RefusedIsExitFive",
     {"--nak", "1", "--no-pace"},
     {},
     {"write", "R2000", "1"},
     5,
     "",
     "get R2000=R2000 0000"},
    {"CorruptedIsNeverPrinted",
     {"--corrupt", "1", "--no-pace"},
     {"set R2000 1234"},
     {"read", "R2000"},
     5,
     "",
     ""},
    {"ReadSeveralInTheOrderGiven",
     {"--no-pace"},
     {"set R2000 1234", "set R17 ff", "set R7 1"},
     {"read", "R2000", "17", "R7", "R2000"},
     0,
     "1234\n00FF\n0001\n1234\n",
     ""},
    {"ReadSeveralAsJson",
     {"--no-pace"},
     {"set R2000 1234", "set R7 1"},
     {"--json", "read", "R2000", "R7"},
     0,
     "\\{\"register\": \"R2000\", \"value\": \"1234\"\\}\n\\{\"register\": \"R7\", \"value\": \"0001\"\\}\n",
     ""},
    {"ReadSigned",
     {"--no-pace"},
     {"set R2000 fffe", "set R2001 7fff"},
     {"read", "R2000", "R2001", "--format", "signed"},
     0,
     "-2\n32767\n",
     ""},
    {"ReadBinary",
     {"--no-pace"},
     {"set R2000 8005"},
     {"read", "R2000", "--format=binary"},
     0,
     "1000000000000101\n",
     ""},
    // A pair reads the register named and the next one; by default the register named holds the low word.
    {"ReadF32LowWordInTheRegisterNamed",
     {"--no-pace"},
     {"set R2000 0000", "set R2001 3fc0"},
     {"read", "R2000", "--format", "f32"},
     0,
     "1\\.5\n",
     ""},
    {"ReadF32HiLo",
     {"--no-pace"},
     {"set R2000 3fc0", "set R2001 0000"},
     {"read", "R2000", "--format", "f32 hi-lo"},
     0,
     "1\\.5\n",
     ""},
    {"ReadPairAtTheTop",
     {"--no-pace"},
     {"set R77776 ffff", "set R77777 ffff"},
     {"read", "R77776", "--format", "s32"},
     0,
     "-1\n",
     ""},
    {"ReadPairAsJson",
     {"--no-pace"},
     {"set R2000 0002", "set R2001 0001"},
     {"--json", "read", "R2000", "--format", "u32"},
     0,
     "\\{\"register\": \"R2000\", \"format\": \"u32\", \"value\": \"65538\", \"words\": \\[\"0002\", "
     "\"0001\"\\]\\}\n",
     ""},
    // The first read's header goes unanswered and no retry is allowed: that read fails, the next is printed.
    {"OneOfSeveralFailsTheOthersArePrinted",
     {"--drop-first", "header", "--no-pace"},
     {"set R2000 1234", "set R7 1"},
     {"read", "R2000", "R7", "--retries", "0", "--timeout", "100"},
     4,
     "0001\n",
     ""},
    {"CannotOpenIsExitThree", {}, {}, {"--port", "/nonexistent/ttyX", "read", "1"}, 3, "", ""},
    {"PortNumberOfNoPortIsExitThree", {}, {}, {"--port", "32000", "read", "1"}, 3, "", ""},
};

class Cli : public ::testing::TestWithParam<Case> {};

TEST_P(Cli, ExitsAndPrintsAsDocumented) {
  const Case& c = GetParam();
  std::unique_ptr<SimProcess> sim;
  QStringList args = c.cliArgs;
  if (!args.contains(QStringLiteral("--port"))) {
    sim = std::make_unique<SimProcess>(c.simArgs);
    for (const QString& command : c.setup) ASSERT_EQ(sim->command(command), "ok") << command.toStdString();
    args << QStringLiteral("--port") << sim->device();
  }
  const CliRun r = RunCli(args);
  EXPECT_EQ(r.exit, c.exit) << r.err.toStdString();
  EXPECT_TRUE(QRegularExpression(QStringLiteral("\\A(?:%1)\\z").arg(QString::fromUtf8(c.out)))
                  .match(r.out)
                  .hasMatch())
      << "stdout: " << r.out.toStdString();
  if (c.exit != 0) {
    EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1) << "one error line: " << r.err.toStdString();
  }
  if (*c.simCheck) {
    const QStringList check = QString::fromUtf8(c.simCheck).split(QLatin1Char('='));
    EXPECT_EQ(sim->command(check[0]), check[1]);
  }
}

INSTANTIATE_TEST_SUITE_P(Varnak, Cli, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CliErrors, MessagesNameThePortAndListThePorts) {
  const CliRun r = RunCli({"--port", "32000", "read", "1"});
  EXPECT_TRUE(r.err.startsWith(QStringLiteral("varnak: COM32000: no such port (")) && r.err.endsWith(")\n"))
      << r.err.toStdString();
  const CliRun missing = RunCli({"--port", "/nonexistent/ttyX", "read", "1"});
  EXPECT_TRUE(missing.err.startsWith(QStringLiteral("varnak: cannot open /nonexistent/ttyX: ")));
}

TEST(CliPorts, ClientAndWindowListTheSamePorts) {
  const CliRun client = RunCli({"ports"});
  QProcess panel;
  panel.start(QStringLiteral(VARNAK_PANEL_PATH), {QStringLiteral("--list-ports")});
  ASSERT_TRUE(panel.waitForFinished(30000));
  EXPECT_EQ(client.exit, 0);
  EXPECT_EQ(panel.exitCode(), 0);
  EXPECT_EQ(client.out, QString::fromUtf8(panel.readAllStandardOutput()));
  const CliRun json = RunCli({"ports", "--json"});
  EXPECT_TRUE(json.out.startsWith(QLatin1Char('['))) << json.out.toStdString();
}

// A --watch file that cannot be read or holds a bad row is a usage error, said
// in one line before any window opens: with no display plugin at all, making
// the application would abort the program instead.
TEST(PanelUsage, ABadWatchFileIsAUsageErrorBeforeAnyWindowOpens) {
  QTemporaryDir dir;
  const struct {
    const char* name;
    const char* bytes;  // nullptr: no such file
    const char* says;   // what the line holds after "varnak-panel: PATH"
  } rows[] = {
      {"missing.csv", nullptr, ""},
      {"not-octal.csv", "register,name,format\nR1000,a,hex\nR2008,b,hex\n", ":3: "},
      {"duplicate.csv", "register,name,format\nR1000,a,hex\nR1000,b,u32\n", ""},
  };
  for (const auto& r : rows) {
    const QString path = dir.filePath(QString::fromLatin1(r.name));
    if (r.bytes) {
      QFile f(path);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
      f.write(r.bytes);
    }
    QProcess panel;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("no-such-platform"));
    panel.setProcessEnvironment(env);
    panel.start(QStringLiteral(VARNAK_PANEL_PATH), {QStringLiteral("--watch"), path});
    ASSERT_TRUE(panel.waitForFinished(30000));
    const QString err = QString::fromUtf8(panel.readAllStandardError());
    EXPECT_EQ(panel.exitStatus(), QProcess::NormalExit) << r.name << ": " << err.toStdString();
    EXPECT_EQ(panel.exitCode(), 2) << r.name << ": " << err.toStdString();
    EXPECT_EQ(err.count(QLatin1Char('\n')), 1) << r.name << ": " << err.toStdString();
    EXPECT_TRUE(err.contains(path + QString::fromLatin1(r.says))) << r.name << ": " << err.toStdString();
    EXPECT_TRUE(err.startsWith(QStringLiteral("varnak-panel: "))) << err.toStdString();
  }
}

TEST(CliUsage, StrictArgumentsAreUsageErrors) {
  const QStringList rows[] = {
      {},
      {"read"},
      {"read", "R2008"},
      {"read", "9"},
      {"read", "-1"},
      {"read", "+1"},
      {"read", "R"},
      {"read", "R20 00"},
      {"read", "177777"},
      {"read", "１"},
      {"write", "R2000"},
      {"write", "R2000", "12345"},
      {"write", "R2000", "xyz"},
      {"write", "R2000", "-1"},
      {"write", "R2000", ""},
      {"frob"},
      {"outputs", "extra"},
      {"outputs", "--count", "3"},
      {"--timeout", "0", "read", "1"},
      {"--timeout", "abc", "read", "1"},
      {"--retries", "-1", "read", "1"},
      {"--port", "abc", "read", "1"},
      {"--port", "0", "read", "1"},
      {"--port"},
      {"--bogus", "read", "1"},
      {"outputs", "--csv"},
      {"read", "1", "--vcd", "x.vcd"},
      {"watch", "--vcd"},
      {"watch", "--csv", "--json"},
      {"read", "R1", "R2008"},
      {"read", "R1", "--format", "float"},
      {"read", "R1", "--format", "u32hi-lo"},
      {"read", "R1", "--format", ""},
      {"read", "R77777", "--format", "u32"},
      {"read", "R1", "R77777", "--format", "f32 hi-lo"},
      {"write", "R1", "1", "--format", "hex"},
      {"outputs", "--watch", "list.csv"},
      {"read", "--watch"},
      {"read", "--watch", ""},
      {"read", "--watch", "/nonexistent/list.csv"},
      {"read", "--watch", "/"},
      {"read", "--watch", "/dev/zero"},
      {"read", "R1", "--watch", "/nonexistent/list.csv"},
      {"read", "--format", "hex", "--watch", "/nonexistent/list.csv"},
  };
  for (const QStringList& args : rows) {
    const CliRun r = RunCli(args);
    EXPECT_EQ(r.exit, 2) << args.join(' ').toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1) << r.err.toStdString();
  }
  const CliRun help = RunCli({"--help"});
  EXPECT_EQ(help.exit, 0);
  for (const char* code : {"0  done", "2  usage error", "3  the port", "4  no reply", "5  refused",
                           "6  the result", "130, 143  stopped"})
    EXPECT_TRUE(help.out.contains(QString::fromLatin1(code))) << code;
}

// A usage error says what is missing or wrong, in one line; --opt=value is
// --opt value, and no option is abbreviated.
TEST(CliUsage, ErrorsSayWhatIsWrong) {
  const struct {
    QStringList args;
    int exit;
    const char* says;
  } rows[] = {
      {{"read"}, 2, "read needs a register"},
      {{"write", "R2000"}, 2, "write needs a register and a value"},
      {{"write"}, 2, "write needs a register and a value"},
      {{"outputs", "extra"}, 2, "outputs takes no arguments, got also: extra"},
      {{"frob"}, 2, "unknown command: frob"},
      {{"--port"}, 2, "Missing value after '--port'"},
      {{"--timeout=abc", "read", "1"}, 2, "--timeout wants a whole number from 1 to 600000, got: abc"},
      {{"--ti", "5", "read", "1"}, 2, "Unknown option 'ti'"},
      {{"--help-all"}, 2, "Unknown option 'help-all'"},
      {{"--port=/nonexistent/ttyX", "read", "1"},
       3,
       "cannot open /nonexistent/ttyX: No such file or directory"},
      {{"--port", "/nonexistent/ttyX", "--timeout=100", "read", "1"}, 3, "cannot open /nonexistent/ttyX"},
      {{"read", "R1", "R2008"},
       2,
       "register must be an octal number from 0 to 77777, with or without R, got: R2008"},
      {{"read", "R77777", "--format", "f32"}, 2, "f32 at R77777 needs R100000, above R77777"},
      {{"read", "R1", "--format", "float"},
       2,
       "--format wants one of hex, unsigned, signed, binary, u32, s32, f32, u32 hi-lo, s32 hi-lo or f32 "
       "hi-lo, "
       "got: float"},
      {{"write", "R1", "1", "--format", "hex"}, 2, "--format is for read"},
      {{"outputs", "--watch", "list.csv"}, 2, "--watch is for read"},
      {{"read", "R1", "--watch", "list.csv"},
       2,
       "read takes registers or --watch FILE, not both, got also: R1"},
      {{"read", "--format", "hex", "--watch", "list.csv"},
       2,
       "--format and --watch both say how to show the registers: give one"},
      {{"read", "--watch", "/nonexistent/list.csv"},
       2,
       "cannot read /nonexistent/list.csv: No such file or directory"},
      // A usage error comes before the line is opened.
      {{"--port", "/nonexistent/ttyX", "read", "R77777", "--format", "u32"},
       2,
       "u32 at R77777 needs R100000"},
      {{"--port", "/nonexistent/ttyX", "read", "--watch", "/nonexistent/list.csv"}, 2, "cannot read"},
  };
  for (const auto& r : rows) {
    const CliRun run = RunCli(r.args);
    EXPECT_EQ(run.exit, r.exit) << r.args.join(' ').toStdString();
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("varnak: ")) && run.err.contains(QString::fromUtf8(r.says)))
        << r.args.join(' ').toStdString() << ": " << run.err.toStdString();
    EXPECT_EQ(run.err.count(QLatin1Char('\n')), 1) << run.err.toStdString();
  }
}

// A list file gives the registers, their order, names and formats; a bad one is
// a usage error naming its line, said before the line is opened.
TEST(CliList, ReadsTheListInItsOrder) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString good = dir.filePath(QStringLiteral("list.csv"));
  WriteFile(good,
            "\xEF\xBB\xBFregister,name,format\r\n"
            "R2001,\"speed, \"\"max\"\"\",signed\r\n"
            "R2000,temperature,f32\r\n"
            "7,,\r\n");
  SimProcess sim({"--no-pace"});
  for (const char* c : {"set R2000 0000", "set R2001 bfc0", "set R7 a5"})
    ASSERT_EQ(sim.command(c), "ok") << c;
  const CliRun r = RunCli({"--port", sim.device(), "read", "--watch", good});
  EXPECT_EQ(r.exit, 0) << r.err.toStdString();
  EXPECT_EQ(r.out, QStringLiteral("-16448\n-1.5\n00A5\n"));
  const CliRun json = RunCli({"--port", sim.device(), "--json", "read", "--watch", good});
  EXPECT_EQ(json.exit, 0) << json.err.toStdString();
  EXPECT_EQ(
      json.out,
      QStringLiteral("{\"register\": \"R2001\", \"name\": \"speed, \\\"max\\\"\", \"format\": \"signed\", "
                     "\"value\": \"-16448\", \"words\": [\"BFC0\"]}\n"
                     "{\"register\": \"R2000\", \"name\": \"temperature\", \"format\": \"f32\", \"value\": "
                     "\"-1.5\", \"words\": [\"0000\", \"BFC0\"]}\n"
                     "{\"register\": \"R7\", \"name\": \"\", \"format\": \"hex\", \"value\": \"00A5\", "
                     "\"words\": [\"00A5\"]}\n"));
}

TEST(CliList, BadFileIsAUsageErrorNamingTheLine) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const struct {
    const char* name;
    const char* bytes;
    const char* says;  // after "varnak: DIR/list.csv"
  } rows[] = {
      {"NotOctal", "register,name,format\nR1000,a,hex\nR2008,b,hex\n", ":3: register R2008 is not octal"},
      {"PairPastTheTop", "register,name,format\nR77777,a,u32\n",
       ":2: u32 at R77777 needs R100000, above R77777"},
      {"Duplicate", "register,name,format\nR1,a,hex\nR1,b,hex\n", ":3: register R1 is already on line 2"},
      {"NoHeader", "R1,a,hex\n", ":1: the first line must be the header register,name,format"},
      {"Empty", "", ": the file is empty"},
      {"OnlyTheHeader", "register,name,format\n", " lists no registers"},
  };
  // The simulator would log any frame; a usage error must come before the line is opened.
  SimProcess sim({"--no-pace"});
  for (const auto& row : rows) {
    const QString path = dir.filePath(QStringLiteral("list.csv"));
    WriteFile(path, row.bytes);
    const CliRun r = RunCli({"--port", sim.device(), "read", "--watch", path});
    EXPECT_EQ(r.exit, 2) << row.name;
    EXPECT_TRUE(r.out.isEmpty()) << row.name;
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("varnak: ") + path + QString::fromUtf8(row.says)))
        << row.name << ": " << r.err.toStdString();
    EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1) << r.err.toStdString();
  }
  ASSERT_FALSE(sim.command(QStringLiteral("get R0")).isEmpty());  // its log read up to now
  for (const QString& line : sim.lines())
    EXPECT_FALSE(line.contains(QStringLiteral(" RX "))) << line.toStdString();
}

// Replies refused or dropped at random, no retries: every value printed is the
// right one in the order asked, each failure is one line naming its register,
// and the exit code is the first failure's.
TEST(CliFaults, FailedReadsAmongSeveralAreSaidAndSkipped) {
  SimProcess sim({"--nak", "0.15", "--drop", "0.15", "--seed", "7", "--no-pace"});
  QStringList args{"--port", sim.device(), "--retries", "0", "--timeout", "100", "read"};
  QStringList values;
  for (int r = 1; r <= 16; ++r) {
    const QString reg = QStringLiteral("R%1").arg(r, 0, 8);
    const QString value = QStringLiteral("%1").arg(r * 0x111, 4, 16, QLatin1Char('0')).toUpper();
    ASSERT_EQ(sim.command(QStringLiteral("set %1 %2").arg(reg, value)), "ok");
    args << reg;
    values << value;
  }
  const CliRun r = RunCli(args);
  const QStringList out = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  const QStringList err = r.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_GT(err.size(), 0) << "the seed must fail some reads";
  ASSERT_GT(out.size(), 0) << "the seed must let some reads through";
  EXPECT_EQ(out.size() + err.size(), 16) << r.out.toStdString() << r.err.toStdString();
  // The values printed are those of the registers not named on stderr, in order.
  QStringList expected;
  for (int i = 0; i < 16; ++i) {
    const QString reg = args[7 + i];
    if (!r.err.contains(QStringLiteral(": read %1: ").arg(reg))) expected << values[i];
  }
  EXPECT_EQ(out, expected);
  for (const QString& line : err)
    EXPECT_TRUE(QRegularExpression(
                    QStringLiteral("^varnak: .*: read R\\d+: (no reply|refused \\(NAK\\)) after 1 attempt$"))
                    .match(line)
                    .hasMatch())
        << line.toStdString();
  EXPECT_EQ(r.exit, err[0].contains(QStringLiteral("no reply")) ? 4 : 5) << err[0].toStdString();
}

// Half the replies corrupted: every value printed is the true one, and every
// failure says so by its exit code.
TEST(CliFaults, CorruptedReadsAreNeverPrinted) {
  SimProcess sim({"--corrupt", "0.5", "--seed", "3", "--no-pace"});
  ASSERT_EQ(sim.command("set R2000 1234"), "ok");
  int printed = 0;
  for (int i = 0; i < 30; ++i) {
    const CliRun r = RunCli({"--port", sim.device(), "read", "R2000", "--timeout", "100"});
    if (r.exit == 0) {
      EXPECT_EQ(r.out, QStringLiteral("1234\n"));
      ++printed;
    } else {
      EXPECT_TRUE(r.exit == 4 || r.exit == 5) << r.exit;
      EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    }
  }
  EXPECT_GT(printed, 10);
}

TEST(CliTrace, OneDecodedLinePerChunk) {
  SimProcess sim({"--no-pace"});
  ASSERT_EQ(sim.command("set R2000 1205"), "ok");
  const CliRun r = RunCli({"--port", sim.device(), "read", "R2000", "--trace"});
  EXPECT_EQ(r.exit, 0);
  const QStringList lines = r.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 4) << r.err.toStdString();
  const char* expected[] = {"TX 4E 21 05  enquiry", "RX 4E 21 06  enquiry ack",
                            "TX 01 30 31 30 31 30 34 30 31 30 30 30 32 30 31 17 06  read header R2000",
                            "RX 06 02 05 12 03 17  ack + data 1205 (check byte ok)"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^ *\\d+\\.\\d{3} ")).match(lines[i]).hasMatch())
        << lines[i].toStdString();
    EXPECT_TRUE(lines[i].endsWith(QString::fromLatin1(expected[i]))) << lines[i].toStdString();
  }
}

}  // namespace
}  // namespace varnak::testing
