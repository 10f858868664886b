#include <gtest/gtest.h>

#include <array>

#include "platform/application.h"
#include "platform/desktop.h"
#include "platform/image.h"
#include "platform/stdctrls.h"
#include "platform/win32/widgetset/wscontrols.h"
#include "ws_support.h"

namespace {

// A shown form at a place of its own on the screen, active.
class TShownForm : public TForm {
 public:
  explicit TShownForm(TFormRole role = TFormRole::Window) : TForm("ShownForm", role) {
    SetBorderStyle(bsNone);
    SetBounds(100, 100, 300, 200);
  }
  void ShowActive() {
    Show();
    Activate();
    LoopUntil([this] { return Active(); }, 2000);
  }
};

struct TClickCase {
  bool Speed;
  bool Enabled;
  bool OnPanel;  // the button's parent is a panel, which must hand the click on
  int Clicks;
};

class TWin32ButtonTest : public testing::TestWithParam<TClickCase> {};

// A real click of the mouse runs the button's handler; a disabled button's does not.
TEST_P(TWin32ButtonTest, AClickRunsOnClickUnlessDisabled) {
  const TClickCase& c = GetParam();
  TShownForm form;
  // Beside the button on the form the panel, made first, lies under it.
  TPanel panel("Panel1", &form);
  panel.SetBounds(0, 0, 200, 150);
  TControl* parent = c.OnPanel ? static_cast<TControl*>(&panel) : &form;
  std::unique_ptr<TButton> button =
      c.Speed ? std::make_unique<TSpeedButton>("Bplay", parent, true) : std::make_unique<TButton>("Button1", parent);
  button->SetBounds(40, 40, 80, 30);
  button->SetCaption("Play");
  int clicks = 0;
  button->OnClick = [&] { ++clicks; };
  button->SetEnabled(c.Enabled);
  form.ShowActive();
  LoopUntil([] { return false; }, 100);
  const POINT at = CentreOf(Win32Of(button.get()));
  ClickAt(at.x, at.y);
  LoopUntil([&] { return clicks > 0; }, c.Clicks ? 3000 : 500);
  EXPECT_EQ(clicks, c.Clicks);
  form.Hide();
}

INSTANTIATE_TEST_SUITE_P(Buttons, TWin32ButtonTest,
                         testing::Values(TClickCase{false, true, false, 1}, TClickCase{false, false, false, 0},
                                         TClickCase{true, true, false, 1}, TClickCase{true, false, false, 0},
                                         TClickCase{false, true, true, 1}, TClickCase{false, false, true, 0}));

// Buttons that are no tab stop, and speed buttons, leave the focus where it was.
TEST(TWin32Buttons, ButtonsWithoutTabStopLeaveTheFocus) {
  TShownForm form;
  TButton focused("Focused", &form);
  focused.SetBounds(10, 10, 80, 30);
  TButton plain("Plain", &form, false);
  plain.SetBounds(10, 60, 80, 30);
  TSpeedButton speed("Speed", &form, false);
  speed.SetBounds(10, 110, 80, 30);
  int clicks = 0;
  plain.OnClick = [&] { ++clicks; };
  speed.OnClick = [&] { ++clicks; };
  form.ShowActive();
  focused.SetFocus();
  ASSERT_TRUE(focused.Focused());
  for (TButton* button : {static_cast<TButton*>(&plain), static_cast<TButton*>(&speed)}) {
    const int before = clicks;
    const POINT at = CentreOf(Win32Of(button));
    ClickAt(at.x, at.y);
    LoopUntil([&] { return clicks > before; }, 3000);
    EXPECT_EQ(clicks, before + 1) << button->Name();
    EXPECT_TRUE(focused.Focused()) << button->Name();
  }
  form.Hide();
}

TEST(TWin32Texts, LabelAndRichEdit) {
  TShownForm form(TFormRole::Dialog);
  TLabel label("Label1", &form, "\xE5\xBF\xAB\xE6\x8D\xB7\xE9\x94\xAE", taCenter);
  label.SetBounds(10, 10, 200, 20);
  wchar_t text[32] = {};
  GetWindowTextW(Win32Of(&label), text, 32);
  EXPECT_EQ(std::wstring(text), L"\u5FEB\u6377\u952E");
  EXPECT_EQ(GetWindowLongPtrW(Win32Of(&label), GWL_STYLE) & SS_TYPEMASK, SS_CENTER);

  TRichEdit edit("RichEdit1", &form, true, false, ssBoth);
  edit.SetBounds(10, 40, 200, 100);
  String lines;
  for (int i = 0; i < 40; ++i)
    lines += "\xE7\xAC\xAC " + std::to_string(i) + " line of the help, long enough to need the bar\r\n";
  edit.SetText(lines);
  HWND window = Win32Of(&edit);
  const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  EXPECT_TRUE(style & ES_READONLY);
  EXPECT_TRUE(style & WS_VSCROLL);
  EXPECT_TRUE(style & WS_HSCROLL);
  EXPECT_EQ(edit.Handle().Text().substr(0, 7), "\xE7\xAC\xAC 0 l");
  // The view and the caret are at the top of the new text.
  EXPECT_EQ(SendMessageW(window, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
  DWORD start = 1, end = 1;
  SendMessageW(window, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 0u);
  // Read-only text can still be selected.
  SendMessageW(window, EM_SETSEL, 0, 5);
  SendMessageW(window, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(end, 5u);
}

// Children aligned to the edges stack without gaps, the first bottom one lowest, the client one
// filling what is between, and follow their parent's size (the help window's panels).
TEST(TWin32Panels, AlignedChildrenStackAndFollowTheParentsSize) {
  TShownForm form(TFormRole::Dialog);
  TPanel holder("Holder", &form), top("Top", &holder), client("Client", &holder), low("Low", &holder),
      high("High", &holder);
  holder.SetBounds(0, 0, 300, 200);
  holder.Handle().SetAligned({{&top, alTop, 40}, {&client, alClient, 0}, {&low, alBottom, 30}, {&high, alBottom, 20}});
  const auto place = [](const TControl& control) {
    RECT r;
    GetWindowRect(Win32Of(&control), &r);
    MapWindowPoints(nullptr, GetParent(Win32Of(&control)), reinterpret_cast<POINT*>(&r), 2);
    return std::array<LONG, 4>{r.left, r.top, r.right, r.bottom};
  };
  for (const LONG height : {200, 320}) {
    SCOPED_TRACE(height);
    holder.SetBounds(0, 0, 300, int(height));
    EXPECT_EQ(place(top), (std::array<LONG, 4>{0, 0, 300, 40}));
    EXPECT_EQ(place(low), (std::array<LONG, 4>{0, height - 30, 300, height}));
    EXPECT_EQ(place(high), (std::array<LONG, 4>{0, height - 50, 300, height - 30}));
    EXPECT_EQ(place(client), (std::array<LONG, 4>{0, 40, 300, height - 50}));
  }
}

// The pixels of the screen at the image's place.
std::uint32_t ScreenPixel(int x, int y) {
  HDC screen = GetDC(nullptr);
  const COLORREF c = GetPixel(screen, x, y);
  ReleaseDC(nullptr, screen);
  return std::uint32_t(GetRValue(c)) << 16 | std::uint32_t(GetGValue(c)) << 8 | GetBValue(c);
}

// An image shows its bitmap 1:1 from the corner, or stretched smoothly over the control with the
// corners' colours kept.
TEST(TWin32Images, TheBitmapShowsOneToOneOrStretched) {
  TShownForm form;
  TImage image("Image1", &form);
  image.SetBounds(20, 20, 40, 40);
  TCanvas* canvas = image.Canvas();
  ASSERT_EQ(image.Bitmap()->Width(), 40);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x)
      image.Bitmap()->SetPixel(x, y, x < 20 ? (y < 20 ? 0x00FF0000 : 0x0000FF00) : 0x000000FF);
  canvas->Pixel(0, 0);
  form.ShowActive();
  image.Handle().Repaint();
  const POINT origin{120, 120};  // the form's client corner plus the image's place
  EXPECT_TRUE(LoopUntil([&] { return ScreenPixel(origin.x + 5, origin.y + 5) == 0x00FF0000; }, 2000));
  EXPECT_EQ(ScreenPixel(origin.x + 5, origin.y + 30), 0x0000FF00u);
  EXPECT_EQ(ScreenPixel(origin.x + 39, origin.y + 39), 0x000000FFu);
  // The desktop services capture what the image shows, pixel for pixel.
  TBitmap captured(40, 40);
  ASSERT_TRUE(Application->Desktop().CaptureScreen(captured, origin.x, origin.y, 40, 40));
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) ASSERT_EQ(captured.Pixel(x, y), image.Bitmap()->Pixel(x, y)) << x << "," << y;
  // Stretched over a control four times as wide: the left half of it is the bitmap's left half.
  image.SetBounds(20, 20, 160, 80);
  image.SetStretch(true);
  EXPECT_TRUE(LoopUntil([&] { return ScreenPixel(origin.x + 159, origin.y + 79) == 0x000000FF; }, 2000));
  EXPECT_EQ(ScreenPixel(origin.x, origin.y), 0x00FF0000u);
  EXPECT_EQ(ScreenPixel(origin.x, origin.y + 79), 0x0000FF00u);
  EXPECT_EQ(ScreenPixel(origin.x + 20, origin.y + 10), 0x00FF0000u);
  form.Hide();
}

}  // namespace
