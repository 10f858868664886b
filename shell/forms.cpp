#include "shell/forms.h"

#include <QPixmapCache>
#include <stdexcept>

#include "platform/application.h"
#include "platform/qt/qtraster.h"
#include "shell/foption.h"
#include "shell/form1.h"
#include "surface/fcover.h"

void CreateForms(TApplication& app) {
  app.Title = QStringLiteral("Quilmar");
  app.setApplicationName(QStringLiteral("quilmar"));
  app.Initialize();
  // Every file dialog and message box makes its standard icons anew, and their scaled pixmaps
  // go into the toolkit's pixmap cache under keys that are never asked for again. Whatever the
  // limit, the cache keeps the text of every key it ever dropped (Qt 6.4), so a program that
  // stays resident all day would grow by a few kilobytes with every dialog it shows. Without the
  // cache the style paints our few small windows directly, which costs microseconds.
  QPixmapCache::setCacheLimit(PixmapCacheKilobytes);
  app.CreateForm(Form1);
  // For the tests of the start-up guard only: a failure while the forms are being created, of
  // the framework's kind or of any other.
  if (const QByteArray fail = qgetenv("QUILMAR_TEST_FAIL_AT_START"); !fail.isEmpty()) {
    if (fail == "framework") throw Exception(Str(QStringLiteral("Start-up failed on purpose")));
    throw std::runtime_error("start-up failed on purpose");
  }
  app.CreateForm(FCover);
  app.CreateForm(FOption);
}
