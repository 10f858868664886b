#include "shell/forms.h"

#include <stdexcept>

#include "platform/application.h"
#include "shell/foption.h"
#include "shell/form1.h"
#include "surface/fcover.h"

void CreateForms(TApplication& app) {
  app.Title = QStringLiteral("Quilmar");
  app.setApplicationName(QStringLiteral("quilmar"));
  app.Initialize();
  app.CreateForm(Form1);
  // For the tests of the start-up guard only: a failure while the forms are being created, of
  // the framework's kind or of any other.
  if (const QByteArray fail = qgetenv("QUILMAR_TEST_FAIL_AT_START"); !fail.isEmpty()) {
    if (fail == "framework") throw Exception(QStringLiteral("Start-up failed on purpose"));
    throw std::runtime_error("start-up failed on purpose");
  }
  app.CreateForm(FCover);
  app.CreateForm(FOption);
}
