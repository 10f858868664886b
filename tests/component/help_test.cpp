// The help window: its layout at several sizes, its faces, and the usage text — read-only but
// selectable, scrollable both ways, closed by its button and kept as it was for the next showing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRawFont>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>

#include "platform/application.h"
#include "platform/sysutils.h"
#include "shell/foption.h"
#include "tests/component/harness.h"

namespace {

class HelpTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetToIdle(); }
  void TearDown() override {
    QtOf(FOption)->hide();
    QtOf(FOption)->resize(QSize(TFOption::OuterWidth, TFOption::OuterHeight));
    QtOf(FOption->RichEdit1)->moveCursor(QTextCursor::Start);
    QtOf(FOption->RichEdit1)->verticalScrollBar()->setValue(0);
    QtOf(FOption->RichEdit1)->horizontalScrollBar()->setValue(0);
    ResetToIdle();
  }

  static void ShowAt(int width, int height) {
    QtOf(FOption)->resize(width, height);
    QtOf(FOption)->show();
    Application->ProcessMessages();
  }

  // Runs the window modally; `whileShown` runs once it is up and must leave it open. Button1
  // closes it; should the button fail to, the window is closed after a while and that is a
  // failure rather than a hang.
  static void RunModal(const std::function<void()>& whileShown) {
    bool closedByButton = false;
    AnswerNextModal([&](QWidget* open) {
      ASSERT_EQ(open, QtOf(FOption));
      whileShown();
      QTest::mouseClick(QtOf(FOption->Button1), Qt::LeftButton);
      closedByButton = !QtOf(FOption)->isVisible();
    });
    QTimer rescue;
    rescue.setSingleShot(true);
    QObject::connect(&rescue, &QTimer::timeout, QtOf(FOption), [] { FOption->Close(); });
    rescue.start(5000);
    FOption->ShowModal();
    EXPECT_TRUE(closedByButton);
    EXPECT_FALSE(QtOf(FOption)->isVisible());
  }
};

// What a user selects, with the editor's paragraph separators as newlines.
QString Selected() {
  return QtOf(FOption->RichEdit1)->textCursor().selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}

}  // namespace

TEST_F(HelpTest, PanelsKeepToTheEdgesAndTheTextTakesTheRest) {
  QtOf(FOption)->show();
  Application->ProcessMessages();
  EXPECT_EQ(QtOf(FOption)->windowTitle(), QStringLiteral("Quilmar设置"));
  // No frame offscreen, so the window itself is the outer size; it is centred on the screen.
  EXPECT_EQ(QtOf(FOption)->frameGeometry().size(), QSize(TFOption::OuterWidth, TFOption::OuterHeight));
  const QPoint centre = QtOf(FOption)->screen()->geometry().center();
  EXPECT_LE((QtOf(FOption)->frameGeometry().center() - centre).manhattanLength(), 1);
  EXPECT_TRUE(QtOf(FOption)->windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_LT(QtOf(FOption)->minimumHeight(), 330);
  EXPECT_EQ(QtOf(FOption)->palette().color(QPalette::Window), QtOf(FOption)->palette().color(QPalette::Button));

  const QSize sizes[] = {{696, 505}, {1000, 760}, {420, 330}};
  for (const QSize& size : sizes) {
    ShowAt(size.width(), size.height());
    const int w = size.width(), h = size.height();
    ASSERT_EQ(QtOf(FOption)->size(), size);
    EXPECT_EQ(QtOf(FOption->Panel1)->geometry(), QRect(0, 0, w, 121)) << w << "x" << h;
    EXPECT_EQ(QtOf(FOption->Panel2)->geometry(), QRect(0, h - 55, w, 55)) << w << "x" << h;
    EXPECT_EQ(QtOf(FOption->RichEdit1)->geometry(), QRect(0, 121, w, h - 121 - 55)) << w << "x" << h;
    EXPECT_EQ(QtOf(FOption->Button1)->parentWidget(), QtOf(FOption->Panel2));
    EXPECT_EQ(QtOf(FOption->Button1)->geometry(), QRect(304, 16, 129, 33));
    EXPECT_EQ(QtOf(FOption->Label1)->parentWidget(), QtOf(FOption->Panel1));
    EXPECT_EQ(QtOf(FOption->Label1)->geometry(), QRect(184, 16, 306, 33));
    EXPECT_EQ(QtOf(FOption->Label2)->parentWidget(), QtOf(FOption->Panel1));
    EXPECT_EQ(QtOf(FOption->Label2)->geometry(), QRect(64, 72, 566, 33));
  }

  // The title lines in the display face: Chinese glyphs and not cut off by their labels.
  for (QLabel* label : {QtOf(FOption->Label1), QtOf(FOption->Label2)}) {
    const QFont font = label->font();
    EXPECT_EQ(font.pixelSize(), TFOption::TitlePixels);
    EXPECT_TRUE(QRawFont::fromFont(font).supportsCharacter(U'版')) << font.family().toStdString();
    const QRect ink = QFontMetrics(font).tightBoundingRect(label->text());
    EXPECT_LE(ink.width(), label->width()) << label->text().toStdString();
    EXPECT_LE(ink.height(), label->height()) << label->text().toStdString();
  }
  EXPECT_EQ(QtOf(FOption->Label1)->text(), QStringLiteral("Quilmar程序,版本1.0"));
  EXPECT_TRUE(QtOf(FOption->Label2)->text().startsWith(QStringLiteral("作者:")));
  EXPECT_EQ(QtOf(FOption->RichEdit1)->font().pixelSize(), TFOption::TextPixels);
  EXPECT_TRUE(QRawFont::fromFont(QtOf(FOption->RichEdit1)->font()).supportsCharacter(U'说'));
}

TEST_F(HelpTest, TheTextIsReadOnlySelectableScrollableAndKeptBetweenShowings) {
  QPlainTextEdit* text = QtOf(FOption->RichEdit1);
  const QString all = text->toPlainText();
  EXPECT_EQ(all.split(QLatin1Char('\n')).size(), 59);
  EXPECT_EQ(text->blockCount(), 59);
  for (const char* caption :
       {"开始绘图", "停止绘图", "退出", "Ctrl+F1", "自由画图", "橡皮", "选取", "显示工具栏", "Ctrl+Z", "Ctrl+Y"})
    EXPECT_TRUE(all.contains(QString::fromUtf8(caption))) << caption;

  ShowAt(420, 330);
  text->setFocus();
  // Typing, deleting and pasting change nothing.
  QTest::keyClicks(text, QStringLiteral("abc"));
  QTest::keyClick(text, Qt::Key_Return);
  QTest::keyClick(text, Qt::Key_Delete);
  QTest::keyClick(text, Qt::Key_Backspace);
  QTest::keySequence(text, QKeySequence::Paste);
  EXPECT_EQ(text->toPlainText(), all);

  // Selection by keyboard: all of it, and a range from the start.
  QTest::keySequence(text, QKeySequence::SelectAll);
  EXPECT_EQ(Selected(), all);
  QTest::keySequence(text, QKeySequence::MoveToStartOfDocument);
  for (int i = 0; i < 5; ++i) QTest::keyClick(text, Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(Selected(), all.left(5));
  // And by mouse: a drag along the first line (starting outside a selection, or it drags that).
  text->moveCursor(QTextCursor::Start);
  text->verticalScrollBar()->setValue(0);
  text->horizontalScrollBar()->setValue(0);
  const int y = text->cursorRect(QTextCursor(text->document())).center().y();
  QTest::mousePress(text->viewport(), Qt::LeftButton, {}, QPoint(2, y));
  // QTest's move carries no button; a drag needs one held.
  QMouseEvent drag(QEvent::MouseMove, QPointF(200, y), text->viewport()->mapToGlobal(QPointF(200, y)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(text->viewport(), &drag);
  QTest::mouseRelease(text->viewport(), Qt::LeftButton, {}, QPoint(200, y));
  const QString dragged = Selected();
  EXPECT_GE(dragged.size(), 5);
  EXPECT_TRUE(all.startsWith(dragged)) << dragged.toStdString();

  // Both bars move in a small window: a line longer than the view stays one line.
  const QTextLayout* first = text->document()->firstBlock().layout();
  ASSERT_EQ(first->lineCount(), 1);
  EXPECT_GT(first->lineAt(0).naturalTextWidth(), text->viewport()->width());
  QScrollBar* down = text->verticalScrollBar();
  QScrollBar* across = text->horizontalScrollBar();
  ASSERT_GT(down->maximum(), 0);
  ASSERT_GT(across->maximum(), 0);
  down->setValue(down->maximum() / 2);
  across->setValue(across->maximum() / 2);
  const int downAt = down->value();
  const int acrossAt = across->value();
  EXPECT_GT(downAt, 0);
  EXPECT_GT(acrossAt, 0);
  QtOf(FOption)->hide();
  Application->ProcessMessages();

  // The button closes the modal window; the next showing has the same place and selection, and a
  // window already up refuses to be made modal.
  RunModal([] {});
  RunModal([&] {
    EXPECT_EQ(down->value(), downAt);
    EXPECT_EQ(across->value(), acrossAt);
    EXPECT_EQ(Selected(), dragged);
    EXPECT_THROW(FOption->ShowModal(), Exception);
  });
}
