// The tool bar: its controls, the width field with its up-down, the colour list, the move
// buttons and the stop button.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>

#include "platform/application.h"
#include "platform/qt/qtmenus.h"
#include "platform/qt/qtpictures.h"
#include "platform/raster/colors.h"
#include "shell/form1.h"
#include "surface/fcover.h"
#include "platform/qt/qtapplication.h"
#include "tests/component/harness.h"

namespace {

class ToolBarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetToIdle();
    StartWorking();
  }
  void TearDown() override {
    FCover->MElinewidth->SetText(" 3");
    QtOf(FCover->ToolBar1)->move(216, 0);
    ResetToIdle();
  }

  // Types into the width field as a user does: select what is there, then the keys.
  void Type(const QString& keys) {
    QtOf(FCover->MElinewidth)->setFocus();
    QtOf(FCover->MElinewidth)->selectAll();
    for (QChar c : keys) {
      if (c == u'\b')
        QTest::keyClick(QtOf(FCover->MElinewidth), Qt::Key_Backspace);
      else
        QTest::keyClicks(QtOf(FCover->MElinewidth), QString(c));
    }
  }
};

}  // namespace

TEST_F(ToolBarTest, ControlsStandInOrderWithTheirHints) {
  struct TControl {
    QWidget* Control;
    int Left;
    int Width;
    const char* Hint;
  };
  const TControl controls[] = {
      {QtOf(FCover->ToolButton1), 23, 23, "停止"},
      {QtOf(FCover->TBpen), 46, 23, "自由画图"},
      {QtOf(FCover->TBline), 69, 23, "直线"},
      {QtOf(FCover->TBcircle), 92, 23, "画圆"},
      {QtOf(FCover->TBrect), 115, 23, "矩形"},
      {QtOf(FCover->TBroundrect), 138, 23, "圆角矩形"},
      {QtOf(FCover->TBdiamond), 161, 23, "菱形"},
      {QtOf(FCover->TBselect), 184, 23, "选取"},
      {QtOf(FCover->TBeraser), 207, 23, "橡皮"},
      {QtOf(FCover->TBrefresh), 230, 23, "刷新"},
      {QtOf(FCover->TBwhite), 253, 23, "屏幕变白板"},
      {QtOf(FCover->TBsave), 276, 23, "保存全屏至文件"},
      {QtOf(FCover->TBopen), 299, 23, "打开文件图覆盖全屏"},
      {QtOf(FCover->TBFont), 322, 23, "设置字体"},
      {QtOf(FCover->MElinewidth), 345, 21, "设置线宽"},
      {QtOf(FCover->UpDown1), 366, 15, ""},
      {QtOf(FCover->CBColor), 381, 41, "设置颜色"},
      {QtOf(FCover->TBhelp), 422, 23, "使用说明"},
      {QtOf(FCover->ToolButton3), 445, 23, "工具上移"},
      {QtOf(FCover->ToolButton4), 468, 23, "工具下移"},
      {QtOf(FCover->ToolButton5), 491, 23, "工具左移"},
      {QtOf(FCover->ToolButton6), 514, 23, "工具右移"},
  };
  for (const TControl& c : controls) {
    QWidget* w = c.Control;
    EXPECT_EQ(w->geometry(), QRect(c.Left, 2, c.Width, 22)) << c.Hint;
    EXPECT_EQ(w->toolTip(), QString::fromUtf8(c.Hint)) << c.Left;
    if (auto* button = qobject_cast<QToolButton*>(w)) {
      EXPECT_FALSE(button->icon().isNull()) << c.Hint;
    }
  }
  EXPECT_EQ(QtOf(FCover->TBstop)->geometry(), QRect(0, 2, 23, 22));
  EXPECT_FALSE(QtOf(FCover->TBstop)->isEnabled());
  EXPECT_FALSE(QtOf(FCover->TBstop)->toolTip().isEmpty());
  EXPECT_EQ(QtOf(FCover->ToolBar1)->geometry(), QRect(216, 0, 540, 28));
  EXPECT_EQ(QtOf(FCover->ToolBar1)->palette().color(QPalette::Window), QColor(0x80, 0x00, 0x80));
  EXPECT_EQ(FCover->ImageList1.Count(), 21);
}

// On a scaled screen every glyph is drawn at the screen's ratio: as many device pixels as the
// ratio gives, with finer detail than the 16x16 picture stretched; at ratio 1 it is that picture.
TEST(ToolBarGlyphs, AreDrawnAtTheDeviceRatioNotStretched) {
  for (int index = 0; index < FCover->ImageList1.Count(); ++index) {
    SCOPED_TRACE(index);
    const QIcon icon = QtIcon(FCover->ImageList1, index);
    const QImage plain =
        QtImage(FCover->ImageList1.Picture(index)).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(icon.pixmap(QSize(16, 16), 1.0).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied), plain);
    bool blank = true;  // the unused place of the list
    for (int y = 0; y < plain.height(); ++y)
      for (int x = 0; x < plain.width(); ++x) blank = blank && qAlpha(plain.pixel(x, y)) == 0;
    for (const qreal ratio : {1.25, 1.5, 1.75, 2.0}) {
      const QPixmap sharp = icon.pixmap(QSize(16, 16), ratio);
      const int side = qRound(16 * ratio);
      ASSERT_EQ(sharp.size(), QSize(side, side)) << ratio;
      EXPECT_DOUBLE_EQ(sharp.devicePixelRatio(), ratio);
      const QImage stretched = plain.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
      if (blank) continue;
      EXPECT_NE(sharp.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied), stretched) << ratio;
    }
  }
  // The region menu's pictures too, at their own sizes.
  EXPECT_EQ(QtAction(*FCover->N4)->icon().pixmap(QSize(18, 18), 1.5).size(), QSize(27, 27));
  EXPECT_EQ(QtAction(*FCover->N5)->icon().pixmap(QSize(19, 17), 2.0).size(), QSize(38, 34));
}

TEST_F(ToolBarTest, TypedWidthsAreTrimmedAndTakenAsTheyAre) {
  struct TCase {
    const char* Keys;
    const char* Text;
    int Width;
  };
  const TCase cases[] = {{"7", " 7", 7}, {"99", "99", 99}, {"0", " 0", 0}, {"00", "00", 0}, {"12", "12", 12}};
  for (const TCase& c : cases) {
    Type(QString::fromLatin1(c.Keys));
    EXPECT_EQ(FCover->MElinewidth->Text(), String(c.Text)) << c.Keys;
    EXPECT_EQ(FCover->PenWidth(), c.Width) << c.Keys;
  }
  // Letters are refused by the mask.
  Type(QStringLiteral("8x"));
  EXPECT_EQ(FCover->PenWidth(), 8);
  // A digit in the second position alone: the blank beside it is trimmed.
  FCover->MElinewidth->SetText("34");
  QtOf(FCover->MElinewidth)->setFocus();
  QtOf(FCover->MElinewidth)->setCursorPosition(1);
  QTest::keyClick(QtOf(FCover->MElinewidth), Qt::Key_Backspace);
  EXPECT_EQ(FCover->PenWidth(), 4);
  EXPECT_EQ(QtOf(FCover->MElinewidth)->text(), QStringLiteral("_4"));
}

TEST_F(ToolBarTest, TheArrowsStepFromOneToTwentyWithoutWrapping) {
  FCover->MElinewidth->SetText(" 3");
  FCover->UpDown1->Step(1);
  EXPECT_EQ(FCover->PenWidth(), 4);
  for (int i = 0; i < 30; ++i) FCover->UpDown1->Step(1);
  EXPECT_EQ(FCover->PenWidth(), 20);
  EXPECT_EQ(FCover->MElinewidth->Text(), String("20"));
  for (int i = 0; i < 30; ++i) FCover->UpDown1->Step(-1);
  EXPECT_EQ(FCover->PenWidth(), 1);
  // The arrow keys in the field step the same way; the mouse on the arrows too.
  QtOf(FCover->MElinewidth)->setFocus();
  QTest::keyClick(QtOf(FCover->MElinewidth), Qt::Key_Up);
  EXPECT_EQ(FCover->PenWidth(), 2);
  QTest::mouseClick(QtOf(FCover->UpDown1), Qt::LeftButton, {}, QPoint(7, 3));
  EXPECT_EQ(FCover->PenWidth(), 3);
  QTest::mouseClick(QtOf(FCover->UpDown1), Qt::LeftButton, {}, QPoint(7, 19));
  EXPECT_EQ(FCover->PenWidth(), 2);
  // From a typed 99 an arrow lands inside the range.
  Type(QStringLiteral("99"));
  FCover->UpDown1->Step(-1);
  EXPECT_EQ(FCover->PenWidth(), 20);
}

TEST_F(ToolBarTest, AnEmptyWidthFieldReportsAndKeepsTheWidth) {
  Type(QStringLiteral("6"));
  ASSERT_EQ(FCover->PenWidth(), 6);
  QString text;
  QWidget* parent = nullptr;
  AnswerNextModal([&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    text = box->text();
    parent = box->parentWidget();
    box->close();
  });
  QtOf(FCover->MElinewidth)->setFocus();
  QtOf(FCover->MElinewidth)->setCursorPosition(1);
  QTest::keyClick(QtOf(FCover->MElinewidth), Qt::Key_Backspace);
  EXPECT_EQ(text, QStringLiteral("'' is not a valid integer value."));
  EXPECT_EQ(parent, QtOf(FCover));  // shown above the surface
  EXPECT_EQ(FCover->PenWidth(), 6);
  EXPECT_EQ(QtOf(FCover->MElinewidth)->text(), QStringLiteral("__"));
  Type(QStringLiteral("9"));
  EXPECT_EQ(FCover->PenWidth(), 9);
}

TEST_F(ToolBarTest, TheColourListHoldsTheFiftyNamedColours) {
  ASSERT_EQ(QtOf(FCover->CBColor)->count(), 50);
  EXPECT_EQ(QtOf(FCover->CBColor)->itemText(0), QStringLiteral("clBlack"));
  EXPECT_EQ(QtOf(FCover->CBColor)->itemText(9), QStringLiteral("clRed"));
  EXPECT_EQ(QtOf(FCover->CBColor)->itemText(16), QStringLiteral("clMoneyGreen"));
  EXPECT_EQ(QtOf(FCover->CBColor)->itemText(20), QStringLiteral("clActiveBorder"));
  EXPECT_EQ(QtOf(FCover->CBColor)->itemText(49), QStringLiteral("clWindowText"));
  EXPECT_EQ(FCover->PenColor(), clRed);
  EXPECT_EQ(QtOf(FCover->CBColor)->currentText(), QStringLiteral("clRed"));
  // A system colour is kept as its reference, not as the colour of the moment.
  QtOf(FCover->CBColor)->setCurrentIndex(QtOf(FCover->CBColor)->findText(QStringLiteral("clHighlight")));
  emit QtOf(FCover->CBColor)->activated(QtOf(FCover->CBColor)->currentIndex());
  EXPECT_EQ(FCover->PenColor(), clHighlight);
  QtOf(FCover->CBColor)->setCurrentIndex(15);
  emit QtOf(FCover->CBColor)->activated(15);
  EXPECT_EQ(FCover->PenColor(), clWhite);
  FCover->CBColor->Select(clRed);
  FCover->CBColorChange();
}

TEST_F(ToolBarTest, MoveButtonsPutTheBarAtEachEdge) {
  const int w = QtOf(FCover)->width(), h = QtOf(FCover)->height();
  QtOf(FCover->ToolButton4)->click();
  EXPECT_EQ(QtOf(FCover->ToolBar1)->pos(), QPoint(216, h - 28));
  QtOf(FCover->ToolButton6)->click();
  EXPECT_EQ(QtOf(FCover->ToolBar1)->pos(), QPoint(w - 540, h - 28));
  QtOf(FCover->ToolButton3)->click();
  EXPECT_EQ(QtOf(FCover->ToolBar1)->pos(), QPoint(w - 540, 0));
  QtOf(FCover->ToolButton5)->click();
  EXPECT_EQ(QtOf(FCover->ToolBar1)->pos(), QPoint(0, 0));
}

TEST_F(ToolBarTest, TheAreaTheBarLeavesShowsTheBackground) {
  // A drawing made before the bar covered it does not come back when the bar leaves.
  TCanvas* c = FCover->PaintBox1->Canvas();
  c->Brush.Color = clLime;
  c->FillRect(TRect{0, 0, 800, 120});
  c->Brush = TBrush{};
  QtOf(FCover->ToolButton4)->click();
  EXPECT_EQ(DiffCount(216, 0, 756, 28), 0);
  EXPECT_EQ(SurfacePixel(100, 100), 0x00FF00u);
}

TEST_F(ToolBarTest, StopButtonLeavesTheWorkingState) {
  QtOf(FCover->ToolButton1)->click();
  EXPECT_FALSE(Form1->Working());
  EXPECT_FALSE(QtOf(FCover)->isVisible());
  EXPECT_TRUE(QtOf(Form1->Bplay)->isVisible());
}

TEST_F(ToolBarTest, SettingsCarryOverBetweenWorkingStates) {
  Type(QStringLiteral("11"));
  QtOf(FCover->CBColor)->setCurrentIndex(3);
  emit QtOf(FCover->CBColor)->activated(3);
  QtOf(FCover->ToolButton4)->click();
  Form1->StopDrawing();
  StartWorking();
  EXPECT_EQ(FCover->PenWidth(), 11);
  EXPECT_EQ(FCover->PenColor(), clOlive);
  EXPECT_EQ(QtOf(FCover->ToolBar1)->y(), QtOf(FCover)->height() - 28);
  FCover->CBColor->Select(clRed);
  FCover->CBColorChange();
}

TEST(SystemColours, FollowTheDesktopPaletteWhereItHasThem) {
  // At start-up the program took the running desktop's palette.
  const QColor face = QApplication::palette().color(QPalette::Active, QPalette::Button);
  EXPECT_EQ(ColorToPixel(clBtnFace), face.rgb() & 0xFFFFFFu);
  EXPECT_EQ(ColorToPixel(clGrayText),
            QApplication::palette().color(QPalette::Disabled, QPalette::Text).rgb() & 0xFFFFFFu);

  QPalette palette;
  palette.setColor(QPalette::Active, QPalette::Button, QColor(1, 2, 3));
  palette.setColor(QPalette::Active, QPalette::Highlight, QColor(4, 5, 6));
  palette.setColor(QPalette::Active, QPalette::Base, QColor(7, 8, 9));
  const auto scheme = DesktopColorScheme(palette);
  EXPECT_EQ(scheme[clBtnFace & 0xFF], 0x030201u);
  EXPECT_EQ(scheme[clHighlight & 0xFF], 0x060504u);
  EXPECT_EQ(scheme[clMenuHighlight & 0xFF], 0x060504u);
  EXPECT_EQ(scheme[clWindow & 0xFF], 0x090807u);
  // No palette role stands for the captions or the desktop: those keep the classic colours.
  for (TColor kept : {clActiveCaption, clBackground, clCaptionText, clGradientActiveCaption})
    EXPECT_EQ(scheme[kept & 0xFF], ClassicSystemColorScheme()[kept & 0xFF]);
}
