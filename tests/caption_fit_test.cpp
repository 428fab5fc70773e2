// The window's captions whole in the desktop's font: a table of the CJK fonts
// the package depends on (and a Latin one whose CJK glyphs come from
// elsewhere), 8 to 12 pt, each run at 96, 120 and 144 dpi (CTest starts this
// program once per dpi). The layout keeps its twips; the font keeps the
// desktop's family and takes the largest size at which every caption fits.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontDatabase>
#include <QStyle>
#include <QStyleOptionButton>
#include <cmath>

#include "fakes.h"
#include "panel/caption_fit.h"
#include "panel/form2.h"

namespace varnak::testing {
namespace {

struct FontRow {
  const char* family;
  double points;
};

std::vector<FontRow> Rows() {
  const char* families[] = {"Noto Sans CJK SC",      "Noto Sans CJK TC", "Noto Sans CJK JP",
                            "Noto Sans CJK KR",      "Noto Sans CJK HK", "Noto Serif CJK SC",
                            "Noto Sans Mono CJK SC", "DejaVu Sans"};
  std::vector<FontRow> rows;
  for (const char* f : families)
    for (double pt : {8.0, 9.0, 10.0, 11.0, 12.0}) rows.push_back({f, pt});
  return rows;
}

// The dpi CTest runs this program at (QT_FONT_DPI), 96 without it.
double TestDpi() {
  const QByteArray dpi = qgetenv("QT_FONT_DPI");
  return dpi.isEmpty() ? 96.0 : dpi.toDouble();
}

double PixelsOf(const QFont& font, const QWidget& w) {
  return font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * w.logicalDpiY() / 72.0;
}

// Every caption of the window measured in the font it shows now, each against its own box.
void ExpectCaptionsWhole(Form2& form) {
  for (QLabel* l : form.findChildren<QLabel*>()) {
    if (l->window() != &form || !l->pixmap().isNull() || l == form.Label14) continue;
    const QFontMetrics fm = l->fontMetrics();
    EXPECT_LE(fm.horizontalAdvance(l->text()), l->contentsRect().width()) << l->objectName().toStdString();
    EXPECT_LE(fm.height(), l->contentsRect().height()) << l->objectName().toStdString();
  }
  for (int i = 0; i < 8; ++i) {
    const QRect name = form.Label14->nameRect(i);
    EXPECT_GE(name.left(), 0) << "Q" << i;
    EXPECT_LE(name.right(), form.Label14->width() - 1) << "Q" << i;
    if (i > 0) {
      EXPECT_LT(form.Label14->nameRect(i - 1).right(), name.left()) << "Q" << i;
    }
    EXPECT_NEAR(name.translated(form.Label14->pos()).center().x(), form.imgr[i]->geometry().center().x(), 1);
    EXPECT_LE(form.Label14->fontMetrics().height(), form.Label14->height());
  }
  for (QGroupBox* frame : {form.Frame1, form.Frame2}) {
    const QFontMetrics fm = frame->fontMetrics();
    int firstTop = frame->height();
    for (QWidget* w : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      firstTop = std::min(firstTop, w->y());
    EXPECT_LE(fm.height(), firstTop) << frame->objectName().toStdString()
                                     << ": its caption runs into its controls";
    EXPECT_LE(fm.horizontalAdvance(frame->title()), frame->width() - 16) << frame->objectName().toStdString();
  }
  for (QPushButton* b : {form.Command3, form.Command4}) {
    const QFontMetrics fm = b->fontMetrics();
    const int frame = b->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, b);
    EXPECT_LE(fm.horizontalAdvance(b->text()), b->width() - 2 * frame) << b->objectName().toStdString();
    EXPECT_LE(fm.height(), b->height() - 2 * frame) << b->objectName().toStdString();
  }
  // The tall, narrow send button wraps: each line, and all of them, inside it.
  const QFontMetrics fm = form.Command1->fontMetrics();
  const QRect area = WrappingButton::textArea(*form.Command1);
  const QStringList lines = BalancedLines(form.Command1->text(), fm, area.width()).split(QLatin1Char('\n'));
  for (const QString& line : lines) EXPECT_LE(fm.horizontalAdvance(line), area.width()) << line.toStdString();
  EXPECT_LE(fm.height() + (lines.size() - 1) * fm.lineSpacing(), area.height());
}

class CaptionFit : public ::testing::TestWithParam<FontRow> {
 protected:
  CaptionFit() : saved_(QApplication::font()) {
    QFont desktop(QString::fromLatin1(GetParam().family));
    desktop.setPointSizeF(GetParam().points);
    QApplication::setFont(desktop);
  }
  ~CaptionFit() override { QApplication::setFont(saved_); }
  QFont saved_;
};

TEST_P(CaptionFit, NoCaptionWiderOrTallerThanItsBox) {
  ASSERT_TRUE(QFontDatabase::hasFamily(QString::fromLatin1(GetParam().family)))
      << "fonts-noto-cjk installed?";
  FakePort port;
  Form2 form(port);
  form.load(QStringLiteral("1"));
  form.Timer1->stop();
  form.show();
  ExpectCaptionsWhole(form);
  const QFont shown = form.font();
  const QFont desktop = QApplication::font();
  EXPECT_EQ(shown.family(), desktop.family()) << "the desktop's family is kept";
  EXPECT_LE(PixelsOf(shown, form), PixelsOf(desktop, form) + 1e-9) << "never larger than the desktop's";
  if (PixelsOf(shown, form) < PixelsOf(desktop, form)) {
    // The largest that fits: one pixel more clips a caption.
    QFont larger = shown;
    larger.setPixelSize(static_cast<int>(PixelsOf(shown, form)) + 1);
    if (PixelsOf(larger, form) <= PixelsOf(desktop, form)) {
      EXPECT_FALSE(ClippedCaptions(form, larger).isEmpty()) << larger.pixelSize() << " px would fit too";
    } else {
      EXPECT_FALSE(ClippedCaptions(form, desktop).isEmpty());
    }
  }
}

TEST_P(CaptionFit, ChosenAgainWhenTheDesktopsFontChanges) {
  FakePort port;
  const QFont desktop = QApplication::font();
  QApplication::setFont(QFont(QStringLiteral("Noto Sans CJK SC"), 6));
  Form2 form(port);
  form.load(QStringLiteral("1"));
  form.Timer1->stop();
  EXPECT_EQ(form.font().pointSizeF(), 6.0) << "a small desktop font fits as it is";
  // As a theme sets its font once the program runs.
  QApplication::setFont(desktop);
  QApplication::processEvents();
  EXPECT_EQ(form.font().family(), desktop.family());
  ExpectCaptionsWhole(form);
}

INSTANTIATE_TEST_SUITE_P(Fonts, CaptionFit, ::testing::ValuesIn(Rows()), [](const auto& info) {
  std::string name = info.param.family;
  name.erase(std::remove(name.begin(), name.end(), ' '), name.end());
  return name + "_" + std::to_string(static_cast<int>(info.param.points)) + "pt";
});

TEST(Twips, FollowTheLogicalDpi) {
  FakePort port;
  Form2 form(port);
  const double dpi = TestDpi();
  // On the screen, in device pixels: 7380 x 5610 twips at the screen's dpi.
  const double dpr = form.devicePixelRatioF();
  EXPECT_NEAR(form.width() * dpr, 7380 * dpi / 1440, 1.0);
  EXPECT_NEAR(form.height() * dpr, 5610 * dpi / 1440, 1.0);
  EXPECT_NEAR(form.imgr[0]->width() * dpr, 555 * dpi / 1440, 1.0);
  // The lamps drawn at the device's resolution.
  const QPixmap lamp = form.imgr[0]->pixmap();
  EXPECT_DOUBLE_EQ(lamp.devicePixelRatio(),
                   std::lround(form.imgr[0]->width() * dpr) / static_cast<double>(form.imgr[0]->width()));
  EXPECT_EQ(lamp.width(), std::lround(form.imgr[0]->width() * dpr));
}

TEST(Twips, ToPixelsAtEachDpi) {
  const struct {
    const char* name;
    int twips;
    qreal dpi;
    int pixels;
  } rows[] = {{"WindowAt96", 7380, 96, 492},    {"WindowAt120", 7380, 120, 615},
              {"WindowAt144", 7380, 144, 738},  {"LabelLineAt96", 255, 96, 17},
              {"LabelLineAt120", 255, 120, 21}, {"LabelLineAt72", 255, 72, 13}};
  for (const auto& r : rows) EXPECT_EQ(TwipsToPixels(r.twips, r.dpi), r.pixels) << r.name;
}

}  // namespace
}  // namespace varnak::testing
