#include <gtest/gtest.h>

#include "platform/application.h"

// The widgetset's tests share one application object, as the program has: it installs the
// widgetset and the raster engines and lives until the tests end.
int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  TApplication application(argc, argv);
  application.Title = "Quilmar";
  application.Initialize();
  return RUN_ALL_TESTS();
}
