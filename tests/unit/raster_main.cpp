#include <gtest/gtest.h>

#include <QGuiApplication>

#include "platform/qt/qtraster.h"

// Text and smooth scaling go through Qt's font engine, which needs a QGuiApplication; the offscreen platform
// gives one without a display.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  InstallQtRasterEngines();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
