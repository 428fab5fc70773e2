// The colours the windows draw with, on light and dark palettes: every colour
// that carries a meaning against every ground it is drawn on, with WCAG's
// ratios (4.5:1 for text, 3:1 for lines and marks); and the chart drawn.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <memory>

#include "fakes.h"
#include "panel/box_check.h"
#include "panel/form2.h"
#include "panel/theme.h"
#include "panel/watch_delegate.h"

namespace varnak::testing {
namespace {

// A palette from qt6ct's colour scheme lines: 21 colours in QPalette's role order.
QPalette SchemePalette(const char* colours) {
  QPalette p;
  const QStringList list = QString::fromLatin1(colours).split(QStringLiteral(", "));
  for (int role = 0; role < list.size() && role < QPalette::NColorRoles; ++role)
    p.setColor(static_cast<QPalette::ColorRole>(role), QColor::fromString(list[role]));
  return p;
}

struct PaletteRow {
  const char* name;
  std::function<QPalette()> palette;
  bool dark;
};

const PaletteRow kPalettes[] = {
    {"FusionLightStandard",
     [] {
       return std::unique_ptr<QStyle>(QStyleFactory::create(QStringLiteral("Fusion")))->standardPalette();
     },
     false},
    {"Qt6ctDarker",
     [] {
       return SchemePalette(
           "#ffffffff, #ff424245, #ff979797, #ff5e5c5b, #ff302f2e, #ff4a4947, #ffffffff, #ffffffff, "
           "#ffffffff, "
           "#ff3d3d3d, #ff222020, #ffe7e4e0, #ff12608a, #fff9f9f9, #ff0986d3, #ffa70b06, #ff5c5b5a, "
           "#ffffffff, "
           "#ff3f3f36, #ffffffff, #80ffffff");
     },
     true},
    {"Qt6ctDuskMidGrey",
     [] {
       return SchemePalette(
           "#ff000000, #ff7f7f7f, #ffffffff, #ffcbc7c4, #ff7f7f7f, #ffb8b5b2, #ff000000, #ffffffff, "
           "#ff000000, "
           "#ff7f7f7f, #ff7f7f7f, #ff707070, #ff308cc6, #ffffffff, #ff0000ff, #ffff00ff, #ff7f7f7f, "
           "#ff000000, "
           "#ff7f7f7f, #ff000000, #80000000");
     },
     false},
    {"DarkBlueGreyWithNearWhiteText",
     [] {
       QPalette p(QColor(0xfc, 0xfc, 0xfc), QColor(0x31, 0x36, 0x3b), QColor(0x46, 0x4c, 0x53),
                  QColor(0x12, 0x14, 0x16), QColor(0x22, 0x25, 0x28), QColor(0xfc, 0xfc, 0xfc),
                  QColor(0xff, 0xff, 0xff), QColor(0x1b, 0x1e, 0x20), QColor(0x2a, 0x2e, 0x32));
       p.setColor(QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
       return p;
     },
     true},
    {"BlackHighContrast",
     [] {
       QPalette p(Qt::white, Qt::black);
       p.setColor(QPalette::Base, Qt::black);
       p.setColor(QPalette::Text, Qt::white);
       return p;
     },
     true},
};

class Theme : public ::testing::TestWithParam<PaletteRow> {};

TEST_P(Theme, DarkOrLightByTheWindowColour) { EXPECT_EQ(IsDark(GetParam().palette()), GetParam().dark); }

TEST_P(Theme, ChartColoursKeepTheirContrastOnEveryGround) {
  const ChartColours c = ChartColoursFor(GetParam().palette());
  struct Pair {
    const char* what;
    QColor colour;
    double least;
  };
  const Pair text[] = {
      {"text", c.text, 4.5},       {"confirmed", c.confirmed, 4.5}, {"failed", c.failed, 4.5},
      {"pending", c.pending, 4.5}, {"high", c.high, 3.0},           {"low", c.low, 3.0},
      {"edge", c.edge, 3.0},       {"busy", c.busy, 3.0},           {"cursor", c.cursor, 3.0}};
  // The grounds a lane, a command or the cursor's digits are drawn on.
  const std::pair<const char*, QColor> grounds[] = {
      {"ground", c.ground}, {"stripe", c.stripe}, {"not live", c.notLive}};
  for (const Pair& pair : text) {
    for (const auto& [name, ground] : grounds) {
      EXPECT_GE(ContrastRatio(pair.colour, ground), pair.least)
          << pair.what << " on " << name << ": " << pair.colour.name().toStdString() << " on "
          << ground.name().toStdString();
    }
  }
  // The cursor's states are written over a high lane's fill too.
  for (const auto& [name, ground] : grounds)
    EXPECT_GE(ContrastRatio(c.text, Over(c.highFill, ground)), 4.5) << name;
  EXPECT_GE(ContrastRatio(c.notLiveHatch, c.notLive), 3.0);
  EXPECT_GE(ContrastRatio(c.tick, c.ground), 3.0);
  EXPECT_GE(ContrastRatio(c.frame, c.ground), 3.0);
  // Green and red stay green and red.
  EXPECT_GT(c.high.green(), std::max(c.high.red(), c.high.blue()));
  EXPECT_GT(c.low.red(), std::max(c.low.green(), c.low.blue()));
  EXPECT_GT(c.failed.red(), c.failed.blue());
  EXPECT_GT(c.confirmed.blue(), c.confirmed.red());
}

TEST_P(Theme, ARefusedBoxIsRedAndItsTextReads) {
  const QPalette p = GetParam().palette();
  const QColor marked = RefusedBase(p), base = p.color(QPalette::Base);
  EXPECT_GE(ContrastRatio(p.color(QPalette::Text), marked), 4.5) << marked.name().toStdString();
  EXPECT_GT(marked.red(), marked.green() + 20) << marked.name().toStdString();
  EXPECT_NE(marked, base);
}

TEST_P(Theme, TheWatchMarkKeepsItsTextReadable) {
  const QPalette p = GetParam().palette();
  EXPECT_GE(ContrastRatio(p.color(QPalette::Text), WatchDelegate::markColour(p)), 4.5);
}

INSTANTIATE_TEST_SUITE_P(Palettes, Theme, ::testing::ValuesIn(kPalettes),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Contrast, KnownRatios) {
  const struct {
    const char* name;
    QColor a, b;
    double ratio;
  } rows[] = {
      {"BlackOnWhite", Qt::black, Qt::white, 21.0},
      {"TheSameColour", QColor(90, 20, 200), QColor(90, 20, 200), 1.0},
      {"PureGreenOnWhite", QColor(0, 255, 0), Qt::white, 1.37},
      {"PureRedOnWhite", QColor(255, 0, 0), Qt::white, 4.0},
      {"Grey118OnWhite", QColor(118, 118, 118), Qt::white, 4.54},
      {"WhiteOnBlackTheOtherWay", Qt::white, Qt::black, 21.0},
  };
  for (const auto& r : rows) EXPECT_NEAR(ContrastRatio(r.a, r.b), r.ratio, 0.01) << r.name;
}

TEST(Contrast, ALightPaletteKeepsTheRefusedBoxsPaleRed) {
  const auto fusion = std::unique_ptr<QStyle>(QStyleFactory::create(QStringLiteral("Fusion")));
  EXPECT_EQ(RefusedBase(fusion->standardPalette()), QColor(255, 210, 210));
}

// The lightest or darkest pixel in `area` of `image`, whichever differs most from `ground`.
double StrongestContrast(const QImage& image, const QRect& area, const QColor& ground) {
  double best = 1.0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      best = std::max(best, ContrastRatio(image.pixelColor(x, y), ground));
  return best;
}

TEST(ChartOnADarkPalette, LaneNamesTimesAndCursorRead) {
  FakePort port;
  Form2 form(port);
  std::int64_t now = 5000000;
  form.setClock([&] { return now; });
  form.load(QStringLiteral("1"));
  form.Timer1->stop();
  const QPalette dark = kPalettes[1].palette();
  TimelineWindow* timeline = form.timeline();
  timeline->setPalette(dark);
  for (; now < 5010000; now += 200) {
    form.core().Timer1_Timer(now);
    port.input = kEnqAck;
    port.deliver(now);
    port.input = DataReply(static_cast<std::uint8_t>(now / 1000 % 2 ? 0x05 : 0x00), 0);
    port.deliver(now);
  }
  form.openTimeline();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(timeline));
  TimelineChart* chart = timeline->chart();
  QTest::mouseMove(chart, QPoint(chart->width() - 80, chart->height() / 2));
  const QImage shot = chart->grab().toImage();
  const qreal dpr = shot.devicePixelRatio();
  const QColor ground = dark.color(QPalette::Base);
  EXPECT_EQ(shot.pixelColor(1, 1), ground) << "the chart's ground is the palette's base";
  const int h = chart->height();
  // Q0..Q7 at the left, the times along the bottom, the cursor's digits right of its line.
  const QRect names(0, 0, static_cast<int>(30 * dpr), static_cast<int>(h * dpr) - 1);
  const QRect times(static_cast<int>(40 * dpr), static_cast<int>((h - 18) * dpr),
                    static_cast<int>((chart->width() - 60) * dpr), static_cast<int>(16 * dpr));
  const int cx = chart->width() - 80;
  const QRect cursor(static_cast<int>((cx + 4) * dpr), static_cast<int>(60 * dpr), static_cast<int>(12 * dpr),
                     static_cast<int>((h - 100) * dpr));
  for (const auto& [what, area] : {std::pair{"lane names", names}, {"times", times}, {"cursor", cursor}})
    EXPECT_GE(StrongestContrast(shot, area, ground), 4.5) << what;
  timeline->close();
  form.close();
}

TEST(RefusedBox, TakesItsGroundFromThePaletteInUse) {
  QWidget parent;
  const QPalette dark = kPalettes[1].palette();
  parent.setPalette(dark);
  auto* box = new QLineEdit(QStringLiteral("2000"), &parent);
  CheckBox(box, BoxKind::Register);
  EXPECT_FALSE(BoxMarked(box));
  box->setText(QStringLiteral("2008"));
  ASSERT_TRUE(BoxMarked(box));
  const QColor marked = box->palette().color(QPalette::Base);
  EXPECT_EQ(marked, RefusedBase(dark));
  EXPECT_GE(ContrastRatio(box->palette().color(QPalette::Text), marked), 4.5);
  box->setText(QStringLiteral("2007"));
  EXPECT_FALSE(BoxMarked(box));
  EXPECT_EQ(box->palette().color(QPalette::Base), dark.color(QPalette::Base))
      << "unmarked, the box has its palette's own base again, not the light standard one";
}

TEST(RefusedBox, FollowsTheDesktopsPaletteWhenItChanges) {
  const QPalette before = QApplication::palette();
  QWidget parent;
  auto* box = new QLineEdit(QStringLiteral("2008"), &parent);
  CheckBox(box, BoxKind::Register);
  ASSERT_TRUE(BoxMarked(box));
  EXPECT_EQ(box->palette().color(QPalette::Base), RefusedBase(before));
  const QPalette dark = kPalettes[1].palette();
  QApplication::setPalette(dark);
  QApplication::processEvents();  // the palette reaches the widgets by posted events
  EXPECT_EQ(box->palette().color(QPalette::Base), RefusedBase(dark));
  QApplication::setPalette(before);
  QApplication::processEvents();
  EXPECT_EQ(box->palette().color(QPalette::Base), RefusedBase(before));
}

}  // namespace
}  // namespace varnak::testing
