// Screens the program must cope with: no MIT-SHM, MIT-SHM lost mid-run, a screen that changes
// its size (Xvnc, whose RandR can resize the screen; Xvfb's cannot), and one too large for the
// memory the program may use.
#include <QFile>
#include <QProcess>
#include <QThread>

#include "tests/e2e/app_fixture.h"

namespace e2e {
namespace {

// Freezes, checks the surface shows the pattern as it is now (inverted or not), and unfreezes.
class TFreezeTest : public TAppTest {
 protected:
  void FreezeShows(TChild& app, const QRect& pattern, bool inverted) {
    ASSERT_TRUE(HotKey());
    ASSERT_TRUE(WaitUntil([&] { return SurfaceCoversScreen(app); })) << "no full-screen surface";
    // Frozen: inverting the live window changes nothing on screen.
    ASSERT_TRUE(Invert());
    EXPECT_TRUE(WaitUntil([&] { return PatternMismatches(X().Grab(pattern), inverted) == 0; }))
        << "the surface does not show the screen";
    EXPECT_FALSE(WaitUntil([&] { return PatternMismatches(X().Grab(pattern), inverted) != 0; }, SettleMs));
    ASSERT_TRUE(HotKey());
    ASSERT_TRUE(WaitUntil([&] { return !Surface(app); }));
    ASSERT_TRUE(WaitUntil([&] { return PatternMismatches(X().Grab(pattern), !inverted) == 0; }));
  }
  bool Invert() {
    FProbe->Send("invert");
    return FProbe->WaitForLine("inverted").has_value();
  }
  QRect StartProbe() {
    FProbe = Spawn(Probe, {"gui"});
    return ShowPattern(*FProbe);
  }
  // Quits through the marker's menu while idle; the exit code.
  std::optional<int> Quit(TChild& app) {
    if (!RightClickMenu(app, MarkerPicture()) || !Xdo().Key("Up") || !Xdo().Key("Return")) return std::nullopt;
    return app.WaitForExit();
  }

  std::unique_ptr<TChild> FProbe;
};

class TNoShmServerTest : public TFreezeTest {
 protected:
  TXServer Server() const override { return {QStringLiteral("xvfb"), QStringLiteral("-extension MIT-SHM"), {}}; }
};

TEST_F(TNoShmServerTest, FreezesThroughGetImageWithTheRightPixels) {
  const QRect pattern = StartProbe();
  auto app = StartApp();
  FreezeShows(*app, pattern, false);
  FreezeShows(*app, pattern, true);
  EXPECT_EQ(ShmSegmentsOf(app->Pid()), 0);
  EXPECT_EQ(Quit(*app), 0);
}

class TShmLostTest : public TFreezeTest {};

// The server forgets the segment after the first freeze: the second and third freezes read the
// screen another way into the same background, which lives on the segment's memory.
TEST_F(TShmLostTest, AFailingSegmentFallsBackAndTheBackgroundOnItStaysValid) {
  const QRect pattern = StartProbe();
  QProcessEnvironment env = Session().Environment();
  env.insert("QUILMAR_TEST_SHM_LOST_AFTER", "1");
  auto app = SpawnApp(&env);
  ASSERT_TRUE(WaitUntil([&] { return X().FindWindow(app->Pid(), "KEZ").has_value(); }, 10000));
  ASSERT_TRUE(WaitUntil([&] { return ShmSegmentsOf(app->Pid()) == 1; })) << "MIT-SHM was not used at first";

  FreezeShows(*app, pattern, false);
  FreezeShows(*app, pattern, true);
  FreezeShows(*app, pattern, false);
  EXPECT_TRUE(app->Running());
  EXPECT_EQ(Quit(*app), 0);
}

// --- screens that change their size

class TScreenResizeTest : public TAppTest {
 protected:
  TXServer Server() const override { return {QStringLiteral("xvnc"), {}, {}}; }

  QProcessEnvironment Env() { return Session().Environment(); }
  bool Xrandr(const QStringList& arguments) {
    QProcess xrandr;
    xrandr.setProcessEnvironment(Env());
    xrandr.start("xrandr", arguments);
    return xrandr.waitForFinished(10000) && xrandr.exitStatus() == QProcess::NormalExit && xrandr.exitCode() == 0;
  }
  QSize RootSize() {
    const auto root = X().Info(X().Root());
    return root ? root->Geometry.size() : QSize();
  }
  // Gives the screen `size` through RandR, adding a mode of that size where there is none.
  void SetScreenSize(QSize size) {
    const QString mode = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
    if (!Xrandr({"--output", "VNC-0", "--mode", mode})) {
      const int w = size.width(), h = size.height();
      ASSERT_TRUE(Xrandr({"--newmode", mode, "60", QString::number(w), QString::number(w + 1), QString::number(w + 2),
                          QString::number(w + 3), QString::number(h), QString::number(h + 1), QString::number(h + 2),
                          QString::number(h + 3)}));
      ASSERT_TRUE(Xrandr({"--addmode", "VNC-0", mode}));
      ASSERT_TRUE(Xrandr({"--output", "VNC-0", "--mode", mode}));
    }
    ASSERT_TRUE(WaitUntil([&] { return RootSize() == size; })) << "the screen did not become " << mode.toStdString();
  }
  bool SurfaceCovers(const TChild& app, QSize size) {
    const auto surface = Surface(app);
    return surface && surface->Viewable && surface->Geometry == QRect(QPoint(0, 0), size);
  }
  // The screen once it stopped changing (the window manager and the tray follow a resize).
  QImage SettledScreen() {
    QImage last = X().GrabScreen();
    WaitUntil(
        [&] {
          QThread::msleep(250);
          QImage now = X().GrabScreen();
          const bool same = now == last;
          last = now;
          return same;
        },
        5000, 0);
    return last;
  }
  // Pixels of `a` and `b` that differ inside `area`, leaving out `skip`.
  static int Differences(const QImage& a, const QImage& b, const QRect& area, const QRect& skip = {}) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
      for (int x = area.left(); x <= area.right(); ++x)
        if (!skip.contains(x, y) && a.pixel(x, y) != b.pixel(x, y)) ++count;
    return count;
  }
  static int NotWhite(const QImage& image, const QRect& area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
      for (int x = area.left(); x <= area.right(); ++x)
        if ((image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) ++count;
    return count;
  }
};

TEST_F(TScreenResizeTest, AfterAResizeWhileIdleTheNextFreezeCoversTheNewScreen) {
  auto app = StartApp();
  for (const QSize size : {QSize(1280, 1024), QSize(800, 600), QSize(768, 1024)}) {
    SCOPED_TRACE(size.width());
    SetScreenSize(size);
    const QImage before = SettledScreen();
    ASSERT_EQ(before.size(), size);
    // The marker empties itself for the freeze; it is where the window manager left it.
    const auto marker = X().FindWindow(app->Pid(), "KEZ");
    ASSERT_TRUE(marker);
    ASSERT_TRUE(HotKey());
    ASSERT_TRUE(WaitUntil([&] { return SurfaceCovers(*app, size); })) << "the surface does not cover the screen";
    // The frozen picture is the whole new screen (the tool bar and the emptied marker aside).
    const QImage frozen = SettledScreen();
    const QRect belowBar(0, ToolBar.bottom() + 1, size.width(), size.height() - ToolBar.bottom() - 1);
    EXPECT_EQ(Differences(before, frozen, belowBar, marker->Geometry), 0);
    if (HasFailure()) {
      before.save(QStringLiteral("/tmp/fb-before-%1.png").arg(size.width()));
      frozen.save(QStringLiteral("/tmp/fb-frozen-%1.png").arg(size.width()));
    }
    EXPECT_GT(NotWhite(frozen, ToolBar), 0) << "no tool bar on screen";
    ASSERT_TRUE(HotKey());
    ASSERT_TRUE(WaitUntil([&] { return !Surface(*app); }));
  }
  EXPECT_TRUE(app->Running());
}

TEST_F(TScreenResizeTest, AResizeWhileWorkingKeepsTheDrawingAndLeavesNoStalePixels) {
  const QSize start(1024, 768);
  auto app = StartApp();
  ASSERT_TRUE(HotKey());
  ASSERT_TRUE(WaitUntil([&] { return SurfaceCovers(*app, start); }));
  // A stroke of the default red pen.
  ASSERT_TRUE(Drag({{300, 300}, {500, 420}, {700, 350}}));
  // Drawn first (a busy machine may take longer than one settling step), then settled.
  ASSERT_TRUE(WaitUntil([&] { return (X().Grab({500, 420, 1, 1}).pixel(0, 0) & 0xFFFFFF) == 0xFF0000u; }, 15000))
      << "the stroke was not drawn";
  const QImage drawn = SettledScreen();

  struct TStep {
    QSize Size;
    QRect Kept;  // where the picture of the start must still be
  };
  for (const TStep& step : {TStep{{1280, 1024}, {0, 0, 1024, 768}}, TStep{{800, 600}, {0, 0, 800, 600}},
                            TStep{{768, 1024}, {0, 0, 768, 600}}}) {
    SCOPED_TRACE(step.Size.width());
    SetScreenSize(step.Size);
    ASSERT_TRUE(WaitUntil([&] { return SurfaceCovers(*app, step.Size); })) << "the surface did not follow";
    const QImage now = SettledScreen();
    EXPECT_EQ(Differences(drawn, now, step.Kept, ToolBar), 0) << "the drawing did not stay where it fits";
    // Every pixel outside the kept picture is white: nothing old, nothing of the live desktop.
    int stale = 0;
    for (int y = 0; y < step.Size.height(); ++y)
      for (int x = 0; x < step.Size.width(); ++x)
        if (!step.Kept.contains(x, y) && (now.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) ++stale;
    EXPECT_EQ(stale, 0);
    const auto surface = Surface(*app);
    ASSERT_TRUE(surface);
    EXPECT_GT(NotWhite(now, ToolBar), 0) << "no tool bar on screen";
  }
  // Drawing goes on in the new area.
  ASSERT_TRUE(Drag({{100, 900}, {300, 950}}));
  EXPECT_TRUE(WaitUntil([&] { return (X().Grab({200, 925, 1, 1}).pixel(0, 0) & 0xFFFFFF) == 0xFF0000u; }));

  ASSERT_TRUE(HotKey());
  ASSERT_TRUE(WaitUntil([&] { return !Surface(*app); }));
  ASSERT_TRUE(HotKey());
  EXPECT_TRUE(WaitUntil([&] { return SurfaceCovers(*app, {768, 1024}); }));
  EXPECT_TRUE(app->Running());
}

// A screen whose two layers do not fit into the address space the program may use: a message,
// the program stays idle, and once the screen is smaller Ctrl+F1 works. Start-up, which makes
// the layers ahead, meets the same screen first.
TEST_F(TScreenResizeTest, AScreenTooLargeForTheMemoryIsRefusedWithAMessageAndTheProgramLivesOn) {
  // The address space the program uses at this size, everything for a freeze made ahead.
  qint64 peakKiB = 0;
  {
    auto probe = StartApp();
    QThread::msleep(SettleMs);
    QFile status(QStringLiteral("/proc/%1/status").arg(probe->Pid()));
    ASSERT_TRUE(status.open(QIODevice::ReadOnly));
    for (const QByteArray& line : status.readAll().split('\n'))
      if (line.startsWith("VmPeak:")) peakKiB = line.mid(7).trimmed().split(' ').value(0).toLongLong();
    ASSERT_GT(peakKiB, 0);
  }
  // 128 MiB more: no layer of 7680x4320 (127 MiB) fits beside the first one.
  const QSize huge(7680, 4320);
  const qint64 limit = (peakKiB + 128 * 1024) * 1024;
  SetScreenSize(huge);

  auto app = Spawn("prlimit", {QStringLiteral("--as=%1").arg(limit), "--", App});
  ASSERT_TRUE(WaitUntil([&] { return X().FindWindow(app->Pid(), "KEZ").has_value(); }, 10000))
      << "start-up did not survive; stderr: " << app->StdErr().toStdString();
  QThread::msleep(SettleMs);
  ASSERT_TRUE(app->Running());

  ASSERT_TRUE(HotKey());
  std::optional<TWindowInfo> box;
  ASSERT_TRUE(WaitUntil([&] { return (box = X().FindWindow(app->Pid(), "Quilmar")).has_value(); }, 10000))
      << "no message; stderr: " << app->StdErr().toStdString();
  EXPECT_FALSE(Surface(*app)) << "a surface shows beside the message";
  ASSERT_TRUE(WaitUntil([&] { return X().ActiveWindow() == box->Id; }));
  ASSERT_TRUE(Xdo().Key("Return"));
  ASSERT_TRUE(WaitUntil([&] { return !X().FindWindow(app->Pid(), "Quilmar"); }));
  EXPECT_TRUE(app->Running());
  EXPECT_FALSE(Surface(*app));

  // Still idle: Ctrl+F1 tries again and says so again.
  ASSERT_TRUE(HotKey());
  ASSERT_TRUE(WaitUntil([&] { return (box = X().FindWindow(app->Pid(), "Quilmar")).has_value(); }, 10000));
  ASSERT_TRUE(WaitUntil([&] { return X().ActiveWindow() == box->Id; }));
  ASSERT_TRUE(Xdo().Key("Return"));

  const QSize small(1024, 768);
  SetScreenSize(small);
  ASSERT_TRUE(HotKey());
  EXPECT_TRUE(WaitUntil([&] { return SurfaceCovers(*app, small); }, 10000))
      << "no freeze on the smaller screen; stderr: " << app->StdErr().toStdString();
  ASSERT_TRUE(HotKey());
  EXPECT_TRUE(WaitUntil([&] { return !Surface(*app); }));
  EXPECT_TRUE(app->Running());
}

}  // namespace
}  // namespace e2e
