// The tool bar of the Win32 widgetset. The framework's tool bar holds controls of its own (its
// buttons, the width field, the up-down, the colour box), each placed and shown by the program,
// which comctl32's tool bar, owning its buttons, cannot hold: the bar is a window of its colour
// and each button a window of its own, flat until the pointer is over it.

#include "platform/imagelist.h"
#include "platform/stdctrls.h"
#include "platform/win32/widgetset/wsapplication.h"
#include "platform/win32/widgetset/wscontrols.h"
#include "platform/win32/widgetset/wspictures.h"

namespace {

// A panel of one colour; its children's notifications and item drawing go on to them.
class TWin32ToolBar final : public TWin32Control {
 public:
  TWin32ToolBar(TToolBar& bar, HWND window, TColor color)
      : TWin32Control(bar, window), FColor(COLORREF(ColorToRGB(color))), FBrush(CreateSolidBrush(FColor)) {}
  ~TWin32ToolBar() override { DeleteObject(FBrush); }

  COLORREF Color() const { return FColor; }

  bool Message(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    switch (message) {
      case WM_ERASEBKGND: {
        RECT r;
        GetClientRect(Hwnd(), &r);
        FillRect(reinterpret_cast<HDC>(wParam), &r, FBrush);
        result = 1;
        return true;
      }
      case WM_CTLCOLORSTATIC:
        // Labels and read-only fields on the bar show its colour.
        SetBkColor(reinterpret_cast<HDC>(wParam), FColor);
        result = reinterpret_cast<LRESULT>(FBrush);
        return true;
      default: return TWin32Control::Message(message, wParam, lParam, result);
    }
  }

 private:
  COLORREF FColor;
  HBRUSH FBrush;
};

// A button of the bar: its picture on the bar's colour, raised under the pointer, sunken while
// held or down. It never takes the focus.
class TWin32ToolButton final : public TWin32Control {
 public:
  TWin32ToolButton(TToolButton& button, HWND window, bool check)
      : TWin32Control(button, window), FButton(button), FCheck(check) {}

  bool Down() const override { return FDown; }
  void SetDown(bool down) override {
    if (down == FDown) return;
    FDown = down;
    ::InvalidateRect(Hwnd(), nullptr, FALSE);
  }
  void SetImages(const TImageList& images, int index) override {
    FGlyph = images.Picture(index);
    ::InvalidateRect(Hwnd(), nullptr, FALSE);
  }
  void SetGlyph(const TPicture& picture, int) override {
    FGlyph = picture;
    ::InvalidateRect(Hwnd(), nullptr, FALSE);
  }
  void SetEnabled(bool enabled) override {
    TWin32Control::SetEnabled(enabled);
    ::InvalidateRect(Hwnd(), nullptr, FALSE);
  }

  bool Message(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    switch (message) {
      case WM_PAINT: Paint(); break;
      case WM_ERASEBKGND: result = 1; return true;
      case WM_MOUSEACTIVATE: result = MA_NOACTIVATE; return true;
      case WM_SETFOCUS:
        if (wParam && IsWindow(reinterpret_cast<HWND>(wParam))) ::SetFocus(reinterpret_cast<HWND>(wParam));
        break;
      case WM_LBUTTONDOWN:
      case WM_LBUTTONDBLCLK:
        SetCapture(Hwnd());
        FPressed = true;
        ::InvalidateRect(Hwnd(), nullptr, FALSE);
        break;
      case WM_MOUSEMOVE:
        if (!FHot) {
          FHot = true;
          TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, Hwnd(), 0};
          TrackMouseEvent(&track);
          ::InvalidateRect(Hwnd(), nullptr, FALSE);
        }
        break;
      case WM_MOUSELEAVE:
        FHot = false;
        ::InvalidateRect(Hwnd(), nullptr, FALSE);
        break;
      case WM_LBUTTONUP: {
        const bool wasPressed = FPressed;
        FPressed = false;
        if (GetCapture() == Hwnd()) ReleaseCapture();
        ::InvalidateRect(Hwnd(), nullptr, FALSE);
        RECT client;
        GetClientRect(Hwnd(), &client);
        const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (wasPressed && PtInRect(&client, at)) {
          // A check-style button changes its state before its handler runs, which reads it.
          if (FCheck) FDown = !FDown;
          Guarded([this] { FButton.Click(); });
        }
        break;
      }
      case WM_CAPTURECHANGED:
        FPressed = false;
        ::InvalidateRect(Hwnd(), nullptr, FALSE);
        break;
      default: return TWin32Control::Message(message, wParam, lParam, result);
    }
    result = 0;
    return true;
  }

 private:
  COLORREF Face() const {
    if (const auto* bar = dynamic_cast<const TWin32ToolBar*>(Of(GetParent(Hwnd())))) return bar->Color();
    return GetSysColor(COLOR_BTNFACE);
  }

  void Paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(Hwnd(), &paint);
    RECT r;
    GetClientRect(Hwnd(), &r);
    const bool enabled = IsWindowEnabled(Hwnd());
    const bool sunken = FDown || (FPressed && FHot);
    COLORREF face = Face();
    if (FDown && !(FPressed && FHot)) {
      // Held down: the bar's colour lightened, as a checked button's face.
      face = RGB((GetRValue(face) + 255) / 2, (GetGValue(face) + 255) / 2, (GetBValue(face) + 255) / 2);
    }
    HBRUSH brush = CreateSolidBrush(face);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    if (enabled && sunken)
      DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
    else if (enabled && FHot)
      DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);
    if (!FGlyph.Empty()) {
      const int shift = FPressed && FHot ? 1 : 0;
      const auto pixels = enabled ? BlendOnto(FGlyph, face) : BlendOntoDisabled(FGlyph, face);
      const int x = (r.right - FGlyph.Width()) / 2 + shift, y = (r.bottom - FGlyph.Height()) / 2 + shift;
      DrawPixels(dc, x, y, pixels.data(), FGlyph.Width(), FGlyph.Height(), FGlyph.Width());
    }
    EndPaint(Hwnd(), &paint);
  }

  TToolButton& FButton;
  bool FCheck;
  bool FDown = false;
  bool FHot = false;
  bool FPressed = false;
  TPicture FGlyph;
};

}  // namespace

std::unique_ptr<TWSControl> TWin32WidgetSet::CreateToolBar(TToolBar& bar, TColor color) {
  HWND window = MakeChildWindow(bar, WidgetSetClass(L"QuilmarToolBar"), WS_CLIPCHILDREN, WS_EX_CONTROLPARENT);
  return std::make_unique<TWin32ToolBar>(bar, window, color);
}

std::unique_ptr<TWSControl> TWin32WidgetSet::CreateToolButton(TToolButton& button, bool check) {
  HWND window = MakeChildWindow(button, WidgetSetClass(L"QuilmarToolButton", CS_DBLCLKS), 0);
  return std::make_unique<TWin32ToolButton>(button, window, check);
}
