// The tool bar of the Win32 widgetset. The framework's tool bar holds controls of its own (its
// buttons, the width field, the up-down, the colour box), each placed and shown by the program,
// which comctl32's tool bar, owning its buttons, cannot hold: the bar is a window of its colour
// and each button a window of its own, flat until the pointer is over it.

#include <cmath>
#include <vector>

#include "platform/imagelist.h"
#include "platform/raster/bitmap.h"
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

  // The bar and the controls on it as they are about to be painted into one bitmap, the lowest
  // child first. Logical pixels are device pixels on
  // Win32: another ratio is not drawn.
  bool RenderTo(TBitmap& target, double ratio) override {
    RECT r;
    if (std::abs(ratio - 1.0) > 1e-9 || !GetClientRect(Hwnd(), &r) || r.right <= 0 || r.bottom <= 0) return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = r.right;
    info.bmiHeader.biHeight = -r.bottom;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) return false;
    HDC dc = CreateCompatibleDC(nullptr);
    const HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageW(Hwnd(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    std::vector<HWND> children;
    for (HWND child = GetWindow(Hwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
      if (IsWindowVisible(child)) children.push_back(child);
    for (auto it = children.rbegin(); it != children.rend(); ++it) PrintChild(*it, dc);
    GdiFlush();
    target.SetSize(r.right, r.bottom);
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    for (int y = 0; y < r.bottom; ++y)
      for (int x = 0; x < r.right; ++x) target.SetPixel(x, y, pixels[std::ptrdiff_t{y} * r.right + x] & 0xFFFFFF);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return true;
  }

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
  // A child's client area prints itself (WM_PRINTCLIENT: the system's edit and combo box, and
  // the widgetset's own windows); its sunken border is drawn here, as Wine's WM_PRINT draws no
  // frame.
  void PrintChild(HWND child, HDC dc) {
    RECT frame;
    GetWindowRect(child, &frame);
    MapWindowPoints(HWND_DESKTOP, Hwnd(), reinterpret_cast<POINT*>(&frame), 2);
    POINT client{0, 0};
    ClientToScreen(child, &client);
    ScreenToClient(Hwnd(), &client);
    RECT inside;
    GetClientRect(child, &inside);
    const int saved = SaveDC(dc);
    if (GetWindowLongPtrW(child, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) DrawEdge(dc, &frame, EDGE_SUNKEN, BF_RECT);
    IntersectClipRect(dc, client.x, client.y, client.x + inside.right, client.y + inside.bottom);
    SetViewportOrgEx(dc, client.x, client.y, nullptr);
    SendMessageW(child, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    SendMessageW(child, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    // Wine's combo box leaves an owner-drawn selection out of its print: it is drawn as the box
    // draws it on the screen.
    COMBOBOXINFO combo{};
    combo.cbSize = sizeof combo;
    if ((GetWindowLongPtrW(child, GWL_STYLE) & CBS_OWNERDRAWFIXED) && GetComboBoxInfo(child, &combo)) {
      if (TWin32Control* box = Of(child)) {
        const LRESULT selected = SendMessageW(child, CB_GETCURSEL, 0, 0);
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_COMBOBOX;
        item.CtlID = UINT(GetDlgCtrlID(child));
        item.itemID = selected >= 0 ? UINT(selected) : UINT(-1);
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = ODS_COMBOBOXEDIT | (GetFocus() == child ? ODS_SELECTED | ODS_FOCUS : 0);
        item.hwndItem = child;
        item.hDC = dc;
        // Inside the field's focus frame, in the box's font, as the box hands it over.
        item.rcItem = combo.rcItem;
        InflateRect(&item.rcItem, -1, -1);
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)));
        box->DrawItem(item);
      }
    }
    RestoreDC(dc, saved);
  }

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
    FSource = images.Picture(index);
    FSourceDrawn = images.Drawing(index) ? *images.Drawing(index) : TDrawnPicture();
    ShowGlyph();
  }
  void SetGlyph(const TPicture& picture, int) override {
    FSource = picture;
    FSourceDrawn = TDrawnPicture();
    ShowGlyph();
  }
  void Rescale() override {
    TWin32Control::Rescale();
    ShowGlyph();
  }
  void SetEnabled(bool enabled) override {
    TWin32Control::SetEnabled(enabled);
    ::InvalidateRect(Hwnd(), nullptr, FALSE);
  }

  bool Message(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    if (bool clicked = false; FPress.Track(Hwnd(), message, lParam, clicked)) {
      if (clicked) {
        // A check-style button changes its state before its handler runs, which reads it.
        if (FCheck) FDown = !FDown;
        Guarded([this] { FButton.Click(); });
      }
      result = 0;
      return true;
    }
    if (SelfDrawnMessage(Hwnd(), message, wParam, result, [this](HDC dc) { Paint(dc); })) return true;
    return TWin32Control::Message(message, wParam, lParam, result);
  }

 private:
  // The picture at the window's ratio.
  void ShowGlyph() {
    FGlyph = PictureAtRatio(FSource, PixelRatio(), FSourceDrawn.Empty() ? nullptr : &FSourceDrawn);
    ::InvalidateRect(Hwnd(), nullptr, FALSE);
  }

  COLORREF Face() const {
    if (const auto* bar = dynamic_cast<const TWin32ToolBar*>(Of(GetParent(Hwnd())))) return bar->Color();
    return GetSysColor(COLOR_BTNFACE);
  }

  void Paint(HDC dc) {
    RECT r;
    GetClientRect(Hwnd(), &r);
    const bool enabled = IsWindowEnabled(Hwnd());
    const bool sunken = FDown || FPress.Sunken();
    COLORREF face = Face();
    if (FDown && !FPress.Sunken()) {
      // Held down: the bar's colour lightened, as a checked button's face.
      face = RGB((GetRValue(face) + 255) / 2, (GetGValue(face) + 255) / 2, (GetBValue(face) + 255) / 2);
    }
    HBRUSH brush = CreateSolidBrush(face);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    if (enabled && sunken)
      DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
    else if (enabled && FPress.Hot())
      DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);
    if (!FGlyph.Empty()) {
      const int shift = FPress.Sunken() ? 1 : 0;
      const auto pixels = enabled ? BlendOnto(FGlyph, face) : BlendOntoDisabled(FGlyph, face);
      const int x = (r.right - FGlyph.Width()) / 2 + shift, y = (r.bottom - FGlyph.Height()) / 2 + shift;
      DrawPixels(dc, x, y, pixels.data(), FGlyph.Width(), FGlyph.Height(), FGlyph.Width());
    }
  }

  TToolButton& FButton;
  bool FCheck;
  bool FDown = false;
  TButtonPress FPress;
  TPicture FGlyph;
  // The picture at ratio 1, and its drawing where it has one.
  TPicture FSource;
  TDrawnPicture FSourceDrawn;
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
