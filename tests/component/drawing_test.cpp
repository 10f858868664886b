// Drawing with the mouse: rubber-band figures, freehand strokes, the eraser and the selection.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <cstring>
#include <random>
#include <string>

#include "platform/application.h"
#include "platform/image.h"
#include "platform/qt/qtmenus.h"
#include "shell/form1.h"
#include "surface/fcover.h"
#include "tests/component/harness.h"

namespace {

class DrawingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetToIdle();
    StartWorking();
    FCover->MElinewidth->SetText(" 3");
    FCover->CBColor->Select(clRed);
    FCover->CBColorChange();
  }
  void TearDown() override {
    FCover->MElinewidth->SetText(" 3");
    ResetToIdle();
  }

  TPaintBox* Box() { return FCover->PaintBox1; }

  void Press(QPoint p, Qt::MouseButton button = Qt::LeftButton) { QTest::mousePress(QtOf(Box()), button, {}, p); }
  void Move(QPoint p) { QTest::mouseMove(QtOf(Box()), p); }
  void Release(QPoint p, Qt::MouseButton button = Qt::LeftButton) { QTest::mouseRelease(QtOf(Box()), button, {}, p); }
  void Drag(QPoint from, const std::vector<QPoint>& through, QPoint to) {
    Press(from);
    for (QPoint p : through) Move(p);
    Move(to);
    Release(to);
  }

  // The background with `draw` applied on a canvas clipped like the surface's: what the surface
  // must show after a committed figure, with no trace of any preview.
  std::vector<std::uint32_t> Expected(const std::function<void(TCanvas&)>& draw) {
    const TBitmap& background = *FCover->Image1->Bitmap();
    TBitmap expected(background.Width(), background.Height());
    for (int y = 0; y < background.Height(); ++y)
      std::memcpy(expected.ScanLine(y), background.ScanLine(y), sizeof(std::uint32_t) * background.Width());
    TCanvas canvas(&expected);
    const QRect bar = QtOf(FCover->ToolBar1)->geometry();
    if (QtOf(FCover->ToolBar1)->isVisible())
      canvas.ExcludeClipRect(TRect{bar.x(), bar.y(), bar.x() + bar.width(), bar.y() + bar.height()});
    canvas.Pen.Color = clRed;
    canvas.Pen.Width = 3;
    canvas.Brush.Style = bsClear;
    draw(canvas);
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < expected.Height(); ++y)
      for (int x = 0; x < expected.Width(); ++x) pixels.push_back(Rgb(expected.Pixel(x, y)));
    return pixels;
  }

  static std::vector<QPoint> Wander(int count, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> x(0, 799), y(40, 799);
    std::vector<QPoint> points;
    for (int i = 0; i < count; ++i) points.emplace_back(x(random), y(random));
    return points;
  }
};

struct TFigureCase {
  const char* Name;
  void (TFCover::*Choose)();
  std::function<void(TCanvas&, QPoint, QPoint)> Draw;
};

const TFigureCase FigureCases[] = {
    {"line", &TFCover::TBlineClick,
     [](TCanvas& c, QPoint a, QPoint b) {
       c.MoveTo(a.x(), a.y());
       c.LineTo(b.x(), b.y());
     }},
    {"rectangle", &TFCover::TBrectClick,
     [](TCanvas& c, QPoint a, QPoint b) { c.Rectangle(a.x(), a.y(), b.x(), b.y()); }},
    {"ellipse", &TFCover::TBcircleClick, [](TCanvas& c, QPoint a, QPoint b) { c.Ellipse(a.x(), a.y(), b.x(), b.y()); }},
    {"rounded rectangle", &TFCover::TBroundrectClick,
     [](TCanvas& c, QPoint a, QPoint b) {
       c.RoundRect(a.x(), a.y(), b.x(), b.y(), std::abs(a.x() - b.x()) / 4, std::abs(a.y() - b.y()) / 4);
     }},
    {"diamond", &TFCover::TBdiamondClick,
     [](TCanvas& c, QPoint a, QPoint b) {
       const int mx = (a.x() + b.x()) / 2, my = (a.y() + b.y()) / 2;
       c.MoveTo(a.x(), my);
       c.LineTo(mx, a.y());
       c.MoveTo(a.x(), my);
       c.LineTo(mx, b.y());
       c.MoveTo(b.x(), my);
       c.LineTo(mx, a.y());
       c.MoveTo(b.x(), my);
       c.LineTo(mx, b.y());
     }},
};

}  // namespace

TEST_F(DrawingTest, FigureDragsLeaveOnlyTheCommittedFigure) {
  unsigned seed = 1;
  for (const TFigureCase& figure : FigureCases) {
    SCOPED_TRACE(figure.Name);
    FCover->TBrefreshClick();
    (FCover->*figure.Choose)();
    const QPoint a(120, 200), b(610, 530);
    Drag(a, Wander(60, seed++), b);
    EXPECT_EQ(SurfaceCopy(), Expected([&](TCanvas& c) { figure.Draw(c, a, b); }));
    EXPECT_FALSE(FCover->Dragging());
  }
}

TEST_F(DrawingTest, FiguresAreTheSameDraggedEitherWay) {
  for (const TFigureCase& figure : FigureCases) {
    SCOPED_TRACE(figure.Name);
    (FCover->*figure.Choose)();
    FCover->TBrefreshClick();
    Drag(QPoint(150, 600), {QPoint(300, 300)}, QPoint(520, 110));
    const std::vector<std::uint32_t> forward = SurfaceCopy();
    FCover->TBrefreshClick();
    Drag(QPoint(520, 110), {QPoint(300, 300)}, QPoint(150, 600));
    if (std::string(figure.Name) != "line" && std::string(figure.Name) != "diamond") {
      EXPECT_EQ(SurfaceCopy(), forward);
    }
    EXPECT_GT(DiffCount(0, 0, 800, 800), 0);
  }
}

TEST_F(DrawingTest, AClickWithoutMovementCommitsAFigureOfTheClickPoint) {
  FCover->TBlineClick();
  Press(QPoint(400, 400));
  Release(QPoint(400, 400));
  // A line from the point to itself with a 3-pixel pen is the pen's disc: a plus of 5 pixels.
  EXPECT_EQ(DiffCount(0, 0, 800, 800), 5);
  EXPECT_EQ(SurfacePixel(400, 400), 0xFF0000u);
  FCover->TBrefreshClick();
  FCover->TBpenClick();
  Press(QPoint(400, 400));
  Release(QPoint(400, 400));
  EXPECT_EQ(DiffCount(0, 0, 800, 800), 0);
}

TEST_F(DrawingTest, RoundedRectangleCornersBelowFourAreSquare) {
  FCover->TBroundrectClick();
  const QPoint a(100, 100), b(103, 600);  // horizontal difference 3: corner width 0
  Drag(a, {QPoint(300, 300)}, b);
  EXPECT_EQ(SurfaceCopy(), Expected([&](TCanvas& c) { c.Rectangle(a.x(), a.y(), b.x(), b.y()); }));
}

TEST_F(DrawingTest, ThinDiamondLeavesItsTopAndBottomVerticesUndrawn) {
  FCover->MElinewidth->SetText(" 1");
  ASSERT_EQ(FCover->PenWidth(), 1);
  FCover->TBdiamondClick();
  Drag(QPoint(110, 120), {QPoint(200, 200)}, QPoint(115, 131));
  EXPECT_EQ(SurfacePixel(110, 125), 0xFF0000u);
  EXPECT_EQ(SurfacePixel(115, 125), 0xFF0000u);
  EXPECT_EQ(SurfacePixel(112, 120), BackgroundPixel(112, 120));
  EXPECT_EQ(SurfacePixel(112, 131), BackgroundPixel(112, 131));
}

TEST_F(DrawingTest, FreehandStrokesJoinWithoutGaps) {
  for (int width : {3, 20}) {
    SCOPED_TRACE(width);
    FCover->TBrefreshClick();
    FCover->MElinewidth->SetText(std::to_string(width));
    FCover->TBpenClick();
    const std::vector<QPoint> path = {QPoint(100, 150), QPoint(180, 160), QPoint(120, 320),
                                      QPoint(400, 330), QPoint(390, 700), QPoint(700, 120)};
    Press(path.front());
    for (std::size_t i = 1; i < path.size(); ++i) Move(path[i]);
    Release(path.back());
    for (std::size_t i = 1; i < path.size(); ++i) {
      for (int step = 0; step <= 200; ++step) {
        const QPointF p = path[i - 1] + (QPointF(path[i] - path[i - 1]) * step / 200.0);
        ASSERT_EQ(SurfacePixel(qRound(p.x()), qRound(p.y())), 0xFF0000u) << "segment " << i << " step " << step;
      }
    }
    // Nothing lies far from the path's pen.
    EXPECT_EQ(SurfacePixel(600, 700), BackgroundPixel(600, 700));
  }
}

TEST_F(DrawingTest, WidthAndColourApplyFromTheNextSegment) {
  FCover->TBpenClick();
  Press(QPoint(100, 300));
  Move(QPoint(300, 300));
  FCover->MElinewidth->SetText("10");
  FCover->CBColor->Select(clLime);
  FCover->CBColorChange();
  Move(QPoint(500, 300));
  Release(QPoint(500, 300));
  EXPECT_EQ(SurfacePixel(200, 301), 0xFF0000u);
  EXPECT_EQ(SurfacePixel(200, 304), BackgroundPixel(200, 304));  // the 3-pixel segment
  EXPECT_EQ(SurfacePixel(400, 304), 0x00FF00u);                  // the 10-pixel one
  EXPECT_EQ(SurfacePixel(400, 296), 0x00FF00u);
}

// Queued moves are merged by default; a stroke or an eraser sweep must get every one of them,
// a figure only needs the last.
TEST_F(DrawingTest, StrokesAndSweepsGetEveryMoveFiguresOnlyTheLast) {
  const auto merged = [] { return QCoreApplication::testAttribute(Qt::AA_CompressHighFrequencyEvents); };
  const bool own = merged();
  for (bool platform : {true, false}) {
    QCoreApplication::setAttribute(Qt::AA_CompressHighFrequencyEvents, platform);
    for (void (TFCover::*choose)() : {&TFCover::TBpenClick, &TFCover::TBeraserClick}) {
      (FCover->*choose)();
      Press(QPoint(300, 300));
      EXPECT_FALSE(merged());
      Move(QPoint(320, 310));
      Release(QPoint(320, 310));
      EXPECT_EQ(merged(), platform) << "the platform's setting is back after the stroke";
    }
    FCover->TBlineClick();
    Press(QPoint(300, 300));
    EXPECT_EQ(merged(), platform);
    Release(QPoint(340, 300));
  }
  // A middle press during a stroke leaves it going.
  QCoreApplication::setAttribute(Qt::AA_CompressHighFrequencyEvents, true);
  FCover->TBpenClick();
  Press(QPoint(300, 300));
  Press(QPoint(300, 300), Qt::MiddleButton);
  Release(QPoint(300, 300), Qt::MiddleButton);
  EXPECT_FALSE(merged());
  Release(QPoint(300, 300));
  EXPECT_TRUE(merged());
  QCoreApplication::setAttribute(Qt::AA_CompressHighFrequencyEvents, own);
}

TEST_F(DrawingTest, TheEraserRevealsTheBackgroundAndOnlyIt) {
  TCanvas* c = Box()->Canvas();
  c->Brush.Color = clBlue;
  c->FillRect(TRect{50, 300, 750, 500});
  c->Brush = TBrush{};
  FCover->TBeraserClick();
  EXPECT_EQ(Box()->Cursor(), crDrag);
  // The press erases nothing; each move and the release erase a 16x16 square centred there.
  Press(QPoint(100, 400));
  EXPECT_EQ(SurfacePixel(100, 400), 0x0000FFu);
  Move(QPoint(200, 400));
  Release(QPoint(300, 400));
  for (QPoint centre : {QPoint(200, 400), QPoint(300, 400)}) {
    EXPECT_EQ(DiffCount(centre.x() - 8, centre.y() - 8, centre.x() + 8, centre.y() + 8), 0);
    EXPECT_EQ(SurfacePixel(centre.x() + 8, centre.y()), 0x0000FFu);
    EXPECT_EQ(SurfacePixel(centre.x() - 9, centre.y()), 0x0000FFu);
    EXPECT_EQ(SurfacePixel(centre.x(), centre.y() + 8), 0x0000FFu);
  }
  EXPECT_EQ(SurfacePixel(100, 400), 0x0000FFu);
  // Where nothing was drawn the eraser changes nothing, also at the edge of the surface.
  FCover->TBrefreshClick();
  Press(QPoint(2, 797));
  Release(QPoint(2, 797));
  EXPECT_EQ(DiffCount(0, 0, 800, 800), 0);
}

TEST_F(DrawingTest, SelectionRightAndDownKeepsTheFrameAndOpensTheRegionMenu) {
  FCover->TBselectClick();
  QMenu* shown = nullptr;
  bool activeWhileOpen = true;
  AnswerNextModal([&](QWidget* w) {
    shown = qobject_cast<QMenu*>(w);
    activeWhileOpen = FCover->SelActive();
    w->close();
  });
  Drag(QPoint(100, 200), {QPoint(150, 250), QPoint(320, 260)}, QPoint(300, 400));
  ASSERT_EQ(shown, QtMenu(*FCover->PopupMenu1));
  EXPECT_EQ(shown->actions().size(), 8);
  EXPECT_FALSE(activeWhileOpen);  // set only after the menu has closed
  EXPECT_TRUE(FCover->SelActive());
  EXPECT_EQ(FCover->SelRect(), (TRect{100, 200, 300, 400}));
  // The dotted frame stays: dots on its outline, nothing inside.
  EXPECT_NE(SurfacePixel(100, 200), BackgroundPixel(100, 200));
  EXPECT_EQ(SurfacePixel(103, 200), BackgroundPixel(103, 200));
  EXPECT_EQ(DiffCount(101, 201, 299, 399), 0);
  EXPECT_GT(DiffCount(100, 200, 300, 400), 0);

  // Another tool's press leaves it; the next press with the selection tool, any button, removes it.
  FCover->TBlineClick();
  Press(QPoint(600, 600), Qt::MiddleButton);
  Release(QPoint(600, 600), Qt::MiddleButton);
  EXPECT_TRUE(FCover->SelActive());
  FCover->TBselectClick();
  Press(QPoint(600, 600), Qt::MiddleButton);
  EXPECT_FALSE(FCover->SelActive());
  EXPECT_EQ(DiffCount(0, 0, 800, 800), 0);
  Release(QPoint(600, 600), Qt::MiddleButton);
}

TEST_F(DrawingTest, SelectionAnyOtherWayShowsNoMenuAndLeavesNoFrame) {
  FCover->TBselectClick();
  bool menuShown = false;
  QPointer<QTimer> watch = AnswerNextModal([&](QWidget* w) {
    menuShown = true;
    w->close();
  });
  const QPoint ends[] = {QPoint(50, 250), QPoint(250, 100), QPoint(300, 200), QPoint(200, 500), QPoint(200, 200)};
  for (QPoint end : ends) {
    Drag(QPoint(200, 200), {QPoint(400, 450)}, end);
    EXPECT_FALSE(FCover->SelActive());
    EXPECT_EQ(DiffCount(0, 0, 800, 800), 0) << end.x() << "," << end.y();
  }
  QTest::qWait(30);
  EXPECT_FALSE(menuShown);
  delete watch.data();
}

TEST_F(DrawingTest, RegionCommandsRunAfterTheReleaseHasBeenHandled) {
  FCover->TBselectClick();
  int commands = 0;
  bool activeWhenRun = false;
  FCover->OnRegionCommand = [&](TMenuItem*) {
    ++commands;
    activeWhenRun = FCover->SelActive();
  };
  AnswerNextModal([](QWidget* w) {
    auto* menu = qobject_cast<QMenu*>(w);
    menu->actions().at(6)->trigger();
    menu->close();
  });
  Drag(QPoint(100, 200), {QPoint(300, 400)}, QPoint(300, 400));
  EXPECT_EQ(commands, 0);  // not inside the release
  QTRY_COMPARE(commands, 1);
  EXPECT_TRUE(activeWhenRun);
  FCover->OnRegionCommand = nullptr;
  FCover->TBrefreshClick();
}

TEST_F(DrawingTest, AMiddleClickDuringALeftDragDoesNotEndIt) {
  FCover->TBrectClick();
  Press(QPoint(100, 100));
  Move(QPoint(200, 200));
  Press(QPoint(250, 250), Qt::MiddleButton);
  Release(QPoint(260, 270), Qt::MiddleButton);
  EXPECT_TRUE(FCover->Dragging());
  EXPECT_EQ(FCover->TextOrigin(), (TPoint{260, 270}));
  Move(QPoint(400, 500));
  Release(QPoint(400, 500));
  EXPECT_EQ(SurfaceCopy(), Expected([](TCanvas& c) { c.Rectangle(100, 100, 400, 500); }));
  EXPECT_EQ(FCover->TextOrigin(), (TPoint{400, 500}));
}

TEST_F(DrawingTest, ADragOverTheToolBarGoesOnAndNeverPaintsOnIt) {
  FCover->TBpenClick();
  const QRect bar = QtOf(FCover->ToolBar1)->geometry();
  Press(QPoint(100, 100));
  Move(QPoint(bar.center().x(), 5));
  Move(QPoint(790, 60));
  Release(QPoint(790, 60));
  EXPECT_EQ(DiffCount(bar.x(), bar.y(), bar.x() + bar.width(), bar.y() + bar.height()), 0);
  EXPECT_EQ(SurfacePixel(790, 60), 0xFF0000u);
  // The stroke went on beyond the bar.
  EXPECT_GT(DiffCount(bar.x() + bar.width(), 0, 800, 120), 0);
}

TEST_F(DrawingTest, MovesReachingTheWindowDuringADragDrawAndOthersDoNot) {
  FCover->TBpenClick();
  QWindow* window = QtOf(FCover)->windowHandle();
  ASSERT_NE(window, nullptr);
  auto moveOnWindow = [&](QPoint p, Qt::MouseButtons held) {
    QMouseEvent move(QEvent::MouseMove, QPointF(p), QPointF(p), Qt::NoButton, held, Qt::NoModifier);
    QApplication::sendEvent(window, &move);
  };
  moveOnWindow(QPoint(300, 300), Qt::NoButton);
  EXPECT_EQ(DiffCount(0, 0, 800, 800), 0);
  Press(QPoint(100, 300));
  moveOnWindow(QPoint(300, 300), Qt::LeftButton);
  EXPECT_EQ(SurfacePixel(200, 300), 0xFF0000u);
  Release(QPoint(300, 300));
  FCover->TBrefreshClick();
  moveOnWindow(QPoint(500, 500), Qt::NoButton);
  EXPECT_EQ(DiffCount(0, 0, 800, 800), 0);
}
