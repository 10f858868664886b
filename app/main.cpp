#include "platform/application.h"
#include "platform/desktop.h"
#include "platform/ending.h"
#include "platform/forms.h"
#include "platform/instance.h"
#include "platform/sysutils.h"
#include "platform/timers.h"
#include "shell/form1.h"
#include "shell/forms.h"
#include "surface/fcover.h"

namespace {

const String InstanceName = "OneInstanceAllowed";
const String ActivationMessage = "KezOnlyOne";

// Everything the first freeze needs, made while idle right after start-up, so that the first
// Ctrl+F1 is as quick as the later ones: the capture's shared memory, the two screen-sized
// layers (the background on that shared memory where there is one) and the surface's native
// window, given its geometry first, and the caption faces. Nothing more stays resident: a
// snapshot or save buffer is made when a dialog needs one, and the font files' pages are let go.
void PrepareFirstFreeze() {
  // The screen the pointer is on now is the likeliest to be frozen first.
  const TMonitor monitor = Screen().MonitorUnderPointer();
  Application->Desktop().PrepareCapture(static_cast<int>(monitor.DeviceRect.Width()),
                                        static_cast<int>(monitor.DeviceRect.Height()));
  try {
    FCover->PrepareForShowing(monitor);
  } catch (const EOutOfResources&) {
    return;  // a screen too large for the memory is told at the first Ctrl+F1
  }
  FCover->CreateNativeWindow();
  FCover->WarmUpCaptions();
  // The faces are loaded and measured; the pages of their files that this read are not needed
  // again while idle.
  Form1->ReleaseIdlePagesLater();
}

}  // namespace

int main(int argc, char** argv) {
  // The test for a running copy and the taking of the lock are one step, before anything else
  // exists: a second copy shows nothing and only asks the first to come forward.
  std::unique_ptr<TInstanceLock> lock = TInstanceLock::Acquire(InstanceName);
  if (!lock) {
    SendActivation(InstanceName, ActivationMessage);
    return 0;
  }
  // The application object outlives the guard, so that a failure while the forms are created
  // can still be shown.
  TApplication app(argc, argv);
  std::unique_ptr<TActivationListener> listener;
  // A copy started on a new server of the same name must not take itself for a second one.
  const TLostDisplayGuard lostDisplay([&] {
    listener.reset();
    lock.reset();
  });
  const TTerminationSignals termination([&app] { app.Terminate(); });
  try {
    CreateForms(app);
    listener = std::make_unique<TActivationListener>(InstanceName, [](const String& message) {
      // Anything else a local client sends is not a request of ours.
      if (message != ActivationMessage) return;
      TMessage activation{RegisterWindowMessage(message), 0, 0, 0};
      Application->DeliverToMainWindow(activation);
    });
    QueueCall([] { RunHandler(PrepareFirstFreeze); });
    app.Run();
  } catch (const Exception& e) {
    app.ShowException(e.Message());
  } catch (...) {
    app.ShowException(String());
  }
  return 0;
}
