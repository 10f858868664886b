// Region commands on a completed selection: save and copy as seen or as background, paste,
// clear, white blank; the file dialogs and the clipboard answered by the test.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QImageReader>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>

#include "platform/application.h"
#include "platform/clipboard.h"
#include "platform/image.h"
#include "platform/qt/qtmenus.h"
#include "platform/qt/qtraster.h"
#include "shell/form1.h"
#include "surface/fcover.h"
#include "tests/component/harness.h"

namespace {

constexpr std::uint32_t Red = 0xFF0000;

class RegionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetToIdle();
    StartWorking();
    // Strokes across where the selection will be, inside and outside it.
    Stroke({60, 120}, {260, 130});
    Stroke({150, 80}, {150, 190});
    ASSERT_TRUE(Dir.isValid());
  }
  void TearDown() override {
    FCover->TBrefreshClick();
    ResetToIdle();
  }

  static void Stroke(QPoint from, QPoint to) {
    FCover->TBpenClick();
    QTest::mousePress(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, from);
    QTest::mouseMove(QtOf(FCover->PaintBox1), to);
    QTest::mouseRelease(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, to);
  }
  // Drags a selection and closes the region menu without a command; whether the menu opened.
  static bool Select(QPoint from, QPoint to) {
    FCover->TBselectClick();
    bool opened = false;
    QPointer<QTimer> answer = AnswerNextModal([&](QWidget* menu) {
      opened = qobject_cast<QMenu*>(menu) != nullptr;
      menu->close();
    });
    QTest::mousePress(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, from);
    QTest::mouseMove(QtOf(FCover->PaintBox1), to);
    QTest::mouseRelease(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, to);
    Application->ProcessMessages();
    delete answer.data();
    return opened;
  }
  // Answers the next file dialog with `name`, or cancels it when `name` is empty.
  static void AnswerFileDialog(const QString& name) {
    AnswerNextModal([name](QWidget* w) {
      auto* dialog = qobject_cast<QFileDialog*>(w);
      ASSERT_NE(dialog, nullptr);
      if (name.isEmpty()) {
        dialog->reject();
        return;
      }
      dialog->selectFile(name);
      static_cast<QDialog*>(dialog)->accept();
    });
  }
  // The pixels of `rect` of the window (or the background), row by row.
  static std::vector<std::uint32_t> Pixels(const TRect& rect, bool background = false) {
    std::vector<std::uint32_t> pixels;
    for (int y = rect.Top; y < rect.Bottom; ++y)
      for (int x = rect.Left; x < rect.Right; ++x)
        pixels.push_back(background ? BackgroundPixel(x, y) : SurfacePixel(x, y));
    return pixels;
  }
  static std::vector<std::uint32_t> Pixels(const QImage& image) {
    std::vector<std::uint32_t> pixels;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y)
      for (int x = 0; x < rgb.width(); ++x) pixels.push_back(Rgb(rgb.pixel(x, y)));
    return pixels;
  }
  static QImage Clipped() {
    TBitmap bitmap;
    if (!Clipboard().GetBitmap(bitmap)) return {};
    return QtView(bitmap).copy();
  }
  QString File(const char* name) const { return Dir.filePath(QString::fromLatin1(name)); }

  const TRect Interior{101, 101, 199, 149};
  QTemporaryDir Dir;
};

TEST_F(RegionTest, SaveAndCopyTakeExactlyTheInteriorAsSeenOrAsBackground) {
  ASSERT_TRUE(Select({100, 100}, {200, 150}));
  ASSERT_TRUE(FCover->SelActive());
  const std::vector<std::uint32_t> seen = Pixels(Interior), bare = Pixels(Interior, true);
  ASSERT_NE(seen, bare) << "the strokes cross the interior";
  const std::vector<std::uint32_t> before = SurfaceCopy();

  struct TCase {
    const char* Name;
    void (TFCover::*Command)();
    bool ToFile;
    const std::vector<std::uint32_t>& Expected;
  };
  const TCase cases[] = {
      {"N4 save as seen", &TFCover::N4Click, true, seen},
      {"N1 save background", &TFCover::N1Click, true, bare},
      {"N5 copy as seen", &TFCover::N5Click, false, seen},
      {"N2 copy background", &TFCover::N2Click, false, bare},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    QImage picture;
    if (c.ToFile) {
      const QString name = File(c.Name).replace(u' ', u'_') + QStringLiteral(".bmp");
      AnswerFileDialog(name);
      (FCover->*c.Command)();
      picture = QImageReader(name, "BMP").read();
    } else {
      QGuiApplication::clipboard()->clear();
      (FCover->*c.Command)();
      picture = Clipped();
    }
    ASSERT_EQ(picture.size(), QSize(98, 48));
    EXPECT_EQ(Pixels(picture), c.Expected);
    // The frame and the drawings are as they were, the selection still active.
    EXPECT_EQ(SurfaceCopy(), before);
    EXPECT_TRUE(FCover->SelActive());
  }

  // A cancelled save writes nothing and keeps drawings and frame.
  AnswerFileDialog(QString());
  FCover->N4Click();
  EXPECT_EQ(SurfaceCopy(), before);
  EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files).size(), 2);

  // The next press with the selection tool erases the frame: only the strokes stay.
  FCover->TBrefreshClick();
  Stroke({60, 120}, {260, 130});
  Stroke({150, 80}, {150, 190});
  const std::vector<std::uint32_t> strokesOnly = SurfaceCopy();
  ASSERT_TRUE(Select({100, 100}, {200, 150}));
  FCover->N5Click();
  FCover->TBselectClick();
  QTest::mousePress(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, {400, 400});
  QTest::mouseRelease(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, {400, 400});
  EXPECT_EQ(SurfaceCopy(), strokesOnly);
}

TEST_F(RegionTest, ClearRestoresTheWholeRectangleAndWhiteBlanksOnlyTheInterior) {
  const std::vector<std::uint32_t> strokes = SurfaceCopy();
  ASSERT_TRUE(Select({100, 100}, {200, 150}));
  FCover->N3Click();
  EXPECT_FALSE(FCover->SelActive());
  EXPECT_EQ(DiffCount(100, 100, 200, 150), 0) << "strokes and frame inside are gone";
  // Outside the rectangle the strokes stay.
  EXPECT_EQ(SurfacePixel(70, 121), Red);
  EXPECT_EQ(SurfacePixel(150, 85), Red);

  FCover->TBrefreshClick();
  Stroke({60, 120}, {260, 130});
  Stroke({150, 80}, {150, 190});
  ASSERT_TRUE(Select({100, 100}, {200, 150}));
  FCover->NrectwhiteClick();
  EXPECT_FALSE(FCover->SelActive());
  for (std::uint32_t p : Pixels(Interior)) ASSERT_EQ(p, 0xFFFFFFu);
  // The outline shows what lay under the frame: the strokes where they cross it.
  const std::size_t w = std::size_t(FCover->Width());
  for (int x = 100; x < 200; ++x)
    for (int y : {100, 149}) ASSERT_EQ(SurfacePixel(x, y), strokes[std::size_t(y) * w + std::size_t(x)]) << x;
  for (int y = 100; y < 150; ++y)
    for (int x : {100, 199}) ASSERT_EQ(SurfacePixel(x, y), strokes[std::size_t(y) * w + std::size_t(x)]) << y;
}

TEST_F(RegionTest, PasteScalesTheClipboardPictureIntoTheInteriorAndChecksAgain) {
  // Four quarters of a 640x480 picture from another program.
  QImage picture(640, 480, QImage::Format_RGB32);
  picture.fill(Qt::blue);
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x) picture.setPixel(x, y, qRgb(0, 255, 0));
  QGuiApplication::clipboard()->setImage(picture);
  ASSERT_TRUE(Select({100, 100}, {200, 150}));
  FCover->PopupMenu1Popup();
  EXPECT_TRUE(QtAction(*FCover->Npaste)->isEnabled());
  const std::vector<std::uint32_t> before = SurfaceCopy();
  FCover->NpasteClick();
  EXPECT_EQ(SurfacePixel(110, 110), 0x00FF00u);
  EXPECT_EQ(SurfacePixel(190, 140), 0x0000FFu);
  EXPECT_EQ(SurfacePixel(101, 101), 0x00FF00u);
  EXPECT_EQ(SurfacePixel(198, 148), 0x0000FFu);
  // Only the interior changed: the frame and everything outside are as before.
  const std::size_t w = std::size_t(FCover->Width());
  const std::vector<std::uint32_t> after = SurfaceCopy();
  for (std::size_t i = 0; i < after.size(); ++i) {
    const int x = int(i % w), y = int(i / w);
    if (x >= 101 && x < 199 && y >= 101 && y < 149) continue;
    ASSERT_EQ(after[i], before[i]) << x << "," << y;
  }
  EXPECT_TRUE(FCover->SelActive());

  // Emptied by another program after the menu opened: nothing happens; and the item is off.
  QGuiApplication::clipboard()->setText(QStringLiteral("no picture"));
  FCover->NpasteClick();
  EXPECT_EQ(SurfaceCopy(), after);
  FCover->PopupMenu1Popup();
  EXPECT_FALSE(QtAction(*FCover->Npaste)->isEnabled());
}

TEST_F(RegionTest, CommandsRunFromTheMenuAfterTheRelease) {
  QGuiApplication::clipboard()->clear();
  FCover->TBselectClick();
  AnswerNextModal([](QWidget* w) {
    auto* menu = qobject_cast<QMenu*>(w);
    EXPECT_FALSE(QtAction(*FCover->Npaste)->isEnabled()) << "no picture on the clipboard";
    menu->actions().at(1)->trigger();  // copy as seen
    menu->close();
  });
  QTest::mousePress(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, {100, 100});
  QTest::mouseMove(QtOf(FCover->PaintBox1), {200, 150});
  QTest::mouseRelease(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, {200, 150});
  QTRY_VERIFY(Clipboard().HasFormat(CF_BITMAP));
  EXPECT_EQ(Clipped().size(), QSize(98, 48));
}

TEST_F(RegionTest, SelectionsWithNoInsideDoNothingHarmful) {
  for (const QPoint end : {QPoint(101, 101), QPoint(102, 102), QPoint(102, 160), QPoint(160, 102)}) {
    SCOPED_TRACE(end.x() * 1000 + end.y());
    FCover->TBrefreshClick();
    Stroke({60, 120}, {260, 130});
    const std::vector<std::uint32_t> unselected = SurfaceCopy();
    ASSERT_TRUE(Select({100, 100}, end));
    const std::vector<std::uint32_t> framed = SurfaceCopy();
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
    // No dialog may open for these; one that did is cancelled and counted.
    int dialogs = 0;
    QPointer<QTimer> watch = AnswerNextModal([&](QWidget* w) {
      ++dialogs;
      w->close();
    });
    for (void (TFCover::*command)() : {&TFCover::N4Click, &TFCover::N1Click, &TFCover::N5Click, &TFCover::N2Click,
                                       &TFCover::NpasteClick, &TFCover::NloadtorectClick})
      (FCover->*command)();
    delete watch.data();
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(SurfaceCopy(), framed);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
    EXPECT_FALSE(Clipboard().HasFormat(CF_BITMAP));
    EXPECT_TRUE(QDir(Dir.path()).entryList(QDir::Files).isEmpty());
    // The white blank only erases the frame; clearing brings the background over the rectangle.
    FCover->NrectwhiteClick();
    EXPECT_FALSE(FCover->SelActive());
    EXPECT_EQ(SurfaceCopy(), unselected);
    FCover->N3Click();
    EXPECT_EQ(DiffCount(100, 100, end.x(), end.y()), 0);
  }
}

TEST_F(RegionTest, AFailedSaveShowsWhyAndKeepsTheDrawings) {
  ASSERT_TRUE(Select({100, 100}, {200, 150}));
  const std::vector<std::uint32_t> before = SurfaceCopy();
  // Nobody, root included, can create a file there.
  const QString name = QStringLiteral("/proc/quilmar-region.bmp");
  QString shown;
  AnswerNextModal([&](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    // The error box follows the file dialog.
    AnswerNextModal([&](QWidget* box) {
      shown = qobject_cast<QMessageBox*>(box) ? qobject_cast<QMessageBox*>(box)->text() : QStringLiteral("not a box");
      box->close();
    });
    dialog->selectFile(name);
    static_cast<QDialog*>(dialog)->accept();
  });
  RunHandler([] { FCover->N4Click(); });
  EXPECT_TRUE(shown.contains(name)) << shown.toStdString();
  EXPECT_EQ(SurfaceCopy(), before);
  EXPECT_FALSE(QFileInfo::exists(name));
}

// A frame left on the surface is erased where it was drawn, by the next selection press only;
// it never reaches another showing, and a drag cut short by the hot key is not carried into it.
TEST_F(RegionTest, FramesAndDragsNeverOutliveWhereTheyWereDrawn) {
  ASSERT_TRUE(Select({100, 100}, {200, 150}));
  // A stroke after the frame moves the drag's start and end points.
  Stroke({300, 300}, {420, 360});
  FCover->TBselectClick();
  QTest::mousePress(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, QPoint(500, 500));
  QTest::mouseRelease(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, QPoint(500, 500));
  const std::vector<std::uint32_t> after = SurfaceCopy();
  // The same strokes with no frame ever drawn: what the press must have left.
  FCover->TBrefreshClick();
  Stroke({60, 120}, {260, 130});
  Stroke({150, 80}, {150, 190});
  Stroke({300, 300}, {420, 360});
  EXPECT_EQ(after, SurfaceCopy());

  // A frame still up when the working state ends is not erased onto the next screen.
  ASSERT_TRUE(Select({100, 100}, {200, 150}));
  ResetToIdle();
  StartWorking();
  FCover->TBselectClick();
  QTest::mousePress(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, QPoint(500, 500));
  QTest::mouseRelease(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, QPoint(500, 500));
  EXPECT_EQ(DiffCount(0, 0, FCover->Width(), FCover->Height()), 0);

  // The hot key in the middle of a drag: the release happens while no surface is shown, and the
  // next showing draws nothing until a new press.
  for (void (TFCover::*tool)() : {&TFCover::TBpenClick, &TFCover::TBlineClick, &TFCover::TBrectClick}) {
    (FCover->*tool)();
    QTest::mousePress(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, QPoint(300, 300));
    QTest::mouseMove(QtOf(FCover->PaintBox1), QPoint(350, 340));
    ResetToIdle();
    StartWorking();
    (FCover->*tool)();
    QTest::mouseMove(QtOf(FCover->PaintBox1), QPoint(420, 380));
    QTest::mouseMove(QtOf(FCover->PaintBox1), QPoint(450, 400));
    EXPECT_EQ(DiffCount(0, 0, FCover->Width(), FCover->Height()), 0);
    QTest::mouseRelease(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, QPoint(450, 400));
  }
}

}  // namespace
