#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/win32/capture.h"
#include "support.h"

namespace {

constexpr int PatternWidth = 61;  // odd sizes: no row happens to line up with anything
constexpr int PatternHeight = 37;

// Every pixel different, black and white among them, colours 0x00RRGGBB.
std::vector<std::uint32_t> Pattern() {
  std::vector<std::uint32_t> pixels(PatternWidth * PatternHeight);
  std::uint32_t state = 12345;
  for (std::uint32_t& pixel : pixels) {
    state = state * 1664525u + 1013904223u;
    pixel = state >> 8;
  }
  pixels[0] = 0x000000;
  pixels[1] = 0xFFFFFF;
  return pixels;
}

const std::vector<std::uint32_t>& ThePattern() {
  static const std::vector<std::uint32_t> pattern = Pattern();
  return pattern;
}

LRESULT CALLBACK PatternProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = PatternWidth;
    info.bmiHeader.biHeight = -PatternHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, 0, 0, PatternWidth, PatternHeight, 0, 0, 0, PatternHeight, ThePattern().data(), &info,
                      DIB_RGB_COLORS);
    EndPaint(window, &paint);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// A borderless stay-on-top window showing the pattern at (left, top) of the screen.
HWND ShowPattern(int left, int top) {
  static const bool registered = [] {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = PatternProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QuilmarPattern";
    return RegisterClassW(&windowClass) != 0;
  }();
  if (!registered) return nullptr;
  HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"QuilmarPattern", L"", WS_POPUP, left, top,
                                PatternWidth, PatternHeight, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!window) return nullptr;
  ShowWindow(window, SW_SHOWNOACTIVATE);
  UpdateWindow(window);
  return window;
}

// Whether the capture shows the pattern at (left, top); the first difference in `where`.
bool Matches(const TWin32DibSurface& capture, int left, int top, std::string* where = nullptr) {
  for (int y = 0; y < PatternHeight; ++y)
    for (int x = 0; x < PatternWidth; ++x) {
      const std::uint32_t got = capture.Pixels()[std::size_t(top + y) * capture.Width() + left + x];
      const std::uint32_t want = ThePattern()[y * PatternWidth + x];
      if (got != want) {
        if (where) *where = "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
        return false;
      }
    }
  return true;
}

TEST(Capture, CapturesWhatIsOnTheScreenPixelForPixel) {
  const int width = DesktopWidth();
  const int height = DesktopHeight();
  ASSERT_GT(width, 200);
  ASSERT_GT(height, 200);
  auto capture = TWin32DibSurface::Create(width, height);
  ASSERT_TRUE(capture);

  const int left = 137;
  const int top = 91;
  HWND window = ShowPattern(left, top);
  ASSERT_TRUE(window);
  RECT placed{};
  GetWindowRect(window, &placed);
  ASSERT_EQ(placed.left, left);
  ASSERT_EQ(placed.top, top);

  // The window system shows the painted window a moment later; once it shows, every pixel
  // must be exact.
  const bool shown = PumpUntil([&] { return CaptureDesktop(*capture, width, height) && Matches(*capture, left, top); },
                               5000);
  std::string where;
  EXPECT_TRUE(shown || Matches(*capture, left, top, &where)) << "first difference at " << where;

  // A target smaller than the screen gets the screen's top-left part only, nothing written
  // past its end.
  const int smallWidth = left + 20;
  const int smallHeight = top + 10;
  std::vector<std::uint32_t> guard(16, 0xA5A5A5A5);
  auto small = TWin32DibSurface::Create(smallWidth, smallHeight);
  ASSERT_TRUE(small);
  ASSERT_TRUE(CaptureDesktop(*small, width, height));
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x)
      ASSERT_EQ(small->Pixels()[std::size_t(top + y) * smallWidth + left + x], ThePattern()[y * PatternWidth + x]);
  // From an origin (a monitor beside the primary one): the pattern lands at the target's corner.
  auto beside = TWin32DibSurface::Create(20, 10);
  ASSERT_TRUE(beside);
  ASSERT_TRUE(CaptureDesktop(*beside, 20, 10, left, top));
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(beside->Pixels()[y * 20 + x], ThePattern()[y * PatternWidth + x]);
  DestroyWindow(window);
}

TEST(Capture, EmptySizesAreRefusedOrCopyNothing) {
  EXPECT_FALSE(TWin32DibSurface::Create(0, 10));
  EXPECT_FALSE(TWin32DibSurface::Create(10, -1));
  auto surface = TWin32DibSurface::Create(4, 4);
  ASSERT_TRUE(surface);
  for (int i = 0; i < 16; ++i) surface->Pixels()[i] = 0x123456;
  EXPECT_TRUE(CaptureDesktop(*surface, 0, 4));
  for (int i = 0; i < 16; ++i) EXPECT_EQ(surface->Pixels()[i], 0x123456u);
}

TEST(Cursor, PositionFollowsThePointer) {
  for (const auto& [x, y] : {std::pair{123, 77}, std::pair{5, 400}}) {
    ASSERT_EQ(RunHost("/usr/bin/xdotool mousemove " + std::to_string(x) + " " + std::to_string(y)), 0);
    int gotX = -1;
    int gotY = -1;
    EXPECT_TRUE(PumpUntil([&] { return CursorPosition(gotX, gotY) && gotX == x && gotY == y; }, 3000))
        << gotX << ", " << gotY;
  }
}

}  // namespace
