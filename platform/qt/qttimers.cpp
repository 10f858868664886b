#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "platform/sysutils.h"
#include "platform/timers.h"

namespace {

QCoreApplication& Loop() {
  QCoreApplication* app = QCoreApplication::instance();
  // Without the application object the call would be dropped without a word.
  if (!app) throw Exception("A call was queued before the application object exists");
  return *app;
}

}  // namespace

void QueueCall(std::function<void()> call) { CallAfter(0, std::move(call)); }

void CallAfter(int milliseconds, std::function<void()> call) {
  QTimer::singleShot(std::max(0, milliseconds), &Loop(), std::move(call));
}
