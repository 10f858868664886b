// Drawing on the frozen screen with the real mouse: figures, strokes, the eraser and the tool
// bar, at 1024x768.
#include <cmath>
#include <functional>

#include "tests/e2e/app_fixture.h"

namespace e2e {
namespace {

constexpr std::uint32_t Purple = 0xff800080u;
// How long a drag's result may take to show on a machine busy with other sessions.
constexpr int LoadedMs = 15000;

class TDrawingTest : public TAppTest {
 protected:
  void SetUp() override {
    TAppTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Probe_ = Spawn(Probe, {"gui"});
    ShowPattern(*Probe_);
    App_ = StartApp();
    ASSERT_TRUE(HotKey());
    ASSERT_TRUE(WaitUntil([&] { return SurfaceCoversScreen(*App_); }));
    // The frozen picture, once the surface shows it.
    ASSERT_TRUE(WaitUntil([&] {
      Frozen = X().GrabScreen();
      return ToolBarAt(QPoint(216, 0));
    }));
    Xdo().Move(600, 600);
  }
  // Whatever was drawn, the program still quits cleanly from its menu.
  void TearDown() override {
    if (App_ && !HasFatalFailure()) QuitFromMenu(*App_);
    TAppTest::TearDown();
  }

  // A control of the tool bar lying at `left` within a bar whose top-left corner is `bar`.
  bool ClickBar(int left, QPoint bar = QPoint(216, 0)) { return Xdo().Click(bar.x() + left + 11, bar.y() + 13); }
  bool ToolBarAt(QPoint topLeft) {
    // The strip right of the last button shows the bar's own purple.
    const QImage strip = X().Grab(QRect(topLeft.x() + 538, topLeft.y() + 1, 1, 26));
    for (int y = 0; y < strip.height(); ++y)
      if (strip.pixel(0, y) != Purple) return false;
    return true;
  }
  // Types a width into the width field.
  void SetWidth(const QString& digits) {
    ASSERT_TRUE(ClickBar(345));
    ASSERT_TRUE(Xdo().Key("ctrl+a"));
    ASSERT_TRUE(Xdo().Run({"type", "--delay", "0", digits}));
  }
  // Picks entry `index` of the colour list with the keyboard.
  void SetColour(int index) {
    const auto viewable = [&] {
      const auto windows = X().WindowsOfPid(App_->Pid());
      return std::count_if(windows.begin(), windows.end(), [](const TWindowInfo& w) { return w.Viewable; });
    };
    const auto before = viewable();
    ASSERT_TRUE(ClickBar(381));
    ASSERT_TRUE(WaitUntil([&] { return viewable() > before; })) << "the colour list did not open";
    ASSERT_TRUE(Xdo().Key("Home"));
    for (int i = 0; i < index; ++i) ASSERT_TRUE(Xdo().Key("Down"));
    ASSERT_TRUE(Xdo().Key("Return"));
  }
  // Pixels changed since the freeze, the tool bar left out.
  std::vector<QPoint> Changed(const QImage& now) {
    std::vector<QPoint> changed;
    for (int y = 0; y < now.height(); ++y)
      for (int x = 0; x < now.width(); ++x)
        if (!OutsideSurface(x, y) && now.pixel(x, y) != Frozen.pixel(x, y)) changed.emplace_back(x, y);
    return changed;
  }

  QImage Frozen;
  std::unique_ptr<TChild> Probe_;
  std::unique_ptr<TChild> App_;
};

std::string Text(const QRect& r) {
  return QStringLiteral("%1x%2+%3+%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y()).toStdString();
}

double DistanceToSegment(QPointF p, QPointF a, QPointF b) {
  const QPointF ab = b - a;
  const double t = std::clamp(QPointF::dotProduct(p - a, ab) / QPointF::dotProduct(ab, ab), 0.0, 1.0);
  const QPointF d = p - (a + ab * t);
  return std::hypot(d.x(), d.y());
}

TEST_F(TDrawingTest, ARectangleAppearsWhereDraggedInTheChosenColourAndWidth) {
  ASSERT_TRUE(ClickBar(115));  // rectangle
  SetWidth("5");
  SetColour(12);  // clBlue
  ASSERT_TRUE(Drag({{150, 200}, {400, 600}, {900, 150}, {300, 300}, {700, 500}}));
  const QRect box(150, 200, 550, 300);  // corners (150,200) and (700,500)
  QImage now;
  ASSERT_TRUE(WaitUntil(
      [&] {
        now = X().GrabScreen();
        return now.pixel(400, 200) == 0xff0000ffu;
      },
      LoadedMs))
      << "no blue top edge";
  // A 5-pixel pen centred on the one-pixel outline (columns 150 and 699, rows 200 and 499).
  for (const QPoint p :
       {QPoint(400, 198), QPoint(400, 202), QPoint(148, 350), QPoint(152, 350), QPoint(701, 350), QPoint(400, 501)})
    EXPECT_EQ(now.pixel(p), 0xff0000ffu) << p.x() << "," << p.y();
  for (const QPoint p : {QPoint(400, 197), QPoint(400, 203), QPoint(147, 350), QPoint(702, 350), QPoint(400, 350)})
    EXPECT_EQ(now.pixel(p), Frozen.pixel(p)) << p.x() << "," << p.y();
  // No trace of the previews: every changed pixel belongs to the committed outline.
  const QRect outer = box.adjusted(-2, -2, 2, 2), inner = box.adjusted(3, 3, -3, -3);
  QRect stray;
  for (QPoint p : Changed(now))
    if (!outer.contains(p) || inner.contains(p) || now.pixel(p) != 0xff0000ffu) stray |= QRect(p, QSize(1, 1));
  EXPECT_TRUE(stray.isEmpty()) << "stray pixels within " << Text(stray);
}

TEST_F(TDrawingTest, AFreehandStrokeFollowsThePointer) {
  ASSERT_TRUE(ClickBar(46));  // freehand
  SetWidth("9");
  SetColour(10);  // clLime
  const std::vector<QPoint> path = {{120, 500}, {260, 560}, {420, 470}, {600, 620}, {820, 480}};
  ASSERT_TRUE(Drag(path));
  QImage now;
  ASSERT_TRUE(WaitUntil(
      [&] {
        now = X().GrabScreen();
        return now.pixel(path.back()) == 0xff00ff00u;
      },
      LoadedMs));
  for (std::size_t i = 1; i < path.size(); ++i)
    for (int s = 0; s <= 50; ++s) {
      const QPointF p = path[i - 1] + QPointF(path[i] - path[i - 1]) * (s / 50.0);
      ASSERT_EQ(now.pixel(qRound(p.x()), qRound(p.y())), 0xff00ff00u) << i << "/" << s;
    }
  // Every changed pixel lies within the pen's half width of the path, and is lime.
  QRect stray;
  for (QPoint p : Changed(now)) {
    double d = 1e9;
    for (std::size_t i = 1; i < path.size(); ++i) d = std::min(d, DistanceToSegment(p, path[i - 1], path[i]));
    if (d > 5.5 || now.pixel(p) != 0xff00ff00u) stray |= QRect(p, QSize(1, 1));
  }
  EXPECT_TRUE(stray.isEmpty()) << "stray pixels within " << Text(stray);
}

// The other figures and the white board, one after the other on one surface, each drawn in
// the box (300,250)-(700,550) after a drag that strays past it first, and wiped by the refresh.
TEST_F(TDrawingTest, EveryFigureToolDrawsItsFigureInTheBoxDragged) {
  constexpr std::uint32_t Blue = 0xff0000ffu;
  const QPoint from(300, 250), to(700, 550);
  // The diamond's corners: the middles of the box's sides, the end point's sides included.
  const QPointF top(500, 250), left(300, 400), bottom(500, 550), right(700, 400);
  const auto nearSegments = [](QPointF p, std::initializer_list<std::pair<QPointF, QPointF>> segments) {
    double d = 1e9;
    for (const auto& [a, b] : segments) d = std::min(d, DistanceToSegment(p, a, b));
    return d <= 2.5;
  };
  struct TFigure {
    const char* Name;
    int Button;
    std::vector<QPoint> OnIt, OffIt;     // pixels drawn, pixels left alone
    std::function<bool(QPointF)> Near;  // where a drawn pixel may lie
  };
  const std::vector<TFigure> figures = {
      {"line", 69, {{300, 250}, {500, 400}, {698, 549}}, {{300, 549}, {699, 250}},
       [&](QPointF p) { return nearSegments(p, {{from, to}}); }},
      {"ellipse", 92, {{500, 250}, {300, 400}, {500, 549}, {699, 400}}, {{300, 250}, {699, 549}, {500, 400}},
       [&](QPointF p) {
         const double dx = (p.x() - 499.5) / 200, dy = (p.y() - 399.5) / 150;
         return std::abs(std::hypot(dx, dy) - 1) * 150 <= 3;
       }},
      {"rounded rectangle", 138, {{500, 250}, {300, 400}, {500, 549}, {699, 400}}, {{300, 250}, {699, 549}, {500, 400}},
       [&](QPointF p) {
         return QRectF(298, 248, 404, 304).contains(p) && !QRectF(320, 270, 360, 260).contains(p);
       }},
      {"diamond", 161, {{500, 250}, {300, 400}, {500, 549}, {699, 400}, {400, 325}},
       {{300, 250}, {699, 549}, {500, 400}},
       [&](QPointF p) { return nearSegments(p, {{top, left}, {left, bottom}, {bottom, right}, {right, top}}); }},
  };
  SetWidth("3");
  SetColour(12);  // clBlue
  for (const TFigure& figure : figures) {
    SCOPED_TRACE(figure.Name);
    ASSERT_TRUE(ClickBar(figure.Button));
    ASSERT_TRUE(Drag({from, {900, 700}, {350, 300}, to}));
    QImage now;
    ASSERT_TRUE(WaitUntil(
        [&] {
          now = X().GrabScreen();
          return std::all_of(figure.OnIt.begin(), figure.OnIt.end(), [&](QPoint p) {
            // A pixel of the figure or one beside it: the outline's rounding is the raster layer's.
            for (const QPoint d : {QPoint(0, 0), QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)})
              if (now.pixel(p + d) == Blue) return true;
            return false;
          });
        },
        LoadedMs))
        << "the figure is not drawn through its box";
    for (const QPoint p : figure.OffIt) EXPECT_EQ(now.pixel(p), Frozen.pixel(p)) << p.x() << "," << p.y();
    QRect stray;
    for (QPoint p : Changed(now))
      if (!figure.Near(p) || now.pixel(p) != Blue) stray |= QRect(p, QSize(1, 1));
    EXPECT_TRUE(stray.isEmpty()) << "stray pixels within " << Text(stray);
    ASSERT_TRUE(ClickBar(230));  // refresh
    ASSERT_TRUE(WaitUntil([&] { return Changed(X().GrabScreen()).empty(); }, LoadedMs)) << "the refresh left pixels";
  }
  // The white board: white with a black one-pixel outline at the surface's edge.
  ASSERT_TRUE(ClickBar(253));
  const QSize size = Session().Size();
  QImage now;
  ASSERT_TRUE(WaitUntil([&] { return (now = X().GrabScreen()).pixel(500, 400) == 0xffffffffu; }, LoadedMs));
  QRect wrong;
  for (int y = 0; y < size.height(); ++y)
    for (int x = 0; x < size.width(); ++x) {
      const bool edge = x == 0 || y == 0 || x == size.width() - 1 || y == size.height() - 1;
      if (!OutsideSurface(x, y) && now.pixel(x, y) != (edge ? 0xff000000u : 0xffffffffu)) wrong |= QRect(x, y, 1, 1);
    }
  EXPECT_TRUE(wrong.isEmpty()) << "not the white board within " << Text(wrong);
}

TEST_F(TDrawingTest, TheEraserRestoresTheFrozenPicture) {
  ASSERT_TRUE(ClickBar(46));
  const std::vector<QPoint> path = {{200, 300}, {500, 330}, {800, 300}};
  ASSERT_TRUE(Drag(path));
  ASSERT_TRUE(WaitUntil([&] { return !Changed(X().GrabScreen()).empty(); }));
  ASSERT_TRUE(ClickBar(207));  // eraser
  // Small steps, so that the 16-pixel squares overlap all along the stroke.
  std::vector<QPoint> sweep;
  for (std::size_t i = 1; i < path.size(); ++i)
    for (int s = i == 1 ? 0 : 1; s <= 60; ++s) sweep.push_back(path[i - 1] + (path[i] - path[i - 1]) * s / 60);
  ASSERT_TRUE(Drag(sweep));
  EXPECT_TRUE(WaitUntil([&] { return Changed(X().GrabScreen()).empty(); }, LoadedMs))
      << Changed(X().GrabScreen()).size() << " pixels differ from the frozen picture";
}

TEST_F(TDrawingTest, TheMoveButtonsPutTheBarAtTheBottomRight) {
  ASSERT_TRUE(ClickBar(468));  // down
  ASSERT_TRUE(WaitUntil([&] { return ToolBarAt(QPoint(216, 740)); })) << "the bar is not at top 740";
  // The place it left is repainted after the move, on a busy machine a moment later.
  EXPECT_TRUE(WaitUntil([&] { return !ToolBarAt(QPoint(216, 0)); })) << "the bar still shows at the top";
  ASSERT_TRUE(ClickBar(514, QPoint(216, 740)));  // right
  ASSERT_TRUE(WaitUntil([&] { return ToolBarAt(QPoint(484, 740)); })) << "the bar is not at left 484";
  // The area the bar left shows the frozen picture again.
  EXPECT_TRUE(WaitUntil([&] {
    const QImage now = X().GrabScreen();
    for (int x = 216; x < 484; x += 7)
      if (now.pixel(x, 750) != Frozen.pixel(x, 750)) return false;
    return true;
  }));
}

TEST_F(TDrawingTest, AHiddenBarStaysHiddenAcrossWorkingStates) {
  const QPoint centre(Session().Size().width() / 2, Session().Size().height() / 2);
  auto chooseShowTools = [&] {
    ASSERT_TRUE(RightClickMenu(*App_, centre));
    ASSERT_TRUE(ChooseMenuItem(*App_, ItemShowTools));
  };
  chooseShowTools();
  ASSERT_TRUE(WaitUntil([&] { return !ToolBarAt(QPoint(216, 0)); })) << "the bar is still shown";
  ASSERT_TRUE(HotKey());
  ASSERT_TRUE(WaitUntil([&] { return !Surface(*App_); }));
  ASSERT_TRUE(HotKey());
  ASSERT_TRUE(WaitUntil([&] { return SurfaceCoversScreen(*App_); }));
  EXPECT_FALSE(WaitUntil([&] { return ToolBarAt(QPoint(216, 0)); }, SettleMs)) << "the bar came back";
  // The item is unchecked: choosing it again shows the bar.
  chooseShowTools();
  EXPECT_TRUE(WaitUntil([&] { return ToolBarAt(QPoint(216, 0)); }));
}

TEST_F(TDrawingTest, CtrlZUndoesStepByStepAndCtrlYRedoes) {
  // Pixels that differ between two screens, the tool bar left out.
  const auto differing = [&](const QImage& a, const QImage& b) {
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
      for (int x = 0; x < a.width(); ++x) count += !OutsideSurface(x, y) && a.pixel(x, y) != b.pixel(x, y);
    return count;
  };
  const auto shows = [&](const QImage& expected) -> ::testing::AssertionResult {
    QImage now;
    if (WaitUntil([&] { return differing(now = X().GrabScreen(), expected) == 0; }, LoadedMs))
      return ::testing::AssertionSuccess();
    QRect where;
    for (int y = 0; y < now.height(); ++y)
      for (int x = 0; x < now.width(); ++x)
        if (!OutsideSurface(x, y) && now.pixel(x, y) != expected.pixel(x, y)) where |= QRect(x, y, 1, 1);
    return ::testing::AssertionFailure() << "pixels differ within " << Text(where);
  };
  // The screen once `drawn` holds and two grabs in a row agree: the repaint is complete.
  const auto settled = [&](const std::function<bool(const QImage&)>& drawn) {
    QImage last;
    const bool ok = WaitUntil(
        [&] {
          const QImage now = X().GrabScreen();
          const bool same = !last.isNull() && drawn(now) && differing(now, last) == 0;
          last = now;
          return same;
        },
        LoadedMs, 100);
    return ok ? last : QImage();
  };
  ASSERT_TRUE(ClickBar(46));  // freehand
  ASSERT_TRUE(Drag({{120, 500}, {260, 560}, {420, 470}, {600, 620}}));
  const QImage stroked = settled([&](const QImage& now) { return !Changed(now).empty(); });
  ASSERT_FALSE(stroked.isNull()) << "no stroke";
  ASSERT_TRUE(ClickBar(115));  // rectangle, across the stroke
  ASSERT_TRUE(Drag({{150, 200}, {400, 600}, {700, 580}}));
  const QImage framed = settled([&](const QImage& now) { return differing(now, stroked) > 0; });
  ASSERT_FALSE(framed.isNull()) << "no rectangle";
  ASSERT_TRUE(RightClickMenu(*App_, QPoint(900, 700)));
  ASSERT_TRUE(ChooseMenuItem(*App_, ItemRefresh));
  ASSERT_TRUE(shows(Frozen)) << "the refresh did not wipe the drawings";

  ASSERT_TRUE(Xdo().Key("ctrl+z"));
  EXPECT_TRUE(shows(framed)) << "undoing the refresh";
  ASSERT_TRUE(Xdo().Key("ctrl+z"));
  EXPECT_TRUE(shows(stroked)) << "undoing the rectangle";
  ASSERT_TRUE(Xdo().Key("ctrl+z"));
  EXPECT_TRUE(shows(Frozen)) << "undoing the stroke";
  ASSERT_TRUE(Xdo().Key("ctrl+y"));
  EXPECT_TRUE(shows(stroked)) << "redoing the stroke";
}

}  // namespace
}  // namespace e2e
