// Captions: the line typed after a click, Backspace and Enter, Chinese text from an input method,
// the cursor rectangle the input method is told, and the font dialog, in Chinese and confirmed
// from the keyboard.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstring>

#include "platform/colorbox.h"
#include "platform/fontdialog.h"
#include "platform/image.h"
#include "platform/qt/qtedits.h"
#include "platform/qt/qtraster.h"
#include "shell/form1.h"
#include "surface/fcover.h"
#include "tests/component/harness.h"

namespace {

const TFont DefaultCaption{"MS Sans Serif", 20, clRed, 0};

class CaptionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetToIdle();
    StartWorking();
  }
  void TearDown() override { ResetToIdle(); }

  static void Click(QPoint p) {
    QTest::mousePress(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, p);
    QTest::mouseRelease(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, p);
  }
  static void Type(const QString& text) { QTest::keyClicks(QtOf(FCover->Ed), text); }
  static void Key(Qt::Key key) { QTest::keyClick(QtOf(FCover->Ed), key); }
  // Text from an input method: a pre-edit while composing, then the commit.
  static void Compose(const QString& preedit) {
    QInputMethodEvent event(preedit, {});
    QCoreApplication::sendEvent(QtOf(FCover->Ed), &event);
  }
  static void Commit(const QString& text) {
    QInputMethodEvent event;
    event.setCommitString(text);
    QCoreApplication::sendEvent(QtOf(FCover->Ed), &event);
  }

  // The window pixels as they are now, to build what they must become.
  static TBitmap Now() {
    const TBitmap& pixels = FCover->PaintBox1->Pixels();
    TBitmap copy(pixels.Width(), pixels.Height());
    for (int y = 0; y < pixels.Height(); ++y)
      std::memcpy(copy.ScanLine(y), pixels.ScanLine(y), sizeof(std::uint32_t) * pixels.Width());
    return copy;
  }
  static void Erase(TBitmap& expected, const TRect& box) {
    TCanvas canvas(&expected);
    canvas.CopyRect(box, *FCover->Image1->Canvas(), box);
  }
  static void Write(TBitmap& expected, int x, int y, const QString& text, const TFont& font = DefaultCaption) {
    TCanvas canvas(&expected);
    canvas.Font = font;
    canvas.Brush.Style = bsClear;
    canvas.TextOut(x, y, Str(text));
  }
  static TRect Extent(int x, int y, const QString& text, const TFont& font = DefaultCaption) {
    TBitmap scratch(8, 8);
    TCanvas canvas(&scratch);
    canvas.Font = font;
    return canvas.TextBounds(x, y, Str(text));
  }
  // Pixels of the surface that differ from `expected`.
  static int Mismatches(const TBitmap& expected) {
    int count = 0;
    for (int y = 0; y < expected.Height(); ++y)
      for (int x = 0; x < expected.Width(); ++x)
        if (SurfacePixel(x, y) != Rgb(expected.Pixel(x, y))) ++count;
    return count;
  }
  static int RedPixels() {
    int count = 0;
    const TBitmap& pixels = FCover->PaintBox1->Pixels();
    for (int y = 0; y < pixels.Height(); ++y)
      for (int x = 0; x < pixels.Width(); ++x)
        if (Rgb(pixels.Pixel(x, y)) == 0xFF0000 && BackgroundPixel(x, y) != 0xFF0000) ++count;
    return count;
  }
  // The font dialog's colour list.
  static TColorBox* ColourBox(QWidget* dialog) {
    auto* widget = dialog->findChild<TQtColorBoxWidget*>();
    return widget ? &widget->Box() : nullptr;
  }
  // Where the input method is told the text goes on, in surface pixels.
  static QRect CaretOnSurface() {
    return QtOf(FCover->Ed)->inputMethodQuery(Qt::ImCursorRectangle).toRect().translated(QtOf(FCover->Ed)->pos());
  }
};

TEST_F(CaptionTest, TypedLineIsDrawnHalfItsSizeAboveTheClickAndCountsBytes) {
  Click({300, 200});
  EXPECT_EQ(FCover->TextOrigin(), (TPoint{300, 200}));
  Type(QStringLiteral("AB"));
  EXPECT_EQ(FCover->TextLen(), 2);
  TBitmap expected = Now();
  // Each change draws the whole line again over what is there.
  Erase(expected, {0, 0, expected.Width(), expected.Height()});
  Write(expected, 300, 190, QStringLiteral("A"));
  Write(expected, 300, 190, QStringLiteral("AB"));
  EXPECT_EQ(Mismatches(expected), 0);
  EXPECT_GT(RedPixels(), 50);

  // A Chinese character from the input method counts two.
  Commit(QStringLiteral("你"));
  EXPECT_EQ(FCover->TextLen(), 4);
  Write(expected, 300, 190, QStringLiteral("AB你"));
  EXPECT_EQ(Mismatches(expected), 0);
  Commit(QStringLiteral("好a"));
  EXPECT_EQ(FCover->TextLen(), 7);
  // The euro sign is one byte of the code page; a character it lacks (Korean) counts two.
  Commit(QStringLiteral("€"));
  EXPECT_EQ(FCover->TextLen(), 8);
  Commit(QStringLiteral("한"));
  EXPECT_EQ(FCover->TextLen(), 10);
}

TEST_F(CaptionTest, BackspaceRestoresTheBoxStrokesIncludedAndRedrawsTheRest) {
  // A stroke inside the box Backspace will erase, and one outside it.
  QTest::mousePress(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, {320, 215});
  QTest::mouseMove(QtOf(FCover->PaintBox1), {336, 220});
  QTest::mouseRelease(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, {336, 220});
  QTest::mousePress(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, {400, 300});
  QTest::mouseMove(QtOf(FCover->PaintBox1), {420, 310});
  QTest::mouseRelease(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, {420, 310});
  ASSERT_GT(DiffCount(300, 190, 340, 225), 0);
  TBitmap expected = Now();

  Click({300, 200});
  Type(QStringLiteral("AB"));
  Key(Qt::Key_Backspace);
  EXPECT_EQ(FCover->TextLen(), 1);
  EXPECT_EQ(QtOf(FCover->Ed)->text(), QStringLiteral("A"));
  Erase(expected, {300, 190, 340, 225});
  Erase(expected, Extent(300, 190, QStringLiteral("AB")));
  Write(expected, 300, 190, QStringLiteral("A"));
  EXPECT_EQ(Mismatches(expected), 0);
  EXPECT_GT(DiffCount(400, 295, 425, 315), 0);  // the stroke outside stays

  // Down to an empty line, then once more: nothing changes.
  Key(Qt::Key_Backspace);
  EXPECT_EQ(FCover->TextLen(), 0);
  const TBitmap empty = Now();
  Key(Qt::Key_Backspace);
  EXPECT_EQ(FCover->TextLen(), 0);
  EXPECT_EQ(Mismatches(empty), 0);
}

TEST_F(CaptionTest, NoRemnantOfAWideGlyph) {
  // A "W" at 20 points is wider than the 20 pixels the erase box allows it.
  ASSERT_GT(Extent(300, 190, QStringLiteral("W")).Right, 320);
  const TBitmap before = Now();
  Click({300, 200});
  Type(QStringLiteral("W"));
  ASSERT_GT(DiffCount(0, 0, 800, 800), 0);
  Key(Qt::Key_Backspace);
  EXPECT_EQ(Mismatches(before), 0);
}

TEST_F(CaptionTest, EnterStartsTheNextLineBelowAndAReleaseANewLine) {
  Click({300, 200});
  Type(QStringLiteral("AB"));
  Key(Qt::Key_Return);
  EXPECT_EQ(FCover->TextOrigin(), (TPoint{300, 226}));
  EXPECT_EQ(FCover->TextLen(), 0);
  EXPECT_TRUE(QtOf(FCover->Ed)->text().isEmpty());
  Type(QStringLiteral("C"));
  TBitmap expected = Now();
  Erase(expected, {0, 0, expected.Width(), expected.Height()});
  Write(expected, 300, 190, QStringLiteral("A"));
  Write(expected, 300, 190, QStringLiteral("AB"));
  Write(expected, 300, 216, QStringLiteral("C"));
  EXPECT_EQ(Mismatches(expected), 0);

  // A release elsewhere starts a new line there; the old lines stay.
  Click({100, 500});
  EXPECT_EQ(FCover->TextOrigin(), (TPoint{100, 500}));
  Type(QStringLiteral("D"));
  Write(expected, 100, 490, QStringLiteral("D"));
  EXPECT_EQ(Mismatches(expected), 0);
  // The refresh empties the line too.
  Type(QStringLiteral("E"));
  FCover->TBrefreshClick();
  EXPECT_TRUE(QtOf(FCover->Ed)->text().isEmpty());
}

TEST_F(CaptionTest, ComposingDrawsNothingAndItsKeysStayWithTheInputMethod) {
  Click({300, 200});
  Type(QStringLiteral("A"));
  const TBitmap typed = Now();
  Compose(QStringLiteral("ni"));
  EXPECT_EQ(Mismatches(typed), 0);
  EXPECT_EQ(FCover->TextLen(), 1);
  // The Enter and Backspace an input method takes while composing do nothing to the caption.
  Key(Qt::Key_Backspace);
  Key(Qt::Key_Return);
  EXPECT_EQ(FCover->TextOrigin(), (TPoint{300, 200}));
  EXPECT_EQ(FCover->TextLen(), 1);
  EXPECT_EQ(Mismatches(typed), 0);
  Commit(QStringLiteral("你"));
  EXPECT_EQ(FCover->TextLen(), 3);
  // Composing over, the keys are the caption's again.
  Key(Qt::Key_Return);
  EXPECT_EQ(FCover->TextOrigin(), (TPoint{300, 226}));
}

TEST_F(CaptionTest, InputMethodIsToldWhereTheLineGoesOn) {
  Click({300, 200});
  QtOf(FCover->Ed)->setFocus();
  EXPECT_EQ(CaretOnSurface().topLeft(), QPoint(300, 190));
  Type(QStringLiteral("AB"));
  TBitmap scratch(8, 8);
  TCanvas canvas(&scratch);
  canvas.Font = DefaultCaption;
  const QRect caret = CaretOnSurface();
  EXPECT_EQ(caret.topLeft(), QPoint(300 + canvas.TextWidth("AB"), 190));
  EXPECT_EQ(caret.height(), canvas.TextHeight("AB"));
  // What the toolkit hands the input method, in window coordinates, is the same place.
  QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle);
  EXPECT_EQ(QGuiApplication::inputMethod()->cursorRectangle().toRect().topLeft(), caret.topLeft());
  Key(Qt::Key_Return);
  EXPECT_EQ(CaretOnSurface().topLeft(), QPoint(300, 216));
}

// From here on a confirmed font stays the caption font for the life of the program: these two
// tests come last in this file.
TEST_F(CaptionTest, FontDialogCancelledChangesNothingConfirmedSetsFontSizeAndColour) {
  Click({300, 200});
  Type(QStringLiteral("A"));
  const TBitmap drawn = Now();
  TFont shown;
  AnswerNextModal([&](QWidget* dialog) {
    auto* chooser = dialog->findChild<QFontDialog*>();
    auto* colour = ColourBox(dialog);
    ASSERT_TRUE(chooser && colour);
    EXPECT_EQ(dialog->parentWidget(), QtOf(FCover));  // above the surface
    shown = TFontOf(chooser->currentFont(), colour->Selected());
    // A user changes everything, then cancels.
    QFont big = chooser->currentFont();
    big.setPointSize(48);
    chooser->setCurrentFont(big);
    colour->Select(clBlue);
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
  });
  FCover->TBFontClick();
  // Preset with the caption's size and colour, in the window's face (here its fallback).
  EXPECT_EQ(shown.Size, 20);
  EXPECT_EQ(shown.Color, clRed);
  EXPECT_EQ(shown.Name, Str(ResolveFontFace(QStringLiteral("MS Sans Serif"))));
  EXPECT_EQ(FCover->TextFont(), nullptr);
  EXPECT_EQ(FCover->TextSize(), 20);
  EXPECT_EQ(FCover->TextColor(), clRed);
  EXPECT_EQ(Mismatches(drawn), 0);  // the drawings under the dialog survive

  AnswerNextModal([&](QWidget* dialog) {
    auto* chooser = dialog->findChild<QFontDialog*>();
    QFont big = chooser->currentFont();
    big.setPointSize(36);
    big.setUnderline(true);
    chooser->setCurrentFont(big);
    ColourBox(dialog)->Select(clBlue);
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  FCover->TBFontClick();
  ASSERT_EQ(FCover->TextFont(), &FCover->FontDialog1->Font);
  EXPECT_EQ(FCover->TextSize(), 36);
  EXPECT_EQ(FCover->TextColor(), clBlue);
  EXPECT_EQ(FCover->TextFont()->Style, unsigned(fsUnderline));
  EXPECT_EQ(Mismatches(drawn), 0);

  // 36 points: 18 pixels above the origin, 48 pixels a line; it lasts into the next working state.
  ResetToIdle();
  StartWorking();
  Click({300, 200});
  Type(QStringLiteral("A"));
  TBitmap expected = Now();
  Erase(expected, {0, 0, expected.Width(), expected.Height()});
  Write(expected, 300, 182, QStringLiteral("A"), *FCover->TextFont());
  EXPECT_EQ(Mismatches(expected), 0);
  Key(Qt::Key_Return);
  EXPECT_EQ(FCover->TextOrigin(), (TPoint{300, 248}));

  // It opens showing the last confirmed font.
  AnswerNextModal([&](QWidget* dialog) {
    shown = TFontOf(dialog->findChild<QFontDialog*>()->currentFont(), ColourBox(dialog)->Selected());
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
  });
  FCover->TBFontClick();
  EXPECT_EQ(shown, *FCover->TextFont());
}

TEST_F(CaptionTest, FontDialogIsChineseAndEnterConfirmsATypedSize) {
  const struct {
    const char* Size;
    std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>> Keys;
  } cases[] = {
      {"36", {{Qt::Key_Return, {}}}},
      {"12", {{Qt::Key_Tab, {}}, {Qt::Key_Return, {}}}},
      {"48", {{Qt::Key_Enter, Qt::KeypadModifier}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Size);
    QString title;
    std::vector<QString> english;
    bool closed = false;
    AnswerNextModal([&](QWidget* dialog) {
      title = dialog->windowTitle();
      english = EnglishTexts(dialog);
      QLineEdit* size = nullptr;
      for (QLineEdit* edit : dialog->findChild<QFontDialog*>()->findChildren<QLineEdit*>())
        if (edit->validator()) size = edit;  // the one field that takes only numbers
      ASSERT_NE(size, nullptr);
      QApplication::setActiveWindow(dialog);
      size->setFocus();
      size->selectAll();
      QTest::keyClicks(size, QString::fromLatin1(c.Size));
      for (const auto& [key, modifiers] : c.Keys) QTest::keyClick(QApplication::focusWidget(), key, modifiers);
      closed = !dialog->isVisible();
      if (!closed) static_cast<QDialog*>(dialog)->reject();
    });
    FCover->TBFontClick();
    EXPECT_TRUE(closed) << "the keys did not close the dialog";
    EXPECT_EQ(title, QStringLiteral("字体"));
    EXPECT_EQ(QStringList(english.begin(), english.end()).join(" | ").toStdString(), "");
    ASSERT_EQ(FCover->TextFont(), &FCover->FontDialog1->Font) << "not confirmed";
    EXPECT_EQ(FCover->TextSize(), QString::fromLatin1(c.Size).toInt());
  }
}

}  // namespace
