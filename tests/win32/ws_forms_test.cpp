#include <gtest/gtest.h>

#include <memory>

#include "platform/application.h"
#include "platform/stdctrls.h"
#include "platform/timers.h"
#include "platform/win32/widgetset/wsapplication.h"
#include "platform/win32/widgetset/wscontrols.h"
#include "platform/win32/widgetset/wsdpi.h"
#include "ws_support.h"

namespace {

HWND WindowOf(const TForm& form) { return HwndOf(form.NativeWindow()); }

// Logical pixels through device ones and back at the scales of Windows' settings: every logical
// coordinate comes back as it was, and controls side by side stay side by side, with no gap or
// overlap, because each edge is scaled rather than each width.
TEST(TWin32Dpi, LogicalCoordinatesComeBackAndNeighboursStayNeighbours) {
  for (const double ratio : {1.0, 1.25, 1.5, 1.75, 2.0, 2.5}) {
    SCOPED_TRACE(ratio);
    for (int v = -300; v <= 4000; ++v) ASSERT_EQ(LogicalPixels(DevicePixels(v, ratio), ratio), v);
    // The tool bar's buttons, 23 wide from 0, and its two-position width field after them.
    const RECT a = ToDeviceRect(TRect{0, 0, 23, 22}, ratio), b = ToDeviceRect(TRect{23, 0, 46, 22}, ratio);
    EXPECT_EQ(a.right, b.left);
    EXPECT_EQ(ToLogicalRect(b, ratio), (TRect{23, 0, 46, 22}));
  }
}

TEST(TWin32Forms, ShowingReportsDoShowBeforeMappingAndClosingReportsDoCloseAndHides) {
  TCountingForm form;
  form.SetBounds(100, 100, 200, 120);
  form.Show();
  EXPECT_EQ(form.Shows, 1);
  EXPECT_FALSE(form.VisibleAtShow);
  EXPECT_TRUE(form.Visible());
  EXPECT_TRUE(IsWindowVisible(WindowOf(form)));
  form.Show();  // already shown: nothing new
  EXPECT_EQ(form.Shows, 1);
  form.Close();
  EXPECT_EQ(form.Closes, 1);
  EXPECT_FALSE(form.Visible());
  // The window lives on, to be shown again.
  EXPECT_TRUE(IsWindow(WindowOf(form)));
  form.Show();
  EXPECT_EQ(form.Shows, 2);
  form.Hide();
  EXPECT_EQ(form.Closes, 1);
}

// The client area is what the framework places; the frame is round it.
TEST(TWin32Forms, ClientAreaFrameAndResize) {
  TCountingForm form;
  form.SetBounds(120, 90, 300, 200);
  EXPECT_EQ(form.BoundsRect(), (TRect{120, 90, 420, 290}));
  const TRect frame = form.FrameRect();
  EXPECT_LT(frame.Left, 120);
  EXPECT_LT(frame.Top, 90);
  const int resizes = form.Resizes;
  form.SetClientSize(250, 150);
  EXPECT_EQ(form.ClientWidth(), 250);
  EXPECT_EQ(form.ClientHeight(), 150);
  EXPECT_GT(form.Resizes, resizes);
  EXPECT_EQ(form.FrameRect().Left, frame.Left);
  form.MoveFrame(10, 20);
  EXPECT_EQ(form.FrameRect().Left, 10);
  EXPECT_EQ(form.FrameRect().Top, 20);
  EXPECT_EQ(form.ClientWidth(), 250);
}

struct TStyleCase {
  TBorderStyle Border;
  TFormStyle Style;
  TFormRole Role;
  LONG_PTR StyleBits;
  LONG_PTR StyleAbsent;
  LONG_PTR ExBits;
  LONG_PTR ExAbsent;
  bool FrameReported;
};

class TWin32FormStyleTest : public testing::TestWithParam<TStyleCase> {};

// Frameless forms are stay-on-top-able pop-up tool windows without a caption; sizeable ones have
// one, and report their frame once shown. The client area stays put when the style changes.
TEST_P(TWin32FormStyleTest, StylesAndFrame) {
  const TStyleCase& c = GetParam();
  TCountingForm form(c.Role);
  form.SetBounds(200, 150, 160, 100);
  form.SetBorderStyle(c.Border);
  form.SetFormStyle(c.Style);
  EXPECT_EQ(form.BoundsRect(), (TRect{200, 150, 360, 250}));
  const LONG_PTR style = GetWindowLongPtrW(WindowOf(form), GWL_STYLE);
  const LONG_PTR ex = GetWindowLongPtrW(WindowOf(form), GWL_EXSTYLE);
  EXPECT_EQ(style & c.StyleBits, c.StyleBits);
  EXPECT_EQ(style & c.StyleAbsent, 0);
  EXPECT_EQ(ex & c.ExBits, c.ExBits);
  EXPECT_EQ(ex & c.ExAbsent, 0);
  EXPECT_FALSE(form.FrameKnown());
  form.Show();
  LoopUntil([&] { return form.FramesKnown > 0; }, 300);
  EXPECT_EQ(form.FramesKnown, c.FrameReported ? 1 : 0);
  EXPECT_EQ(form.FrameKnown(), c.FrameReported);
  if (c.Border == bsNone) {
    EXPECT_EQ(form.FrameRect(), form.BoundsRect());
  }
  form.Hide();
  form.Show();
  LoopUntil([] { return false; }, 50);
  EXPECT_EQ(form.FramesKnown, c.FrameReported ? 1 : 0);
  form.Hide();
}

INSTANTIATE_TEST_SUITE_P(
    Styles, TWin32FormStyleTest,
    testing::Values(TStyleCase{bsNone, fsStayOnTop, TFormRole::Window, WS_POPUP, WS_CAPTION | WS_THICKFRAME,
                               WS_EX_TOPMOST | WS_EX_TOOLWINDOW, 0, false},
                    TStyleCase{bsNone, fsNormal, TFormRole::Window, WS_POPUP, WS_CAPTION, WS_EX_TOOLWINDOW,
                               WS_EX_TOPMOST, false},
                    TStyleCase{bsSizeable, fsNormal, TFormRole::Dialog, WS_CAPTION | WS_THICKFRAME | WS_SYSMENU,
                               WS_POPUP | WS_MINIMIZEBOX, WS_EX_CONTROLPARENT, WS_EX_TOPMOST, true},
                    TStyleCase{bsSizeable, fsStayOnTop, TFormRole::Window, WS_CAPTION | WS_THICKFRAME, WS_POPUP,
                               WS_EX_TOPMOST, 0, true}));

// A form of the application's, made as the program makes its forms.
template <class T>
T* MakeForm() {
  T* form = nullptr;
  Application->CreateForm(form);
  return form;
}

// While a form runs modally the program's other forms take no input; once it hides the loop
// returns, they take input again, are told so, and the one that was active is again.
TEST(TWin32Modal, TheLoopReturnsWhenTheFormHidesAndTheOthersWereDisabledMeanwhile) {
  auto* owner = MakeForm<TCountingForm>();
  auto* modal = MakeForm<TCountingForm>();
  owner->SetBounds(50, 50, 200, 150);
  modal->SetBounds(300, 100, 200, 120);
  owner->Show();
  owner->Activate();
  ASSERT_TRUE(LoopUntil([&] { return owner->Active(); }, 2000));
  bool ownerEnabledMeanwhile = true, modalActiveMeanwhile = false;
  HWND ownerMeanwhile = nullptr;
  CallAfter(100, [&] {
    ownerEnabledMeanwhile = IsWindowEnabled(WindowOf(*owner)) != FALSE;
    modalActiveMeanwhile = modal->Active();
    ownerMeanwhile = GetWindow(WindowOf(*modal), GW_OWNER);
    modal->ModalResult = 7;
    modal->Hide();
  });
  EXPECT_EQ(modal->ShowModal(), 7);
  EXPECT_FALSE(ownerEnabledMeanwhile);
  EXPECT_TRUE(modalActiveMeanwhile);
  // Owned by the form it was opened from meanwhile, so that it stays above it (a stay-on-top
  // one too), and by none afterwards.
  EXPECT_EQ(ownerMeanwhile, WindowOf(*owner));
  EXPECT_EQ(GetWindow(WindowOf(*modal), GW_OWNER), nullptr);
  EXPECT_TRUE(IsWindowEnabled(WindowOf(*owner)));
  EXPECT_EQ(owner->Unblocks, 1);
  EXPECT_TRUE(LoopUntil([&] { return owner->Active(); }, 2000));
  // A form already shown cannot be made modal.
  owner->Show();
  EXPECT_THROW(owner->ShowModal(), Exception);
  owner->Hide();
}

// The main form's closing ends the application's loop, as the program's exit does; the loop
// runs again afterwards only when started anew.
TEST(TWin32Modal, ClosingTheMainFormEndsTheLoop) {
  if (!Application->MainForm()) MakeForm<TCountingForm>();
  auto* main = dynamic_cast<TCountingForm*>(Application->MainForm());
  ASSERT_NE(main, nullptr);
  main->SetBounds(60, 60, 200, 100);
  main->Show();
  const int closes = main->Closes;
  CallAfter(50, [main] { main->Close(); });
  // A safety net, so that the test fails rather than hangs; once the loop ended it does nothing.
  auto waiting = std::make_shared<bool>(true);
  auto netUsed = std::make_shared<bool>(false);
  CallAfter(5000, [waiting, netUsed] {
    if (!*waiting) return;
    *netUsed = true;
    Win32Loop::EndAll();
  });
  while (Win32Loop::HandleNext()) {
  }
  *waiting = false;
  EXPECT_FALSE(*netUsed);
  EXPECT_EQ(main->Closes, closes + 1);
  EXPECT_FALSE(main->Visible());
  Win32Loop::Restart();
  bool later = false;
  QueueCall([&] { later = true; });
  EXPECT_TRUE(LoopUntil([&] { return later; }, 1000));
}

// A dialog closes on Escape and clicks its focused button on Enter, as the system's dialogs do;
// a window hands those keys to its own handler.
TEST(TWin32Modal, DialogKeys) {
  TCountingForm dialog(TFormRole::Dialog);
  dialog.SetBounds(200, 200, 240, 120);
  TButton ok("Button1", &dialog);
  ok.SetBounds(20, 20, 100, 30);
  int clicks = 0;
  ok.OnClick = [&] { ++clicks; };
  CallAfter(100, [&] {
    ok.SetFocus();
    HWND focus = GetFocus();
    EXPECT_EQ(focus, Win32Of(&ok));
    PostMessageW(focus, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageW(focus, WM_KEYUP, VK_RETURN, 0);
    CallAfter(100, [focus] {
      PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 0);
      PostMessageW(focus, WM_KEYUP, VK_ESCAPE, 0);
    });
  });
  // A safety net: the test fails below rather than hangs. It may run after the test, when the
  // dialog is gone.
  auto stillThere = std::make_shared<TForm*>(&dialog);
  CallAfter(3000, [stillThere] {
    if (*stillThere) (*stillThere)->Hide();
  });
  dialog.ShowModal();
  *stillThere = nullptr;
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(dialog.Closes, 1);
  // A window keeps them for its own handler.
  TCountingForm window;
  window.SetBounds(200, 200, 240, 120);
  window.Show();
  window.Activate();
  ASSERT_TRUE(LoopUntil([&] { return window.Active(); }, 2000));
  SetFocus(WindowOf(window));
  PostMessageW(WindowOf(window), WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageW(WindowOf(window), WM_KEYDOWN, 'A', 0);
  EXPECT_TRUE(LoopUntil([&] { return window.Keys.size() == 2; }, 2000));
  EXPECT_EQ(window.Keys, (std::vector<int>{VK_ESCAPE, 'A'}));
  EXPECT_TRUE(window.Visible());
  window.Hide();
}

}  // namespace
