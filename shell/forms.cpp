#include "shell/forms.h"

#include <cstdlib>
#include <stdexcept>

#include "platform/application.h"
#include "shell/foption.h"
#include "shell/form1.h"
#include "surface/fcover.h"

void CreateForms(TApplication& app) {
  app.Title = "Quilmar";
  app.SetName("quilmar");
  app.Initialize();
  app.CreateForm(Form1);
  // For the tests of the start-up guard only: a failure while the forms are being created, of
  // the framework's kind or of any other.
  if (const char* fail = std::getenv("QUILMAR_TEST_FAIL_AT_START"); fail && *fail) {
    if (String(fail) == "framework") throw Exception("Start-up failed on purpose");
    throw std::runtime_error("start-up failed on purpose");
  }
  app.CreateForm(FCover);
  app.CreateForm(FOption);
}
