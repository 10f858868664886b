#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "platform/application.h"
#include "platform/desktop.h"
#include "platform/paintbox.h"
#include "platform/stdctrls.h"
#include "platform/win32/widgetset/wscontrols.h"
#include "support.h"
#include "ws_support.h"

namespace {

constexpr int FormLeft = 100, FormTop = 100, BoxWidth = 300, BoxHeight = 200;

// A borderless form whose client area is the paint box, on the screen at (FormLeft, FormTop).
class TBoxForm : public TForm {
 public:
  TBoxForm() : TForm("BoxForm", TFormRole::Window), Box("PaintBox1", this) {
    SetBorderStyle(bsNone);
    SetBounds(FormLeft, FormTop, BoxWidth, BoxHeight);
    Background.SetSize(BoxWidth, BoxHeight);
    for (int y = 0; y < BoxHeight; ++y)
      for (int x = 0; x < BoxWidth; ++x) Background.SetPixel(x, y, 0x00103050);
    Box.SetBounds(0, 0, BoxWidth, BoxHeight);
    Box.SetBackground(&Background);
    Box.OnPaint = [this] { ++Paints; };
    Box.OnMouseDown = [this](TMouseButton b, TShiftState s, int x, int y) { Events.push_back({'D', b, s, x, y}); };
    Box.OnMouseMove = [this](TShiftState s, int x, int y) { Events.push_back({'M', mbLeft, s, x, y}); };
    Box.OnMouseUp = [this](TMouseButton b, TShiftState s, int x, int y) { Events.push_back({'U', b, s, x, y}); };
  }
  ~TBoxForm() override { Hide(); }
  void ShowPainted() {
    Box.PrepareBuffer();
    Box.Invalidate();
    Show();
    Activate();
    ASSERT_TRUE(LoopUntil([this] { return Active() && Paints > 0; }, 3000));
  }
  // The window manager frames a new window after the program shows it; a press sent before then
  // may never reach the box. The pointer is ready once the box hears of it.
  void WaitForPointer() {
    for (int attempt = 0; attempt < 20 && Events.empty(); ++attempt) {
      RunHost("xdotool mousemove " + std::to_string(FormLeft + 2 + attempt % 2) + " " + std::to_string(FormTop + 2));
      LoopUntil([this] { return !Events.empty(); }, 150);
    }
    ASSERT_FALSE(Events.empty()) << "the pointer never reached the box";
    Events.clear();
  }
  struct TEvent {
    char Kind;
    TMouseButton Button;
    TShiftState Shift;
    int X, Y;
  };
  TBitmap Background;
  TPaintBox Box;
  int Paints = 0;
  std::vector<TEvent> Events;
};

std::uint32_t ScreenPixel(int x, int y) {
  HDC screen = GetDC(nullptr);
  const COLORREF c = GetPixel(screen, x, y);
  ReleaseDC(nullptr, screen);
  return std::uint32_t(GetRValue(c)) << 16 | std::uint32_t(GetGValue(c)) << 8 | GetBValue(c);
}

// What the screen shows of the box, captured as the program captures the screen.
TBitmap Shown() {
  TBitmap captured(BoxWidth, BoxHeight);
  EXPECT_TRUE(Application->Desktop().CaptureScreen(captured, FormLeft, FormTop, BoxWidth, BoxHeight));
  return captured;
}

void Xdo(const std::string& commands) { ASSERT_EQ(RunHost("xdotool " + commands), 0) << commands; }
std::string At(int x, int y) { return "mousemove " + std::to_string(FormLeft + x) + " " + std::to_string(FormTop + y); }

// Every pixel the canvas draws shows on the screen as it is in the window pixels.
TEST(TWin32PaintBox, CanvasPixelsShowExactly) {
  TBoxForm form;
  form.ShowPainted();
  TCanvas* canvas = form.Box.Canvas();
  canvas->Brush.Color = 0x0000C0FF;  // 0x00BBGGRR
  canvas->Pen.Color = 0x00FF0000;
  canvas->Pen.Width = 3;
  canvas->Rectangle(20, 30, 121, 91);
  canvas->Pen.Color = 0x0000FF00;
  canvas->Pen.Width = 1;
  canvas->MoveTo(0, 199);
  canvas->LineTo(299, 0);
  // The odd pixels along the far edges too.
  form.Box.Pixels().SetPixel(299, 199, 0x00ABCDEF);
  form.Box.Handle().InvalidateRect(TRect{299, 199, 300, 200});
  ASSERT_TRUE(LoopUntil([] { return ScreenPixel(FormLeft + 299, FormTop + 199) == 0x00ABCDEF; }, 2000));
  const TBitmap shown = Shown();
  const TBitmap& pixels = form.Box.Pixels();
  EXPECT_EQ(shown.Pixel(60, 60), 0x00FFC000u);  // the brush, as 0x00RRGGBB
  EXPECT_EQ(shown.Pixel(5, 5), 0x00103050u);    // the background
  for (int y = 0; y < BoxHeight; ++y)
    for (int x = 0; x < BoxWidth; ++x) ASSERT_EQ(shown.Pixel(x, y), pixels.Pixel(x, y)) << x << "," << y;
}

// A damaged rectangle repaints that part alone: pixels changed elsewhere without a damage report
// stay as the screen had them.
TEST(TWin32PaintBox, ADamagedRectangleRepaintsOnlyThere) {
  TBoxForm form;
  form.ShowPainted();
  TBitmap& pixels = form.Box.Pixels();
  for (int y = 0; y < BoxHeight; ++y)
    for (int x = 0; x < BoxWidth; ++x) pixels.SetPixel(x, y, 0x00E01020);
  const int before = form.Paints;
  form.Box.Handle().InvalidateRect(TRect{40, 50, 90, 70});
  ASSERT_TRUE(LoopUntil([&] { return form.Paints > before; }, 2000));
  LoopUntil([] { return false; }, 100);
  const TBitmap shown = Shown();
  struct TProbe {
    int X, Y;
    std::uint32_t Expected;
  };
  const TProbe probes[] = {
      {40, 50, 0x00E01020},   {89, 69, 0x00E01020}, {65, 60, 0x00E01020},  // inside, both corners
      {39, 50, 0x00103050},   {90, 69, 0x00103050},                        // just left and right
      {40, 49, 0x00103050},   {89, 70, 0x00103050},                        // just above and below
      {200, 150, 0x00103050},
  };
  for (const TProbe& p : probes) EXPECT_EQ(shown.Pixel(p.X, p.Y), p.Expected) << p.X << "," << p.Y;
}

struct TButtonCase {
  int XButton;
  TMouseButton Button;
  TShiftState HeldFlag;
};

class TWin32PaintBoxButtons : public testing::TestWithParam<TButtonCase> {};

// Each button's press and release arrive in the box's pixels with the button, the press with the
// button held in the shift state, the release without it.
TEST_P(TWin32PaintBoxButtons, PressAndReleaseArriveInDevicePixels) {
  const TButtonCase& c = GetParam();
  TBoxForm form;
  form.ShowPainted();
  form.WaitForPointer();
  const std::string button = std::to_string(c.XButton);
  Xdo(At(37, 41) + " mousedown " + button);
  ASSERT_TRUE(LoopUntil([&] { return !form.Events.empty() && form.Events.back().Kind == 'D'; }, 2000));
  EXPECT_TRUE(form.Box.Tracking());
  Xdo(At(150, 120) + " mouseup " + button);
  ASSERT_TRUE(LoopUntil([&] { return form.Events.back().Kind == 'U'; }, 2000));
  const auto& release = form.Events.back();
  const TBoxForm::TEvent* press = nullptr;
  for (const auto& e : form.Events)
    if (e.Kind == 'D') press = &e;
  ASSERT_NE(press, nullptr);
  EXPECT_EQ(press->Button, c.Button);
  EXPECT_EQ(press->X, 37);
  EXPECT_EQ(press->Y, 41);
  EXPECT_TRUE(press->Shift & c.HeldFlag);
  EXPECT_EQ(release.Button, c.Button);
  EXPECT_EQ(release.X, 150);
  EXPECT_EQ(release.Y, 120);
  EXPECT_FALSE(release.Shift & c.HeldFlag);
  EXPECT_FALSE(form.Box.Tracking());
}

INSTANTIATE_TEST_SUITE_P(Buttons, TWin32PaintBoxButtons,
                         testing::Values(TButtonCase{1, mbLeft, ssLeft}, TButtonCase{3, mbRight, ssRight},
                                         TButtonCase{2, mbMiddle, ssMiddle}));

// A drag held beyond the window goes on reporting, in the box's pixels (negative left of it),
// and its release there ends the tracking.
TEST(TWin32PaintBox, AHeldDragOutsideKeepsReporting) {
  TBoxForm form;
  form.ShowPainted();
  form.WaitForPointer();
  Xdo(At(10, 10) + " mousedown 1");
  ASSERT_TRUE(LoopUntil([&] { return !form.Events.empty() && form.Events.back().Kind == 'D'; }, 2000));
  Xdo(At(-60, 250));
  ASSERT_TRUE(LoopUntil([&] { return form.Events.back().Kind == 'M' && form.Events.back().X == -60; }, 2000));
  EXPECT_EQ(form.Events.back().Y, 250);
  EXPECT_TRUE(form.Events.back().Shift & ssLeft);
  Xdo(At(-70, 260) + " mouseup 1");
  ASSERT_TRUE(LoopUntil([&] { return form.Events.back().Kind == 'U'; }, 2000));
  EXPECT_EQ(form.Events.back().X, -70);
  EXPECT_EQ(form.Events.back().Y, 260);
  EXPECT_FALSE(form.Box.Tracking());
}

// With the moves not merged, a quick stroke's corner that the system merged away while the
// program was busy still arrives, in order; merged, the last point alone stands for them.
TEST(TWin32PaintBox, UnmergedMovesKeepAQuickStrokesCorners) {
  for (const bool merge : {false, true}) {
    SCOPED_TRACE(merge ? "merged" : "not merged");
    Application->SetMergePointerMoves(merge);
    TBoxForm form;
    form.ShowPainted();
    form.WaitForPointer();
    Xdo(At(20, 20) + " mousedown 1");
    ASSERT_TRUE(LoopUntil([&] { return !form.Events.empty() && form.Events.back().Kind == 'D'; }, 2000));
    form.Events.clear();
    // The program is busy meanwhile: the window system takes the moves in one by one (Wine's X
    // driver would merge moves it reads in one go itself), but nothing handles them, and they
    // queue up as one.
    std::thread user([] { Xdo(At(200, 30) + " sleep 0.1 " + At(210, 150) + " sleep 0.1 " + At(40, 160)); });
    for (int i = 0; i < 60; ++i) {
      MSG none;
      PeekMessageW(&none, nullptr, WM_APP + 77, WM_APP + 77, PM_NOREMOVE);
      Sleep(10);
    }
    user.join();
    LoopUntil([&] { return !form.Events.empty() && form.Events.back().X == 40 && form.Events.back().Y == 160; }, 2000);
    Xdo("mouseup 1");
    ASSERT_TRUE(LoopUntil([&] { return !form.Events.empty() && form.Events.back().Kind == 'U'; }, 2000));
    std::vector<std::pair<int, int>> moves;
    for (const auto& e : form.Events)
      if (e.Kind == 'M') moves.emplace_back(e.X, e.Y);
    ASSERT_FALSE(moves.empty());
    EXPECT_EQ(moves.back(), std::make_pair(40, 160));
    const auto corner = std::find(moves.begin(), moves.end(), std::make_pair(210, 150));
    if (merge) {
      EXPECT_EQ(moves.size(), 1u);
    } else {
      ASSERT_NE(corner, moves.end());
      EXPECT_NE(std::find(moves.begin(), corner, std::make_pair(200, 30)), corner);
    }
  }
  Application->SetMergePointerMoves(true);
}

// A sibling control above the box is out of the canvas clip; where it was shows the background
// again when it moves away.
TEST(TWin32PaintBox, ASiblingsRectangleIsExcluded) {
  TBoxForm form;
  TPanel panel("ToolBar1", &form);
  panel.SetBounds(50, 40, 100, 30);
  form.Box.ClipOut(&panel);
  form.ShowPainted();
  EXPECT_EQ(form.Box.Handle().DeviceRectOf(panel), (TRect{50, 40, 150, 70}));
  TCanvas* canvas = form.Box.Canvas();
  canvas->Brush.Color = 0x000000FF;
  canvas->FillRect(TRect{0, 0, BoxWidth, BoxHeight});
  const TBitmap& pixels = form.Box.Pixels();
  EXPECT_EQ(pixels.Pixel(49, 40), 0x00FF0000u);
  EXPECT_EQ(pixels.Pixel(50, 40), 0x00103050u);
  EXPECT_EQ(pixels.Pixel(149, 69), 0x00103050u);
  EXPECT_EQ(pixels.Pixel(150, 69), 0x00FF0000u);
  EXPECT_EQ(pixels.Pixel(149, 70), 0x00FF0000u);
  // Moved, the panel's new place is clipped and its old one drawable.
  canvas->FillRect(TRect{0, 0, BoxWidth, BoxHeight});
  panel.SetBounds(200, 100, 60, 20);
  EXPECT_EQ(form.Box.Handle().DeviceRectOf(panel), (TRect{200, 100, 260, 120}));
  canvas->Brush.Color = 0x0000FF00;
  canvas->FillRect(TRect{0, 0, BoxWidth, BoxHeight});
  EXPECT_EQ(form.Box.Pixels().Pixel(60, 50), 0x0000FF00u);
  EXPECT_EQ(form.Box.Pixels().Pixel(210, 110), 0x00FF0000u);
  // Hidden, it clips nothing.
  panel.SetVisible(false);
  EXPECT_TRUE(form.Box.Handle().DeviceRectOf(panel).IsEmpty());
  canvas->FillRect(TRect{0, 0, BoxWidth, BoxHeight});
  EXPECT_EQ(form.Box.Pixels().Pixel(210, 110), 0x0000FF00u);
}

// A new size of the box reaches its buffer, which then shows the background where it grew.
TEST(TWin32PaintBox, AResizedBoxResizesItsBuffer) {
  TBoxForm form;
  form.ShowPainted();
  form.Box.SetBounds(0, 0, 120, 80);
  EXPECT_EQ(form.Box.Width(), 120);
  EXPECT_EQ(form.Box.Pixels().Width(), 120);
  EXPECT_EQ(form.Box.Pixels().Height(), 80);
  const int before = form.Paints;
  form.Box.SetBounds(0, 0, 250, 150);
  ASSERT_EQ(form.Box.Pixels().Width(), 250);
  EXPECT_EQ(form.Box.Pixels().Pixel(249, 149), 0x00103050u);
  EXPECT_TRUE(LoopUntil([&] { return form.Paints > before; }, 2000));
  EXPECT_EQ(ScreenPixel(FormLeft + 249, FormTop + 149), 0x00103050u);
}

// The drag cursor is a cursor of its own over the box, the default one the system's arrow.
TEST(TWin32PaintBox, TheDragCursorShowsOverTheBox) {
  TBoxForm form;
  form.ShowPainted();
  Xdo(At(150, 100));
  form.Box.SetCursor(crDrag);
  LoopUntil([] { return false; }, 100);
  CURSORINFO info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetCursorInfo(&info));
  const HCURSOR arrow = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  EXPECT_NE(info.hCursor, arrow);
  ICONINFO icon{};
  ASSERT_TRUE(GetIconInfo(info.hCursor, &icon));
  EXPECT_EQ(icon.xHotspot, 0u);
  EXPECT_EQ(icon.yHotspot, 0u);
  if (icon.hbmMask) DeleteObject(icon.hbmMask);
  if (icon.hbmColor) DeleteObject(icon.hbmColor);
  form.Box.SetCursor(crDefault);
  Xdo(At(151, 100));
  LoopUntil([] { return false; }, 100);
  ASSERT_TRUE(GetCursorInfo(&info));
  EXPECT_EQ(info.hCursor, arrow);
}

}  // namespace
