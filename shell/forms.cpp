#include "shell/forms.h"

#include "platform/application.h"
#include "shell/foption.h"
#include "shell/form1.h"
#include "surface/fcover.h"

void CreateForms(TApplication& app) {
  app.Title = QStringLiteral("Quilmar");
  app.setApplicationName(QStringLiteral("quilmar"));
  app.Initialize();
  app.CreateForm(Form1);
  app.CreateForm(FCover);
  app.CreateForm(FOption);
}
