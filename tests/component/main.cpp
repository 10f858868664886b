#include <gtest/gtest.h>

#include "platform/application.h"
#include "tests/component/harness.h"

// The real forms, created as the program creates them, on Qt's offscreen platform.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Always the offscreen platform, also when ctest lists the tests at build time.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  TApplication app(argc, argv);
  CreateTestForms(app);
  return RUN_ALL_TESTS();
}
