#include "platform/win32/widgetset/wsforms.h"

#include <algorithm>

#include "platform/win32/widgetset/wsapplication.h"

namespace {

constexpr UINT ReportFrame = WM_APP + 2;

std::vector<TWin32Form*> Forms;
HWND LastActive = nullptr;

TWin32Form* FormOf(HWND window) {
  for (TWin32Form* form : Forms)
    if (form->Hwnd() == window) return form;
  return nullptr;
}

DWORD StyleOf(TBorderStyle border, TFormRole role) {
  if (border == bsNone) return WS_POPUP | WS_CLIPCHILDREN;
  if (role == TFormRole::Dialog) return WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX | WS_CLIPCHILDREN;
  return WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
}

DWORD ExStyleOf(TBorderStyle border, TFormStyle style, TFormRole role) {
  DWORD ex = 0;
  if (border == bsNone) ex |= WS_EX_TOOLWINDOW;
  if (style == fsStayOnTop) ex |= WS_EX_TOPMOST;
  if (role == TFormRole::Dialog) ex |= WS_EX_CONTROLPARENT;
  return ex;
}

HWND MakeFormWindow(TFormRole role) {
  const wchar_t* windowClass = WidgetSetClass(L"QuilmarForm", CS_DBLCLKS);
  HWND window =
      CreateWindowExW(ExStyleOf(bsSizeable, fsNormal, role), windowClass, L"", StyleOf(bsSizeable, role), CW_USEDEFAULT,
                      CW_USEDEFAULT, 320, 240, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!window) throw EOutOfResources("The system refused the program a window: close other programs and try again");
  return window;
}

// The program's frontmost shown window other than `except`, in the system's stacking order:
// what a modal window opened from the tray (no window of ours active) is to come above.
HWND FrontmostFormWindow(HWND except) {
  for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT))
    if (window != except && IsWindowVisible(window) && FormOf(window)) return window;
  return nullptr;
}

}  // namespace

TWin32Form::TWin32Form(TForm& form, TFormRole role)
    : TWin32Control(form, MakeFormWindow(role)), FForm(form), FRole(role) {
  Forms.push_back(this);
}

TWin32Form::~TWin32Form() {
  std::erase(Forms, this);
  if (LastActive == Hwnd()) LastActive = nullptr;
  if (FBrush) DeleteObject(FBrush);
}

HBRUSH TWin32Form::Background() const { return FBrush ? FBrush : GetSysColorBrush(COLOR_BTNFACE); }

// A rectangle on the desktop in logical pixels from the device one: the corner through the monitor
// it lies on, the size through the window's ratio.
static TRect LogicalOnDesktop(const RECT& r, double ratio) {
  const TPoint corner = LogicalPointOf(POINT{r.left, r.top});
  return TRect{corner.X, corner.Y, corner.X + LogicalPixels(r.right - r.left, ratio),
               corner.Y + LogicalPixels(r.bottom - r.top, ratio)};
}

TRect TWin32Form::BoundsRect() const {
  if (!Hwnd()) return {};
  RECT r;
  GetClientRect(Hwnd(), &r);
  MapWindowPoints(Hwnd(), HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
  return LogicalOnDesktop(r, PixelRatio());
}

double TWin32Form::PixelRatio() const { return WindowPixelRatio(Hwnd()); }

void TWin32Form::SetBounds(const TRect& b) {
  if (!Hwnd()) return;
  // The client area in device pixels, at the ratio of the monitor its corner is on; a window given
  // a monitor's logical rectangle covers that monitor's device pixels exactly, whatever the rounding.
  const POINT corner = DevicePointOf(TPoint{b.Left, b.Top});
  const TMonitorPixels monitor = MonitorPixels(MonitorFromPoint(corner, MONITOR_DEFAULTTONEAREST));
  RECT r{corner.x, corner.y, corner.x + DevicePixels(int(b.Width()), monitor.Ratio),
         corner.y + DevicePixels(int(b.Height()), monitor.Ratio)};
  if (b == monitor.Logical) r = monitor.Device;
  AdjustWindowRectEx(&r, DWORD(GetWindowLongPtrW(Hwnd(), GWL_STYLE)), FALSE,
                     DWORD(GetWindowLongPtrW(Hwnd(), GWL_EXSTYLE)));
  // Moved to a monitor of another DPI, the window keeps this rectangle (see WM_DPICHANGED).
  FPlacing = true;
  SetWindowPos(Hwnd(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
  FPlacing = false;
}

void TWin32Form::SetVisible(bool visible) {
  if (visible)
    Show();
  else if (Hwnd())
    ShowWindow(Hwnd(), SW_HIDE);
}

void TWin32Form::ApplyStyles() {
  if (!Hwnd()) return;
  // The client area stays where it is; the frame grows or goes round it.
  const TRect client = BoundsRect();
  const LONG_PTR keep = GetWindowLongPtrW(Hwnd(), GWL_STYLE) & WS_VISIBLE;
  SetWindowLongPtrW(Hwnd(), GWL_STYLE, LONG_PTR(StyleOf(FBorder, FRole)) | keep);
  const DWORD ex = ExStyleOf(FBorder, FStyle, FRole);
  // The topmost bit changes through SetWindowPos only; the other bits (a task-bar hider's
  // tool-window bit among them) are kept.
  const LONG_PTR oldEx = GetWindowLongPtrW(Hwnd(), GWL_EXSTYLE);
  SetWindowLongPtrW(Hwnd(), GWL_EXSTYLE,
                    (oldEx & ~LONG_PTR(WS_EX_TOPMOST | WS_EX_CONTROLPARENT)) | LONG_PTR(ex & ~WS_EX_TOPMOST) |
                        (FBorder == bsNone ? WS_EX_TOOLWINDOW : 0));
  SetWindowPos(Hwnd(), FStyle == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  SetBounds(client);
}

void TWin32Form::SetBorderStyle(TBorderStyle style) {
  FBorder = style;
  ApplyStyles();
}

void TWin32Form::SetFormStyle(TFormStyle style) {
  FStyle = style;
  ApplyStyles();
}

void TWin32Form::SetColor(TColor color) {
  if (FBrush) DeleteObject(FBrush);
  FColor = ColorToRGB(color);
  FBrush = color == clBtnFace ? nullptr : CreateSolidBrush(FColor);
  if (Hwnd()) ::InvalidateRect(Hwnd(), nullptr, TRUE);
}

void TWin32Form::Show() {
  if (!Hwnd() || IsWindowVisible(Hwnd())) return;
  ShowWindow(Hwnd(), SW_SHOW);
}

void TWin32Form::Close() {
  if (Hwnd()) SendMessageW(Hwnd(), WM_CLOSE, 0, 0);
}

void TWin32Form::CloseNow() {
  Guarded([this] { FForm.DoClose(); });
  if (Hwnd()) ShowWindow(Hwnd(), SW_HIDE);
  // The main form's closing ends the message loop.
  if (Application && Application->MainForm() == &FForm) Win32Loop::EndAll();
}

void TWin32Form::Activate() {
  if (!Hwnd()) return;
  BringWindowToTop(Hwnd());
  SetForegroundWindow(Hwnd());
  SetActiveWindow(Hwnd());
}

bool TWin32Form::Active() const { return Hwnd() && GetActiveWindow() == Hwnd(); }

TRect TWin32Form::FrameRect() const {
  if (!Hwnd()) return {};
  RECT r;
  GetWindowRect(Hwnd(), &r);
  return LogicalOnDesktop(r, PixelRatio());
}

// The system knows a window's frame from its making; it is reported once the window has shown.
bool TWin32Form::FrameKnown() const { return Hwnd() && FBorder != bsNone && FShownOnce; }

void TWin32Form::MoveFrame(int left, int top) {
  const POINT corner = DevicePointOf(TPoint{left, top});
  if (Hwnd()) SetWindowPos(Hwnd(), nullptr, corner.x, corner.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWin32Form::SetClientSize(int width, int height) {
  if (!Hwnd()) return;
  const double ratio = PixelRatio();
  RECT r{0, 0, DevicePixels(width, ratio), DevicePixels(height, ratio)};
  AdjustWindowRectEx(&r, DWORD(GetWindowLongPtrW(Hwnd(), GWL_STYLE)), FALSE,
                     DWORD(GetWindowLongPtrW(Hwnd(), GWL_EXSTYLE)));
  SetWindowPos(Hwnd(), nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWin32Form::Raise() {
  if (Hwnd() && IsWindowVisible(Hwnd()))
    SetWindowPos(Hwnd(), FStyle == fsStayOnTop ? HWND_TOPMOST : HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// Among the ordinary windows: a stay-on-top window only lowered among the others on top could
// stay above a newer one under Wine, whose window manager maps a new window below the one with
// the keyboard.
void TWin32Form::Lower() {
  if (!Hwnd()) return;
  SetWindowPos(Hwnd(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SetWindowPos(Hwnd(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TWin32Form::RunModal() {
  HWND window = Hwnd();
  if (!window) return;
  HWND before = GetActiveWindow();
  // The program's other forms take no input meanwhile, as a modal window's owner does not.
  std::vector<TWin32Form*> disabled;
  for (TWin32Form* other : Forms)
    if (other != this && other->Hwnd() && IsWindowEnabled(other->Hwnd()) && Application &&
        Application->IsForm(&other->FForm)) {
      EnableWindow(other->Hwnd(), FALSE);
      disabled.push_back(other);
    }
  // Owned by the window it was opened from, as the system's dialogs are: an owned window stays
  // above its owner, so a modal window opened over the stay-on-top surface comes above it (the
  // system keeps an ordinary window below any stay-on-top one; Wine's window manager stacks a
  // window that is transient for the focused full-screen one above it).
  HWND owner = before && before != window && FormOf(before) ? before : FrontmostFormWindow(window);
  SetWindowLongPtrW(window, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
  ShowWindow(window, SW_SHOW);
  Activate();
  // Until the window hides, however that comes about (its button, its close box, Escape, the
  // end of the program).
  while (Hwnd() && IsWindowVisible(Hwnd()) && Win32Loop::HandleNext()) {
  }
  if (Hwnd()) SetWindowLongPtrW(Hwnd(), GWLP_HWNDPARENT, 0);
  for (TWin32Form* other : disabled) {
    if (std::find(Forms.begin(), Forms.end(), other) == Forms.end() || !other->Hwnd()) continue;
    EnableWindow(other->Hwnd(), TRUE);
    if (IsWindowVisible(other->Hwnd())) Guarded([other] { other->FForm.DoUnblocked(); });
  }
  // The window that had the keyboard gets it back: typing that went on before must go on.
  if (before && before != window && IsWindow(before) && IsWindowVisible(before)) {
    SetForegroundWindow(before);
    SetActiveWindow(before);
  }
}

bool TWin32Form::Message(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_DISPLAYCHANGE:
      // Sent to every top-level window; the screen compares its monitors once per change.
      Win32DisplayChanged();
      return false;
    case WM_SHOWWINDOW:
      // About to be mapped: the form readies what it shows, in the state its handler leaves.
      if (wParam && lParam == 0) {
        Guarded([this] { FForm.DoShow(); });
        if (!FShownOnce) {
          FShownOnce = true;
          if (FBorder != bsNone) PostMessageW(Hwnd(), ReportFrame, 0, 0);
        }
      }
      return false;
    case ReportFrame:
      if (!FFrameReported) {
        FFrameReported = true;
        Guarded([this] { FForm.DoFrameKnown(); });
      }
      result = 0;
      return true;
    case WM_CLOSE:
      CloseNow();
      result = 0;
      return true;
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) Guarded([this] { FForm.Resize(); });
      return false;
    case WM_DPICHANGED: {
      // On another monitor's DPI: the system's suggested rectangle unless the window is being
      // put where it is going, then every control placed and pictured anew at the new ratio.
      if (!FPlacing) {
        const RECT& r = *reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(Hwnd(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      }
      EnumChildWindows(
          Hwnd(),
          [](HWND child, LPARAM) -> BOOL {
            if (TWin32Control* control = Of(child)) control->Rescale();
            return TRUE;
          },
          0);
      LayOutAligned();
      result = 0;
      return true;
    }
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(Hwnd(), &r);
      FillRect(reinterpret_cast<HDC>(wParam), &r, Background());
      result = 1;
      return true;
    }
    case WM_CTLCOLORSTATIC:
      // Labels and images show the form's colour behind them.
      SetBkColor(reinterpret_cast<HDC>(wParam), FBrush ? FColor : GetSysColor(COLOR_BTNFACE));
      result = reinterpret_cast<LRESULT>(Background());
      return true;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(Hwnd(), focus)) FFocus = focus;
      } else {
        LastActive = Hwnd();
        // The control that had the focus gets it back, or a dialog's first one.
        if (FFocus && IsWindow(FFocus) && IsChild(Hwnd(), FFocus) && IsWindowVisible(FFocus)) {
          ::SetFocus(FFocus);
        } else if (IsDialog()) {
          if (HWND first = GetNextDlgTabItem(Hwnd(), nullptr, FALSE)) ::SetFocus(first);
        } else {
          ::SetFocus(Hwnd());
        }
        result = 0;
        return true;
      }
      return false;
    case WM_COMMAND:
      if (lParam == 0 && IsDialog()) {
        // From IsDialogMessage: Escape closes, Enter clicks the focused button.
        if (LOWORD(wParam) == IDCANCEL) {
          CloseNow();
        } else if (LOWORD(wParam) == IDOK) {
          HWND focus = GetFocus();
          if (focus && IsChild(Hwnd(), focus) &&
              (SendMessageW(focus, WM_GETDLGCODE, 0, 0) & (DLGC_BUTTON | DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)))
            SendMessageW(focus, BM_CLICK, 0, 0);
        }
        result = 0;
        return true;
      }
      return TWin32Control::Message(message, wParam, lParam, result);
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      // The keys no control kept reach the form while the window itself has the focus.
      if (GetFocus() == Hwnd()) {
        int key = int(wParam);
        const TShiftState shift = ShiftStateNow();
        Guarded([&] { FForm.KeyDown(key, shift); });
        if (key == 0 || message == WM_KEYDOWN) {
          result = 0;
          return true;
        }
      }
      return false;
    default: return TWin32Control::Message(message, wParam, lParam, result);
  }
}

bool IsDialogForm(HWND window) {
  const TWin32Form* form = FormOf(window);
  return form && form->IsDialog();
}

std::vector<HWND> FormWindows() {
  std::vector<HWND> windows;
  for (const TWin32Form* form : Forms)
    if (form->Hwnd()) windows.push_back(form->Hwnd());
  return windows;
}

HWND LastActiveFormWindow() { return LastActive; }

std::unique_ptr<TWSControl> TWin32WidgetSet::CreateForm(TForm& form, TFormRole role) {
  return std::make_unique<TWin32Form>(form, role);
}

namespace {

TRect RectOf(const RECT& r) { return TRect{r.left, r.top, r.right, r.bottom}; }

TMonitor MonitorOf(HMONITOR monitor) {
  const TMonitorPixels m = MonitorPixels(monitor);
  if (m.Device.right <= m.Device.left) return {};
  return TMonitor{reinterpret_cast<std::uintptr_t>(monitor), m.Logical, RectOf(m.Device), m.Ratio};
}

std::vector<TMonitor> AllMonitors() {
  std::vector<TMonitor> monitors;
  for (HMONITOR monitor : DisplayMonitors()) monitors.push_back(MonitorOf(monitor));
  return monitors;
}

HMONITOR PrimaryHandle() { return MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY); }

// The desktop in logical pixels: each monitor's device rectangle from its corner at its ratio.
class TWin32Screen final : public TScreen {
 public:
  TRect PrimaryMonitorRect() const override {
    const TMonitor primary = PrimaryMonitor();
    return primary.Id ? primary.BoundsRect : TRect{0, 0, 1024, 768};
  }
  TRect MonitorRectUnderPointer() const override {
    const TMonitor monitor = MonitorUnderPointer();
    return monitor.Id ? monitor.BoundsRect : PrimaryMonitorRect();
  }
  TRect DesktopRect() const override {
    const std::vector<TMonitor> monitors = AllMonitors();
    if (monitors.empty()) return PrimaryMonitorRect();
    TRect all = monitors.front().BoundsRect;
    for (const TMonitor& m : monitors)
      all = TRect{std::min(all.Left, m.BoundsRect.Left), std::min(all.Top, m.BoundsRect.Top),
                  std::max(all.Right, m.BoundsRect.Right), std::max(all.Bottom, m.BoundsRect.Bottom)};
    return all;
  }
  TPoint CursorPos() const override {
    POINT at{};
    GetCursorPos(&at);
    return LogicalPointOf(at);
  }
  int MonitorCount() const override { return static_cast<int>(AllMonitors().size()); }
  TMonitor PrimaryMonitor() const override { return MonitorOf(PrimaryHandle()); }
  TMonitor MonitorUnderPointer() const override {
    POINT at{};
    if (!GetCursorPos(&at)) return PrimaryMonitor();
    return MonitorOf(MonitorFromPoint(at, MONITOR_DEFAULTTONEAREST));
  }
  TMonitor MonitorOrPrimary(std::uintptr_t id) const override {
    for (const TMonitor& monitor : AllMonitors())
      if (id && monitor.Id == id) return monitor;
    return PrimaryMonitor();
  }
  void AddChangeHandler(const void* owner, TChangeHandler handler) override {
    if (FHandlers.empty()) FKnown = AllMonitors(), FPrimary = PrimaryMonitor().Id;
    FHandlers.push_back({owner, std::move(handler)});
  }
  void RemoveChangeHandler(const void* owner) override {
    std::erase_if(FHandlers, [owner](const THandler& h) { return h.Owner == owner; });
  }

  // The monitors now against those known: each one gone or of a new rectangle, and a new primary.
  void DisplayChanged() {
    const std::vector<TMonitor> now = AllMonitors();
    const std::uintptr_t primary = PrimaryMonitor().Id;
    std::vector<std::pair<TMonitorChange, std::uintptr_t>> changes;
    for (const TMonitor& old : FKnown) {
      const auto same = std::find_if(now.begin(), now.end(), [&](const TMonitor& m) { return m.Id == old.Id; });
      if (same == now.end())
        changes.emplace_back(TMonitorChange::Removed, old.Id);
      else if (!(same->BoundsRect == old.BoundsRect))
        changes.emplace_back(TMonitorChange::Resized, old.Id);
    }
    if (primary != FPrimary) changes.emplace_back(TMonitorChange::PrimaryChanged, primary);
    FKnown = now;
    FPrimary = primary;
    for (const auto& [change, id] : changes)
      for (const THandler& handler : std::vector<THandler>(FHandlers)) handler.Run(change, id);
  }

 private:
  struct THandler {
    const void* Owner;
    TChangeHandler Run;
  };
  std::vector<THandler> FHandlers;
  std::vector<TMonitor> FKnown;
  std::uintptr_t FPrimary = 0;
};

TWin32Screen& TheScreen() {
  static TWin32Screen screen;
  return screen;
}

}  // namespace

void Win32DisplayChanged() { TheScreen().DisplayChanged(); }

TScreen& TWin32WidgetSet::Screen() { return TheScreen(); }
