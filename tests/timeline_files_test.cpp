// The CSV and VCD files of a recording, against expected text; and a VCD read
// back by sigrok-cli, as a waveform viewer would.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

#include "cli/watch_recording.h"
#include "time_zone.h"
#include "timeline/csv_writer.h"
#include "timeline/local_time.h"
#include "timeline/vcd_writer.h"

namespace varnak::testing {
namespace {

// 2026-12-07T13:00:00.000Z
constexpr std::int64_t kEpoch = 1796648400000;

TEST(LocalTime, IsoWithMillisecondsAndOffset) {
  struct {
    const char* tz;
    std::int64_t ms;
    const char* expected;
  } const kCases[] = {
      {"UTC0", kEpoch, "2026-12-07T13:00:00.000+00:00"},
      {"CST-8", kEpoch + 5, "2026-12-07T21:00:00.005+08:00"},
      {"EST+5", kEpoch + 999, "2026-12-07T08:00:00.999-05:00"},
      {"IST-5:30", kEpoch + 61001, "2026-12-07T18:31:01.001+05:30"},
      {"UTC0", -1, "1969-12-31T23:59:59.999+00:00"},
  };
  for (const auto& c : kCases) {
    TimeZone zone(c.tz);
    EXPECT_EQ(LocalIsoTime(c.ms), c.expected) << c.tz;
  }
}

// Pulses on Q0 and Q3, a write and a read, a span not live, and the end while
// still live; the recorder's clock starts at 5000.
Recorder Sample() {
  Recorder rec(5000, kEpoch);
  rec.sample(5250, 0x00);
  rec.commandStarted(5300, CommandKind::Write, "R2000", "0009");
  rec.commandEnded(CommandOutcome::Confirmed);
  rec.sample(5450, 0x09);
  rec.sample(5650, 0x01);
  rec.commandStarted(5700, CommandKind::Read, "R1000", "");
  rec.commandEnded(CommandOutcome::ValueRead, "1234");
  rec.sample(5850, 0x00);
  rec.commandStarted(6000, CommandKind::Write, "R2000", "00A5");
  rec.commandEnded(CommandOutcome::NotConfirmed);
  rec.advance(7000);
  rec.sample(8450, 0xA5);
  rec.sample(8650, 0xA5);
  return rec;
}

TEST(CsvWriter, WholeRecording) {
  TimeZone zone("CST-8");
  std::ostringstream out;
  WriteCsv(out, Sample(), 8700);
  EXPECT_EQ(out.str(),
            "time,ms,Q0,Q1,Q2,Q3,Q4,Q5,Q6,Q7,event\n"
            "2026-12-07T21:00:00.250+08:00,250,0,0,0,0,0,0,0,0,\n"
            "2026-12-07T21:00:00.300+08:00,300,0,0,0,0,0,0,0,0,\"write R2000 = 0009 confirmed\"\n"
            "2026-12-07T21:00:00.450+08:00,450,1,0,0,1,0,0,0,0,\n"
            "2026-12-07T21:00:00.650+08:00,650,1,0,0,0,0,0,0,0,\n"
            "2026-12-07T21:00:00.700+08:00,700,1,0,0,0,0,0,0,0,\"read R1000 = 1234\"\n"
            "2026-12-07T21:00:00.850+08:00,850,0,0,0,0,0,0,0,0,\n"
            "2026-12-07T21:00:01.000+08:00,1000,0,0,0,0,0,0,0,0,\"write R2000 = 00A5 not confirmed\"\n"
            "2026-12-07T21:00:01.850+08:00,1850,0,0,0,0,0,0,0,0,\"not live\"\n"
            "2026-12-07T21:00:03.450+08:00,3450,1,0,1,0,0,1,0,1,\"live again\"\n");
}

TEST(CsvWriter, EventsInTheCallersWordsQuotedAsCsvQuotesText) {
  TimeZone zone("UTC0");
  EventWords words;
  words.command = [](const CommandMarker& c) {
    return std::string("写入 ") + c.reg + " \"" + c.value + "\", 已确认";
  };
  words.notLive = "不是实时";
  words.liveAgain = "恢复实时";
  std::ostringstream out;
  CsvWriter writer(out, kEpoch, words);
  CommandMarker m;
  m.t = 12;
  std::snprintf(m.reg, sizeof m.reg, "R2000");
  std::snprintf(m.value, sizeof m.value, "00A5");
  writer.row({12, 0x81, true, true, TimelineRow::Event::Command, &m});
  writer.row({1012, 0x81, true, false, TimelineRow::Event::NotLive, nullptr});
  writer.row({2000, 0x80, true, true, TimelineRow::Event::LiveAgain, nullptr});
  EXPECT_EQ(out.str(),
            "2026-12-07T13:00:00.012+00:00,12,1,0,0,0,0,0,0,1,\"写入 R2000 \"\"00A5\"\", 已确认\"\n"
            "2026-12-07T13:00:01.012+00:00,1012,1,0,0,0,0,0,0,1,\"不是实时\"\n"
            "2026-12-07T13:00:02.000+00:00,2000,0,0,0,0,0,0,0,1,\"恢复实时\"\n");
}

const char kVcdHeader[] =
    "$date 2026-12-07T21:00:00.000+08:00 $end\n"
    "$version varnak " VARNAK_VERSION
    " $end\n"
    "$comment\n"
    "  at 300 ms (2026-12-07T21:00:00.300+08:00): write R2000 = 0009 confirmed\n"
    "  at 700 ms (2026-12-07T21:00:00.700+08:00): read R1000 = 1234\n"
    "  at 1000 ms (2026-12-07T21:00:01.000+08:00): write R2000 = 00A5 not confirmed\n"
    "$end\n"
    "$timescale 1 ms $end\n"
    "$scope module varnak $end\n"
    "$var wire 1 ! Q0 $end\n"
    "$var wire 1 \" Q1 $end\n"
    "$var wire 1 # Q2 $end\n"
    "$var wire 1 $ Q3 $end\n"
    "$var wire 1 % Q4 $end\n"
    "$var wire 1 & Q5 $end\n"
    "$var wire 1 ' Q6 $end\n"
    "$var wire 1 ( Q7 $end\n"
    "$var wire 1 ) live $end\n"
    "$upscope $end\n"
    "$enddefinitions $end\n";

TEST(VcdWriter, WholeRecording) {
  TimeZone zone("CST-8");
  std::ostringstream out;
  WriteVcd(out, Sample(), 8700);
  EXPECT_EQ(out.str(), std::string(kVcdHeader) +
                           "#250\n0!\n0\"\n0#\n0$\n0%\n0&\n0'\n0(\n1)\n"
                           "#450\n1!\n1$\n"
                           "#650\n0$\n"
                           "#850\n0!\n"
                           "#1850\n0)\n"
                           "#3450\n1!\n1#\n1&\n1(\n1)\n"
                           "#3700\n");
}

TEST(VcdWriter, StreamedWithoutCommandsAndClosedOnce) {
  TimeZone zone("UTC0");
  std::ostringstream out;
  VcdWriter writer(out);
  writer.header(kEpoch, {});
  writer.row({0, 0x01, true, true, TimelineRow::Event::None, nullptr});
  writer.row({0, 0x01, true, true, TimelineRow::Event::Command, nullptr});  // in the header, not here
  writer.row({200, 0x03, true, true, TimelineRow::Event::None, nullptr});
  writer.row({200, 0x03, true, true, TimelineRow::Event::None, nullptr});  // no change: nothing
  writer.close(900);
  writer.close(900);
  const std::string text = out.str();
  {
    // Closed in the very millisecond of the last change: the closing timestamp lies beyond it.
    std::ostringstream same;
    VcdWriter w(same);
    w.header(kEpoch, {});
    w.row({0, 0x01, true, true, TimelineRow::Event::None, nullptr});
    w.row({200, 0x03, true, true, TimelineRow::Event::None, nullptr});
    w.close(200);
    EXPECT_NE(same.str().find("#200\n1\"\n#201\n"), std::string::npos) << same.str();
  }
  EXPECT_EQ(text.find("$comment"), std::string::npos);
  EXPECT_EQ(text.substr(text.find("$enddefinitions $end\n") + 21),
            "#0\n1!\n0\"\n0#\n0$\n0%\n0&\n0'\n0(\n1)\n#200\n1\"\n#900\n");
}

TEST(VcdWriter, NoDollarInsideAComment) {
  std::ostringstream out;
  VcdWriter(out).header(0, {"a $end b"});
  EXPECT_NE(out.str().find("  a  end b\n$end\n"), std::string::npos);
}

// sigrok-cli's CSV output: one line per millisecond from the first timestamp.
// Returns the samples at which any of the nine wires changed, with the values.
std::vector<std::string> SigrokTransitions(const std::string& vcdPath) {
  const std::string command = "sigrok-cli -I vcd -i '" + vcdPath + "' -O csv 2>&1";
  FILE* p = popen(command.c_str(), "r");
  std::vector<std::string> out;
  if (!p) return out;
  char line[256];
  std::string last;
  long sample = 0;
  while (std::fgets(line, sizeof line, p)) {
    std::string s(line);
    if (s.empty() || s[0] == ';' || s.rfind("META", 0) == 0 || s.rfind("logic", 0) == 0) continue;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    if (s != last) out.push_back(std::to_string(sample) + " " + s);
    last = s;
    ++sample;
  }
  out.push_back("end " + std::to_string(sample));
  pclose(p);
  return out;
}

TEST(VcdWriter, SigrokReadsTheSameTransitions) {
  if (std::system("sigrok-cli --version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "sigrok-cli is not installed (apt-get install sigrok-cli)";
  TimeZone zone("UTC0");
  const std::string path = ::testing::TempDir() + "varnak-timeline-test.vcd";
  {
    std::ofstream file(path);
    WriteVcd(file, Sample(), 8700);
  }
  // Times relative to the first timestamp (250); columns Q0..Q7, live.
  const std::vector<std::string> expected = {
      "0 0,0,0,0,0,0,0,0,1",
      "200 1,0,0,1,0,0,0,0,1",
      "400 1,0,0,0,0,0,0,0,1",
      "600 0,0,0,0,0,0,0,0,1",
      "1600 0,0,0,0,0,0,0,0,0",
      "3200 1,0,1,0,0,1,0,1,1",
      "end 3450",
  };
  EXPECT_EQ(SigrokTransitions(path), expected);
  std::remove(path.c_str());
}

// What `varnak watch --csv --vcd FILE` writes as the polls come: every row at
// once, the span not live when a poll came late, and the VCD closed at the end.
TEST(WatchRecording, StreamsCsvAndVcdAndClosesTheVcd) {
  TimeZone zone("UTC0");
  const std::string path = ::testing::TempDir() + "varnak-watch-test.vcd";
  std::ostringstream csv;
  cli::WatchRecording rec(1000, kEpoch);
  std::string error;
  ASSERT_TRUE(rec.writeVcd(path, &error)) << error;
  rec.writeCsv(csv);
  EXPECT_EQ(csv.str(), "time,ms,Q0,Q1,Q2,Q3,Q4,Q5,Q6,Q7,event\n");
  rec.sample(1000, 0x01);
  EXPECT_EQ(csv.str().substr(38), "2026-12-07T13:00:00.000+00:00,0,1,0,0,0,0,0,0,0,\n") << "each row at once";
  rec.sample(1200, 0x01);
  rec.sample(1400, 0x03);
  rec.sample(3000, 0x03);  // the retries took 1.6 s
  rec.sample(3200, 0x02);
  rec.close(3300);
  rec.sample(3400, 0x00);  // after the end: nothing
  rec.close(3500);
  EXPECT_TRUE(rec.ok());
  EXPECT_EQ(csv.str().substr(38),
            "2026-12-07T13:00:00.000+00:00,0,1,0,0,0,0,0,0,0,\n"
            "2026-12-07T13:00:00.400+00:00,400,1,1,0,0,0,0,0,0,\n"
            "2026-12-07T13:00:01.400+00:00,1400,1,1,0,0,0,0,0,0,\"not live\"\n"
            "2026-12-07T13:00:02.000+00:00,2000,1,1,0,0,0,0,0,0,\"live again\"\n"
            "2026-12-07T13:00:02.200+00:00,2200,0,1,0,0,0,0,0,0,\n");
  std::ifstream file(path);
  const std::string vcd((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_EQ(vcd.substr(vcd.find("$enddefinitions $end\n") + 21),
            "#0\n1!\n0\"\n0#\n0$\n0%\n0&\n0'\n0(\n1)\n#400\n1\"\n#1400\n0)\n#2000\n1)\n#2200\n0!\n#2300\n");
  std::remove(path.c_str());
}

TEST(WatchRecording, SaysWhyAVcdCannotBeWritten) {
  cli::WatchRecording rec(0, kEpoch);
  std::string error;
  EXPECT_FALSE(rec.writeVcd("/nonexistent-dir/x.vcd", &error));
  EXPECT_EQ(error, "No such file or directory");
}

}  // namespace
}  // namespace varnak::testing
