#include "platform/win32/widgetset/wsdialogs.h"
// After the API header, which it needs.
#include <cderr.h>
#include <commdlg.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "platform/application.h"
#include "platform/dialogs.h"
#include "platform/forms.h"
#include "platform/win32/widgetset/wsapplication.h"
#include "platform/win32/widgetset/wsforms.h"

namespace {

HHOOK RaiseHook = nullptr;
int RaiseScopes = 0;

LRESULT CALLBACK RaiseOnActivate(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    HWND window = reinterpret_cast<HWND>(wParam);
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    // MB_TOPMOST alone (and nothing at all for the common dialogs) leaves the dialog under a
    // stay-on-top owner under Wine, where the user cannot find it.
    if (std::wstring_view(name) == L"#32770")
      SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool Shows(HWND window) { return window && IsWindow(window) && IsWindowVisible(window); }

// The system's filter string: "description\0patterns\0" for each entry, ended by an empty one.
std::wstring SystemFilter(const String& filter) {
  std::wstring out;
  for (const TFilterEntry& entry : FilterEntries(filter)) {
    String patterns;
    for (const String& pattern : entry.Patterns) patterns += (patterns.empty() ? "" : ";") + pattern;
    out += WideOf(entry.Description) + L'\0' + WideOf(patterns) + L'\0';
  }
  return out.empty() ? out : out + L'\0';
}

// Long paths fit; the system's dialog refuses a name longer than the buffer.
constexpr std::size_t NameChars = 32768;

bool RunFileDialog(TFileDialog& settings, bool save) {
  const std::filesystem::path last(WideOf(settings.FileName));
  // The preset name's folder, else the current one; the dialog picks its own when neither is known.
  std::error_code unknown;
  const std::wstring folder = last.has_parent_path() ? std::filesystem::absolute(last, unknown).parent_path().wstring()
                                                     : std::filesystem::current_path(unknown).wstring();
  const std::wstring filter = SystemFilter(settings.Filter);
  String ext = settings.DefaultExt;
  if (!ext.empty() && ext.front() == '.') ext.erase(0, 1);
  const std::wstring defaultExt = WideOf(ext);
  std::vector<wchar_t> name(NameChars, L'\0');

  for (bool withName : {true, false}) {
    std::fill(name.begin(), name.end(), L'\0');
    if (withName) {
      const std::wstring shown = last.filename().wstring();
      std::copy_n(shown.begin(), std::min(shown.size(), NameChars - 1), name.begin());
    }
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = DialogOwnerWindow();
    ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = name.data();
    ofn.nMaxFile = DWORD(NameChars);
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
    // Any typed name is taken, of a file that exists or not: the caller's open says why it fails.
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
    if (save) ofn.Flags |= OFN_OVERWRITEPROMPT;
    TSystemDialogScope modal(ofn.hwndOwner);
    const BOOL confirmed = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    if (confirmed) {
      settings.FileName = Utf8Of(std::wstring_view(name.data()));
      return true;
    }
    // A preset name the dialog cannot show (one with characters no file name takes): the dialog
    // opens again in the same folder without it.
    if (!withName || CommDlgExtendedError() != FNERR_INVALIDFILENAME) return false;
  }
  return false;
}

}  // namespace

HWND DialogOwnerWindow() {
  HWND active = GetActiveWindow();
  if (Shows(active)) return active;
  if (HWND last = LastActiveFormWindow(); Shows(last)) return last;
  if (Application && Application->MainForm()) {
    HWND main = HwndOf(Application->MainForm()->NativeWindow());
    if (Shows(main)) return main;
  }
  return nullptr;
}

TSystemDialogScope::TSystemDialogScope(HWND owner) : FOwner(owner) {
  if (RaiseScopes++ == 0) RaiseHook = SetWindowsHookExW(WH_CBT, RaiseOnActivate, nullptr, GetCurrentThreadId());
  for (HWND window : FormWindows())
    if (window != owner && IsWindowEnabled(window)) {
      EnableWindow(window, FALSE);
      FDisabled.push_back(window);
    }
}

TSystemDialogScope::~TSystemDialogScope() {
  if (--RaiseScopes == 0 && RaiseHook) {
    UnhookWindowsHookEx(RaiseHook);
    RaiseHook = nullptr;
  }
  for (HWND window : FDisabled)
    if (IsWindow(window)) EnableWindow(window, TRUE);
  // Told afterwards, all of them enabled again: a handler may open the next dialog.
  std::vector<HWND> blocked = FDisabled;
  if (FOwner) blocked.push_back(FOwner);
  for (HWND window : blocked) {
    auto* form = dynamic_cast<TWin32Form*>(TWin32Control::Of(window));
    if (form && IsWindowVisible(window) && Application && Application->IsForm(&form->Form()))
      Guarded([form] { form->Form().DoUnblocked(); });
  }
}

bool TOpenDialog::Execute() { return RunFileDialog(*this, false); }

bool TSaveDialog::Execute() { return RunFileDialog(*this, true); }

void ShowMessage(const String& text) {
  const String title = Application ? Application->Title : String();
  HWND owner = DialogOwnerWindow();
  TSystemDialogScope modal(owner);
  MessageBoxW(owner, WideOf(text).c_str(), WideOf(title).c_str(), MB_OK | MB_TOPMOST);
}
