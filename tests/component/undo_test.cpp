// Undo and redo on the surface: every kind of step undone to exactly the pixels before it and
// redone to exactly those after it, on both layers; the selection frame; the keys in the caption
// box and in the window; drags; the memory bound; leaving the working state.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QImage>
#include <QInputMethodEvent>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <random>
#include <string_view>

#include "platform/qt/qtraster.h"
#include "platform/application.h"
#include "platform/image.h"
#include "platform/picture.h"
#include "shell/form1.h"
#include "surface/fcover.h"
#include "tests/component/harness.h"

namespace {

std::vector<std::uint32_t> BackgroundCopy() {
  std::vector<std::uint32_t> pixels;
  const TBitmap& b = *FCover->Image1->Bitmap();
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) pixels.push_back(Rgb(b.Pixel(x, y)));
  return pixels;
}

struct TLayers {
  std::vector<std::uint32_t> Window, Background;
  static TLayers Now() { return TLayers{SurfaceCopy(), BackgroundCopy()}; }
  friend bool operator==(const TLayers&, const TLayers&) = default;
};

// The keys as a teacher presses them, in the caption box that holds the focus.
void Undo() { QTest::keyClick(QtOf(FCover->Ed), Qt::Key_Z, Qt::ControlModifier); }
void Redo() { QTest::keyClick(QtOf(FCover->Ed), Qt::Key_Y, Qt::ControlModifier); }
void RedoShifted() { QTest::keyClick(QtOf(FCover->Ed), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); }

QImage NoisePicture(int w, int h, unsigned seed) {
  QImage picture(w, h, QImage::Format_RGB32);
  std::mt19937 random(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) picture.setPixel(x, y, random() | 0xFF000000u);
  return picture;
}

class UndoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetToIdle();
    StartWorking();
    ASSERT_TRUE(Dir.isValid());
    // A stroke of an earlier step that the steps draw over.
    Stroke({40, 300}, {500, 320});
  }
  void TearDown() override { ResetToIdle(); }

 public:
  // The step cases reach these.
  static void Drag(QPoint from, const std::vector<QPoint>& through, QPoint to) {
    QTest::mousePress(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, from);
    for (QPoint p : through) QTest::mouseMove(QtOf(FCover->PaintBox1), p);
    QTest::mouseMove(QtOf(FCover->PaintBox1), to);
    QTest::mouseRelease(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, to);
  }
  static void Stroke(QPoint from, QPoint to) {
    FCover->TBpenClick();
    Drag(from, {(from + to) / 2 + QPoint(0, 30)}, to);
  }
  static void Click(QPoint p) {
    QTest::mousePress(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, p);
    QTest::mouseRelease(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, p);
  }
  // A selection from (100, 100) to (300, 250) with its menu closed: the frame stays.
  static void Select() {
    FCover->TBselectClick();
    QPointer<QTimer> answer = AnswerNextModal([](QWidget* menu) { menu->close(); });
    Drag({100, 100}, {{200, 200}}, {300, 250});
    Application->ProcessMessages();
    delete answer.data();
    ASSERT_TRUE(FCover->SelActive());
  }
  static void AnswerFileDialog(const QString& name) {
    AnswerNextModal([name](QWidget* w) {
      auto* dialog = qobject_cast<QFileDialog*>(w);
      ASSERT_NE(dialog, nullptr);
      dialog->selectFile(name);
      static_cast<QDialog*>(dialog)->accept();
    });
  }
  QString NoiseFile(int w, int h) {
    const QString name = Dir.filePath(QStringLiteral("noise.bmp"));
    TBitmap picture(w, h);
    std::mt19937 random(7);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) picture.SetPixel(x, y, random() & 0xFFFFFF);
    SaveBitmapToFile(picture, Str(name));
    return name;
  }

  QTemporaryDir Dir;
};

struct TStepCase {
  const char* Name;
  // Not part of the step: a selection for the region commands.
  std::function<void(UndoTest&)> Prepare;
  std::function<void(UndoTest&)> Step;
  // The frame stays after the step; undo takes it off, and redo brings back the step's pixels
  // inside the selection only.
  bool FrameStays = false;
};

TEST_F(UndoTest, EveryKindOfStepIsUndoneAndRedoneToTheExactPixels) {
  const TStepCase cases[] = {
      {"freehand stroke", nullptr,
       [](UndoTest&) {
         Stroke({60, 60}, {400, 420});
       }},
      {"eraser sweep across the earlier stroke", nullptr,
       [](UndoTest&) {
         FCover->TBeraserClick();
         Drag({50, 310}, {{150, 312}, {250, 318}}, {350, 320});
       }},
      {"line", nullptr,
       [](UndoTest&) {
         FCover->TBlineClick();
         Drag({30, 30}, {{500, 100}, {300, 500}}, {450, 400});
       }},
      {"rectangle", nullptr,
       [](UndoTest&) {
         FCover->TBrectClick();
         Drag({30, 60}, {{500, 100}}, {450, 400});
       }},
      {"ellipse", nullptr,
       [](UndoTest&) {
         FCover->TBcircleClick();
         Drag({450, 400}, {{100, 100}}, {30, 60});
       }},
      {"rounded rectangle", nullptr,
       [](UndoTest&) {
         FCover->TBroundrectClick();
         Drag({30, 60}, {{200, 300}}, {450, 400});
       }},
      {"diamond", nullptr,
       [](UndoTest&) {
         FCover->TBdiamondClick();
         Drag({30, 60}, {{200, 300}}, {450, 400});
       }},
      {"caption line, undone while typed",
       [](UndoTest&) {
         Click({100, 310});
       },
       [](UndoTest&) {
         QTest::keyClicks(QtOf(FCover->Ed), QStringLiteral("Quilmar "));
         // Chinese comes from the input method.
         QInputMethodEvent commit;
         commit.setCommitString(QStringLiteral("你好"));
         QCoreApplication::sendEvent(QtOf(FCover->Ed), &commit);
       }},
      {"caption line with a backspace over the stroke",
       [](UndoTest&) {
         Click({100, 310});
       },
       [](UndoTest&) {
         QTest::keyClicks(QtOf(FCover->Ed), QStringLiteral("WWWW"));
         QTest::keyClick(QtOf(FCover->Ed), Qt::Key_Backspace);
         QTest::keyClick(QtOf(FCover->Ed), Qt::Key_Return);
       }},
      {"region paste", [](UndoTest&) { Select(); },
       [](UndoTest&) {
         QGuiApplication::clipboard()->setImage(NoisePicture(40, 30, 3));
         FCover->NpasteClick();
       },
       true},
      {"region load", [](UndoTest&) { Select(); },
       [](UndoTest& t) {
         t.AnswerFileDialog(t.NoiseFile(50, 20));
         FCover->NloadtorectClick();
       },
       true},
      {"region clear", [](UndoTest&) { Select(); }, [](UndoTest&) { FCover->N3Click(); }},
      {"region white", [](UndoTest&) { Select(); }, [](UndoTest&) { FCover->NrectwhiteClick(); }},
      {"whole-screen load", nullptr,
       [](UndoTest& t) {
         t.AnswerFileDialog(t.NoiseFile(64, 48));
         FCover->LoadImageFullScreen();
       }},
      {"refresh", nullptr, [](UndoTest&) { FCover->TBrefreshClick(); }},
      {"refresh over a selection", [](UndoTest&) { Select(); }, [](UndoTest&) { FCover->TBrefreshClick(); }},
      {"white board", nullptr, [](UndoTest&) { FCover->TBwhiteClick(); }},
  };
  for (const TStepCase& c : cases) {
    SCOPED_TRACE(c.Name);
    ResetToIdle();
    StartWorking();
    Stroke({40, 300}, {500, 320});
    // And one inside the selection the region commands work on.
    Stroke({120, 120}, {280, 230});
    const TLayers before = TLayers::Now();
    if (c.Prepare) c.Prepare(*this);
    const int steps = FCover->History().UndoCount();
    c.Step(*this);
    Application->ProcessMessages();
    TLayers after = TLayers::Now();
    ASSERT_NE(after, before) << "the step drew nothing";
    if (c.FrameStays) {
      // What redo shows: the step's pixels inside the frame, the frame itself gone.
      const std::size_t w = std::size_t(FCover->Width());
      for (std::size_t i = 0; i < after.Window.size(); ++i) {
        const int x = int(i % w), y = int(i / w);
        if (x <= 100 || x >= 299 || y <= 100 || y >= 249) after.Window[i] = before.Window[i];
      }
    }

    Undo();
    EXPECT_EQ(FCover->History().UndoCount(), steps) << "one step undone";
    EXPECT_TRUE(TLayers::Now() == before) << "undo";
    EXPECT_FALSE(FCover->SelActive());
    Redo();
    EXPECT_TRUE(TLayers::Now() == after) << "redo";
    Undo();
    EXPECT_TRUE(TLayers::Now() == before) << "undo after redo";
    RedoShifted();
    EXPECT_TRUE(TLayers::Now() == after) << "Ctrl+Shift+Z redoes";
    // And the steps before it, the earlier strokes, are undone next.
    Undo();
    Undo();
    Undo();
    EXPECT_EQ(DiffCount(0, 0, FCover->Width(), FCover->Height()), 0) << "nothing left but the frozen picture";
  }
}

TEST_F(UndoTest, AFrameDrawnBeforeOrAfterAStepComesOffWithoutATrace) {
  const TLayers clean = TLayers::Now();
  // Drawn over: the stroke crosses the frame, whose pixels it keeps.
  Select();
  Stroke({50, 120}, {350, 200});
  Undo();
  EXPECT_FALSE(FCover->SelActive());
  EXPECT_TRUE(TLayers::Now() == clean);
  // Drawn since: the frame lies over the stroke.
  Stroke({50, 120}, {350, 200});
  const TLayers stroked = TLayers::Now();
  Select();
  Undo();
  EXPECT_TRUE(TLayers::Now() == clean);
  Redo();
  EXPECT_TRUE(TLayers::Now() == stroked);
  // And one that a press took off since the stroke crossed it.
  Undo();
  Select();
  Stroke({50, 120}, {350, 200});
  FCover->TBselectClick();
  Click({10, 500});
  ASSERT_FALSE(FCover->SelActive());
  Undo();
  EXPECT_TRUE(TLayers::Now() == clean);
}

TEST_F(UndoTest, KeysWorkInTheWindowTooAndNotDuringADrag) {
  const TLayers before = TLayers::Now();
  Stroke({60, 60}, {400, 420});
  const TLayers after = TLayers::Now();
  int key = VK_Z;
  FCover->FormKeyDown(key, ssCtrl);
  EXPECT_EQ(key, 0) << "taken";
  EXPECT_TRUE(TLayers::Now() == before);
  key = VK_Y;
  FCover->FormKeyDown(key, ssCtrl);
  EXPECT_TRUE(TLayers::Now() == after);
  // Ctrl+Alt+Z is no undo.
  key = VK_Z;
  FCover->FormKeyDown(key, ssCtrl | ssAlt);
  EXPECT_EQ(key, VK_Z);
  EXPECT_TRUE(TLayers::Now() == after);

  // Pressed while the button is held: ignored, the stroke goes on and is one step.
  QTest::mousePress(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, QPoint(500, 100));
  QTest::mouseMove(QtOf(FCover->PaintBox1), QPoint(600, 200));
  const std::vector<std::uint32_t> midway = SurfaceCopy();
  Undo();
  EXPECT_EQ(SurfaceCopy(), midway);
  QTest::mouseMove(QtOf(FCover->PaintBox1), QPoint(650, 100));
  QTest::mouseRelease(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, QPoint(650, 100));
  Undo();
  EXPECT_TRUE(TLayers::Now() == after);
}

TEST_F(UndoTest, ANewStepClearsWhatCouldBeRedone) {
  Stroke({60, 60}, {400, 100});
  Stroke({60, 160}, {400, 200});
  Undo();
  Undo();
  EXPECT_EQ(FCover->History().RedoCount(), 2);
  // A click with the pen draws nothing: what could be redone stays.
  Click({700, 700});
  EXPECT_EQ(FCover->History().RedoCount(), 2);
  Stroke({60, 260}, {400, 280});
  EXPECT_EQ(FCover->History().RedoCount(), 0);
  const TLayers now = TLayers::Now();
  Redo();
  EXPECT_TRUE(TLayers::Now() == now);
}

TEST_F(UndoTest, TheBoundDropsTheOldestSteps) {
  // Each paste of a noise picture into a large selection keeps the noise it replaced.
  FCover->TBselectClick();
  QPointer<QTimer> answer = AnswerNextModal([](QWidget* menu) { menu->close(); });
  const int w = FCover->Width(), h = FCover->Height();
  Drag({0, 40}, {{w / 2, h / 2}}, {w - 1, h - 1});
  Application->ProcessMessages();
  delete answer.data();
  ASSERT_TRUE(FCover->SelActive());
  // The pixels inside the selection, where the pastes go; the frame lies round them.
  const auto hash = [w, h] {
    std::vector<std::uint32_t> pixels;
    for (int y = 41; y < h - 2; ++y)
      for (int x = 1; x < w - 2; ++x) pixels.push_back(SurfacePixel(x, y));
    return std::hash<std::string_view>{}(
        std::string_view(reinterpret_cast<const char*>(pixels.data()), pixels.size() * sizeof(std::uint32_t)));
  };
  const std::size_t stepBytes = std::size_t(w) * (h - 40) * 4;
  const int steps = int(TUndoHistory::Budget / stepBytes) + 4;
  std::vector<std::size_t> states{hash()};
  for (int i = 0; i < steps; ++i) {
    QGuiApplication::clipboard()->setImage(NoisePicture(w - 2, h - 42, 10 + unsigned(i)));
    FCover->NpasteClick();
    states.push_back(hash());
    ASSERT_LE(FCover->History().Bytes(), TUndoHistory::Budget);
  }
  const int kept = FCover->History().UndoCount();
  EXPECT_LT(kept, steps) << "the oldest went";
  EXPECT_GT(kept, steps - 8);
  for (int i = 0; i < kept; ++i) Undo();
  EXPECT_FALSE(FCover->History().CanUndo());
  EXPECT_EQ(hash(), states[std::size_t(steps - kept)]) << "the oldest kept step undone shows what the one before left";
  EXPECT_EQ(FCover->History().RedoCount(), kept);
  for (int i = 0; i < kept; ++i) Redo();
  EXPECT_EQ(hash(), states.back());
}

TEST_F(UndoTest, LeavingTheWorkingStateDropsEverything) {
  Stroke({60, 60}, {400, 420});
  EXPECT_TRUE(FCover->History().CanUndo());
  Form1->StopDrawing();
  Application->ProcessMessages();
  EXPECT_FALSE(FCover->History().CanUndo());
  EXPECT_EQ(FCover->History().Bytes(), 0u);
  StartWorking();
  const TLayers fresh = TLayers::Now();
  Undo();
  EXPECT_TRUE(TLayers::Now() == fresh);
}

TEST_F(UndoTest, TheCaptionBoxNeverUndoesItsOwnText) {
  Click({100, 100});
  QTest::keyClicks(QtOf(FCover->Ed), QStringLiteral("abc"));
  Undo();
  EXPECT_TRUE(QtOf(FCover->Ed)->text().isEmpty());
  EXPECT_EQ(FCover->TextLen(), 0);
  // The next character starts a new line at the same place.
  QTest::keyClicks(QtOf(FCover->Ed), QStringLiteral("x"));
  EXPECT_EQ(QtOf(FCover->Ed)->text(), QStringLiteral("x"));
  EXPECT_EQ(FCover->TextOrigin(), (TPoint{100, 100}));
  Undo();
  Redo();
  EXPECT_TRUE(QtOf(FCover->Ed)->text().isEmpty()) << "redo brings the pixels back, not the text";
}

}  // namespace
