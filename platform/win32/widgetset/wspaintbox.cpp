#include <algorithm>
#include <cstdint>
#include <iterator>
#include <memory>
#include <vector>

#include "platform/application.h"
#include "platform/paintbox.h"
#include "platform/win32/widgetset/wsapplication.h"
#include "platform/win32/widgetset/wscontrols.h"

namespace {

// The drag cursor: an arrow with a small rectangle below its tail, hot spot at the tip, 32 x 32,
// black outlines on white as the system's arrow.
HCURSOR MakeDragCursor() {
  constexpr int Side = 32;
  BITMAPINFO info{};
  info.bmiHeader = {sizeof info.bmiHeader, Side, -Side, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP canvas = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!canvas) return nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  const HGDIOBJ oldBitmap = SelectObject(dc, canvas);
  // Pixels left at this key are transparent.
  constexpr std::uint32_t Key = 0x00FF00FF;
  std::fill_n(static_cast<std::uint32_t*>(bits), Side * Side, Key);
  const HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
  const HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
  const POINT arrow[] = {{0, 0}, {0, 16}, {4, 12}, {7, 19}, {9, 18}, {6, 11}, {11, 11}};
  Polygon(dc, arrow, int(std::size(arrow)));
  // GDI leaves a rectangle's right and bottom edges out: this one is 11 x 8 pixels with its outline.
  Rectangle(dc, 6, 21, 17, 29);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBitmap);
  DeleteDC(dc);
  // Monochrome masks, rows of 32 bits: AND 1 keeps the screen, XOR 1 then makes white.
  std::uint8_t andMask[Side * Side / 8], xorMask[Side * Side / 8];
  std::fill(std::begin(andMask), std::end(andMask), std::uint8_t{0});
  std::fill(std::begin(xorMask), std::end(xorMask), std::uint8_t{0});
  const auto* pixels = static_cast<const std::uint32_t*>(bits);
  for (int i = 0; i < Side * Side; ++i) {
    const std::uint32_t p = pixels[i] & 0x00FFFFFF;
    const std::uint8_t bit = std::uint8_t(0x80 >> (i % 8));
    if (p == Key)
      andMask[i / 8] |= bit;
    else if (p != 0)
      xorMask[i / 8] |= bit;
  }
  DeleteObject(canvas);
  return CreateCursor(GetModuleHandleW(nullptr), 0, 0, Side, Side, andMask, xorMask);
}

HCURSOR CursorOf(TCursor cursor) {
  static const HCURSOR arrow = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  if (cursor == crDrag) {
    static const HCURSOR drag = MakeDragCursor();
    if (drag) return drag;
  }
  return arrow;
}

// Copies `part` of `pixels` to the same place of `dc`. The DIB handed to GDI starts at the part's
// first row, so that no row is read beyond the bitmap's end.
void Present(HDC dc, const TBitmap& pixels, const RECT& part) {
  const int rows = part.bottom - part.top;
  BITMAPINFO info{};
  info.bmiHeader = {sizeof info.bmiHeader, pixels.Stride(), -rows, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  SetDIBitsToDevice(dc, part.left, part.top, DWORD(part.right - part.left), DWORD(rows), part.left, 0, 0, UINT(rows),
                    pixels.ScanLine(part.top), &info, DIB_RGB_COLORS);
}

// Device pixels are logical ones on Win32 (the process is per-monitor aware): the box's pixels
// are shown 1:1 from its corner.
class TWin32PaintBox final : public TWin32Control {
 public:
  TWin32PaintBox(TPaintBox& box, HWND window) : TWin32Control(box, window), FBox(box) {}

  ~TWin32PaintBox() override {
    for (const auto& watch : FWatches)
      if (watch->Window) RemoveWindowSubclass(watch->Window, WatchProc, reinterpret_cast<UINT_PTR>(watch.get()));
  }

  void InvalidateRect(const TRect& area) override {
    if (!Hwnd() || area.IsEmpty()) return;
    const RECT r{area.Left, area.Top, area.Right, area.Bottom};
    ::InvalidateRect(Hwnd(), &r, FALSE);
  }

  void SetCursor(TCursor cursor) override {
    FCursor = cursor;
    // Shown at once when the pointer is over the box, not only at its next move.
    POINT at;
    if (Hwnd() && GetCursorPos(&at) && WindowFromPoint(at) == Hwnd()) ::SetCursor(CursorOf(cursor));
  }

  TRect DeviceRectOf(const TControl& other) const override {
    HWND window = Win32Of(&other);
    if (!window || !Hwnd() || !IsWindow(window)) return {};
    // Shown as far as the box's parent goes, whether or not the form itself is shown yet.
    const HWND parent = GetParent(Hwnd());
    for (HWND w = window; w && w != parent; w = GetParent(w))
      if (!(GetWindowLongPtrW(w, GWL_STYLE) & WS_VISIBLE)) return {};
    RECT r;
    GetWindowRect(window, &r);
    if (r.right <= r.left || r.bottom <= r.top) return {};
    MapWindowPoints(HWND_DESKTOP, Hwnd(), reinterpret_cast<POINT*>(&r), 2);
    return TRect{r.left, r.top, r.right, r.bottom};
  }

  void WatchControl(const TControl& other, const std::function<void()>& changed) override {
    HWND window = Win32Of(&other);
    if (!window) return;
    auto watch = std::make_unique<TWatch>(TWatch{window, changed});
    SetWindowSubclass(window, WatchProc, reinterpret_cast<UINT_PTR>(watch.get()),
                      reinterpret_cast<DWORD_PTR>(watch.get()));
    FWatches.push_back(std::move(watch));
  }

  bool Message(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    switch (message) {
      case WM_ERASEBKGND: result = 1; return true;  // the buffer covers every pixel
      case WM_PAINT: Paint(); break;
      case WM_SIZE: Guarded([this] { FBox.Resized(); }); return false;
      case WM_SETCURSOR:
        if (LOWORD(lParam) != HTCLIENT) return false;
        ::SetCursor(CursorOf(FCursor));
        result = TRUE;
        return true;
      case WM_LBUTTONDOWN: Pressed(mbLeft, wParam, lParam); break;
      case WM_RBUTTONDOWN: Pressed(mbRight, wParam, lParam); break;
      case WM_MBUTTONDOWN: Pressed(mbMiddle, wParam, lParam); break;
      case WM_LBUTTONUP: Released(mbLeft, wParam, lParam); break;
      case WM_RBUTTONUP: Released(mbRight, wParam, lParam); break;  // and no WM_CONTEXTMENU
      case WM_MBUTTONUP: Released(mbMiddle, wParam, lParam); break;
      case WM_MOUSEMOVE: Moved(wParam, lParam); break;
      default: return TWin32Control::Message(message, wParam, lParam, result);
    }
    result = 0;
    return true;
  }

 private:
  struct TWatch {
    HWND Window;
    std::function<void()> Changed;
  };

  static LRESULT CALLBACK WatchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                    DWORD_PTR data) {
    auto* watch = reinterpret_cast<TWatch*>(data);
    if (message == WM_NCDESTROY) {
      RemoveWindowSubclass(window, WatchProc, id);
      watch->Window = nullptr;
      return DefSubclassProc(window, message, wParam, lParam);
    }
    const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
    if (message == WM_WINDOWPOSCHANGED) {
      const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
      const bool moved = !(pos->flags & SWP_NOMOVE) || !(pos->flags & SWP_NOSIZE);
      if (moved || (pos->flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW))) Guarded([watch] { watch->Changed(); });
    }
    return result;
  }

  static TShiftState ShiftOf(WPARAM keys) {
    TShiftState s = 0;
    if (keys & MK_SHIFT) s |= ssShift;
    if (keys & MK_CONTROL) s |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
    if (keys & MK_LBUTTON) s |= ssLeft;
    if (keys & MK_RBUTTON) s |= ssRight;
    if (keys & MK_MBUTTON) s |= ssMiddle;
    return s;
  }
  static POINT PointOf(LPARAM lParam) {
    // Signed: with the capture a point left of or above the box is negative.
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  }

  void Pressed(TMouseButton button, WPARAM wParam, LPARAM lParam) {
    HideHint();
    // Held, every move belongs to the box wherever the pointer goes.
    SetCapture(Hwnd());
    const POINT p = PointOf(lParam);
    RememberMove(p);
    FLastShift = ShiftOf(wParam);
    Guarded([&] { FBox.MouseDown(button, ShiftOf(wParam), p.x, p.y); });
  }

  void Released(TMouseButton button, WPARAM wParam, LPARAM lParam) {
    const POINT p = PointOf(lParam);
    const bool held = (wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) != 0;
    RememberMove(p);
    FLastShift = ShiftOf(wParam);
    if (!held && GetCapture() == Hwnd()) ReleaseCapture();
    Guarded([&] { FBox.MouseUp(button, ShiftOf(wParam), p.x, p.y, held); });
  }

  void Moved(WPARAM wParam, LPARAM lParam) {
    const POINT p = PointOf(lParam);
    const TShiftState shift = ShiftOf(wParam);
    // The system sends a move where the pointer already was after the capture ends and when
    // windows change under it; the box reports real moves only.
    if (FHaveLast && p.x == FLastClient.x && p.y == FLastClient.y && shift == FLastShift) return;
    FLastShift = shift;
    std::vector<POINT> between;
    if (Application && !Application->MergesPointerMoves()) between = PointsSinceLastMove(p);
    RememberMove(p);
    Guarded([&] {
      for (const POINT& q : between) FBox.MouseMove(shift, q.x, q.y);
      FBox.MouseMove(shift, p.x, p.y);
    });
  }

  // The last point reported, in the box and on the screen, with its time: where the system's history of the
  // pointer is to be read back to.
  void RememberMove(POINT client) {
    FLastClient = client;
    POINT screen = client;
    ClientToScreen(Hwnd(), &screen);
    FLast = MOUSEMOVEPOINT{screen.x, screen.y, static_cast<DWORD>(GetMessageTime()), 0};
    FHaveLast = true;
  }

  // The pointer's positions the system merged away between the last move reported and `client`,
  // oldest first, in the box's pixels; none when the last one is no longer in the history.
  std::vector<POINT> PointsSinceLastMove(POINT client) const {
    if (!FHaveLast) return {};
    POINT screen = client;
    ClientToScreen(Hwnd(), &screen);
    MOUSEMOVEPOINT now{screen.x & 0xFFFF, screen.y & 0xFFFF, static_cast<DWORD>(GetMessageTime()), 0};
    MOUSEMOVEPOINT history[64];
    const int count = GetMouseMovePointsEx(sizeof now, &now, history, int(std::size(history)), GMMP_USE_DISPLAY_POINTS);
    if (count <= 0) return {};
    // Display points are 16-bit: a monitor left of or above the primary one wraps round.
    auto unwrap = [](int v) { return v > 32767 ? v - 65536 : v; };
    int last = -1;
    for (int i = 1; i < count; ++i) {
      if (unwrap(history[i].x) == FLast.x && unwrap(history[i].y) == FLast.y && history[i].time <= FLast.time) {
        last = i;
        break;
      }
    }
    // Without the capture the box hears of the pointer only over itself.
    const bool captured = GetCapture() == Hwnd();
    RECT area;
    GetClientRect(Hwnd(), &area);
    std::vector<POINT> points;
    for (int i = last - 1; i >= 1; --i) {
      POINT q{unwrap(history[i].x), unwrap(history[i].y)};
      ScreenToClient(Hwnd(), &q);
      if (!captured && !PtInRect(&area, q)) continue;
      if (points.empty() || points.back().x != q.x || points.back().y != q.y) points.push_back(q);
    }
    return points;
  }

  void Paint() {
    // The update region's own rectangles: a thin outline damaged around a figure repaints that
    // outline, not its bounding box.
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    const bool haveRegion = region && GetUpdateRgn(Hwnd(), region, FALSE) != ERROR;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(Hwnd(), &paint);
    Guarded([&] {
      TBitmap& pixels = FBox.Pixels();
      if (pixels.Empty()) return;
      const RECT all{0, 0, pixels.Width(), pixels.Height()};
      std::vector<RECT> parts;
      if (haveRegion) {
        const DWORD size = GetRegionData(region, 0, nullptr);
        std::vector<char> data(size);
        auto* rgn = reinterpret_cast<RGNDATA*>(data.data());
        if (size && GetRegionData(region, size, rgn)) {
          const auto* rects = reinterpret_cast<const RECT*>(rgn->Buffer);
          parts.assign(rects, rects + rgn->rdh.nCount);
        }
      }
      if (parts.empty()) parts.push_back(paint.rcPaint);
      for (const RECT& part : parts) {
        RECT r;
        if (!IntersectRect(&r, &part, &all)) continue;
        Present(dc, pixels, r);
      }
    });
    EndPaint(Hwnd(), &paint);
    if (region) DeleteObject(region);
    Guarded([this] { FBox.Painted(); });
  }

  TPaintBox& FBox;
  TCursor FCursor = crDefault;
  MOUSEMOVEPOINT FLast{};
  POINT FLastClient{};
  TShiftState FLastShift = 0;
  bool FHaveLast = false;
  std::vector<std::unique_ptr<TWatch>> FWatches;
};

}  // namespace

std::unique_ptr<TWSControl> TWin32WidgetSet::CreatePaintBox(TPaintBox& box) {
  HWND window = CreateWindowExW(0, WidgetSetClass(L"QuilmarPaintBox"), L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0,
                                0, 0, 0, ParentWindowOf(box), nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!window)
    throw EOutOfResources("The system refused a window for " + box.Name() + ": close other programs and try again");
  RaiseAmongSiblings(window);
  return std::make_unique<TWin32PaintBox>(box, window);
}
