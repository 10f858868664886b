// Desktops of several monitors at several scales (RandR monitors on one wide Xvfb screen, scaled
// by QT_SCREEN_SCALE_FACTORS): each freeze covers the screen under the pointer, in its device
// pixels, and the mouse draws on the device pixel under it.
#include <QImageReader>
#include <QTemporaryDir>
#include <cmath>
#include <set>

#include "platform/raster/bitmap.h"
#include "platform/raster/canvas.h"
#include "tests/e2e/app_fixture.h"

namespace e2e {
namespace {

constexpr std::uint32_t Purple = 0xff800080u;
constexpr std::uint32_t Red = 0xffff0000u;
constexpr int LoadedMs = 15000;

struct TMonitor {
  QString Name;
  QRect Device;  // on the root window
  qreal Ratio;
};

auto Less = [](QPoint a, QPoint b) { return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x(); };
using TPixels = std::set<QPoint, decltype(Less)>;

// The pixels a one-pixel pen changes from `from` to `to` by the raster rules.
TPixels LinePixels(QPoint from, QPoint to) {
  const QRect box = QRect(from, to).normalized().adjusted(-2, -2, 2, 2);
  TBitmap bitmap(box.width(), box.height());
  TCanvas canvas;
  canvas.SetTarget(&bitmap);
  canvas.Pen.Width = 1;
  canvas.MoveTo(from.x() - box.x(), from.y() - box.y());
  canvas.LineTo(to.x() - box.x(), to.y() - box.y());
  TPixels pixels(Less);
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x)
      if ((bitmap.Pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) pixels.insert(QPoint(x, y) + box.topLeft());
  return pixels;
}

// A device coordinate from `near` on that whole logical pixels, rounded or truncated, cannot
// reach at `ratio`: a mapping through them puts the stroke beside the pointer.
int AwkwardCoordinate(int near, qreal ratio) {
  for (int d = near; d < near + 10; ++d) {
    const bool rounded = qRound(qRound(d / ratio) * ratio) != d;
    const bool truncated = qRound(std::floor(d / ratio) * ratio) != d;
    if (rounded && truncated) return d;
  }
  return near;
}

class TMonitorsTest : public TAppTest {
 protected:
  virtual std::vector<TMonitor> Monitors() const = 0;
  TXServer Server() const override {
    QStringList monitors;
    for (const TMonitor& m : Monitors())
      monitors << QStringLiteral("%1:%2x%3+%4+%5")
                      .arg(m.Name)
                      .arg(m.Device.width())
                      .arg(m.Device.height())
                      .arg(m.Device.x())
                      .arg(m.Device.y());
    return {QStringLiteral("xvfb"), {}, monitors.join(' ')};
  }

  // The Linux program scales each screen by QT_SCREEN_SCALE_FACTORS; under Wine, which has one
  // DPI for its whole desktop, the prefix's DPI is set for the first monitor's ratio (and put
  // back afterwards).
  void StartScaledApp() {
    QStringList factors;
    for (const TMonitor& m : Monitors()) factors << QStringLiteral("%1=%2").arg(m.Name).arg(m.Ratio);
    QProcessEnvironment env = Session().Environment();
    env.insert("QT_SCREEN_SCALE_FACTORS", factors.join(';'));
    if (UnderWine()) {
      FDpiSet = true;
      ASSERT_EQ(SetWineDpi(QString::number(qRound(96 * Monitors().front().Ratio))), 0);
    }
    App_ = SpawnApp(&env);
    ASSERT_TRUE(WaitUntil([&] { return X().FindWindow(App_->Pid(), "KEZ").has_value(); }, 10000))
        << "no marker window; stderr: " << App_->StdErr().toStdString();
  }
  // Whatever was drawn, the program still quits from the menu of its marker, which sits on
  // the primary monitor at that monitor's scale.
  void TearDown() override {
    if (App_ && !HasFatalFailure()) {
      if (Surface(*App_)) Unfreeze();
      const auto marker = X().FindWindow(App_->Pid(), "KEZ");
      ASSERT_TRUE(marker);
      ASSERT_TRUE(RightClickMenu(*App_, marker->Geometry.topLeft() + QPoint(6, 6)));
      ASSERT_TRUE(ChooseMenuItem(*App_, ItemExit));
      EXPECT_EQ(App_->WaitForExit(10000), 0) << "stderr: " << App_->StdErr().toStdString();
    }
    if (FDpiSet) {
      QProcess::execute("wineserver", {"-k"});
      EXPECT_EQ(SetWineDpi({}), 0);
    }
    TAppTest::TearDown();
  }
  // The prefix's DPI (none: the default), written through for the next Wine process to read.
  int SetWineDpi(const QString& dpi) {
    const QString key = QStringLiteral("HKCU\\Control Panel\\Desktop");
    const QStringList arguments = dpi.isEmpty() ? QStringList{"reg", "delete", key, "/v", "LogPixels", "/f"}
                                                : QStringList{"reg", "add", key, "/v", "LogPixels", "/t", "REG_DWORD",
                                                              "/d", dpi, "/f"};
    const int status = QProcess::execute("wine", arguments);
    QProcess::execute("wineserver", {"-w"});
    return dpi.isEmpty() ? 0 : status;  // deleting a value never set fails, and is fine
  }
  bool FDpiSet = false;

  // Device pixel of the logical point `logical` of the surface on `m`.
  static QPoint At(const TMonitor& m, QPointF logical) {
    return m.Device.topLeft() + QPoint(int(std::floor(logical.x() * m.Ratio)), int(std::floor(logical.y() * m.Ratio)));
  }
  bool ClickBar(const TMonitor& m, int left) {
    const QPoint p = At(m, QPointF(ToolBar.x() + left + 11.5, ToolBar.y() + 13.5));
    return Xdo().Click(p.x(), p.y());
  }
  // The strip right of the bar's last button shows the bar's own purple.
  bool ToolBarOn(const TMonitor& m) {
    for (int y : {2, 13, 25})
      if (X().Grab(QRect(At(m, QPointF(ToolBar.x() + 538.5, y + 0.5)), QSize(1, 1))).pixel(0, 0) != Purple)
        return false;
    return true;
  }
  bool SurfaceOn(const TMonitor& m) {
    const auto surface = Surface(*App_);
    return surface && surface->Viewable && surface->Geometry == m.Device;
  }

  // The whole surface saved: that screen's device pixels, through a dialog on that screen. The
  // picture saved goes to `saved` when given.
  void SavesTheWholeScreen(const TMonitor& m, const QTemporaryDir& dir, QImage* saved = nullptr) {
    ASSERT_TRUE(ClickBar(m, 276));
    std::optional<TWindowInfo> dialog;
    ASSERT_TRUE(WaitUntil([&] { return (dialog = X().FindWindow(App_->Pid(), QStringLiteral("另存为"))).has_value(); },
                          LoadedMs));
    EXPECT_TRUE(m.Device.contains(dialog->Geometry)) << "the dialog opened off the screen in use";
    const QString file = dir.filePath(QStringLiteral("screen%1").arg(m.Name));
    ASSERT_TRUE(Xdo().Run({"type", "--delay", "5", file}));
    ASSERT_TRUE(Xdo().Key("Return"));
    ASSERT_TRUE(WaitUntil([&] { return !X().FindWindow(App_->Pid(), QStringLiteral("另存为")); }, LoadedMs));
    ASSERT_TRUE(WaitUntil([&] { return QFileInfo::exists(file + ".BMP"); }, LoadedMs));
    EXPECT_EQ(QImageReader(file + ".BMP").size(), m.Device.size());
    if (saved) *saved = QImage(file + ".BMP").convertToFormat(QImage::Format_RGB32);
    QFile::remove(file + ".BMP");
  }

  // Drags a selection over `selection` (device pixels of the desktop: the frame lies on its
  // edge) and copies its interior to the clipboard from the region menu; returns once the
  // clipboard offers the picture.
  void CopiesRegion(const TMonitor& m, const QRect& selection) {
    ASSERT_TRUE(ClickBar(m, 184));  // the selection tool
    ASSERT_TRUE(Drag({selection.topLeft(), selection.topLeft() + QPoint(10, 10), selection.bottomRight() + QPoint(1, 1)}));
    const auto menu = [&] {
      for (const TWindowInfo& window : X().WindowsOfPid(App_->Pid()))
        if (window.Viewable && window.OverrideRedirect && window.Geometry.height() > 8 * 15) return true;
      return false;
    };
    ASSERT_TRUE(WaitUntil(menu, LoadedMs)) << "no region menu";
    ASSERT_TRUE(Xdo().Key("Down") && Xdo().Key("Down") && Xdo().Key("Return"));
    ASSERT_TRUE(WaitUntil([&] { return !menu(); }, LoadedMs));
    ASSERT_TRUE(WaitUntil(
        [&] {
          return Spawn(QStringLiteral("xclip"), {"-selection", "clipboard", "-t", "TARGETS", "-o"})
              ->WaitForLine("image/png", 2000)
              .has_value();
        },
        LoadedMs))
        << "no picture offered on the clipboard";
  }

  // Ctrl+F1 with the pointer on `m`: the surface covers it exactly, its tool bar at its top and on
  // no other monitor.
  void FreezeOn(const TMonitor& m) {
    const QPoint inside = m.Device.center() + QPoint(37, 41);
    ASSERT_TRUE(Xdo().Move(inside.x(), inside.y()));
    ASSERT_TRUE(HotKey());
    ASSERT_TRUE(WaitUntil([&] { return SurfaceOn(m); }, LoadedMs))
        << "the surface does not cover " << m.Name.toStdString();
    EXPECT_TRUE(WaitUntil([&] { return ToolBarOn(m); }, LoadedMs))
        << "no tool bar at the top of " << m.Name.toStdString();
    for (const TMonitor& other : Monitors()) {
      if (other.Name == m.Name) continue;
      EXPECT_FALSE(ToolBarOn(other)) << "a tool bar on " << other.Name.toStdString();
    }
  }
  void Unfreeze() {
    ASSERT_TRUE(HotKey());
    ASSERT_TRUE(WaitUntil([&] { return !Surface(*App_); }, LoadedMs));
  }

  // With a one-pixel pen, a drag between two device points of `m` (monitor coordinates) draws
  // exactly the raster line between them.
  void DrawsUnderThePointer(const TMonitor& m, QPoint from, QPoint to) {
    ASSERT_TRUE(ClickBar(m, 345));  // the width field
    ASSERT_TRUE(Xdo().Key("ctrl+a"));
    ASSERT_TRUE(Xdo().Run({"type", "--delay", "0", "1"}));
    const TPixels expected = LinePixels(from, to);
    const QRect area = QRect(from, to).normalized().adjusted(-6, -6, 6, 6).translated(m.Device.topLeft());
    // Away from the line first: a press where the pointer already rests may reach a window that
    // has not seen it enter.
    ASSERT_TRUE(Xdo().Move(m.Device.x() + from.x() + 20, m.Device.y() + from.y() + 20));
    const QImage before = X().Grab(area);
    ASSERT_TRUE(Xdo().Move(m.Device.x() + from.x(), m.Device.y() + from.y()));
    ASSERT_TRUE(Xdo().Run({"mousedown", "1"}));
    ASSERT_TRUE(Xdo().Move(m.Device.x() + to.x(), m.Device.y() + to.y()));
    ASSERT_TRUE(Xdo().Run({"mouseup", "1"}));
    const QPoint probe = *std::next(expected.begin(), expected.size() / 2) - area.topLeft() + m.Device.topLeft();
    QImage after;
    ASSERT_TRUE(WaitUntil(
        [&] {
          after = X().Grab(area);
          return after.pixel(probe) == Red;
        },
        LoadedMs))
        << "no stroke on " << m.Name.toStdString();
    TPixels changed(Less);
    int notRed = 0;
    for (int y = 0; y < area.height(); ++y)
      for (int x = 0; x < area.width(); ++x)
        if (after.pixel(x, y) != before.pixel(x, y)) {
          changed.insert(QPoint(x, y) + area.topLeft() - m.Device.topLeft());
          notRed += after.pixel(x, y) != Red;
        }
    EXPECT_EQ(notRed, 0);
    std::vector<QPoint> missing, stray;
    std::set_difference(expected.begin(), expected.end(), changed.begin(), changed.end(), std::back_inserter(missing),
                        Less);
    std::set_difference(changed.begin(), changed.end(), expected.begin(), expected.end(), std::back_inserter(stray),
                        Less);
    EXPECT_TRUE(missing.empty() && stray.empty())
        << m.Name.toStdString() << " at " << m.Ratio << ": " << missing.size() << " pixels of the line missing, "
        << stray.size() << " drawn beside it"
        << (stray.empty() ? "" : QStringLiteral(", first at %1,%2").arg(stray[0].x()).arg(stray[0].y()).toStdString());
  }

  std::unique_ptr<TChild> App_;
};

// A laptop scaled 1.5 (the primary, on the left) and a projector at 1 on its right.
class TTwoMonitorsTest : public TMonitorsTest {
 protected:
  QSize ScreenSize() const override { return {4800, 1620}; }
  std::vector<TMonitor> Monitors() const override {
    return {{QStringLiteral("A"), {0, 0, 2880, 1620}, 1.5}, {QStringLiteral("B"), {2880, 0, 1920, 1080}, 1.0}};
  }
};

TEST_F(TTwoMonitorsTest, EachFreezeCoversTheScreenUnderThePointerAndSavesItsSize) {
  const std::vector<TMonitor> monitors = Monitors();
  // A pattern window on each monitor; the probes are not scaled.
  std::vector<std::unique_ptr<TChild>> probes;
  std::vector<QRect> patterns;
  for (const TMonitor& m : monitors) {
    const int n = int(probes.size());
    probes.push_back(Spawn(Probe, {"gui"}));
    ASSERT_TRUE(probes.back()->WaitForLine("ready"));
    // At another place on each: a capture of the wrong monitor shows no pattern where it should.
    const QPoint place = m.Device.topLeft() + QPoint(300 + 170 * n, 400 - 90 * n);
    patterns.push_back(TXSessionTest::ShowPattern(*probes.back(), QRect(place, QSize(400, 300))));
  }
  StartScaledApp();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  bool inverted = false;
  // The projector first, then the laptop, then the projector again: each freeze moves screens.
  for (const std::size_t index : {std::size_t(1), std::size_t(0), std::size_t(1)}) {
    const TMonitor& m = monitors[index];
    SCOPED_TRACE(m.Name.toStdString());
    FreezeOn(m);
    if (HasFatalFailure()) return;
    // Frozen: the pattern on this monitor keeps its picture when the probes invert theirs; the
    // other monitor is live.
    for (auto& probe : probes) {
      probe->Send("invert");
      ASSERT_TRUE(probe->WaitForLine("inverted"));
    }
    for (std::size_t i = 0; i < monitors.size(); ++i) {
      const bool shown = i == index ? inverted : !inverted;
      EXPECT_TRUE(WaitUntil([&] { return PatternMismatches(X().Grab(patterns[i]), shown) == 0; }))
          << monitors[i].Name.toStdString() << (i == index ? " does not show its frozen pixels" : " is not live");
    }
    inverted = !inverted;

    DrawsUnderThePointer(m, {AwkwardCoordinate(1000, m.Ratio), AwkwardCoordinate(703, m.Ratio)},
                         {AwkwardCoordinate(1300, m.Ratio), AwkwardCoordinate(860, m.Ratio)});

    SavesTheWholeScreen(m, dir);
    Unfreeze();
    if (HasFatalFailure()) return;
  }
}

// One monitor for each scale; strokes land on the device pixels under the pointer on each.
class TScaledMonitorsTest : public TMonitorsTest {
 protected:
  // 1680 x 840 is a whole number of logical pixels at every one of these scales, and wide
  // enough for the tool bar at 2. The laptop's 1366 is not at 1.5 (910.67): rounded to whole
  // logical pixels and back it would be 1367.
  QSize ScreenSize() const override { return {5040, 1680}; }
  std::vector<TMonitor> Monitors() const override {
    return {{QStringLiteral("S125"), {0, 0, 1680, 840}, 1.25},    {QStringLiteral("S175"), {1680, 0, 1680, 840}, 1.75},
            {QStringLiteral("S2"), {3360, 0, 1680, 840}, 2.0},    {QStringLiteral("S1"), {0, 840, 1680, 840}, 1.0},
            {QStringLiteral("S15"), {1680, 840, 1680, 840}, 1.5}, {QStringLiteral("L15"), {3360, 840, 1366, 768}, 1.5}};
  }
};

// One laptop screen at 1.5, the case of both programs (Wine has one DPI for its whole desktop).
class TScaledScreenTest : public TMonitorsTest {
 protected:
  QSize ScreenSize() const override { return {1366, 768}; }
  std::vector<TMonitor> Monitors() const override { return {{QStringLiteral("L15"), {0, 0, 1366, 768}, 1.5}}; }
};

// The marker is 54 x 54 at (W - 78, 42), the tool bar 810 x 42 with crisp glyphs; the surface
// covers the screen's device pixels and a stroke lands under the pointer.
TEST_F(TScaledScreenTest, TheMarkerAndTheToolBarAreScaledAndStrokesLandUnderThePointer) {
  StartScaledApp();
  const TMonitor m = Monitors().front();
  const auto marker = X().FindWindow(App_->Pid(), "KEZ");
  ASSERT_TRUE(marker);
  EXPECT_EQ(marker->Geometry.size(), QSize(54, 54));
  EXPECT_LE(std::abs(marker->Geometry.x() - (m.Device.width() - 78)), 1) << marker->Geometry.x();
  EXPECT_EQ(marker->Geometry.y(), 42);
  FreezeOn(m);
  if (HasFatalFailure()) return;
  // The bar's purple reaches its scaled right end and no further.
  const QImage bar = X().Grab(QRect(0, 0, m.Device.width(), 42));
  EXPECT_EQ(bar.pixel(324 + 809, 20), Purple);
  EXPECT_NE(bar.pixel(324 + 811, 20), Purple);
  EXPECT_NE(bar.pixel(322, 20), Purple);
  // The line's glyph (at most 16 pixels wide at 1) on its button (logical 69..92) is drawn 1.5 times as wide.
  QRect glyph;
  for (int y = 0; y < 42; ++y)
    for (int x = 324 + 104; x < 324 + 138; ++x)
      if (bar.pixel(x, y) != Purple) glyph |= QRect(x, y, 1, 1);
  EXPECT_GE(glyph.width(), 20) << "the line's glyph is " << glyph.width() << " wide";
  DrawsUnderThePointer(m, {AwkwardCoordinate(200, m.Ratio), AwkwardCoordinate(150, m.Ratio)},
                       {AwkwardCoordinate(640, m.Ratio), AwkwardCoordinate(420, m.Ratio)});
  Unfreeze();
}

TEST_F(TScaledMonitorsTest, AOnePixelStrokeLandsOnTheRasterLineAtEveryScale) {
  StartScaledApp();
  for (const TMonitor& m : Monitors()) {
    SCOPED_TRACE(m.Name.toStdString());
    FreezeOn(m);
    if (HasFatalFailure()) return;
    // Steep, shallow and diagonal in turn across the screens.
    DrawsUnderThePointer(m, {AwkwardCoordinate(200, m.Ratio), AwkwardCoordinate(150, m.Ratio)},
                         {AwkwardCoordinate(640, m.Ratio), AwkwardCoordinate(420, m.Ratio)});
    DrawsUnderThePointer(m, {AwkwardCoordinate(700, m.Ratio), AwkwardCoordinate(500, m.Ratio)},
                         {AwkwardCoordinate(760, m.Ratio), AwkwardCoordinate(200, m.Ratio)});
    Unfreeze();
    if (HasFatalFailure()) return;
  }
}

TEST_F(TScaledMonitorsTest, AMonitorOfNoWholeLogicalSizeIsFrozenCopiedAndSavedPixelForPixel) {
  const TMonitor m = Monitors().back();
  ASSERT_EQ(m.Name, QStringLiteral("L15"));
  StartScaledApp();
  FreezeOn(m);
  if (HasFatalFailure()) return;
  // Down the last column of the monitor and to it from the left: the edge is drawn on like any
  // other pixel.
  const int last = m.Device.width() - 1;
  DrawsUnderThePointer(m, {last, 300}, {last, AwkwardCoordinate(420, m.Ratio)});
  DrawsUnderThePointer(m, {last - 90, 500}, {last, AwkwardCoordinate(560, m.Ratio)});
  // A region copied to the clipboard is its interior pixel for pixel: 199 x 97 at 1.5 is no
  // whole number of logical pixels either.
  const QRect interior(m.Device.topLeft() + QPoint(901, 301), QSize(199, 97));
  const QImage seen = X().Grab(interior).convertToFormat(QImage::Format_RGB32);
  CopiesRegion(m, interior.adjusted(-1, -1, 1, 1));
  if (HasFatalFailure()) return;
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString png = dir.filePath(QStringLiteral("region.png"));
  auto reader =
      Spawn(QStringLiteral("sh"), {"-c", QStringLiteral("xclip -selection clipboard -t image/png -o > '%1'").arg(png)});
  ASSERT_EQ(reader->WaitForExit(LoadedMs), 0);
  const QImage copied = QImage(png, "PNG").convertToFormat(QImage::Format_RGB32);
  EXPECT_TRUE(copied == seen) << "copied " << copied.width() << " x " << copied.height() << " of 199 x 97";
  // The frozen right edge as the monitor shows it, below the tool bar, strokes included.
  const QRect edge(m.Device.right() - 7, m.Device.top() + 100, 8, m.Device.height() - 100);
  const QImage shown = X().Grab(edge).convertToFormat(QImage::Format_RGB32);
  QImage saved;
  SavesTheWholeScreen(m, dir, &saved);
  if (HasFatalFailure()) return;
  ASSERT_EQ(saved.size(), m.Device.size());
  // The picture's last columns are the monitor's: nothing shifted, no column never captured.
  EXPECT_TRUE(saved.copy(edge.translated(-m.Device.topLeft())) == shown);
  Unfreeze();
}

}  // namespace
}  // namespace e2e
