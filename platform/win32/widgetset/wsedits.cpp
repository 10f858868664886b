// The edits, the up-down and the colour box of the Win32 widgetset.
#include "platform/win32/widgetset/wscontrols.h"
// After the Win32 API header, which it needs.
#include <imm.h>

#include <algorithm>
#include <vector>

#include "platform/colorbox.h"
#include "platform/edits.h"
#include "platform/win32/widgetset/wsapplication.h"

namespace {

// VK_PROCESSKEY: a key the input method took while composing.
constexpr WPARAM ImeKey = 0xE5;

// The text, caret and selection of an EDIT control.
class TWin32EditBase : public TWin32Control {
 public:
  using TWin32Control::TWin32Control;

  String Text() const override {
    return TextOfWindow(Hwnd());
  }
  int SelStart() const override {
    DWORD start = 0, end = 0;
    SendMessageW(Hwnd(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return int(start);
  }
  int SelLength() const override {
    DWORD start = 0, end = 0;
    SendMessageW(Hwnd(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return int(end - start);
  }
  void SetSelStart(int position) override { SendMessageW(Hwnd(), EM_SETSEL, position, position); }

 protected:
  // Every key stays in the edit: a dialog form's Tab moves on, nothing else leaves it.
  static LRESULT DialogCode(LPARAM lParam, LRESULT own) {
    const auto* message = reinterpret_cast<const MSG*>(lParam);
    if (message && message->message == WM_KEYDOWN && message->wParam == VK_TAB) return own;
    return own | DLGC_WANTALLKEYS | DLGC_WANTCHARS;
  }

  // The characters a key that was swallowed would type are dropped with it.
  bool FDropChars = false;
};

class TWin32Edit final : public TWin32EditBase {
 public:
  TWin32Edit(TEdit& edit, HWND window) : TWin32EditBase(edit, window), FEdit(edit) {}

  void Notified(WORD code) override {
    if (code == EN_CHANGE) Guarded([this] { FEdit.Change(); });
  }

  void SetCaretRect(const TRect&) override {
    if (GetFocus() == Hwnd()) PlaceComposition();
  }

  bool Message(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    switch (message) {
      case WM_GETDLGCODE: result = DialogCode(lParam, DefSubclassProc(Hwnd(), message, wParam, lParam)); return true;
      case WM_SYSKEYDOWN:
        // Keys held with Alt too; Alt alone and F10 open the window's menu as ever.
        if (wParam == VK_MENU || wParam == VK_F10) return false;
        [[fallthrough]];
      case WM_KEYDOWN: {
        FDropChars = false;
        // What the input method takes while composing is its own.
        if (wParam == ImeKey) return false;
        bool goOn = true;
        const int key = int(wParam);
        const TShiftState shift = ShiftStateNow();
        Guarded([&] { goOn = FEdit.KeyDown(key, shift); });
        if (goOn) return false;
        FDropChars = true;
        result = 0;
        return true;
      }
      case WM_SYSKEYUP: FDropChars = false; return false;
      case WM_SYSCHAR:
        if (!FDropChars) return false;
        result = 0;
        return true;
      case WM_KEYUP: FDropChars = false; return false;
      case WM_CHAR:
        // A single line holds no line breaks, Escape or tabs.
        if (FDropChars || wParam == L'\r' || wParam == L'\n' || wParam == 27 || wParam == L'\t') {
          result = 0;
          return true;
        }
        return false;
      case WM_SETFOCUS: PlaceComposition(); return false;
      case WM_KILLFOCUS:
        // The input method commits or drops what it composed when the focus leaves.
        FEdit.SetComposing(false);
        return false;
      case WM_IME_STARTCOMPOSITION:
        FEdit.SetComposing(true);
        PlaceComposition();
        return false;
      case WM_IME_ENDCOMPOSITION: FEdit.SetComposing(false); return false;
      default: return TWin32EditBase::Message(message, wParam, lParam, result);
    }
  }

 private:
  // The input method's windows at the edit's caret rectangle (in the parent), or at the edit's
  // own caret when it has none.
  void PlaceComposition() {
    HIMC context = ImmGetContext(Hwnd());
    if (!context) return;
    const TRect& caret = FEdit.CaretRect();
    COMPOSITIONFORM composition{};
    if (caret.IsEmpty()) {
      composition.dwStyle = CFS_DEFAULT;
      ImmSetCompositionWindow(context, &composition);
    } else {
      RECT area{caret.Left, caret.Top, caret.Right, caret.Bottom};
      MapWindowPoints(GetParent(Hwnd()), Hwnd(), reinterpret_cast<POINT*>(&area), 2);
      composition.dwStyle = CFS_RECT;
      composition.ptCurrentPos = POINT{area.left, area.top};
      composition.rcArea = area;
      ImmSetCompositionWindow(context, &composition);
      // The candidates below the text, never over it.
      CANDIDATEFORM candidates{};
      candidates.dwIndex = 0;
      candidates.dwStyle = CFS_EXCLUDE;
      candidates.ptCurrentPos = POINT{area.left, area.bottom};
      candidates.rcArea = area;
      ImmSetCandidateWindow(context, &candidates);
    }
    ImmReleaseContext(Hwnd(), context);
  }

  TEdit& FEdit;
};

// The mask edit's EDIT shows what the field sets; keys, pasted and committed text go to the
// field, and only the caret keys and copying are the control's own.
class TWin32MaskEdit final : public TWin32EditBase {
 public:
  TWin32MaskEdit(TMaskEdit& edit, HWND window) : TWin32EditBase(edit, window), FEdit(edit) {}

  bool Message(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    switch (message) {
      case WM_GETDLGCODE: result = DialogCode(lParam, DefSubclassProc(Hwnd(), message, wParam, lParam)); return true;
      case WM_KEYDOWN: {
        FDropChars = false;
        switch (wParam) {
          case VK_LEFT:
          case VK_RIGHT:
          case VK_HOME:
          case VK_END:
          case ImeKey: return false;
          default: break;
        }
        bool taken = false;
        const int key = int(wParam);
        const TShiftState shift = ShiftStateNow();
        Guarded([&] { taken = FEdit.KeyDown(key, shift); });
        if (!taken) return false;
        FDropChars = true;
        result = 0;
        return true;
      }
      case WM_KEYUP: FDropChars = false; return false;
      case WM_CHAR: {
        result = 0;
        if (FDropChars) return true;
        const wchar_t c = wchar_t(wParam);
        // Copying, selecting all and pasting (WM_PASTE) are the control's; other control
        // characters type nothing.
        if (c == 0x03 || c == 0x01 || c == 0x16) return false;
        if (c < 0x20 || c == 0x7F) return true;
        if (IS_HIGH_SURROGATE(c)) {
          FHighSurrogate = c;
          return true;
        }
        std::wstring typed;
        if (IS_LOW_SURROGATE(c) && FHighSurrogate) typed += FHighSurrogate;
        FHighSurrogate = 0;
        typed += c;
        Guarded([&] { FEdit.KeyPress(Utf8Of(typed)); });
        return true;
      }
      case WM_PASTE:
        Guarded([this] { FEdit.Insert(ClipboardText()); });
        result = 0;
        return true;
      case WM_CUT:
      case WM_CLEAR:
      case WM_UNDO:
      case EM_UNDO:
      case WM_CONTEXTMENU: result = 0; return true;
      case WM_IME_COMPOSITION:
        if (lParam & GCS_RESULTSTR) {
          const String committed = CommittedText();
          Guarded([&] { FEdit.Insert(committed); });
          result = 0;
          return true;
        }
        return false;
      case WM_IME_CHAR: result = 0; return true;
      default: return TWin32EditBase::Message(message, wParam, lParam, result);
    }
  }

 private:
  String ClipboardText() const {
    if (!IsClipboardFormatAvailable(CF_UNICODETEXT) || !OpenClipboard(Hwnd())) return {};
    String text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
      if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
        text = Utf8Of(std::wstring_view(chars));
        GlobalUnlock(data);
      }
    }
    CloseClipboard();
    return text;
  }

  String CommittedText() const {
    HIMC context = ImmGetContext(Hwnd());
    if (!context) return {};
    const LONG bytes = ImmGetCompositionStringW(context, GCS_RESULTSTR, nullptr, 0);
    std::wstring text(bytes > 0 ? std::size_t(bytes) / sizeof(wchar_t) : 0, L'\0');
    if (bytes > 0) ImmGetCompositionStringW(context, GCS_RESULTSTR, text.data(), DWORD(bytes));
    ImmReleaseContext(Hwnd(), context);
    return Utf8Of(text);
  }

  TMaskEdit& FEdit;
  wchar_t FHighSurrogate = 0;
};

// Two arrows, the upper one for the next value; never takes the focus.
class TWin32UpDown final : public TWin32Control {
 public:
  TWin32UpDown(TUpDown& upDown, HWND window) : TWin32Control(upDown, window), FUpDown(upDown) {}

  bool Message(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    if (SelfDrawnMessage(Hwnd(), message, wParam, result, [this](HDC dc) { Paint(dc); })) return true;
    switch (message) {
      case WM_LBUTTONDOWN: {
        RECT r;
        GetClientRect(Hwnd(), &r);
        const int y = static_cast<short>(HIWORD(lParam));
        FPressed = y < r.bottom / 2 ? 1 : 2;
        SetCapture(Hwnd());
        ::InvalidateRect(Hwnd(), nullptr, FALSE);
        Guarded([&] { FUpDown.Click(FPressed == 1 ? btNext : btPrev); });
        break;
      }
      case WM_LBUTTONUP:
        if (GetCapture() == Hwnd()) ReleaseCapture();
        break;
      case WM_CAPTURECHANGED:
        FPressed = 0;
        ::InvalidateRect(Hwnd(), nullptr, FALSE);
        break;
      default: return TWin32Control::Message(message, wParam, lParam, result);
    }
    result = 0;
    return true;
  }

 private:
  void Paint(HDC dc) {
    RECT r;
    GetClientRect(Hwnd(), &r);
    const int half = r.bottom / 2;
    RECT upper{0, 0, r.right, half}, lower{0, half, r.right, r.bottom};
    for (int i = 0; i < 2; ++i) {
      RECT& part = i == 0 ? upper : lower;
      FillRect(dc, &part, GetSysColorBrush(COLOR_BTNFACE));
      DrawEdge(dc, &part, FPressed == i + 1 ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    }
    const bool enabled = IsWindowEnabled(Hwnd());
    HBRUSH arrow = GetSysColorBrush(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
    const HGDIOBJ oldBrush = SelectObject(dc, arrow);
    const HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    const int cx = r.right / 2;
    const int up = half / 2, down = half + (r.bottom - half) / 2;
    const POINT next[] = {{cx - 4, up + 2}, {cx + 5, up + 2}, {cx, up - 3}};
    const POINT prev[] = {{cx - 4, down - 2}, {cx + 5, down - 2}, {cx, down + 3}};
    Polygon(dc, next, 3);
    Polygon(dc, prev, 3);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
  }

  TUpDown& FUpDown;
  int FPressed = 0;  // 1 the upper arrow, 2 the lower one
};

// An owner-drawn drop-down list: each entry a swatch and its name.
class TWin32ColorBox final : public TWin32Control {
 public:
  static constexpr int ListItems = 20;
  static constexpr int DroppedWidth = 200;
  static constexpr UINT FocusBack = WM_APP + 0x51;

  TWin32ColorBox(TColorBox& box, HWND window, bool tabStop) : TWin32Control(box, window), FBox(box), FTabStop(tabStop) {
    SendMessageW(window, CB_SETDROPPEDWIDTH, DroppedWidth, 0);
  }

  void ClearItems() override {
    FColors.clear();
    SendMessageW(Hwnd(), CB_RESETCONTENT, 0, 0);
  }
  void AddColorItem(TColor color, const String& name) override {
    FColors.push_back(color);
    const std::wstring wide = WideOf(name);
    SendMessageW(Hwnd(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
  }
  int ItemIndex() const override { return int(SendMessageW(Hwnd(), CB_GETCURSEL, 0, 0)); }
  void SetItemIndex(int index) override { SendMessageW(Hwnd(), CB_SETCURSEL, WPARAM(index), 0); }

  TRect BoundsRect() const override {
    TRect r = TWin32Control::BoundsRect();
    // The closed box, without the list that drops down.
    if (FHeight > 0) r.Bottom = r.Top + FHeight;
    return r;
  }
  // The box is as high as asked; its window is higher by the list it drops down (without
  // comctl32 v6 the window's height is the open list's).
  void SetBounds(const TRect& b) override {
    FHeight = int(b.Height());
    const RECT r = ToDeviceRect(b, PixelRatio());
    const int height = r.bottom - r.top;
    const int field = std::max(8, height - 6);
    SendMessageW(Hwnd(), CB_SETITEMHEIGHT, WPARAM(-1), field);
    const int item = int(SendMessageW(Hwnd(), CB_GETITEMHEIGHT, 0, 0));
    MoveWindow(Hwnd(), r.left, r.top, r.right - r.left, height + ListItems * std::max(item, 1) + 2, TRUE);
  }

  void Notified(WORD code) override {
    if (code == CBN_SELCHANGE) Guarded([this] { FBox.Change(); });
    // A box that is no tab stop has the focus only while its list is open.
    if (code == CBN_CLOSEUP && !FTabStop) PostMessageW(Hwnd(), FocusBack, 0, 0);
  }

  bool Message(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    if (message == WM_SETFOCUS) FPrevious = reinterpret_cast<HWND>(wParam);
    if (message == FocusBack) {
      if (GetFocus() == Hwnd() && FPrevious && IsWindow(FPrevious)) ::SetFocus(FPrevious);
      result = 0;
      return true;
    }
    return TWin32Control::Message(message, wParam, lParam, result);
  }

  bool DrawItem(const DRAWITEMSTRUCT& item) override {
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    FillRect(dc, &r, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    if (item.itemID < FColors.size()) {
      const int side = std::max(4, int(r.bottom - r.top) - 4);
      RECT swatch{r.left + 2, r.top + (r.bottom - r.top - side) / 2, 0, 0};
      swatch.right = swatch.left + side;
      swatch.bottom = swatch.top + side;
      HBRUSH fill = CreateSolidBrush(COLORREF(ColorToRGB(FColors[item.itemID])));
      FillRect(dc, &swatch, fill);
      DeleteObject(fill);
      FrameRect(dc, &swatch, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      const LRESULT length = SendMessageW(Hwnd(), CB_GETLBTEXTLEN, item.itemID, 0);
      if (length > 0) {
        std::wstring name(std::size_t(length) + 1, L'\0');
        SendMessageW(Hwnd(), CB_GETLBTEXT, item.itemID, reinterpret_cast<LPARAM>(name.data()));
        name.resize(std::size_t(length));
        RECT text = r;
        text.left = swatch.right + 4;
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        DrawTextW(dc, name.c_str(), int(name.size()), &text,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
      }
    }
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) DrawFocusRect(dc, &r);
    return true;
  }

 private:
  TColorBox& FBox;
  bool FTabStop;
  int FHeight = 0;
  HWND FPrevious = nullptr;
  std::vector<TColor> FColors;
};

}  // namespace

std::unique_ptr<TWSControl> TWin32WidgetSet::CreateEdit(TEdit& edit, bool border) {
  HWND window = MakeChildWindow(edit, L"EDIT", ES_AUTOHSCROLL | ES_LEFT | WS_TABSTOP, border ? WS_EX_CLIENTEDGE : 0);
  return std::make_unique<TWin32Edit>(edit, window);
}

std::unique_ptr<TWSControl> TWin32WidgetSet::CreateMaskEdit(TMaskEdit& edit) {
  HWND window = MakeChildWindow(edit, L"EDIT", ES_LEFT | WS_TABSTOP, WS_EX_CLIENTEDGE);
  return std::make_unique<TWin32MaskEdit>(edit, window);
}

std::unique_ptr<TWSControl> TWin32WidgetSet::CreateUpDown(TUpDown& upDown) {
  HWND window = MakeChildWindow(upDown, WidgetSetClass(L"QuilmarUpDown"), 0);
  return std::make_unique<TWin32UpDown>(upDown, window);
}

std::unique_ptr<TWSControl> TWin32WidgetSet::CreateColorBox(TColorBox& box, bool tabStop) {
  HWND window =
      MakeChildWindow(box, L"COMBOBOX",
                      CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | WS_VSCROLL | (tabStop ? WS_TABSTOP : 0));
  return std::make_unique<TWin32ColorBox>(box, window, tabStop);
}
