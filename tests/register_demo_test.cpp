// The registers over time against the simulator's running machine (--demo,
// paced at wire speed): what the client's CSV and VCD and what the window's
// chart and files say must be what the machine's registers did — the counter
// counts on by one each second, the ramp stays within 0..999, the temperature
// within -50..150, and the 32-bit total only grows (never a torn value).
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QInputDialog>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <sstream>

#include "panel/form2.h"
#include "panel/startup.h"
#include "serial/numbered_port.h"
#include "sim_process.h"
#include "vcd_reading.h"
#include "window_on_sim.h"

namespace varnak::testing {
namespace {

const std::vector<WatchEntry> kDemoList = {{01000, "counter", RegisterFormat::Unsigned},
                                           {01001, "set point", RegisterFormat::Unsigned},
                                           {01002, "temperature", RegisterFormat::Signed},
                                           {01003, "total", RegisterFormat::U32},
                                           {02000, "outputs", RegisterFormat::Binary}};

// A CSV file's rows by column name; every cell a text.
struct Csv {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;
  int column(const std::string& name) const {
    for (std::size_t i = 0; i < header.size(); ++i)
      if (header[i] == name) return static_cast<int>(i);
    return -1;
  }
};

Csv ParseCsv(const std::string& text) {
  Csv csv;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> cells;
    std::string cell;
    bool quoted = false;
    for (char c : line) {
      if (c == '"') {
        quoted = !quoted;
      } else if (c == ',' && !quoted) {
        cells.push_back(cell);
        cell.clear();
      } else {
        cell += c;
      }
    }
    cells.push_back(cell);
    if (csv.header.empty()) {
      csv.header = cells;
    } else {
      csv.rows.push_back(cells);
    }
  }
  return csv;
}

int Word(const std::string& hex) { return hex.empty() ? -1 : std::stoi(hex, nullptr, 16); }

// The demo machine's rules, checked on the registers' columns of a recording.
void ExpectTheDemoMachine(const Csv& csv) {
  const int ms = csv.column("ms"), counter = csv.column("R1000"), ramp = csv.column("R1001"),
            temperature = csv.column("R1002"), low = csv.column("R1003"), high = csv.column("R1004");
  ASSERT_GE(counter, 0);
  ASSERT_GE(high, 0);
  int lastCounter = -1, counterSteps = 0;
  long long lastTotal = -1;
  for (const auto& row : csv.rows) {
    const int c = Word(row[counter]);
    if (c >= 0 && lastCounter >= 0 && c != lastCounter) {
      EXPECT_EQ(c, lastCounter + 1) << "the counter counts on by one, at " << row[ms] << " ms";
      ++counterSteps;
    }
    if (c >= 0) lastCounter = c;
    if (const int r = Word(row[ramp]); r >= 0) {
      EXPECT_LE(r, 999) << row[ms];
    }
    if (const int t = Word(row[temperature]); t >= 0) {
      const int value = t >= 0x8000 ? t - 0x10000 : t;
      EXPECT_GE(value, -50) << row[ms];
      EXPECT_LE(value, 150) << row[ms];
    }
    if (Word(row[low]) >= 0 && Word(row[high]) >= 0) {
      const long long total = (static_cast<long long>(Word(row[high])) << 16) | Word(row[low]);
      EXPECT_GE(total, lastTotal) << "the total only grows (a torn pair would fall back), at " << row[ms];
      lastTotal = total;
    }
  }
  EXPECT_GE(counterSteps, 3) << "the counter moved";
}

TEST(RegisterDemo, TheClientsLinesCsvAndVcdFollowTheMachine) {
  SimProcess sim({"--demo"});
  ASSERT_FALSE(sim.device().isEmpty());
  QTemporaryDir dir;
  const QString list = dir.filePath(QStringLiteral("demo.csv")),
                vcd = dir.filePath(QStringLiteral("demo.vcd"));
  {
    QFile f(list);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(
        "register,name,format\nR1000,counter,unsigned\nR1001,set point,unsigned\n"
        "R1002,temperature,signed\nR1003,total,u32\nR2000,outputs,binary\n");
  }
  QProcess cli;
  cli.start(QStringLiteral(VARNAK_CLI_PATH),
            {"--port", sim.device(), "watch", "--watch", list, "--csv", "--vcd", vcd, "--count", "60"});
  ASSERT_TRUE(cli.waitForFinished(40000)) << "watch did not stop after 60 rows";
  EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
  const std::string out = cli.readAllStandardOutput().toStdString();
  const Csv csv = ParseCsv(out);
  EXPECT_EQ(csv.header,
            (std::vector<std::string>{"time", "ms", "Q0", "Q1", "Q2", "Q3", "Q4", "Q5", "Q6", "Q7", "R1000",
                                      "R1001", "R1002", "R1003", "R1004", "R2000", "event"}));
  ASSERT_EQ(csv.rows.size(), 60u) << out;
  for (std::size_t c = 2; c + 1 < csv.header.size(); ++c)
    EXPECT_FALSE(csv.rows.front()[c].empty()) << "the first row has every value: " << csv.header[c];
  ExpectTheDemoMachine(csv);

  // The VCD says the same changes as the CSV, register by register.
  const VcdChanges changes = ReadVcdChanges(vcd.toStdString());
  for (const char* name : {"R1000", "R1001", "R1002", "R1003", "R1004"}) {
    std::vector<std::pair<long long, std::string>> fromCsv;
    const int col = csv.column(name);
    for (const auto& row : csv.rows) {
      const std::string value = std::to_string(Word(row[col]));
      if (fromCsv.empty() || fromCsv.back().second != value) fromCsv.emplace_back(std::stoll(row[1]), value);
    }
    // The VCD's first timestamp is the first row's; a vector starts as x only before it.
    auto fromVcd = changes.at(name);
    if (!fromVcd.empty() && fromVcd.front().second == "x") fromVcd.erase(fromVcd.begin());
    EXPECT_EQ(fromVcd, fromCsv) << name;
  }
}

TEST(RegisterDemo, TheLinesShowEveryRegisterInItsFormat) {
  SimProcess sim({"--demo"});
  ASSERT_FALSE(sim.device().isEmpty());
  QProcess cli;
  cli.start(QStringLiteral(VARNAK_CLI_PATH),
            {"--port", sim.device(), "watch", "--registers", "R1000,R1001", "--count", "5"});
  ASSERT_TRUE(cli.waitForFinished(20000));
  EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
  const QStringList lines = QString::fromUtf8(cli.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 5);
  QString previous;
  for (const QString& line : lines) {
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3} Q0=[01]( Q\d=[01]){7} )"
                                          R"(R1000=[0-9A-F]{4} R1001=[0-9A-F]{4}$)"))
            .match(line)
            .hasMatch())
        << line.toStdString();
    const QString values = line.mid(line.indexOf(QStringLiteral(" Q0=")));
    EXPECT_NE(values, previous) << "each line is a change";
    previous = values;
  }
}

class RegisterDemoWindow : public ::testing::Test, protected WindowOnSim {
 protected:
  void SetUp() override { start({"--demo"}); }
};

TEST_F(RegisterDemoWindow, TheChartAndItsFilesFollowTheMachine) {
  QString error;
  ASSERT_TRUE(form->watch()->model()->replaceAll(kDemoList, &error)) << error.toStdString();
  form->openWatch();
  form->openTimeline();
  TimelineChart* chart = form->timeline()->chart();
  QTest::qWait(7000);
  chart->syncLanes();
  ASSERT_EQ(chart->busLanes().size(), kDemoList.size()) << "a lane for each row";
  EXPECT_EQ(TimelineChart::laneLabel(chart->busLanes()[0]), QStringLiteral("R1000 counter"));

  QTemporaryDir dir;
  const QString csvPath = dir.filePath(QStringLiteral("chart.csv")),
                vcdPath = dir.filePath(QStringLiteral("chart.vcd"));
  ASSERT_TRUE(form->timeline()->saveTo(csvPath));
  ASSERT_TRUE(form->timeline()->saveTo(vcdPath));
  QFile f(csvPath);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const Csv csv = ParseCsv(f.readAll().toStdString());
  ASSERT_GT(csv.rows.size(), 20u);
  ExpectTheDemoMachine(csv);

  // The chart's lanes show at each row's moment what the file says then.
  const int counter = csv.column("R1000"), low = csv.column("R1003"), high = csv.column("R1004");
  int checked = 0;
  for (const auto& row : csv.rows) {
    const std::int64_t t = std::stoll(row[1]);
    if (!row[counter].empty()) {
      EXPECT_EQ(chart->laneValue(chart->busLanes()[0], t).toStdString(), std::to_string(Word(row[counter])))
          << "at " << t << " ms";
      ++checked;
    }
    if (!row[low].empty() && !row[high].empty()) {
      const long long total = (static_cast<long long>(Word(row[high])) << 16) | Word(row[low]);
      EXPECT_EQ(chart->laneValue(chart->busLanes()[3], t).toStdString(), std::to_string(total)) << t;
    }
  }
  EXPECT_GT(checked, 10);
  // The VCD's changes are the CSV's.
  const VcdChanges changes = ReadVcdChanges(vcdPath.toStdString());
  std::vector<std::pair<long long, std::string>> fromCsv;
  for (const auto& row : csv.rows) {
    if (row[counter].empty()) continue;
    const std::string value = std::to_string(Word(row[counter]));
    if (fromCsv.empty() || fromCsv.back().second != value) fromCsv.emplace_back(std::stoll(row[1]), value);
  }
  auto fromVcd = changes.at("R1000");
  if (!fromVcd.empty() && fromVcd.front().second == "x") fromVcd.erase(fromVcd.begin());
  // The VCD begins with the first poll reply, its first values what stood then: compare the changes after.
  ASSERT_FALSE(fromVcd.empty());
  const long long first = fromVcd.front().first;
  fromVcd.erase(fromVcd.begin());
  while (!fromCsv.empty() && fromCsv.front().first <= first) fromCsv.erase(fromCsv.begin());
  EXPECT_EQ(fromVcd, fromCsv);

  // Closing the watch stops its reads: every lane goes not live.
  form->watch()->close();
  QTest::qWait(300);
  const std::int64_t now = form->recorder().elapsed(form->now());
  EXPECT_FALSE(form->recorder().registers().at(01000, now).live);
  EXPECT_TRUE(form->recorder().registers().at(01000, now).known);
  // A row removed keeps its history; its lane goes.
  form->watch()->model()->removeListRows({0});
  chart->syncLanes();
  EXPECT_EQ(chart->busLanes().size(), kDemoList.size() - 1);
  EXPECT_TRUE(form->recorder().registers().series(01000) != nullptr);
  const std::vector<unsigned> columns = form->timeline()->columns();
  EXPECT_NE(columns.end(), std::find(columns.begin(), columns.end(), 01000u))
      << "and its column in the files";
}

}  // namespace
}  // namespace varnak::testing
