// Whole-screen files: the save writes the surface as seen, loads scale into their target, bad
// files are reported and lose nothing, the dialogs remember the last name, speak Chinese, list
// bitmaps whatever the case of their names and are confirmed by Enter.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QImageReader>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include "platform/application.h"
#include "platform/image.h"
#include "shell/form1.h"
#include "surface/fcover.h"
#include "tests/component/harness.h"

namespace {

// What a file dialog shows the user, read while it is open.
struct TShownDialog {
  QString Title;
  std::vector<QString> English;
  QStringList Filters;
  QString FilterShown;
  QStringList Listed;  // the files of its folder it lists, sorted
};

// Reads what `dialog` shows once its folder is listed, then types `name` into its name field and
// presses `key` there.
TShownDialog ReadAndType(QFileDialog* dialog, const QString& name, int key, Qt::KeyboardModifiers modifiers = {}) {
  TShownDialog shown;
  auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
  auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
  EXPECT_TRUE(list && edit && types);
  if (!list || !edit || !types) {
    dialog->reject();
    return shown;
  }
  // The folder is read on a thread of the dialog's own.
  const auto listed = [&] {
    QStringList names;
    for (int row = 0; row < list->model()->rowCount(list->rootIndex()); ++row)
      names << list->model()->index(row, 0, list->rootIndex()).data().toString();
    names.sort();
    return names;
  };
  EXPECT_TRUE(QTest::qWaitFor([&] { return listed().size() >= 3; }, 5000)) << "the folder was not listed";
  shown.Listed = listed();
  shown.Title = dialog->windowTitle();
  shown.English = EnglishTexts(dialog);
  shown.Filters = dialog->nameFilters();
  shown.FilterShown = types->currentText();
  // Typed as a user types, into the field with the keyboard: only then does the name replace the
  // file the dialog had selected.
  QApplication::setActiveWindow(dialog);
  edit->setFocus();
  edit->clear();
  QTest::keyClicks(edit, name);
  QTest::keyClick(edit, Qt::Key(key), modifiers);
  if (dialog->isVisible()) {
    ADD_FAILURE() << "the key did not confirm the dialog";
    dialog->reject();
  }
  return shown;
}

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    ResetToIdle();
    StartWorking();
    FCover->TBpenClick();
    QTest::mousePress(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, {100, 300});
    QTest::mouseMove(QtOf(FCover->PaintBox1), {600, 320});
    QTest::mouseRelease(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, {600, 320});
    ASSERT_GT(DiffCount(0, 0, 800, 800), 0);
  }
  void TearDown() override { ResetToIdle(); }

  // Answers the next file dialog with `name` (cancels it when empty), noting the name it offered;
  // with `box`, then answers the message box that follows, noting its text. Each opens above the
  // surface, or it would lie hidden below it.
  void Answer(const QString& name, bool box = false) {
    AnswerNextModal([this, name, box](QWidget* w) {
      auto* dialog = qobject_cast<QFileDialog*>(w);
      ASSERT_NE(dialog, nullptr);
      Offered = dialog->selectedFiles().value(0);
      EXPECT_EQ(dialog->parentWidget(), QtOf(FCover));
      if (name.isEmpty()) {
        dialog->reject();
        return;
      }
      if (box) {
        AnswerNextModal([this](QWidget* next) {
          if (auto* message = qobject_cast<QMessageBox*>(next)) Shown = message->text();
          EXPECT_EQ(next->parentWidget(), QtOf(FCover));
          next->close();
        });
      }
      dialog->selectFile(name);
      static_cast<QDialog*>(dialog)->accept();
    });
  }
  QString Write(const char* name, const QImage& image, const char* format) {
    const QString path = Dir.filePath(QString::fromLatin1(name));
    EXPECT_TRUE(image.save(path, format));
    return path;
  }
  static QImage Quarters(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(qRgb(0, 0, 255));
    for (int y = 0; y < h / 2; ++y)
      for (int x = 0; x < w / 2; ++x) image.setPixel(x, y, qRgb(0, 255, 0));
    return image;
  }

  QTemporaryDir Dir;
  QString Offered;
  QString Shown;
};

TEST_F(FilesTest, SaveWritesTheSurfaceAsSeenAndLoadingItBackIsOneToOne) {
  const std::vector<std::uint32_t> seen = SurfaceCopy();
  const QString name = Dir.filePath("whole.bmp");
  Answer(name);
  FCover->SaveFullScreen();
  const QImage saved = QImageReader(name, "BMP").read().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(saved.size(), QSize(FCover->Width(), FCover->Height()));
  std::vector<std::uint32_t> pixels;
  for (int y = 0; y < saved.height(); ++y)
    for (int x = 0; x < saved.width(); ++x) pixels.push_back(Rgb(saved.pixel(x, y)));
  EXPECT_EQ(pixels, seen);
  EXPECT_EQ(SurfaceCopy(), seen) << "the drawings survive the dialog";

  // The dialog offers the last name again; loading the file back changes nothing.
  FCover->TBrefreshClick();
  Answer(name);
  FCover->LoadImageFullScreen();
  EXPECT_TRUE(Shown.isEmpty()) << Shown.toStdString();
  EXPECT_EQ(SurfaceCopy(), seen);
  Answer(QString());
  FCover->SaveFullScreen();
  EXPECT_EQ(QFileInfo(Offered).fileName(), QStringLiteral("whole.bmp"));
  // The picture lives on the surface only: a refresh brings the frozen screen back.
  FCover->TBrefreshClick();
  EXPECT_EQ(DiffCount(0, 0, 800, 800), 0);
}

TEST_F(FilesTest, LoadsStretchIntoTheirTargetAndARegionLoadTouchesOnlyItsInterior) {
  const QString quarters = Write("quarters.bmp", Quarters(400, 300), "BMP");
  Answer(quarters);
  FCover->LoadImageFullScreen();
  EXPECT_EQ(SurfacePixel(0, 0), 0x00FF00u);
  EXPECT_EQ(SurfacePixel(390, 390), 0x00FF00u);
  EXPECT_EQ(SurfacePixel(410, 410), 0x0000FFu);
  EXPECT_EQ(SurfacePixel(799, 799), 0x0000FFu);

  FCover->TBrefreshClick();
  const std::vector<std::uint32_t> before = SurfaceCopy();
  Answer(quarters);
  FCover->LoadImageIntoRect(201, 201, 299, 249);
  const std::vector<std::uint32_t> after = SurfaceCopy();
  const std::size_t w = std::size_t(FCover->Width());
  for (std::size_t i = 0; i < after.size(); ++i) {
    const int x = int(i % w), y = int(i / w);
    const bool inside = x >= 201 && x < 299 && y >= 201 && y < 249;
    if (!inside) {
      ASSERT_EQ(after[i], before[i]) << x << "," << y;
    }
  }
  EXPECT_EQ(SurfacePixel(201, 201), 0x00FF00u);
  EXPECT_EQ(SurfacePixel(298, 248), 0x0000FFu);
}

TEST_F(FilesTest, BadFilesAreReportedAndTheDrawingsStay) {
  const std::vector<std::uint32_t> drawn = SurfaceCopy();
  const QString names[] = {
      Dir.filePath("does-not-exist.bmp"),           // a typed name of no file
      Write("picture.png", Quarters(8, 8), "PNG"),  // a picture kind that cannot be drawn
      Write("renamed.bmp", Quarters(8, 8), "PNG"),  // a PNG with a bitmap's name
      Write("icon.ico", Quarters(16, 16), "BMP"),   // an icon
      Write("unknown.xyz", Quarters(8, 8), "BMP"),  // an extension no picture has
  };
  for (const QString& name : names) {
    SCOPED_TRACE(name.toStdString());
    Shown.clear();
    Answer(name, true);
    FCover->LoadImageFullScreen();
    EXPECT_EQ(Shown, QStringLiteral("打开文件错误"));
    EXPECT_EQ(SurfaceCopy(), drawn);
  }
  // Cancelled, either dialog leaves the drawings.
  Answer(QString());
  FCover->LoadImageFullScreen();
  Answer(QString());
  FCover->SaveFullScreen();
  EXPECT_EQ(SurfaceCopy(), drawn);
  EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files).size(), 4);
}

TEST_F(FilesTest, DialogsAreChineseListBitmapsOfAnyCaseAndEnterConfirmsThem) {
  for (const char* name : {"lower.bmp", "Mixed.Bmp"}) Write(name, Quarters(40, 40), "BMP");
  Write("UPPER.BMP", Quarters(40, 40).mirrored(true, true), "BMP");
  Write("other.png", Quarters(8, 8), "PNG");
  Write("bmp.txt", Quarters(8, 8), "BMP");
  const QStringList bitmaps{"Mixed.Bmp", "UPPER.BMP", "lower.bmp"};
  // A first load from the folder, so that the dialogs open there.
  Answer(Dir.filePath("lower.bmp"));
  FCover->LoadImageFullScreen();
  FCover->TBrefreshClick();

  TShownDialog open;
  AnswerNextModal([&](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    open = ReadAndType(dialog, QStringLiteral("UPPER.BMP"), Qt::Key_Return);
  });
  FCover->LoadImageFullScreen();
  EXPECT_EQ(open.Title, QStringLiteral("打开"));
  EXPECT_EQ(QStringList(open.English.begin(), open.English.end()).join(" | ").toStdString(), "");
  EXPECT_EQ(open.Filters, QStringList{"bitmap (*.bmp)"});
  EXPECT_EQ(open.FilterShown, QStringLiteral("bitmap (*.bmp)"));
  EXPECT_EQ(open.Listed, bitmaps);
  EXPECT_EQ(SurfacePixel(0, 0), 0x0000FFu) << "the file named on Enter was not loaded";
  EXPECT_EQ(SurfacePixel(799, 799), 0x00FF00u);

  // The save dialog, in the folder of the last save, is confirmed with the keypad's Enter.
  FCover->TBrefreshClick();
  Answer(Dir.filePath("first.bmp"));
  FCover->SaveFullScreen();
  TShownDialog save;
  AnswerNextModal([&](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    save = ReadAndType(dialog, QStringLiteral("typed"), Qt::Key_Enter, Qt::KeypadModifier);
  });
  FCover->SaveFullScreen();
  EXPECT_EQ(save.Title, QStringLiteral("另存为"));
  EXPECT_EQ(QStringList(save.English.begin(), save.English.end()).join(" | ").toStdString(), "");
  EXPECT_EQ(save.FilterShown, QStringLiteral("bitmap (*.bmp)"));
  EXPECT_EQ(save.Listed, (QStringList{"Mixed.Bmp", "UPPER.BMP", "first.bmp", "lower.bmp"}));
  EXPECT_EQ(QImageReader(Dir.filePath("typed.BMP"), "BMP").size(), QSize(FCover->Width(), FCover->Height()));
}

}  // namespace
