// GoogleTest main for tests that need a QApplication (offscreen unless a display is given).
#include <gtest/gtest.h>

#include <QApplication>

#include "panel/startup.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  varnak::UsePlainEventLoop();
  QApplication app(argc, argv);
  varnak::ApplyPanelFont(app);
  return RUN_ALL_TESTS();
}
