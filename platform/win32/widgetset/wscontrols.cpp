#include "platform/win32/widgetset/wscontrols.h"

#include "platform/win32/widgetset/wsmenus.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>

#include "platform/colorbox.h"
#include "platform/edits.h"
#include "platform/paintbox.h"
#include "platform/stdctrls.h"
#include "platform/trayicon.h"
#include "platform/win32/widgetset/wsapplication.h"
#include "platform/win32/widgetset/wsmenus.h"
#include "platform/win32/widgetset/wspictures.h"
#include "platform/win32/widgetset/wsraster.h"

namespace {

constexpr wchar_t ControlProperty[] = L"Quilmar.Control";
constexpr UINT_PTR SubclassId = 1;

HWND ToolTips() {
  static HWND tips = [] {
    HWND window = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (window) SendMessageW(window, TTM_SETMAXTIPWIDTH, 0, 600);
    return window;
  }();
  return tips;
}

}  // namespace

String TextOfWindow(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring wide(std::size_t(length) + 1, L'\0');
  GetWindowTextW(window, wide.data(), length + 1);
  wide.resize(std::size_t(length));
  return Utf8Of(wide);
}

bool SelfDrawnMessage(HWND window, UINT message, WPARAM wParam, LRESULT& result,
                      const std::function<void(HDC)>& paint) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      paint(BeginPaint(window, &ps));
      EndPaint(window, &ps);
      break;
    }
    case WM_PRINTCLIENT: paint(reinterpret_cast<HDC>(wParam)); break;
    case WM_ERASEBKGND: result = 1; return true;
    case WM_MOUSEACTIVATE: result = MA_NOACTIVATE; return true;
    case WM_SETFOCUS:
      if (wParam && IsWindow(reinterpret_cast<HWND>(wParam))) ::SetFocus(reinterpret_cast<HWND>(wParam));
      break;
    default: return false;
  }
  result = 0;
  return true;
}

void HideHint() {
  if (HWND tips = ToolTips(); tips && IsWindowVisible(tips)) SendMessageW(tips, TTM_POP, 0, 0);
}

namespace {

HWND MakeChild(const TControl& control, const wchar_t* windowClass, DWORD style, DWORD exStyle = 0,
               const std::wstring& text = {}) {
  HWND window = CreateWindowExW(exStyle, windowClass, text.c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, 0,
                                0, 0, 0, ParentWindowOf(control), nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!window)
    throw EOutOfResources("The system refused a window for " + control.Name() + ": close other programs and try again");
  RaiseAmongSiblings(window);
  SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(ControlFont(WindowPixelRatio(window))), FALSE);
  return window;
}

}  // namespace

HWND MakeChildWindow(const TControl& control, const wchar_t* windowClass, DWORD style, DWORD exStyle,
                     const std::wstring& text) {
  return MakeChild(control, windowClass, style, exStyle, text);
}

TWin32Control::TWin32Control(TControl& control, HWND window) : FControl(control), FHwnd(window) {
  SetPropW(window, ControlProperty, this);
  SetWindowSubclass(window, SubclassProc, SubclassId, reinterpret_cast<DWORD_PTR>(this));
}

TWin32Control::~TWin32Control() {
  if (!FHwnd) return;
  HWND window = FHwnd;
  RemoveWindowSubclass(window, SubclassProc, SubclassId);
  RemovePropW(window, ControlProperty);
  FHwnd = nullptr;
  DestroyWindow(window);
}

TWin32Control* TWin32Control::Of(HWND window) {
  return window ? static_cast<TWin32Control*>(GetPropW(window, ControlProperty)) : nullptr;
}

LRESULT CALLBACK TWin32Control::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR data) {
  auto* self = reinterpret_cast<TWin32Control*>(data);
  if (message == WM_NCDESTROY) {
    // The window goes with its parent's (a form destroyed ahead of its controls).
    RemoveWindowSubclass(window, SubclassProc, SubclassId);
    RemovePropW(window, ControlProperty);
    self->FHwnd = nullptr;
    return DefSubclassProc(window, message, wParam, lParam);
  }
  if (message == WM_SIZE) self->LayOutAligned();
  if (message == WM_CONTEXTMENU && self->FContextMenu) {
    Guarded(self->FContextMenu);
    return 0;
  }
  LRESULT result = 0;
  bool handled = false;
  Guarded([&] { handled = self->Message(message, wParam, lParam, result); });
  return handled ? result : DefSubclassProc(window, message, wParam, lParam);
}

bool TWin32Control::Message(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_COMMAND:
      // A child's notification goes to the child's handle.
      if (lParam != 0) {
        if (TWin32Control* child = Of(reinterpret_cast<HWND>(lParam))) {
          child->Notified(HIWORD(wParam));
          result = 0;
          return true;
        }
      }
      return false;
    case WM_DRAWITEM:
      // An owner-drawn child's item is drawn by the child's handle.
      if (auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam); item && item->CtlType != ODT_MENU) {
        if (TWin32Control* child = Of(item->hwndItem); child && child->DrawItem(*item)) {
          result = TRUE;
          return true;
        }
      }
      return false;
    default: return false;
  }
}

TRect TWin32Control::BoundsRect() const {
  if (!FHwnd) return {};
  RECT r;
  GetWindowRect(FHwnd, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(FHwnd), reinterpret_cast<POINT*>(&r), 2);
  return ToLogicalRect(r, PixelRatio());
}

double TWin32Control::PixelRatio() const { return WindowPixelRatio(FHwnd); }

int TWin32Control::DeviceWidth() const {
  RECT r{};
  if (FHwnd) GetWindowRect(FHwnd, &r);
  return r.right - r.left;
}

int TWin32Control::DeviceHeight() const {
  RECT r{};
  if (FHwnd) GetWindowRect(FHwnd, &r);
  return r.bottom - r.top;
}

void TWin32Control::SetDeviceSize(int width, int height) {
  if (FHwnd) SetWindowPos(FHwnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWin32Control::SetDeviceBounds(const TRect& logical, int width, int height) {
  const double ratio = PixelRatio();
  if (FHwnd)
    MoveWindow(FHwnd, DevicePixels(logical.Left, ratio), DevicePixels(logical.Top, ratio), width, height, TRUE);
}

void TWin32Control::SetAligned(const std::vector<TAlignedChild>& children) {
  FAligned = children;
  LayOutAligned();
}

// The top ones from the top in order, the bottom ones from the bottom (the first lowest), the
// client one filling what is between, all across the client area.
void TWin32Control::LayOutAligned() {
  if (!FHwnd || FAligned.empty()) return;
  RECT client;
  GetClientRect(FHwnd, &client);
  const double ratio = PixelRatio();
  const int width = LogicalPixels(client.right, ratio);
  int top = 0, bottom = LogicalPixels(client.bottom, ratio);
  for (const TAlignedChild& child : FAligned)
    if (child.Align == alTop) {
      child.Control->SetBounds(0, top, width, child.Height);
      top += child.Height;
    }
  for (const TAlignedChild& child : FAligned)
    if (child.Align == alBottom) {
      bottom -= child.Height;
      child.Control->SetBounds(0, bottom, width, child.Height);
    }
  for (const TAlignedChild& child : FAligned)
    if (child.Align == alClient) child.Control->SetBounds(0, top, width, std::max(0, bottom - top));
}

void TWin32Control::Rescale() {
  if (FLogicalBounds) SetBounds(*FLogicalBounds);
  if (FFont)
    SetFont(FFont->first, FFont->second);
  else if (FHwnd && GetParent(FHwnd))
    SendMessageW(FHwnd, WM_SETFONT, reinterpret_cast<WPARAM>(ControlFont(PixelRatio())), TRUE);
  LayOutAligned();
}

void TWin32Control::SetBounds(const TRect& b) {
  FLogicalBounds = b;
  const RECT r = ToDeviceRect(b, PixelRatio());
  if (FHwnd) MoveWindow(FHwnd, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

bool TWin32Control::Visible() const { return FHwnd && (GetWindowLongPtrW(FHwnd, GWL_STYLE) & WS_VISIBLE) != 0; }

void TWin32Control::SetVisible(bool visible) {
  if (FHwnd) ShowWindow(FHwnd, visible ? SW_SHOWNA : SW_HIDE);
}

bool TWin32Control::Enabled() const { return FHwnd && IsWindowEnabled(FHwnd); }

void TWin32Control::SetEnabled(bool enabled) {
  if (FHwnd) EnableWindow(FHwnd, enabled);
}

void TWin32Control::SetHint(const String& hint) {
  HWND tips = ToolTips();
  if (!FHwnd || !tips) return;
  std::wstring text = WideOf(hint);
  TTTOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = GetParent(FHwnd) ? GetParent(FHwnd) : FHwnd;
  tool.uId = reinterpret_cast<UINT_PTR>(FHwnd);
  SendMessageW(tips, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  if (text.empty()) return;
  tool.lpszText = text.data();
  SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void TWin32Control::SetFocus() {
  if (FHwnd) ::SetFocus(FHwnd);
}

bool TWin32Control::Focused() const { return FHwnd && GetFocus() == FHwnd; }

void TWin32Control::SetText(const String& text) {
  if (FHwnd) SetWindowTextW(FHwnd, WideOf(text).c_str());
}

void TWin32Control::SetFont(const TFont& font, int pixels) {
  // Points are 96 logical pixels to the inch, as on the other widgetset.
  RememberFont(font, pixels);
  const int logical = pixels > 0 ? pixels : MulDiv(std::max(1, font.Size), 96, 72);
  const int device = DevicePixels(logical, PixelRatio());
  if (FHwnd) SendMessageW(FHwnd, WM_SETFONT, reinterpret_cast<WPARAM>(GdiFontEngine().FontHandle(font, device)), TRUE);
}

void TWin32Control::Repaint() {
  if (FHwnd && IsWindowVisible(FHwnd)) ::InvalidateRect(FHwnd, nullptr, FALSE);
}

void RaiseAmongSiblings(HWND window) {
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

HWND ParentWindowOf(const TControl& control) {
  if (!control.Parent()) return HiddenOwnerWindow();
  return static_cast<const TWin32Control&>(control.Parent()->Handle()).Hwnd();
}

const wchar_t* WidgetSetClass(const wchar_t* name, UINT style) {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (GetClassInfoExW(instance, name, &existing)) return name;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = style;
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.lpszClassName = name;
  RegisterClassExW(&windowClass);
  return name;
}

HWND HiddenOwnerWindow() {
  static HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, WidgetSetClass(L"QuilmarHidden"), L"", WS_POPUP, 0, 0, 0, 0,
                                       nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  return window;
}

HFONT ControlFont(double ratio) {
  // One font per DPI, kept for the program's life: the message font at that DPI where the system
  // tells it (Windows 10), else the system's one scaled from the system's DPI.
  static std::map<int, HFONT> fonts;
  const int dpi = int(std::lround(96 * ratio));
  if (const auto known = fonts.find(dpi); known != fonts.end()) return known->second;
  using TForDpi = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
  static const TForDpi forDpi = SystemFunction<TForDpi>(L"user32.dll", "SystemParametersInfoForDpi");
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  HFONT made = nullptr;
  if (forDpi && forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, UINT(dpi))) {
    made = CreateFontIndirectW(&metrics.lfMessageFont);
  } else if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    metrics.lfMessageFont.lfHeight = LONG(std::lround(metrics.lfMessageFont.lfHeight * ratio / SystemPixelRatio()));
    made = CreateFontIndirectW(&metrics.lfMessageFont);
  }
  if (!made) made = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  fonts.emplace(dpi, made);
  return made;
}

namespace {

// A push button. One that is no tab stop never keeps the focus: it hands it back at once to the
// window that had it, as a button that never takes it.
class TWin32Button final : public TWin32Control {
 public:
  TWin32Button(TButton& button, HWND window, bool tabStop) : TWin32Control(button, window), FTabStop(tabStop) {}

  bool Message(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    if (message == WM_SETFOCUS && !FTabStop && wParam && IsWindow(reinterpret_cast<HWND>(wParam))) {
      ::SetFocus(reinterpret_cast<HWND>(wParam));
      result = 0;
      return true;
    }
    return TWin32Control::Message(message, wParam, lParam, result);
  }

  void Notified(WORD code) override {
    if (code == BN_CLICKED) Guarded([this] { static_cast<TButton&>(Control()).Click(); });
  }

  void Rescale() override {
    TWin32Control::Rescale();
    if (!FSource.Empty()) SetGlyph(FSource, 0);
  }

  void SetGlyph(const TPicture& picture, int size) override {
    FSource = picture;
    if (FImages) ImageList_Destroy(FImages);
    FImages = nullptr;
    if (picture.Empty()) return;
    // The picture at its own size, in a list of `size` square: centred, or cut to it.
    (void)size;
    const TPicture shown = PictureAtRatio(picture, PixelRatio());
    HBITMAP bitmap = BitmapOf(BlendOnto(shown, GetSysColor(COLOR_BTNFACE)), shown.Width(), shown.Height());
    FImages = ImageList_Create(shown.Width(), shown.Height(), ILC_COLOR32, 1, 0);
    ImageList_Add(FImages, bitmap, nullptr);
    DeleteObject(bitmap);
    BUTTON_IMAGELIST list{FImages, {2, 2, 2, 2}, BUTTON_IMAGELIST_ALIGN_LEFT};
    SendMessageW(Hwnd(), BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&list));
  }

  ~TWin32Button() override {
    if (FImages) ImageList_Destroy(FImages);
  }

 private:
  bool FTabStop;
  HIMAGELIST FImages = nullptr;
  TPicture FSource;
};

// A button of our own drawing that never takes the focus: the face (raised, pressed while held,
// flat until the pointer is over it when flat), the glyph and the caption centred on it.
class TWin32SpeedButton final : public TWin32Control {
 public:
  TWin32SpeedButton(TButton& button, HWND window, bool flat) : TWin32Control(button, window), FFlat(flat) {}

  // Drawn at its own size, centred on the face.
  void SetGlyph(const TPicture& picture, int) override {
    FSource = picture;
    FGlyph = PictureAtRatio(picture, PixelRatio());
    Repaint();
  }
  void Rescale() override {
    TWin32Control::Rescale();
    FGlyph = PictureAtRatio(FSource, PixelRatio());
  }
  void SetText(const String& text) override {
    FCaption = WideOf(text);
    Repaint();
  }
  void SetEnabled(bool enabled) override {
    TWin32Control::SetEnabled(enabled);
    ::InvalidateRect(Hwnd(), nullptr, FALSE);
  }

  bool Message(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    if (bool clicked = false; FPress.Track(Hwnd(), message, lParam, clicked)) {
      if (clicked) Guarded([this] { static_cast<TButton&>(Control()).Click(); });
      result = 0;
      return true;
    }
    switch (message) {
      case WM_PAINT: Paint(); break;
      case WM_ERASEBKGND: result = 1; return true;
      case WM_MOUSEACTIVATE: result = MA_NOACTIVATE; return true;
      default: return TWin32Control::Message(message, wParam, lParam, result);
    }
    result = 0;
    return true;
  }

 private:
  void Paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(Hwnd(), &paint);
    RECT r;
    GetClientRect(Hwnd(), &r);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    const bool enabled = IsWindowEnabled(Hwnd());
    if (enabled && FPress.Sunken())
      DrawEdge(dc, &r, FFlat ? BDR_SUNKENOUTER : EDGE_SUNKEN, BF_RECT);
    else if (!FFlat || (enabled && FPress.Hot()))
      DrawEdge(dc, &r, FFlat ? BDR_RAISEDINNER : EDGE_RAISED, BF_RECT);
    const int shift = FPress.Sunken() ? 1 : 0;
    if (!FGlyph.Empty()) {
      const auto pixels = enabled ? BlendOnto(FGlyph, face) : BlendOntoDisabled(FGlyph, face);
      const int x = (r.right - FGlyph.Width()) / 2 + shift, y = (r.bottom - FGlyph.Height()) / 2 + shift;
      DrawPixels(dc, x, y, pixels.data(), FGlyph.Width(), FGlyph.Height(), FGlyph.Width());
    } else if (!FCaption.empty()) {
      const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(Hwnd(), WM_GETFONT, 0, 0)));
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
      OffsetRect(&r, shift, shift);
      DrawTextW(dc, FCaption.c_str(), int(FCaption.size()), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
      SelectObject(dc, old);
    }
    EndPaint(Hwnd(), &paint);
  }

  bool FFlat;
  TButtonPress FPress;
  TPicture FGlyph;
  TPicture FSource;  // at ratio 1
  std::wstring FCaption;
};

// A raised panel holding other controls; the children's notifications go on to them.
class TWin32Panel final : public TWin32Control {
 public:
  using TWin32Control::TWin32Control;
  bool Message(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    if (message == WM_ERASEBKGND) {
      RECT r;
      GetClientRect(Hwnd(), &r);
      HDC dc = reinterpret_cast<HDC>(wParam);
      FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
      DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);
      result = 1;
      return true;
    }
    return TWin32Control::Message(message, wParam, lParam, result);
  }
};

// The rich edit (msftedit's RICHEDIT50W) holding plain text in the control's font.
class TWin32RichEdit final : public TWin32Control {
 public:
  using TWin32Control::TWin32Control;

  void SetText(const String& text) override {
    const std::wstring wide = WideOf(text);
    SETTEXTEX how{ST_DEFAULT, 1200};  // UTF-16
    SendMessageW(Hwnd(), EM_SETTEXTEX, reinterpret_cast<WPARAM>(&how), reinterpret_cast<LPARAM>(wide.c_str()));
    // The caret and the view go back to the top, where a new text starts.
    SendMessageW(Hwnd(), EM_SETSEL, 0, 0);
    SendMessageW(Hwnd(), WM_VSCROLL, SB_TOP, 0);
    SendMessageW(Hwnd(), WM_HSCROLL, SB_LEFT, 0);
  }

  String Text() const override {
    return TextOfWindow(Hwnd());
  }

  void SetFont(const TFont& font, int pixels) override {
    RememberFont(font, pixels);
    // The rich edit takes its default character format, not WM_SETFONT's font, for new text.
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_FACE | CFM_SIZE | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT | CFM_CHARSET;
    // Resolved as canvas text is: the rich edit links no fonts of its own (Wine), so a face the
    // desktop lacks would show Chinese text as boxes.
    const String face = GdiFontEngine().ResolveFace(font.Name.empty() ? DefaultFontFace() : font.Name);
    const std::wstring wide = WideOf(face);
    wide.copy(format.szFaceName, std::min<std::size_t>(wide.size(), LF_FACESIZE - 1));
    format.bCharSet = DEFAULT_CHARSET;
    // Twips: a point is 20 of them; pixels at 96 per inch.
    format.yHeight = pixels > 0 ? pixels * 15 : font.Size * 20;
    format.dwEffects = (font.Style & fsBold ? CFE_BOLD : 0) | (font.Style & fsItalic ? CFE_ITALIC : 0) |
                       (font.Style & fsUnderline ? CFE_UNDERLINE : 0) | (font.Style & fsStrikeOut ? CFE_STRIKEOUT : 0);
    SendMessageW(Hwnd(), EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
    SendMessageW(Hwnd(), EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
  }
};

}  // namespace

bool TButtonPress::Track(HWND window, UINT message, LPARAM lParam, bool& clicked) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      SetCapture(window);
      FPressed = true;
      break;
    case WM_MOUSEMOVE:
      if (FHot) return true;
      FHot = true;
      {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window, 0};
        TrackMouseEvent(&track);
      }
      break;
    case WM_MOUSELEAVE: FHot = false; break;
    case WM_LBUTTONUP: {
      const bool wasPressed = FPressed;
      FPressed = false;
      if (GetCapture() == window) ReleaseCapture();
      RECT client;
      GetClientRect(window, &client);
      const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      clicked = wasPressed && PtInRect(&client, at);
      break;
    }
    case WM_CAPTURECHANGED: FPressed = false; break;
    default: return false;
  }
  ::InvalidateRect(window, nullptr, FALSE);
  return true;
}

std::unique_ptr<TWSPopupMenu> TWin32WidgetSet::CreatePopupMenu(TForm&, const String&) {
  return CreateWin32PopupMenu();
}

std::unique_ptr<TWSControl> TWin32WidgetSet::CreateButton(TButton& button, bool tabStop) {
  HWND window = MakeChild(button, L"BUTTON", BS_PUSHBUTTON | (tabStop ? WS_TABSTOP : 0));
  return std::make_unique<TWin32Button>(button, window, tabStop);
}

std::unique_ptr<TWSControl> TWin32WidgetSet::CreateSpeedButton(TButton& button, bool flat) {
  HWND window = MakeChild(button, WidgetSetClass(L"QuilmarSpeedButton", CS_DBLCLKS), 0);
  return std::make_unique<TWin32SpeedButton>(button, window, flat);
}

std::unique_ptr<TWSControl> TWin32WidgetSet::CreatePanel(TPanel& panel) {
  HWND window = MakeChild(panel, WidgetSetClass(L"QuilmarPanel"), WS_CLIPCHILDREN, WS_EX_CONTROLPARENT);
  return std::make_unique<TWin32Panel>(panel, window);
}

std::unique_ptr<TWSControl> TWin32WidgetSet::CreateLabel(TLabel& label, const String& caption, int alignment) {
  static constexpr DWORD Alignments[] = {SS_LEFT, SS_RIGHT, SS_CENTER};
  const DWORD align = alignment >= 0 && alignment < 3 ? Alignments[alignment] : SS_LEFT;
  HWND window = MakeChild(label, L"STATIC", align | SS_CENTERIMAGE | SS_NOPREFIX, 0, WideOf(caption));
  return std::make_unique<TWin32Control>(label, window);
}

std::unique_ptr<TWSControl> TWin32WidgetSet::CreateRichEdit(TRichEdit& edit, bool readOnly, bool wordWrap,
                                                            int scrollBars) {
  static const bool loaded = LoadLibraryW(L"msftedit.dll") != nullptr;
  if (!loaded) throw Exception("The system's rich edit control (msftedit.dll) cannot be loaded");
  DWORD style = ES_MULTILINE | ES_AUTOVSCROLL | WS_TABSTOP | ES_NOHIDESEL;
  if (readOnly) style |= ES_READONLY;
  if (!wordWrap) style |= ES_AUTOHSCROLL;
  if (scrollBars & ssHorizontal) style |= WS_HSCROLL;
  if (scrollBars & ssVertical) style |= WS_VSCROLL;
  HWND window = MakeChild(edit, MSFTEDIT_CLASS, style, WS_EX_CLIENTEDGE);
  // No wrapping: lines as long as they are, reached with the horizontal bar.
  if (!wordWrap) SendMessageW(window, EM_SETTARGETDEVICE, 0, 1);
  SendMessageW(window, EM_SETUNDOLIMIT, 0, 0);
  auto handle = std::make_unique<TWin32RichEdit>(edit, window);
  handle->SetFont(TFont{}, 0);
  return handle;
}

std::unique_ptr<TWSTrayIcon> TWin32WidgetSet::CreateTrayIcon(const TPicture&, const String&,
                                                             std::function<void(std::intptr_t)>) {
  // The desktop services show the notification-area icon on Windows; the widgetset has none.
  return nullptr;
}

void InstallWin32WidgetSet() {
  static TWin32WidgetSet widgetSet;
  InstallWidgetSet(&widgetSet);
}

HWND Win32Of(const TControl* control) {
  return control ? static_cast<const TWin32Control&>(control->Handle()).Hwnd() : nullptr;
}
