// Files and the clipboard with the real program at 1024x768: the whole surface saved through
// the real dialog, a region copied to and pasted from the desktop's clipboard (xclip), loads of a
// bitmap with an upper-case name and of a file that does not exist. The dialogs are in Chinese
// and Enter, on the main keyboard or the keypad, confirms them.
#include <QDir>
#include <QImageReader>
#include <QTemporaryDir>

#include "tests/e2e/app_fixture.h"

namespace e2e {
namespace {

constexpr int LoadedMs = 15000;

class TFilesTest : public TAppTest {
 protected:
  void SetUp() override {
    TAppTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_TRUE(Dir.isValid());
    Probe_ = Spawn(Probe, {"gui"});
    Pattern = ShowPattern(*Probe_);
    App_ = StartApp();
    ASSERT_TRUE(HotKey());
    ASSERT_TRUE(WaitUntil([&] { return SurfaceCoversScreen(*App_); }));
    ASSERT_TRUE(WaitUntil([&] {
      Frozen = X().GrabScreen();
      return Frozen.pixel(Pattern.x() + 50, Pattern.y() + 30) == PatternPixel(50, 30);
    }));
    // A red stroke across the pattern, so that what is saved has drawings in it.
    ASSERT_TRUE(Drag({{150, 250}, {350, 260}}));
    ASSERT_TRUE(WaitUntil([&] { return X().Grab(QRect(250, 255, 1, 1)).pixel(0, 0) == 0xffff0000u; }, LoadedMs));
  }

  bool ClickBar(int left) { return Xdo().Click(ToolBar.x() + left + 11, ToolBar.y() + 13); }
  // A window of ours named `name` shows (or, with `shown` false, is gone).
  bool WindowNamed(const QString& name, bool shown = true) {
    if (shown) return WindowWithKeyboard(*App_, name, LoadedMs);
    return WaitUntil([&] { return !X().FindWindow(App_->Pid(), name).has_value(); }, LoadedMs);
  }
  // Drags a selection and waits for the region menu; then picks item `item` (1-based).
  void RegionCommand(QRect selection, int item) {
    ASSERT_TRUE(ClickBar(184));  // the selection tool
    ASSERT_TRUE(Drag({selection.topLeft(), selection.topLeft() + QPoint(10, 10), selection.bottomRight() + QPoint(1, 1)}));
    ASSERT_TRUE(MenuDrawn([&] { return RegionMenu(); }, LoadedMs)) << "no region menu:" << ShownWindows(App_->Pid());
    ASSERT_TRUE(StepThroughMenu(item));
    ASSERT_TRUE(Xdo().Key("Return"));
    ASSERT_TRUE(WaitUntil([&] { return !RegionMenu().has_value(); }, LoadedMs));
  }
  std::optional<TWindowInfo> RegionMenu() {
    for (const TWindowInfo& window : X().WindowsOfPid(App_->Pid()))
      if (window.Viewable && window.OverrideRedirect && window.Geometry.height() > 8 * 15) return window;
    return std::nullopt;
  }
  std::unique_ptr<TChild> Xclip(const QStringList& arguments) {
    return Spawn(QStringLiteral("xclip"), QStringList{"-selection", "clipboard"} + arguments);
  }

  QTemporaryDir Dir;
  QRect Pattern;
  QImage Frozen;
  std::unique_ptr<TChild> Probe_;
  std::unique_ptr<TChild> App_;
};

TEST_F(TFilesTest, TheWholeSurfaceIsSavedThroughTheDialogWithBmpAdded) {
  const QImage seen = X().GrabScreen();
  ASSERT_TRUE(ClickBar(276));  // save the whole screen
  ASSERT_TRUE(WindowNamed(SaveTitle)) << "no save dialog named " << SaveTitle.toStdString();
  // A name typed without an extension.
  ASSERT_TRUE(Xdo().Run({"type", "--delay", "5", TypedPath(Dir.filePath("lesson"))}));
  ASSERT_TRUE(Xdo().Key("Return"));
  ASSERT_TRUE(WindowNamed(SaveTitle, false));
  // Windows' dialog adds the extension as its filter spells it: Windows' names ignore the case.
  const QString file = Dir.filePath(UnderWine() ? "lesson.bmp" : "lesson.BMP");
  ASSERT_TRUE(WaitUntil([&] { return QFileInfo::exists(file); }, LoadedMs))
      << QDir(Dir.path()).entryList().join(' ').toStdString();
  const QImage saved = QImageReader(file, "BMP").read().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(saved.size(), QSize(1024, 768));
  // The file is the surface as it was when the command was given, drawings included. The tool
  // bar and the marker lie over the surface as windows of their own: the file has the frozen
  // screen beneath them, not them.
  const auto marker = X().FindWindow(App_->Pid(), QStringLiteral("KEZ"));
  ASSERT_TRUE(marker);
  int differ = 0;
  for (int y = 0; y < 768; ++y)
    for (int x = 0; x < 1024; ++x)
      if (!OutsideSurface(x, y) && !marker->Geometry.contains(x, y))
        differ += (saved.pixel(x, y) & 0xffffff) != (seen.pixel(x, y) & 0xffffff);
  EXPECT_EQ(differ, 0) << "pixels differing from the surface";
  EXPECT_NE(saved.pixel(ToolBar.x() + 538, ToolBar.y() + 10) & 0xffffff, 0x800080u) << "the tool bar is in the file";
  EXPECT_EQ(saved.pixel(250, 255) & 0xffffff, 0xff0000u);
  // The drawings are still on the surface after the dialog.
  EXPECT_TRUE(WaitUntil([&] { return X().Grab(QRect(250, 255, 1, 1)).pixel(0, 0) == 0xffff0000u; }, LoadedMs));
}

TEST_F(TFilesTest, ARegionGoesToTheDesktopClipboardAndAPictureComesBack) {
  // Copy as seen: 200x100 selected from (150, 200), interior 198 x 98 from (151, 201).
  const QRect selection(150, 200, 200, 100);
  const QImage seen = X().Grab(QRect(151, 201, 198, 98));
  RegionCommand(selection, 2);
  const QString png = Dir.filePath("copied.png");
  ASSERT_TRUE(WaitUntil(
      [&] {
        return Xclip({"-t", "TARGETS", "-o"})->WaitForLine("image/png", 2000).has_value();
      },
      LoadedMs))
      << "no picture offered on the clipboard";
  {
    auto reader = Spawn(QStringLiteral("sh"),
                        {"-c", QStringLiteral("xclip -selection clipboard -t image/png -o > '%1'").arg(png)});
    ASSERT_EQ(reader->WaitForExit(LoadedMs), 0);
  }
  const QImage copied = QImageReader(png, "PNG").read().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(copied.size(), QSize(198, 98));
  int differ = 0;
  for (int y = 0; y < 98; ++y)
    for (int x = 0; x < 198; ++x) differ += (copied.pixel(x, y) & 0xffffff) != (seen.pixel(x, y) & 0xffffff);
  EXPECT_EQ(differ, 0);

  // Another program offers a picture: two halves, green over blue, pasted scaled into a region.
  QImage offered(64, 32, QImage::Format_RGB32);
  offered.fill(qRgb(0, 0, 255));
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 64; ++x) offered.setPixel(x, y, qRgb(0, 255, 0));
  const QString offeredFile = Dir.filePath("offered.png");
  ASSERT_TRUE(offered.save(offeredFile, "PNG"));
  auto owner = Xclip({"-quiet", "-t", "image/png", "-i", offeredFile});
  ASSERT_TRUE(WaitUntil(
      [&] {
        return Xclip({"-t", "TARGETS", "-o"})->WaitForLine("image/png", 2000).has_value();
      },
      LoadedMs));
  RegionCommand(QRect(500, 400, 101, 61), 5);  // paste: interior (501, 401)..(600, 460)
  ASSERT_TRUE(WaitUntil([&] { return X().Grab(QRect(520, 410, 1, 1)).pixel(0, 0) == 0xff00ff00u; }, LoadedMs))
      << "the picture was not pasted";
  const QImage pasted = X().Grab(QRect(500, 400, 101, 61));
  EXPECT_EQ(pasted.pixel(1, 1), 0xff00ff00u);
  EXPECT_EQ(pasted.pixel(99, 59), 0xff0000ffu);
  EXPECT_EQ(pasted.pixel(50, 15), 0xff00ff00u);
  EXPECT_EQ(pasted.pixel(50, 45), 0xff0000ffu);
  owner->Kill(SIGTERM);
}

TEST_F(TFilesTest, ABitmapWithAnUpperCaseNameLoadsOverTheWholeScreenOnEnter) {
  // 512 x 384, green over blue: stretched to the whole screen.
  QImage picture(512, 384, QImage::Format_RGB32);
  picture.fill(qRgb(0, 0, 255));
  for (int y = 0; y < 192; ++y)
    for (int x = 0; x < 512; ++x) picture.setPixel(x, y, qRgb(0, 255, 0));
  ASSERT_TRUE(picture.save(Dir.filePath("BOARD.BMP"), "BMP"));
  ASSERT_TRUE(ClickBar(299));
  ASSERT_TRUE(WindowNamed(OpenTitle)) << "no open dialog named " << OpenTitle.toStdString();
  ASSERT_TRUE(Xdo().Run({"type", "--delay", "5", TypedPath(Dir.filePath("BOARD.BMP"))}));
  ASSERT_TRUE(Xdo().Key("Return"));
  ASSERT_TRUE(WindowNamed(OpenTitle, false));
  EXPECT_TRUE(WaitUntil(
      [&] {
        return X().Grab(QRect(600, 100, 1, 1)).pixel(0, 0) == 0xff00ff00u &&
               X().Grab(QRect(100, 700, 1, 1)).pixel(0, 0) == 0xff0000ffu;
      },
      LoadedMs))
      << "the picture was not loaded";
}

TEST_F(TFilesTest, LoadingAFileThatDoesNotExistSaysSoAndKeepsTheDrawings) {
  const QImage before = X().GrabScreen();
  ASSERT_TRUE(ClickBar(299));  // load a file over the whole screen
  ASSERT_TRUE(WindowNamed(OpenTitle)) << "no open dialog named " << OpenTitle.toStdString();
  ASSERT_TRUE(Xdo().Run({"type", "--delay", "5", TypedPath(Dir.filePath("missing.bmp"))}));
  ASSERT_TRUE(Xdo().Key("KP_Enter"));
  ASSERT_TRUE(WindowNamed(QStringLiteral("Quilmar"))) << "no error box";
  // Above the surface, whose focus the window manager has not given back yet: below it, or over
  // the marker under it, the box could not be seen.
  const std::optional<TWindowInfo> box = X().FindWindow(App_->Pid(), QStringLiteral("Quilmar"));
  const std::optional<TWindowInfo> surface = Surface(*App_);
  ASSERT_TRUE(box && surface);
  auto xprop = Spawn(QStringLiteral("xprop"), {"-id", QString::number(box->Id), "WM_TRANSIENT_FOR"});
  const std::optional<QString> owner = xprop->WaitForLine(QStringLiteral("WM_TRANSIENT_FOR"));
  ASSERT_TRUE(owner.has_value()) << "no owner of the error box";
  EXPECT_TRUE(owner->endsWith(QStringLiteral(" 0x") + QString::number(surface->Id, 16))) << owner->toStdString();
  ASSERT_TRUE(Xdo().Key("Return"));
  ASSERT_TRUE(WindowNamed(QStringLiteral("Quilmar"), false));
  // The stroke is back where it was.
  EXPECT_TRUE(
      WaitUntil([&] { return X().Grab(QRect(150, 240, 220, 30)) == before.copy(150, 240, 220, 30); }, LoadedMs));
}

}  // namespace
}  // namespace e2e
