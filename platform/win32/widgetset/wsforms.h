#pragma once

#include <vector>

#include "platform/forms.h"
#include "platform/win32/widgetset/wscontrols.h"

// Forms on Win32: top-level windows of our own class. A window without a frame is a WS_POPUP
// tool window; a sizeable one has a caption; a stay-on-top one is WS_EX_TOPMOST. The native
// window is made with the form (its controls are made in it) and lives as long as it: on Windows
// a window keeps nothing of the monitor it was first shown on.
class TWin32Form final : public TWin32Control, public TWSForm {
 public:
  TWin32Form(TForm& form, TFormRole role);
  ~TWin32Form() override;

  // TWSControl: the client area on the desktop.
  TRect BoundsRect() const override;
  void SetBounds(const TRect& bounds) override;
  void SetVisible(bool visible) override;

  void SetBorderStyle(TBorderStyle style) override;
  void SetFormStyle(TFormStyle style) override;
  void SetColor(TColor color) override;
  void Show() override;
  void Close() override;
  void Activate() override;
  bool Active() const override;
  TRect FrameRect() const override;
  bool FrameKnown() const override;
  void MoveFrame(int left, int top) override;
  void SetClientSize(int width, int height) override;
  void RunModal() override;
  std::uintptr_t NativeWindow() const override { return reinterpret_cast<std::uintptr_t>(Hwnd()); }
  // The window is made with the form and keeps nothing of the monitor it first showed on.
  void CreateNativeWindow() override {}
  void DestroyNativeWindow() override {}
  bool NativeWindowExists() const override { return Hwnd() != nullptr; }
  void PlaceOnMonitor(std::uintptr_t) override {}
  void Raise() override;
  void Lower() override;
  double PixelRatio() const override;

  bool Message(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  TForm& Form() const { return FForm; }
  bool IsDialog() const { return FRole == TFormRole::Dialog; }

 private:
  void ApplyStyles();
  void CloseNow();
  HBRUSH Background() const;

  TForm& FForm;
  TFormRole FRole;
  TBorderStyle FBorder = bsSizeable;
  TFormStyle FStyle = fsNormal;
  HBRUSH FBrush = nullptr;  // own colour; the button face's when none
  COLORREF FColor = 0;
  HWND FFocus = nullptr;  // the control that had the focus when the window was left
  bool FShownOnce = false;
  bool FPlacing = false;  // SetBounds is moving the window
  bool FFrameReported = false;
};

// Whether `window` is a dialog form's window.
bool IsDialogForm(HWND window);
// The windows of the forms that exist, in the order they were made.
std::vector<HWND> FormWindows();
// The form window that was active last (none once it is gone).
HWND LastActiveFormWindow();

// The monitors may have changed (WM_DISPLAYCHANGE): the screen tells its change handlers.
void Win32DisplayChanged();
