#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/forms.h"
#include "platform/win32/widgetset/win32api.h"

// Runs the application's own loop step (dialog keys included) until `done` holds or `timeoutMs`
// has passed; whether it held.
bool LoopUntil(const std::function<bool()>& done, unsigned timeoutMs);

// A message box or other system dialog (class #32770) of this thread, or none.
HWND FindSystemDialog();
// The text of the dialog's static controls, joined by newlines.
std::wstring StaticTexts(HWND dialog);

// A form that counts what the widgetset reported.
class TCountingForm : public TForm {
 public:
  explicit TCountingForm(TFormRole role = TFormRole::Window) : TForm("CountingForm", role) {}
  int Shows = 0, Closes = 0, Resizes = 0, FramesKnown = 0, Unblocks = 0;
  bool VisibleAtShow = true;
  std::vector<int> Keys;
  void DoShow() override {
    ++Shows;
    VisibleAtShow = IsWindowVisible(HwndOf(NativeWindow()));
  }
  void DoClose() override { ++Closes; }
  void Resize() override { ++Resizes; }
  void DoFrameKnown() override { ++FramesKnown; }
  void DoUnblocked() override { ++Unblocks; }
  void KeyDown(int& key, TShiftState) override {
    Keys.push_back(key);
    key = 0;
  }
};

// Clicks the left button at (x, y) of the desktop, as the user does (xdotool).
void ClickAt(int x, int y);
// The centre of a window on the desktop.
POINT CentreOf(HWND window);
