// The register lanes of the output timing chart offscreen: they follow the
// list, the cursor names their values, and they are drawn as buses (lines in a
// steady stretch, a crossing at a change, a band where changes crowd, the
// hatching where the reads failed).
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "panel/theme.h"
#include "panel/timeline_chart.h"

namespace varnak::testing {
namespace {

class BusLanes : public ::testing::Test {
 protected:
  BusLanes() : recorder(0, 1796648400000), chart(recorder, [this] { return now; }) {
    chart.setLaneSource([this] { return lanes; });
    chart.resize(960, 480);
    // Ten seconds of outputs, R1000 reading 0041 then 0042 at 5 s, its reads failing from 7 s to 8 s;
    // R1003/R1004 as a pair; R1001 changing every 10 ms from 2 s to 3 s.
    for (std::int64_t t = 0; t <= 10000; t += 200) recorder.sample(t, 0x01);
    read(100, 01000, {0x0041});
    read(5000, 01000, {0x0042});
    recorder.registersLost(7000, 01000, 1);
    read(8000, 01000, {0x0042});
    read(100, 01003, {0x0002, 0x0001});
    read(100, 01001, {0});
    for (std::int64_t t = 2000; t < 3000; t += 10) read(t, 01001, {static_cast<std::uint16_t>(t)});
    now = 10000;
  }
  void read(std::int64_t t, unsigned reg, std::vector<std::uint16_t> words) {
    recorder.registersRead(t, reg, words.data(), words.size());
  }
  QImage draw() {
    chart.syncLanes();
    chart.resize(960, std::max(480, chart.minimumHeight()));
    chart.zoom(10000.0 / static_cast<double>(chart.spanMs()));  // the ten seconds on the screen
    QImage image(chart.size(), QImage::Format_ARGB32);
    QPainter painter(&image);
    chart.render(&painter);
    return image;
  }
  int xOf(std::int64_t t) {
    return chart.laneRect(0).left() + static_cast<int>(t * chart.laneRect(0).width() / 10000);
  }

  std::int64_t now = 0;
  Recorder recorder;
  TimelineChart chart;
  std::vector<TimelineChart::BusLane> lanes;
};

TEST_F(BusLanes, FollowTheListAddedRenamedReorderedAndRemoved) {
  chart.syncLanes();
  EXPECT_TRUE(chart.busLanes().empty());
  const int bare = chart.minimumHeight();
  lanes = {{01000, RegisterFormat::Hex, "counter"}, {01003, RegisterFormat::U32, ""}};
  chart.syncLanes();
  ASSERT_EQ(chart.busLanes().size(), 2u);
  EXPECT_EQ(TimelineChart::laneLabel(chart.busLanes()[0]), "R1000 counter");
  EXPECT_EQ(TimelineChart::laneLabel(chart.busLanes()[1]), "R1003");
  lanes.assign(20, lanes[0]);
  chart.syncLanes();
  EXPECT_GT(chart.minimumHeight(), bare) << "twenty lanes want more room than the outputs alone";
  lanes = {{01003, RegisterFormat::U32, "total"}, {01000, RegisterFormat::Signed, "counter"}};
  chart.syncLanes();
  EXPECT_EQ(chart.busLanes()[0].reg, 01003u);
  EXPECT_EQ(chart.busLanes()[1].format, RegisterFormat::Signed);
  EXPECT_EQ(chart.busLanes()[0].name, "total");
  lanes.clear();
  chart.syncLanes();
  EXPECT_TRUE(chart.busLanes().empty());
  EXPECT_EQ(chart.minimumHeight(), bare);
  EXPECT_TRUE(recorder.registers().series(01000)) << "a lane removed keeps its history";
}

struct ValueCase {
  const char* name;
  TimelineChart::BusLane lane;
  std::int64_t t;
  const char* value;
};
void PrintTo(const ValueCase& c, std::ostream* os) { *os << c.name; }

class LaneValues : public BusLanes, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(LaneValues, InTheRowsFormat) {
  EXPECT_EQ(chart.laneValue(GetParam().lane, GetParam().t).toStdString(), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Chart, LaneValues,
    ::testing::Values(ValueCase{"BeforeTheFirstRead", {01000, RegisterFormat::Hex, ""}, 50, ""},
                      ValueCase{"Hex", {01000, RegisterFormat::Hex, ""}, 4999, "0041"},
                      ValueCase{
                          "TheNewValueFromItsChange", {01000, RegisterFormat::Unsigned, ""}, 5000, "66"},
                      ValueCase{"KeptWhileNotLive", {01000, RegisterFormat::Hex, ""}, 7500, "0042"},
                      ValueCase{"APairFromBothWords", {01003, RegisterFormat::U32, ""}, 9000, "65538"},
                      ValueCase{"APairHiLo", {01003, RegisterFormat::U32HiLo, ""}, 9000, "131073"},
                      ValueCase{"APairWithoutItsSecondWord", {01004, RegisterFormat::U32, ""}, 9000, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BusLanes, TheCursorNamesEachRegistersValueAndWhetherItWasLive) {
  lanes = {{01000, RegisterFormat::Hex, "counter"}, {01003, RegisterFormat::U32, ""}};
  draw();
  const QString at6 = chart.cursorText(xOf(6000));
  EXPECT_TRUE(at6.contains("R1000 0042")) << at6.toStdString();
  EXPECT_TRUE(at6.contains("R1003 65538")) << at6.toStdString();
  const QString at7 = chart.cursorText(xOf(7500));
  EXPECT_TRUE(at7.contains("R1000 0042 (not live)")) << at7.toStdString();
  EXPECT_FALSE(at7.contains("R1003 65538 (")) << at7.toStdString();
}

TEST_F(BusLanes, DrawnAsBusesWithCrossingsBandsAndHatching) {
  lanes = {{01000, RegisterFormat::Hex, ""}, {01001, RegisterFormat::Hex, ""}};
  const QImage image = draw();
  const QRect r1000 = chart.laneRect(8), r1001 = chart.laneRect(9);
  // A column's pixels within a lane, top to bottom.
  const auto count = [&](const QRect& lane, int x, const QColor& colour) {
    int n = 0;
    for (int y = lane.top(); y <= lane.bottom(); ++y) n += image.pixelColor(x, y) == colour;
    return n;
  };
  const QColor edge = chart.colours().edge, busy = chart.colours().busy, notLive = chart.colours().notLive;
  EXPECT_EQ(count(r1000, xOf(3300), edge), 2) << "a steady stretch: two lines";
  EXPECT_GE(count(r1000, xOf(5000), edge), 4) << "the change: a crossing";
  EXPECT_EQ(count(r1000, xOf(7300), edge), 2) << "not live: the value still held";
  EXPECT_GT(count(r1000, xOf(7300), notLive), 0) << "and hatched grey";
  EXPECT_EQ(count(r1000, xOf(3300), notLive), 0) << "live: no hatching";
  EXPECT_GT(count(r1001, xOf(2450), busy), r1001.height() / 2) << "a change every 10 ms: a band";
  EXPECT_EQ(count(r1001, xOf(6300), busy), 0);
}

}  // namespace
}  // namespace varnak::testing
