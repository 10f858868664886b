// What undo keeps: the memory of one step for a typical stroke, a figure, a refresh and the white
// board, on a screen of the size given ("1920x1080", the default, or "3840x2160"), and how many
// typical strokes fit in the history's bound. The frozen screen is either a flat desktop (large
// areas of one colour, as most screens are) or noise, the worst case for packing.
#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QTemporaryFile>
#include <QWindow>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/application.h"
#include "platform/desktop.h"
#include "platform/qt/qtform.h"
#include "platform/qt/qtcontrols.h"
#include "shell/form1.h"
#include "shell/forms.h"
#include "surface/fcover.h"

namespace {

bool Noisy = false;

class TBenchDesktop : public TDesktopServices {
 public:
  bool RegisterHotKey(int, unsigned, unsigned, THotKeyHandler) override { return true; }
  void UnregisterHotKeys() override {}
  void PrepareCapture(int, int) override {}
  bool CaptureScreen(TBitmap& target, int, int, int width, int height) override {
    for (int y = 0; y < std::min(height, target.Height()); ++y)
      for (int x = 0; x < std::min(width, target.Width()); ++x) {
        // Flat: a desktop colour with windows of other flat colours and lines of text-like dots.
        const std::uint32_t flat = (x / 400 + y / 300) % 3 == 0            ? 0x3A6EA5u
                                   : (y % 18 < 12 && (x * 7 + y) % 11 < 4) ? 0x202020u
                                                                           : 0xF0F0F0u;
        const std::uint32_t noise =
            (static_cast<std::uint32_t>(x * 2654435761u) ^ static_cast<std::uint32_t>(y * 40503u));
        target.SetPixel(x, y, (Noisy ? noise : flat) & 0xFFFFFF);
      }
    return true;
  }
  void HideFromTaskbar() override {}
};

void Send(QWidget* target, QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(p), QPointF(p), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

double Kib(std::size_t bytes) { return static_cast<double>(bytes) / 1024.0; }

}  // namespace

int main(int argc, char** argv) {
  int width = 1920, height = 1080;
  if (argc > 1) std::sscanf(argv[1], "%dx%d", &width, &height);
  QTemporaryFile config(QDir::tempPath() + QStringLiteral("/quilmar-bench-XXXXXX.json"));
  config.open();
  config.write(
      QStringLiteral(R"({"screens":[{"name":"bench","x":0,"y":0,"width":%1,"height":%2,"logicalDpi":96,"dpr":1}]})")
          .arg(width)
          .arg(height)
          .toUtf8());
  config.flush();
  qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config.fileName()).toLocal8Bit());

  TApplication app(argc, argv);
  app.SetDesktop(std::make_unique<TBenchDesktop>());
  CreateForms(app);
  QtOf(Form1)->show();
  std::printf("screen %dx%d; bound %zu MiB, pool included\n", width, height, TUndoHistory::Budget >> 20);
  std::printf("%-8s %-34s %12s %12s\n", "screen", "step", "KiB kept", "undo ms");
  for (const bool noisy : {false, true}) {
    Noisy = noisy;
    const char* kind = noisy ? "noise" : "flat";
    Form1->StartDrawing();
    app.ProcessMessages();
    QWidget* box = QtOf(FCover->PaintBox1);
    QWindow* window = QtOf(FCover)->windowHandle();
    const auto undoMs = [&] {
      const auto t0 = std::chrono::steady_clock::now();
      FCover->Undo();
      const auto t1 = std::chrono::steady_clock::now();
      FCover->Redo();
      return std::chrono::duration<double, std::milli>(t1 - t0).count();
    };
    const auto row = [&](const char* name) {
      const std::size_t bytes = FCover->History().UndoCount() ? FCover->History().LastStepBytes() : 0;
      std::printf("%-8s %-34s %12.1f %12.2f\n", kind, name, Kib(bytes), undoMs());
      return bytes;
    };
    // A typical stroke: width 3, about 600 pixels long, a move every 10 pixels.
    FCover->TBpenClick();
    Send(box, QEvent::MouseButtonPress, QPoint(300, 400), Qt::LeftButton, Qt::LeftButton);
    for (int i = 1; i <= 60; ++i) {
      const QPoint p(300 + i * 10, 400 + static_cast<int>(80 * std::sin(i * 0.15)));
      QMouseEvent move(QEvent::MouseMove, QPointF(p), QPointF(p), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(window, &move);
    }
    Send(box, QEvent::MouseButtonRelease, QPoint(900, 400), Qt::LeftButton, Qt::NoButton);
    const std::size_t stroke = row("stroke (width 3, 600 px)");
    FCover->TBrectClick();
    Send(box, QEvent::MouseButtonPress, QPoint(200, 200), Qt::LeftButton, Qt::LeftButton);
    QMouseEvent move(QEvent::MouseMove, QPointF(1200, 800), QPointF(1200, 800), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(window, &move);
    Send(box, QEvent::MouseButtonRelease, QPoint(1200, 800), Qt::LeftButton, Qt::NoButton);
    row("rectangle 1000 x 600");
    FCover->TBrefreshClick();
    row("refresh of those two");
    FCover->TBwhiteClick();
    row("white board");
    const std::size_t room = TUndoHistory::Budget - (FCover->History().Bytes() - FCover->History().StepBytes());
    std::printf("%-8s %-34s %12zu\n", kind, "typical strokes within the bound", stroke ? room / stroke : 0);
    Form1->StopDrawing();
    app.ProcessMessages();
  }
  return 0;
}
