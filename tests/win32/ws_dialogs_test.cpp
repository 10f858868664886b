#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/application.h"
#include "platform/dialogs.h"
#include "platform/fontdialog.h"
#include "platform/timers.h"
#include "ws_support.h"
// After the API header (ws_support.h), which they need.
#include <commdlg.h>
#include <dlgs.h>

namespace {

// A stay-on-top form, active, as the surface is when it opens a dialog.
class TTopForm : public TForm {
 public:
  TTopForm() : TForm("TopForm", TFormRole::Window) {
    SetBorderStyle(bsNone);
    SetFormStyle(fsStayOnTop);
    SetBounds(0, 0, 1024, 768);
    Show();
    Activate();
    LoopUntil([this] { return Active(); }, 2000);
  }
  ~TTopForm() override { Hide(); }
  HWND Window() const { return HwndOf(NativeWindow()); }
};

// What a dialog looked like when the test answered it.
struct TSeen {
  bool Answered = false;
  HWND Owner = nullptr;
  bool Topmost = false;
};

// Answers the next system dialog, from the dialog's own loop: `answer` gets its window.
void AnswerDialog(TSeen& seen, std::function<void(HWND)> answer) {
  auto look = std::make_shared<std::function<void()>>();
  *look = [&seen, answer, look] {
    HWND dialog = FindSystemDialog();
    if (!dialog) {
      CallAfter(20, *look);
      return;
    }
    seen.Owner = GetWindow(dialog, GW_OWNER);
    seen.Topmost = (GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    seen.Answered = true;
    answer(dialog);
  };
  CallAfter(50, *look);
}

// The file name box of the system's file dialog: the edit of its name combo box, or the old
// style's plain edit.
HWND NameBox(HWND dialog) {
  HWND combo = GetDlgItem(dialog, cmb13);
  if (combo) {
    HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr);
    return edit ? edit : combo;
  }
  return GetDlgItem(dialog, edt1);
}

struct TFileCase {
  const char* Name;
  bool Save;
  const wchar_t* Typed;  // nullptr: the test cancels
  const char* DefaultExt;
  const char* Expected;  // the name in the test's folder; nullptr: FileName as preset
};

class TWin32FileDialogTest : public testing::TestWithParam<TFileCase> {};

// The dialog opens in the preset name's folder, owned by the active stay-on-top form and above
// it; a typed name comes back in that folder (with the default extension when it has none), and
// Cancel returns false leaving the name as it was.
TEST_P(TWin32FileDialogTest, ReturnsTheTypedNameOrNothing) {
  const TFileCase& c = GetParam();
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("dialogs-" + String(c.Name));
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "old.bmp") << "x";
  std::ofstream(folder / "picture.bmp") << "x";
  TTopForm form;
  std::unique_ptr<TFileDialog> dialog;
  if (c.Save)
    dialog = std::make_unique<TSaveDialog>();
  else
    dialog = std::make_unique<TOpenDialog>();
  dialog->Filter = "bitmap (*.bmp)|*.BMP|All|*.*";
  dialog->DefaultExt = c.DefaultExt;
  const String preset = Utf8Of((folder / "old.bmp").wstring());
  dialog->FileName = preset;
  TSeen seen;
  AnswerDialog(seen, [typed = c.Typed](HWND box) {
    if (!typed) {
      PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
      return;
    }
    SetWindowTextW(NameBox(box), typed);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  const bool confirmed = dialog->Execute();
  EXPECT_TRUE(seen.Answered);
  EXPECT_EQ(seen.Owner, form.Window());
  EXPECT_TRUE(seen.Topmost);
  EXPECT_EQ(confirmed, c.Expected != nullptr);
  const String expected = c.Expected ? Utf8Of((folder / c.Expected).wstring()) : preset;
  EXPECT_EQ(_wcsicmp(WideOf(dialog->FileName).c_str(), WideOf(expected).c_str()), 0)
      << dialog->FileName << " is not " << expected;
  std::filesystem::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(Cases, TWin32FileDialogTest,
                         testing::Values(TFileCase{"SaveAddsTheExtension", true, L"lesson1", ".BMP", "lesson1.BMP"},
                                         TFileCase{"SaveKeepsAnExtension", true, L"lesson2.bmp", "BMP", "lesson2.bmp"},
                                         TFileCase{"SaveCancelled", true, nullptr, "BMP", nullptr},
                                         TFileCase{"OpenAnExistingFile", false, L"picture.bmp", "", "picture.bmp"},
                                         TFileCase{"OpenAMissingName", false, L"missing.bmp", "", "missing.bmp"},
                                         TFileCase{"OpenCancelled", false, nullptr, "", nullptr}),
                         [](const testing::TestParamInfo<TFileCase>& info) { return String(info.param.Name); });

// The message box: the application's title, the text, above the stay-on-top form that owns it;
// the program's other forms take no input meanwhile and hear when they are unblocked.
TEST(TWin32Dialogs, ShowMessageIsTitledOwnedOnTopAndModal) {
  // A form of the application's (it lives as long as the application), beside the active one.
  TCountingForm* other = nullptr;
  Application->CreateForm(other);
  other->SetBorderStyle(bsNone);
  other->SetBounds(700, 500, 200, 100);
  other->Show();
  TTopForm form;
  ASSERT_TRUE(form.Active());
  TSeen seen;
  std::wstring title, text;
  bool otherEnabled = true;
  AnswerDialog(seen, [&](HWND box) {
    wchar_t caption[128] = {};
    GetWindowTextW(box, caption, 128);
    title = caption;
    text = StaticTexts(box);
    otherEnabled = IsWindowEnabled(HwndOf(other->NativeWindow()));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  ShowMessage("已保存 lesson1.bmp");
  EXPECT_TRUE(seen.Answered);
  EXPECT_EQ(seen.Owner, form.Window());
  EXPECT_TRUE(seen.Topmost);
  EXPECT_EQ(title, L"Quilmar");
  EXPECT_NE(text.find(L"已保存 lesson1.bmp"), std::wstring::npos) << Utf8Of(text);
  EXPECT_FALSE(otherEnabled);
  EXPECT_TRUE(IsWindowEnabled(HwndOf(other->NativeWindow())));
  EXPECT_EQ(other->Unblocks, 1);
  other->Hide();
}

// Picks `text` in one of the font dialog's combo boxes as the user does: the selection, then the
// notification the dialog acts on.
void Pick(HWND dialog, int id, const wchar_t* text) {
  HWND combo = GetDlgItem(dialog, id);
  const LRESULT index = SendMessageW(combo, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(text));
  ASSERT_NE(index, CB_ERR) << Utf8Of(text);
  SendMessageW(combo, CB_SETCURSEL, WPARAM(index), 0);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), LPARAM(combo));
}

// OK returns the font as the dialog shows it: the preset one when nothing was changed, else the
// chosen face, size, style, effects and colour; Cancel changes nothing.
TEST(TWin32Dialogs, FontDialogReturnsTheChosenFont) {
  TTopForm form;
  TFontDialog dialog;
  const TFont preset{"DejaVu Sans", 12, clBlue, fsItalic};
  dialog.Font = preset;

  TSeen seen;
  AnswerDialog(seen, [](HWND box) { PostMessageW(box, WM_COMMAND, IDOK, 0); });
  ASSERT_TRUE(dialog.Execute());
  EXPECT_TRUE(seen.Topmost);
  EXPECT_EQ(seen.Owner, form.Window());
  EXPECT_EQ(dialog.Font, preset);

  AnswerDialog(seen, [](HWND box) {
    Pick(box, cmb1, L"DejaVu Sans");
    Pick(box, cmb2, L"Bold");
    Pick(box, cmb3, L"20");
    Pick(box, cmb4, L"Red");
    SendDlgItemMessageW(box, chx2, BM_CLICK, 0, 0);  // underline
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  ASSERT_TRUE(dialog.Execute());
  EXPECT_EQ(dialog.Font, (TFont{"DejaVu Sans", 20, clRed, fsBold | fsUnderline}));

  const TFont chosen = dialog.Font;
  AnswerDialog(seen, [](HWND box) {
    Pick(box, cmb3, L"8");
    PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_FALSE(dialog.Execute());
  EXPECT_EQ(dialog.Font, chosen);
}

}  // namespace
