#include <gtest/gtest.h>

#include "platform/application.h"
#include "shell/form1.h"
#include "shell/forms.h"
#include "surface/fcover.h"
#include "tests/component/harness.h"

// The real forms, created as the program creates them, on Qt's offscreen platform.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Always the offscreen platform, also when ctest lists the tests at build time.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  TApplication app(argc, argv);
  app.SetDesktop(std::make_unique<TTestDesktop>());
  CreateForms(app);
  Form1->show();
  app.ProcessMessages();
  return RUN_ALL_TESTS();
}
