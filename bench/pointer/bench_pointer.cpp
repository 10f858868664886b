// The cost of one pointer move for each tool at 3840x2160 through the real handlers: a mouse
// event sent to the surface, the pixels changed and the damaged rectangles handed to the window
// system. Prints median and worst of 10 000 moves and the heap allocations per move.
// A second table times the repaint that follows one move of a figure tool: the paint of the
// damaged region, with the area and number of rectangles it covered.
#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QTemporaryFile>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

#include "platform/application.h"
#include "platform/desktop.h"
#include "platform/image.h"
#include "platform/qt/qtform.h"
#include "platform/qt/qtcontrols.h"
#include "shell/form1.h"
#include "shell/forms.h"
#include "surface/fcover.h"
#include "tests/support/allocation_count.h"

namespace {

// This thread's CPU time in milliseconds.
double ThreadCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

constexpr int ScreenW = 3840;
constexpr int ScreenH = 2160;
constexpr int Moves = 10000;
constexpr int Repaints = 400;

// A desktop whose screen is a fixed pattern.
class TBenchDesktop : public TDesktopServices {
 public:
  bool RegisterHotKey(int, unsigned, unsigned, THotKeyHandler) override { return true; }
  void UnregisterHotKeys() override {}
  void PrepareCapture(int, int) override {}
  bool CaptureScreen(TBitmap& target, int, int, int width, int height) override {
    for (int y = 0; y < std::min(height, target.Height()); ++y)
      for (int x = 0; x < std::min(width, target.Width()); ++x)
        target.SetPixel(
            x, y, (static_cast<std::uint32_t>(x * 2654435761u) ^ static_cast<std::uint32_t>(y * 40503u)) & 0xFFFFFF);
    return true;
  }
  void HideFromTaskbar() override {}
};

void Send(QWidget* target, QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(p), QPointF(p), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

struct TTool {
  const char* Name;
  void (TFCover::*Choose)();
};

// Sees each paint the box receives and adds up the region it covers.
class TPaintCounter : public QObject {
 public:
  long Paints = 0;
  double Pixels = 0;
  long Rects = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::Paint) return false;
    const QRegion& region = static_cast<QPaintEvent*>(event)->region();
    ++Paints;
    Rects += region.rectCount();
    for (const QRect& r : region) Pixels += double(r.width()) * r.height();
    return false;
  }
};

// The far corner of a screen-sized figure, wandering near the opposite corner of the screen.
QPoint FarCorner(int i) { return QPoint(ScreenW - 8 - (i * 7) % 40, ScreenH - 8 - (i * 11) % 40); }

}  // namespace

int main(int argc, char** argv) {
  // An offscreen screen of the size we measure at.
  QTemporaryFile config(QDir::tempPath() + QStringLiteral("/quilmar-bench-XXXXXX.json"));
  config.open();
  config.write(
      QStringLiteral(R"({"screens":[{"name":"bench","x":0,"y":0,"width":%1,"height":%2,"logicalDpi":96,"dpr":1}]})")
          .arg(ScreenW)
          .arg(ScreenH)
          .toUtf8());
  config.flush();
  qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config.fileName()).toLocal8Bit());

  TApplication app(argc, argv);
  app.SetDesktop(std::make_unique<TBenchDesktop>());
  CreateForms(app);
  QtOf(Form1)->show();
  Form1->StartDrawing();
  app.ProcessMessages();
  if (FCover->Width() != ScreenW || FCover->Height() != ScreenH) {
    std::printf("surface is %dx%d, not %dx%d: the offscreen screen size was not applied\n", FCover->Width(),
                FCover->Height(), ScreenW, ScreenH);
    return 1;
  }
  FCover->MElinewidth->SetText("20");
  // The bar floats off the figures' corners so that the moves measure drawing, not clipping.
  FCover->ToolButton4Click();

  const TTool tools[] = {
      {"freehand", &TFCover::TBpenClick},    {"eraser", &TFCover::TBeraserClick},
      {"line", &TFCover::TBlineClick},       {"rectangle", &TFCover::TBrectClick},
      {"ellipse", &TFCover::TBcircleClick},  {"rounded rectangle", &TFCover::TBroundrectClick},
      {"diamond", &TFCover::TBdiamondClick}, {"selection frame", &TFCover::TBselectClick},
  };
  // "worst cpu" is the worst move in this thread's own CPU time: a wall-clock worst far above it
  // was time the thread spent off the processor (the machine's other work), not in the move.
  std::printf("%-18s %12s %12s %12s %12s %8s %14s\n", "tool (width 20)", "median ms", "99.9% ms", "worst ms",
              "worst cpu ms", "worst at", "allocs/move");
  QWidget* box = QtOf(FCover->PaintBox1);
  // Moves arrive at the window, as the window system delivers them.
  QWindow* window = QtOf(FCover)->windowHandle();
  for (const TTool& tool : tools) {
    (FCover->*tool.Choose)();
    FCover->TBrefreshClick();
    app.ProcessMessages();
    const bool figure = tool.Choose != &TFCover::TBpenClick && tool.Choose != &TFCover::TBeraserClick;
    const QPoint start = figure ? QPoint(8, 8) : QPoint(ScreenW / 2, ScreenH / 2);
    Send(box, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    std::vector<double> ms;
    ms.reserve(Moves);
    double worstCpu = 0;
    long allocations = 0;
    for (int i = 0; i < Moves; ++i) {
      // Figures: the far corner wanders near the opposite corner of the screen, so every
      // preview is screen-sized. Strokes and the eraser: 40-pixel steps round a circle.
      QPoint p;
      if (figure) {
        p = FarCorner(i);
      } else {
        const double a = i * 0.05;
        p = QPoint(ScreenW / 2 + static_cast<int>(800 * std::cos(a)),
                   ScreenH / 2 + static_cast<int>(800 * std::sin(a)));
      }
      // The event is made before the clock starts: the window system makes it, not us.
      QMouseEvent move(QEvent::MouseMove, QPointF(p), QPointF(p), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
      const long before = HeapAllocations();
      const double cpu0 = ThreadCpuMs();
      const auto t0 = std::chrono::steady_clock::now();
      QApplication::sendEvent(window, &move);
      const auto t1 = std::chrono::steady_clock::now();
      worstCpu = std::max(worstCpu, ThreadCpuMs() - cpu0);
      allocations += HeapAllocations() - before;
      ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
      // The window system repaints between moves, as it does while a teacher drags.
      if (i % 16 == 15) app.ProcessMessages();
    }
    // Released where it started: a selection ending there opens no region menu.
    Send(box, QEvent::MouseButtonRelease, start, Qt::LeftButton, Qt::NoButton);
    app.ProcessMessages();
    const auto worstAt = std::max_element(ms.begin(), ms.end()) - ms.begin();
    std::sort(ms.begin(), ms.end());
    std::printf("%-18s %12.4f %12.4f %12.4f %12.4f %8ld %14.2f\n", tool.Name, ms[ms.size() / 2],
                ms[ms.size() * 999 / 1000], ms.back(), worstCpu, static_cast<long>(worstAt),
                static_cast<double>(allocations) / Moves);
  }

  {
    // The machine's own noise: the same fixed work (a 3 MiB read-modify-write, about as long
    // as a figure's move) timed the same way. Its worst shows what the machine adds to any
    // single measurement; a tool's worst near it is noise, not the tool.
    std::vector<std::uint32_t> block(3 << 18, 1);
    std::vector<double> ms;
    ms.reserve(Moves);
    double worstCpu = 0;
    for (int i = 0; i < Moves; ++i) {
      const double cpu0 = ThreadCpuMs();
      const auto t0 = std::chrono::steady_clock::now();
      for (std::uint32_t& word : block) word = word * 1664525u + 1013904223u;
      const auto t1 = std::chrono::steady_clock::now();
      worstCpu = std::max(worstCpu, ThreadCpuMs() - cpu0);
      ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    std::printf("(fixed work)       ");
    const auto worstAt = std::max_element(ms.begin(), ms.end()) - ms.begin();
    std::sort(ms.begin(), ms.end());
    std::printf(" %12.4f %12.4f %12.4f %12.4f %8ld %14s   checksum %u\n", ms[ms.size() / 2], ms[ms.size() * 999 / 1000],
                ms.back(), worstCpu, static_cast<long>(worstAt), "-", block[12345]);
  }

  // Each move is followed by the repaint it causes; only the repaint is timed.
  std::printf("\nrepaint after a move (median of %d)\n", Repaints);
  std::printf("%-18s %12s %14s %14s\n", "tool (width 20)", "median ms", "Mpixels/paint", "rects/paint");
  TPaintCounter counter;
  box->installEventFilter(&counter);
  for (const TTool& tool : tools) {
    if (tool.Choose == &TFCover::TBpenClick || tool.Choose == &TFCover::TBeraserClick) continue;
    (FCover->*tool.Choose)();
    FCover->TBrefreshClick();
    app.ProcessMessages();
    const QPoint start(8, 8);
    Send(box, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    // The first preview of a figure is new everywhere; the table is about the moves after it.
    QMouseEvent first(QEvent::MouseMove, QPointF(FarCorner(0)), QPointF(FarCorner(0)), Qt::NoButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(window, &first);
    app.ProcessMessages();
    counter.Paints = 0, counter.Pixels = 0, counter.Rects = 0;
    std::vector<double> ms;
    ms.reserve(Repaints);
    for (int i = 1; i <= Repaints; ++i) {
      const QPoint p = FarCorner(i);
      QMouseEvent move(QEvent::MouseMove, QPointF(p), QPointF(p), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(window, &move);
      const auto t0 = std::chrono::steady_clock::now();
      app.ProcessMessages();
      const auto t1 = std::chrono::steady_clock::now();
      ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    const double paints = std::max(1L, counter.Paints);
    const double pixels = counter.Pixels / paints, rects = counter.Rects / paints;
    Send(box, QEvent::MouseButtonRelease, start, Qt::LeftButton, Qt::NoButton);
    app.ProcessMessages();
    std::sort(ms.begin(), ms.end());
    std::printf("%-18s %12.4f %14.3f %14.1f\n", tool.Name, ms[ms.size() / 2], pixels / 1e6, rects);
  }
  box->removeEventFilter(&counter);
  Form1->StopDrawing();
  return 0;
}
