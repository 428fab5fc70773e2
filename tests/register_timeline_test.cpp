// The registers over time: their history and its bound, the rows and files
// with register columns, the register list's reports, and what the client's
// watch makes of --registers.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <filesystem>

#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include <algorithm>
#include <set>
#include "cli/watch_registers.h"
#include "link/register_number.h"
#include "link/text.h"
#include "time_zone.h"
#include "timeline/csv_writer.h"
#include "timeline/list_recorder.h"
#include "timeline/register_history.h"
#include "timeline/vcd_writer.h"
#include "vcd_reading.h"

namespace varnak::testing {
namespace {

constexpr std::int64_t kEpoch = 1796648400000;  // 2026-12-07T13:00:00Z

// One step on a history: "read REG VALUE" (hex), "lost REG", at `t`.
struct HistoryStep {
  std::int64_t t;
  const char* what;
};

void Play(RegisterHistory& h, const std::vector<HistoryStep>& steps, std::vector<bool>* recorded = nullptr) {
  for (const HistoryStep& s : steps) {
    std::istringstream in(s.what);
    std::string verb, reg, value;
    in >> verb >> reg >> value;
    const unsigned r = static_cast<unsigned>(std::stoul(reg, nullptr, 8));
    const bool did = verb == "read"
                         ? h.read(s.t, r, static_cast<std::uint16_t>(std::stoul(value, nullptr, 16)))
                         : h.lost(s.t, r);
    if (recorded) recorded->push_back(did);
  }
}

// "t=value" for each change, "[begin,end)" for each span ("open" while open).
std::string SeriesText(const RegisterHistory& h, unsigned reg) {
  const auto* s = h.series(reg);
  if (!s) return "none";
  std::string out;
  for (const RegisterChange& c : s->changes)
    out += std::to_string(c.t()) + "=" + std::to_string(c.value()) + " ";
  for (const NotLiveSpan& n : s->spans)
    out += "[" + std::to_string(n.begin) + "," +
           (n.end == NotLiveSpan::kOpen ? std::string("open") : std::to_string(n.end)) + ") ";
  return out;
}

struct HistoryCase {
  const char* name;
  std::vector<HistoryStep> steps;
  std::vector<bool> recorded;  // what each step returned
  std::string r1000;           // SeriesText of R1000 after
  std::size_t limit = RegisterHistory::kDefaultLimit;
  std::string r1001 = "none";
};
void PrintTo(const HistoryCase& c, std::ostream* os) { *os << c.name; }

const HistoryCase kHistoryCases[] = {
    {"ChangesOnly",
     {{0, "read 1000 5"}, {100, "read 1000 5"}, {200, "read 1000 6"}, {300, "read 1000 6"}},
     {true, false, true, false},
     "0=5 200=6 "},
    {"NothingLostBeforeTheFirstGoodRead", {{0, "lost 1000"}, {10, "read 1000 1"}}, {false, true}, "10=1 "},
    {"AFailedReadOpensASpanUntilTheNextGoodRead",
     {{0, "read 1000 1"}, {500, "lost 1000"}, {600, "lost 1000"}, {900, "read 1000 1"}},
     {true, true, false, true},
     "0=1 [500,900) "},
    {"AGoodReadAfterASpanWithANewValue",
     {{0, "read 1000 1"}, {500, "lost 1000"}, {900, "read 1000 2"}},
     {true, true, true},
     "0=1 900=2 [500,900) "},
    {"StillOpenAtTheEnd", {{0, "read 1000 1"}, {500, "lost 1000"}}, {true, true}, "0=1 [500,open) "},
    {"TimeNeverRunsBackwards",
     {{100, "read 1000 1"}, {50, "read 1000 2"}, {20, "lost 1000"}},
     {true, true, true},
     "100=1 100=2 [100,open) "},
    {"TheBoundDropsTheOldestOfAllRegisters",
     {{0, "read 1000 1"}, {10, "read 1001 1"}, {20, "read 1000 2"}, {30, "read 1001 2"}, {40, "read 1000 3"}},
     {true, true, true, true, true},
     "20=2 40=3 ",
     3,
     "30=2 "},
    {"ADroppedChangeTakesTheSpansBeforeIt",
     {{0, "read 1000 1"}, {10, "lost 1000"}, {20, "read 1000 2"}, {30, "read 1000 3"}, {40, "read 1000 4"}},
     {true, true, true, true, true},
     "20=2 30=3 40=4 ",
     3},
    {"ARegisterWhollyDroppedIsGone",
     {{0, "read 1000 1"}, {10, "read 1001 1"}, {20, "read 1001 2"}},
     {true, true, true},
     "none",
     2,
     "10=1 20=2 "},
};

class History : public ::testing::TestWithParam<HistoryCase> {};

TEST_P(History, RecordsAsTheRowSays) {
  const HistoryCase& c = GetParam();
  RegisterHistory h(c.limit);
  std::vector<bool> recorded;
  Play(h, c.steps, &recorded);
  EXPECT_EQ(recorded, c.recorded);
  EXPECT_EQ(SeriesText(h, 01000), c.r1000);
  EXPECT_EQ(SeriesText(h, 01001), c.r1001);
  EXPECT_LE(h.size(), c.limit);
}

INSTANTIATE_TEST_SUITE_P(Registers, History, ::testing::ValuesIn(kHistoryCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The chart's per-column questions against a plain look at every change, for
// random histories of three registers under a tight bound.
TEST(History, ColumnsAgreeWithEveryChange) {
  std::mt19937 dice(7);
  RegisterHistory h(2000);
  struct Plain {
    std::int64_t t;
    unsigned reg;
    int value;  // -1: lost
  };
  std::vector<Plain> plain;
  std::map<unsigned, int> last;
  for (std::int64_t t = 0; t < 40000; t += 1 + dice() % 20) {
    const unsigned reg = 01000 + dice() % 3;
    if (dice() % 10 == 0) {
      if (h.lost(t, reg)) plain.push_back({t, reg, -1});
    } else {
      const auto v = static_cast<std::uint16_t>(dice() % 4);
      if (h.read(t, reg, v)) plain.push_back({t, reg, v});
    }
  }
  ASSERT_GT(h.dropped(), 0u);
  for (unsigned reg = 01000; reg < 01003; ++reg) {
    const auto first = h.firstKnown(reg);
    ASSERT_TRUE(first);
    std::vector<Plain> kept;
    for (const Plain& p : plain)
      if (p.reg == reg && p.t >= *first) kept.push_back(p);
    for (std::int64_t from = *first; from < 40000; from += 37) {
      const std::int64_t to = from + 1 + static_cast<std::int64_t>(dice() % 300);
      // Value changes strictly after the first kept one, within [from, to).
      int count = 0, value = -1, lastValue = -1;
      std::int64_t firstAt = 0;
      bool live = true;
      for (const Plain& p : kept) {
        if (p.value < 0) {
          if (p.t <= from) live = false;
          continue;
        }
        const bool change = lastValue >= 0 && p.value != lastValue;
        if (p.t <= from) {
          value = p.value;
          live = true;
        }
        if (change && p.t >= from && p.t < to && p.t > *first) {
          if (count++ == 0) firstAt = p.t;
        }
        lastValue = p.value;
      }
      const auto crossings = h.crossingsDuring(reg, from, to);
      EXPECT_EQ(crossings.count, std::min(count, 2)) << reg << " " << from << " " << to;
      if (count > 0) {
        EXPECT_EQ(crossings.first, firstAt);
      }
      const RegisterCell cell = h.at(reg, from);
      EXPECT_EQ(cell.value, value) << reg << " at " << from;
      EXPECT_EQ(cell.live, live) << reg << " at " << from;
    }
    // Consecutive columns walked, as the chart walks a screen: the same as one search each.
    for (const std::int64_t width : {1, 7, 53, 900}) {
      RegisterHistory::Walk walk(h, reg, 0);
      for (std::int64_t from = 0; from < 40000; from += width) {
        const auto walked = walk.until(from + width), searched = h.crossingsDuring(reg, from, from + width);
        ASSERT_EQ(walked.count, searched.count) << reg << " " << from << " width " << width;
        if (walked.count > 0) {
          ASSERT_EQ(walked.first, searched.first);
        }
      }
    }
  }
}

// A recording with outputs and registers: R1000 alone, R1003 and R1004 read as a pair.
Recorder RecordingWithRegisters() {
  Recorder rec(1000, kEpoch);
  const auto read = [&rec](std::int64_t ms, unsigned reg, std::vector<std::uint16_t> words) {
    rec.registersRead(1000 + ms, reg, words.data(), words.size());
  };
  rec.sample(1000, 0x01);
  read(50, 01000, {0x0041});
  read(80, 01003, {0xFFFF, 0x0001});
  rec.sample(1200, 0x03);
  read(300, 01000, {0x0041});          // no change: no row
  read(400, 01003, {0x0000, 0x0002});  // both words at once: one row
  rec.registersLost(1000 + 600, 01000, 1);
  read(900, 01000, {0x0042});  // live again, with a new value: one row
  rec.sample(1950, 0x03);
  return rec;
}

TEST(RegisterFiles, CsvHasAColumnPerRegisterAndARowPerChange) {
  TimeZone zone("UTC0");
  std::ostringstream out;
  WriteCsv(out, RecordingWithRegisters(), 2000, {}, {01000, 01003, 01004, 01005});
  EXPECT_EQ(out.str(),
            "time,ms,Q0,Q1,Q2,Q3,Q4,Q5,Q6,Q7,R1000,R1003,R1004,R1005,event\n"
            "2026-12-07T13:00:00.000+00:00,0,1,0,0,0,0,0,0,0,,,,,\n"
            "2026-12-07T13:00:00.050+00:00,50,1,0,0,0,0,0,0,0,0041,,,,\n"
            "2026-12-07T13:00:00.080+00:00,80,1,0,0,0,0,0,0,0,0041,FFFF,0001,,\n"
            "2026-12-07T13:00:00.200+00:00,200,1,1,0,0,0,0,0,0,0041,FFFF,0001,,\n"
            "2026-12-07T13:00:00.400+00:00,400,1,1,0,0,0,0,0,0,0041,0000,0002,,\n"
            "2026-12-07T13:00:00.600+00:00,600,1,1,0,0,0,0,0,0,0041,0000,0002,,\"R1000 not live\"\n"
            "2026-12-07T13:00:00.900+00:00,900,1,1,0,0,0,0,0,0,0042,0000,0002,,\"R1000 live again\"\n");
}

TEST(RegisterFiles, VcdHasAVectorPerRegisterUnknownWhileNotLive) {
  TimeZone zone("UTC0");
  std::ostringstream out;
  WriteVcd(out, RecordingWithRegisters(), 2000, {}, {01000, 01003});
  const std::string text = out.str();
  EXPECT_NE(text.find("$var wire 1 ) live $end\n$var wire 16 * R1000 $end\n$var wire 16 + R1003 $end\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.substr(text.find("$enddefinitions $end\n") + 21),
            "#0\n1!\n0\"\n0#\n0$\n0%\n0&\n0'\n0(\n1)\nbx *\nbx +\n"
            "#50\nb0000000001000001 *\n"
            "#80\nb1111111111111111 +\n"
            "#200\n1\"\n"
            "#400\nb0000000000000000 +\n"
            "#600\nbx *\n"
            "#900\nb0000000001000010 *\n"
            "#1000\n");
}

TEST(RegisterFiles, WithoutRegistersTheFilesAreAsBefore) {
  TimeZone zone("UTC0");
  std::ostringstream with, without;
  Recorder rec = RecordingWithRegisters();
  WriteVcd(with, rec, 2000, {}, {});
  EXPECT_EQ(with.str().find("wire 16"), std::string::npos);
  WriteCsv(without, rec, 2000);
  const std::string csv = without.str();
  EXPECT_EQ(csv.substr(0, 38), "time,ms,Q0,Q1,Q2,Q3,Q4,Q5,Q6,Q7,event\n");
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3) << "the header and the outputs' two rows only";
}

TEST(RegisterFiles, IdentifiersStayUniqueAndPrintable) {
  std::set<std::string> seen;
  for (std::size_t i = 0; i < 20000; ++i) {
    const std::string id = VcdId(i);
    for (char c : id) ASSERT_TRUE(c >= '!' && c <= '~') << i;
    ASSERT_TRUE(seen.insert(id).second) << i;
  }
  EXPECT_EQ(VcdId(0), "!");
  EXPECT_EQ(VcdId(8), ")");
}

// GTKWave's own tools: the VCD into its FST format and back; the value changes
// must come back the same.
TEST(RegisterFiles, GtkwaveReadsTheSameChanges) {
  if (std::system("vcd2fst --help >/dev/null 2>&1") != 0 && std::system("which vcd2fst >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "vcd2fst is not installed (apt-get install gtkwave)";
  TimeZone zone("UTC0");
  // A folder of its own, removed however the test ends.
  char pattern[] = "/tmp/varnak-gtkwave-XXXXXX";
  const std::string dir = std::string(mkdtemp(pattern)) + "/";
  struct Remove {
    std::string dir;
    ~Remove() { std::filesystem::remove_all(dir); }
  } remove{dir};
  const std::string vcd = dir + "registers.vcd", fst = dir + "registers.fst", back = dir + "back.vcd";
  {
    std::ofstream file(vcd);
    WriteVcd(file, RecordingWithRegisters(), 2000, {}, {01000, 01003, 01004});
  }
  ASSERT_EQ(std::system(("vcd2fst '" + vcd + "' '" + fst + "' >/dev/null 2>&1").c_str()), 0);
  ASSERT_EQ(std::system(("fst2vcd '" + fst + "' > '" + back + "' 2>/dev/null").c_str()), 0);
  const VcdChanges ours = ReadVcdChanges(vcd), theirs = ReadVcdChanges(back);
  EXPECT_EQ(theirs, ours);
  EXPECT_EQ(ours.at("R1003").size(), 3u) << "x, then FFFF and 0000";
}

// The list tells the recording what it read, what failed and what it no longer reads.
TEST(ListReports, ReadFailedAndNoLongerRead) {
  WatchList list;
  std::vector<std::string> reports;
  list.setReporter([&](const ListReport& r) {
    const char* kinds[] = {"read", "failed", "not read"};
    std::string s = std::string(kinds[static_cast<int>(r.kind)]) + " " + RegisterName(r.reg) + "+" +
                    std::to_string(r.count);
    if (r.kind == ListReport::Kind::Read) s += " " + ValueHex(r.words[0]) + " " + ValueHex(r.words[1]);
    reports.push_back(s);
  });
  ASSERT_EQ(list.add(01000), "");
  ASSERT_EQ(list.add(01003, RegisterFormat::U32), "");
  const auto run = [&list](std::uint16_t value, bool ok = true) {
    const auto job = list.nextJob(0);
    ASSERT_TRUE(job);
    list.jobEnded(*job, ListResult{ok, Failure::NoReply, value}, 0);
  };
  run(0x41);                               // R1000
  run(0x0001);                             // R1003's high word (R1004)
  run(0xFFFF);                             // its low word
  run(0x0001);                             // the high word again: whole
  run(0, false);                           // R1000 fails
  list.setFormat(1, RegisterFormat::Hex);  // R1004 no longer read
  list.remove({0});                        // nor R1000
  list.setActive(false);                   // nor anything
  EXPECT_EQ(reports,
            (std::vector<std::string>{"read R1000+1 0041 0000", "read R1003+2 FFFF 0001", "failed R1000+1",
                                      "not read R1004+1", "not read R1000+1", "not read R1003+1"}));
}

TEST(ListReports, RecordingColumnsFollowTheRowsThenKeepTheDropped) {
  RegisterHistory h;
  h.read(0, 07, 1);
  h.read(0, 01000, 1);
  h.read(0, 02000, 1);
  const std::vector<WatchEntry> rows = {{02000, "", RegisterFormat::Hex}, {01003, "", RegisterFormat::F32}};
  EXPECT_EQ(RecordingColumns(rows, h), (std::vector<unsigned>{02000, 01003, 01004, 07, 01000}));
}

struct RegisterListCase {
  const char* name;
  const char* text;
  std::vector<unsigned> regs;  // when good
  const char* error;           // otherwise
};
void PrintTo(const RegisterListCase& c, std::ostream* os) { *os << c.name; }

const RegisterListCase kRegisterLists[] = {
    {"One", "R1000", {01000}, ""},
    {"SeveralInTheOrderGiven", "R1001,1000,R7", {01001, 01000, 07}, ""},
    {"NotOctal",
     "R1000,R1008",
     {},
     "--registers wants octal registers from 0 to 77777 between commas, got: R1008"},
    {"Empty",
     "R1000,,R1001",
     {},
     "--registers wants octal registers from 0 to 77777 between commas, got: an empty one"},
    {"TrailingComma",
     "R1000,",
     {},
     "--registers wants octal registers from 0 to 77777 between commas, got: an empty one"},
    {"ABlank",
     "R1000, R1001",
     {},
     "--registers wants octal registers from 0 to 77777 between commas, got:  R1001"},
    {"Twice", "R1000,1000", {}, "--registers names R1000 twice"},
    {"AboveTheTop",
     "R100000",
     {},
     "--registers wants octal registers from 0 to 77777 between commas, got: R100000"},
};

class RegisterList : public ::testing::TestWithParam<RegisterListCase> {};

TEST_P(RegisterList, ParsedOrRefusedWithWhy) {
  const RegisterListCase& c = GetParam();
  std::vector<cli::ReadItem> items;
  std::string error;
  const bool ok = cli::ParseRegisterList(c.text, &items, &error);
  EXPECT_EQ(error, c.error);
  EXPECT_EQ(ok, c.regs.size() > 0);
  if (!ok) return;
  std::vector<unsigned> regs;
  for (const auto& i : items) regs.push_back(i.reg);
  EXPECT_EQ(regs, c.regs);
}

INSTANTIATE_TEST_SUITE_P(Watch, RegisterList, ::testing::ValuesIn(kRegisterLists),
                         [](const auto& info) { return std::string(info.param.name); });

// The client's side: known once every row has been read, a line's words in each row's format.
TEST(WatchRegisters, FirstLineOnceAllAreReadThenEachChange) {
  cli::WatchRegisters regs({{01000, "", RegisterFormat::Hex}, {01003, "total", RegisterFormat::U32}});
  EXPECT_EQ(regs.columns(), (std::vector<unsigned>{01000, 01003, 01004}));
  std::map<unsigned, std::uint16_t> controller = {{01000, 0x41}, {01003, 0x0002}, {01004, 0x0001}};
  const auto step = [&] {
    const auto reg = regs.next(0);
    EXPECT_TRUE(reg);
    return regs.ended(*reg, controller[*reg], 0);
  };
  EXPECT_TRUE(step());  // R1000
  EXPECT_FALSE(regs.allKnown());
  step();
  step();
  EXPECT_TRUE(step());  // the pair whole
  EXPECT_TRUE(regs.allKnown());
  EXPECT_EQ(regs.lineText(), " R1000=0041 R1003=65538");
  EXPECT_EQ(regs.jsonText(), ", \"R1000\": \"0041\", \"R1003\": \"65538\"");
  EXPECT_FALSE(step()) << "R1000 again, unchanged";
  controller[01003] = 0x0003;
  step();
  step();
  EXPECT_TRUE(step());
  EXPECT_EQ(regs.lineText(), " R1000=0041 R1003=65539");
}

}  // namespace
}  // namespace varnak::testing
