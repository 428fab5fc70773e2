// The window moved between a screen of scale 1 and one of scale 2 (the
// offscreen platform given two screens by CTest): its lamps are drawn again
// at each screen's resolution, round, and keep their colour and dimming.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include "fakes.h"
#include "panel/form2.h"

namespace varnak::testing {
namespace {

TEST(ScreenChange, LampsAreDrawnAgainAtTheNewScreensResolution) {
  QScreen* screenOf[3] = {};  // by scale
  for (QScreen* screen : QGuiApplication::screens())
    if (screen->devicePixelRatio() == 1.0 || screen->devicePixelRatio() == 2.0)
      screenOf[qRound(screen->devicePixelRatio())] = screen;
  if (!screenOf[1] || !screenOf[2]) GTEST_SKIP() << "no screens of scales 1 and 2: run by CTest with two";
  FakePort port;
  Form2 form(port);
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  struct Step {
    int dpr;
    bool dimmed;
  };
  for (const Step& step : {Step{2, false}, Step{1, false}, Step{2, true}, Step{1, true}}) {
    SCOPED_TRACE("scale " + std::to_string(step.dpr) + (step.dimmed ? ", dimmed" : ""));
    form.showStatus({step.dimmed, ""});
    form.windowHandle()->setScreen(screenOf[step.dpr]);
    ASSERT_DOUBLE_EQ(form.devicePixelRatioF(), step.dpr);
    for (QLabel* lamp : {form.imgr[2], form.imgg0[5]}) {
      const QPixmap picture = lamp->pixmap();
      EXPECT_DOUBLE_EQ(picture.devicePixelRatio(), step.dpr) << lamp->objectName().toStdString();
      EXPECT_EQ(picture.width(), lamp->width() * step.dpr) << lamp->objectName().toStdString();
    }
    // The centre keeps its colour, dimmed or not, at either scale.
    const QImage red = form.imgr[2]->pixmap().toImage();
    const QColor centre = red.pixelColor(red.width() * 18 / 37, red.height() * 31 / 37);
    EXPECT_GT(centre.red(), 2 * centre.green());
    EXPECT_EQ(centre.red() < 255, step.dimmed) << centre.name().toStdString();
  }
}

}  // namespace
}  // namespace varnak::testing
