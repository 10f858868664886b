#pragma once

#include <QComboBox>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/qt/qtcontrols.h"
#include "platform/qt/qtform.h"
#include "platform/qt/qtpixels.h"
#include "platform/desktop.h"
#include "platform/raster/bitmap.h"

// Desktop services for the offscreen tests: the "screen" is a known pattern, the hot key is
// recorded and delivered by the test itself.
class TTestDesktop : public TDesktopServices {
 public:
  bool RegisterHotKey(int id, unsigned modifiers, unsigned virtualKey, THotKeyHandler handler) override;
  void UnregisterHotKeys() override { Handler = nullptr; }
  void PrepareCapture(int, int) override { ++Prepared; }
  // The pattern as seen from (left, top) of the desktop, each capture's origin recorded.
  bool CaptureScreen(TBitmap& target, int left, int top, int width, int height) override;
  // Memory of the desktop's own that a capture can write into, as the shared segment on X11:
  // the surface's background lives on it.
  TPixelBlock CaptureMemory(int width, int height) override;
  void HideFromTaskbar() override {}
  // Composes the frame as the window system would show it at the map.
  bool PresetFirstFrame(std::uintptr_t window, const TBitmap& picture, const TBitmap& overlay, int x, int y) override;
  void ForgetFirstFrame(std::uintptr_t window) override;

  int HotKeyId = 0;
  unsigned HotKeyModifiers = 0;
  unsigned HotKeyKey = 0;
  THotKeyHandler Handler;
  int Captures = 0;
  QPoint CaptureOrigin;
  int Prepared = 0;
  std::uint32_t Seed = 1;  // changes the pattern
  std::shared_ptr<std::vector<std::uint32_t>> Memory;
  QImage FirstFrame;                    // the last preset frame
  std::uintptr_t FirstFrameWindow = 0;  // its window, until forgotten

 private:
  std::vector<std::uint32_t> FPattern;
  std::uint32_t FPatternSeed = 0;
  int FPatternWidth = 0;
  int FPatternHeight = 0;
  QPoint FPatternOrigin;
};

TTestDesktop& Desktop();

class TApplication;
// Gives the application the test desktop and creates the real forms as the program does, the
// marker shown; for programs that drive the forms offscreen.
void CreateTestForms(TApplication& app);

// The pattern the test desktop shows at (x, y), as a 0x00RRGGBB pixel.
std::uint32_t ScreenPattern(std::uint32_t seed, int x, int y);

// Puts the program back into the idle state with default settings between tests.
void ResetToIdle();
// Enters the working state the way Ctrl+F1 does.
void StartWorking();

// Pixel helpers; the top byte is not compared.
std::uint32_t Rgb(std::uint32_t pixel);
std::uint32_t SurfacePixel(int x, int y);
std::uint32_t BackgroundPixel(int x, int y);
// Number of window pixels that differ from the background inside (or, with `outside`, outside)
// the rectangle.
int DiffCount(int left, int top, int right, int bottom);
std::vector<std::uint32_t> SurfaceCopy();

// Runs `answer` on the next modal window or pop-up that opens (message box, menu, dialog),
// checking every few milliseconds; `answer` must close it.
QPointer<QTimer> AnswerNextModal(std::function<void(QWidget*)> answer);

// The texts a user reads on `window` that are still in English: its title, the visible labels,
// group titles, buttons (with their tool tips) and list headers, each with its mnemonic marks
// taken out. Entries of lists and combo boxes (file and face names) are not looked at.
std::vector<QString> EnglishTexts(QWidget* window);
