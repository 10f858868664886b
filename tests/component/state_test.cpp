// The idle and working states: the switch, the main menu's enabling and check marks, the hot
// key, activation by a second copy and the error report.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "platform/application.h"
#include "platform/image.h"
#include "platform/qt/qtmenus.h"
#include "platform/qt/qtraster.h"
#include "platform/sysutils.h"
#include "shell/foption.h"
#include "shell/form1.h"
#include "surface/fcover.h"
#include "tests/component/harness.h"

namespace {

class StateTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetToIdle(); }
  void TearDown() override { ResetToIdle(); }
};

struct TEnableCase {
  TMenuItem* TForm1::*Item;
  const char* Name;
  bool Working;
  bool Idle;
};

const TEnableCase EnableCases[] = {
    {&TForm1::Nstart, "Nstart", false, true},
    {&TForm1::Nstop, "Nstop", true, false},
    {&TForm1::NPen, "NPen", true, false},
    {&TForm1::NLine, "NLine", true, false},
    {&TForm1::NRect, "NRect", true, false},
    {&TForm1::NCircle, "NCircle", true, false},
    {&TForm1::NRoundRect, "NRoundRect", true, false},
    {&TForm1::NDiamond, "NDiamond", true, false},
    {&TForm1::NEraser, "NEraser", true, false},
    {&TForm1::Nrefresh, "Nrefresh", true, false},
    {&TForm1::NCaption, "NCaption", true, false},
    {&TForm1::NWhite, "NWhite", true, false},
    {&TForm1::Nshowtools, "Nshowtools", true, false},
    {&TForm1::NSave, "NSave", true, false},
    {&TForm1::NOpen, "NOpen", true, false},
    {&TForm1::NShowMark, "NShowMark", true, true},
    {&TForm1::Noption, "Noption", true, true},
    {&TForm1::Nexit, "Nexit", false, true},
};

void ExpectMenu(bool working) {
  for (const TEnableCase& c : EnableCases)
    EXPECT_EQ(QtAction(*(Form1->*c.Item))->isEnabled(), working ? c.Working : c.Idle)
        << c.Name << (working ? " working" : " idle");
}

}  // namespace

TEST_F(StateTest, MainMenuHasEighteenItemsInOrder) {
  const QStringList captions = {"开始绘图",
                                "停止绘图",
                                "自由绘制",
                                "画直线",
                                "画方框",
                                "画椭圆",
                                "画圆角矩形",
                                "画菱形",
                                "橡皮擦",
                                "刷新",
                                "屏幕选取(截图,复制,清除)",
                                "背景变白板",
                                "显示工具栏",
                                "保存屏幕到文件",
                                "装载文件到屏幕",
                                "显示浮动图标",
                                "系统说明",
                                "退出"};
  const QList<QAction*> items = QtMenu(*Form1->PopupMenu1)->actions();
  ASSERT_EQ(items.size(), captions.size());
  for (int i = 0; i < captions.size(); ++i) EXPECT_EQ(items[i]->text(), captions[i]) << i;
  // Items with a picture: all but "显示工具栏", "显示浮动图标" and "系统说明".
  for (int i = 0; i < items.size(); ++i) EXPECT_EQ(items[i]->icon().isNull(), i == 12 || i == 15 || i == 16) << i;
  // A glyph of the list keeps its colours on a disabled item; the start item's own picture takes
  // the style's disabled look.
  const auto keepsColours = [](const QAction* item) {
    const QIcon icon = item->icon();
    return icon.pixmap(QSize(16, 16), QIcon::Disabled).toImage() == icon.pixmap(QSize(16, 16)).toImage();
  };
  EXPECT_FALSE(keepsColours(items[0]));  // 开始绘图
  EXPECT_TRUE(keepsColours(items[2]));   // 自由绘制
}

TEST_F(StateTest, EnableTablesFollowTheState) {
  ExpectMenu(false);
  StartWorking();
  ASSERT_TRUE(QtOf(FCover)->isVisible());
  ExpectMenu(true);
  StartWorking();  // a second start while working changes nothing
  ExpectMenu(true);
  TMessage hotKey{WM_HOTKEY, 1, MakeLong(MOD_CONTROL_KEY, VK_F1_KEY), 0};
  Form1->Dispatch(hotKey);
  EXPECT_FALSE(QtOf(FCover)->isVisible());
  ExpectMenu(false);
}

TEST_F(StateTest, MarkerControlsHideWhileWorking) {
  StartWorking();
  EXPECT_FALSE(QtOf(Form1->Bplay)->isVisible());
  EXPECT_FALSE(QtOf(Form1->Image1)->isVisible());
  Form1->StopDrawing();
  EXPECT_TRUE(QtOf(Form1->Bplay)->isVisible());
  EXPECT_TRUE(QtOf(Form1->Bup)->isVisible());
  EXPECT_TRUE(QtOf(Form1->Image1)->isVisible());
}

TEST_F(StateTest, OnlyExactlyCtrlF1SwitchesStates) {
  EXPECT_EQ(Desktop().HotKeyModifiers, MOD_CONTROL_KEY);
  EXPECT_EQ(Desktop().HotKeyKey, VK_F1_KEY);
  const unsigned others[] = {MOD_CONTROL_KEY | MOD_SHIFT_KEY, MOD_CONTROL_KEY | MOD_ALT_KEY, MOD_ALT_KEY, 0};
  for (unsigned modifiers : others) {
    Desktop().Handler(Desktop().HotKeyId, modifiers, VK_F1_KEY);
    EXPECT_FALSE(Form1->Working()) << modifiers;
  }
  Desktop().Handler(Desktop().HotKeyId, MOD_CONTROL_KEY, 0x71);  // Ctrl+F2
  EXPECT_FALSE(Form1->Working());
  Desktop().Handler(Desktop().HotKeyId, MOD_CONTROL_KEY, VK_F1_KEY);
  EXPECT_TRUE(Form1->Working());
  EXPECT_TRUE(QtOf(FCover)->isVisible());
  Desktop().Handler(Desktop().HotKeyId, MOD_CONTROL_KEY, VK_F1_KEY);
  EXPECT_FALSE(Form1->Working());
  EXPECT_FALSE(QtOf(FCover)->isVisible());
}

// An open menu of ours holds the keyboard, so the hot key comes through it: the menu closes and
// the switch runs once the menu's loop has returned.
TEST_F(StateTest, TheHotKeyClosesAnOpenMenuAndSwitches) {
  QtMenu(*Form1->PopupMenu1)->popup(QPoint(100, 100));
  ASSERT_TRUE(QTest::qWaitFor([] { return QtMenu(*Form1->PopupMenu1)->isVisible(); }));
  Desktop().Handler(Desktop().HotKeyId, MOD_CONTROL_KEY, VK_F1_KEY);
  EXPECT_FALSE(QtMenu(*Form1->PopupMenu1)->isVisible());
  EXPECT_TRUE(QTest::qWaitFor([] { return Form1->Working() && QtOf(FCover)->isVisible(); }));

  // The region menu runs inside the release that completed a selection.
  FCover->TBselectClick();
  bool answered = false;
  bool stayedOpen = false;
  AnswerNextModal([&](QWidget* menu) {
    answered = true;
    Desktop().Handler(Desktop().HotKeyId, MOD_CONTROL_KEY, VK_F1_KEY);
    stayedOpen = menu->isVisible();
    menu->close();
  });
  QTest::mousePress(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, QPoint(100, 200));
  QTest::mouseMove(QtOf(FCover->PaintBox1), QPoint(300, 400));
  QTest::mouseRelease(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, QPoint(300, 400));
  ASSERT_TRUE(answered);
  EXPECT_FALSE(stayedOpen);
  EXPECT_TRUE(QTest::qWaitFor([] { return !Form1->Working() && !QtOf(FCover)->isVisible(); }));
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(StateTest, TheSurfaceShowsTheCapturedScreen) {
  Desktop().Seed = 7;
  StartWorking();
  const int w = FCover->Width();
  const int h = FCover->Height();
  EXPECT_EQ(w, ScreenWidth());
  EXPECT_EQ(h, ScreenHeight());
  int wrong = 0;
  for (int y = 0; y < h; y += 3)
    for (int x = 0; x < w; x += 3)
      if (SurfacePixel(x, y) != ScreenPattern(7, x, y) && wrong++ < 5)
        ADD_FAILURE() << x << "," << y << " " << SurfacePixel(x, y) << " bg " << BackgroundPixel(x, y) << " want "
                      << ScreenPattern(7, x, y);
  EXPECT_EQ(wrong, 0);
  Desktop().Seed = 1;
}

TEST_F(StateTest, EachStartBeginsWithThePen) {
  StartWorking();
  QtAction(*Form1->NLine)->trigger();
  EXPECT_EQ(FCover->Tool(), dtLine);
  Form1->StopDrawing();
  EXPECT_EQ(FCover->Tool(), dtPen);
  // While idle the disabled tool items keep the last check mark until the next start.
  EXPECT_TRUE(QtAction(*Form1->NLine)->isChecked());
  FCover->TBeraserClick();
  StartWorking();
  EXPECT_EQ(FCover->Tool(), dtPen);
  EXPECT_TRUE(QtAction(*Form1->NPen)->isChecked());
  EXPECT_FALSE(QtAction(*Form1->NLine)->isChecked());
  EXPECT_TRUE(QtOf(FCover->TBpen)->isChecked());
  EXPECT_FALSE(QtOf(FCover->TBeraser)->isChecked());
  EXPECT_EQ(FCover->PaintBox1->Cursor(), crDefault);
}

TEST_F(StateTest, MenuToolItemsMoveCheckMarkAndButtonTogether) {
  StartWorking();
  struct TCase {
    TMenuItem* TForm1::*Item;
    TToolButton* TFCover::*Button;
    TDrawTool Tool;
  };
  const TCase cases[] = {
      {&TForm1::NLine, &TFCover::TBline, dtLine},          {&TForm1::NRect, &TFCover::TBrect, dtRect},
      {&TForm1::NCircle, &TFCover::TBcircle, dtEllipse},   {&TForm1::NRoundRect, &TFCover::TBroundrect, dtRoundRect},
      {&TForm1::NDiamond, &TFCover::TBdiamond, dtDiamond}, {&TForm1::NCaption, &TFCover::TBselect, dtSelect},
      {&TForm1::NEraser, &TFCover::TBeraser, dtEraser},    {&TForm1::NPen, &TFCover::TBpen, dtPen},
  };
  for (const TCase& chosen : cases) {
    QtAction(*(Form1->*chosen.Item))->trigger();
    EXPECT_EQ(FCover->Tool(), chosen.Tool);
    for (const TCase& other : cases) {
      const bool on = &other == &chosen;
      EXPECT_EQ(QtAction(*(Form1->*other.Item))->isChecked(), on)
          << QtAction(*(Form1->*other.Item))->text().toStdString();
      EXPECT_EQ(QtOf(FCover->*other.Button)->isChecked(), on) << QtAction(*(Form1->*other.Item))->text().toStdString();
    }
    EXPECT_EQ(FCover->PaintBox1->Cursor(), chosen.Tool == dtEraser ? crDrag : crDefault);
  }
  // A second choice of the checked item keeps it checked.
  QtAction(*Form1->NPen)->trigger();
  EXPECT_TRUE(QtAction(*Form1->NPen)->isChecked());
  EXPECT_TRUE(QtOf(FCover->TBpen)->isChecked());
}

TEST_F(StateTest, ShowToolsTogglesBarAndCheck) {
  StartWorking();
  ASSERT_TRUE(QtAction(*Form1->Nshowtools)->isChecked());
  QtAction(*Form1->Nshowtools)->trigger();
  EXPECT_FALSE(QtOf(FCover->ToolBar1)->isVisible());
  EXPECT_FALSE(QtAction(*Form1->Nshowtools)->isChecked());
  // Hidden it stays across leaving and entering the working state.
  Form1->StopDrawing();
  StartWorking();
  EXPECT_FALSE(QtOf(FCover->ToolBar1)->isVisible());
  EXPECT_FALSE(QtAction(*Form1->Nshowtools)->isChecked());
  QtAction(*Form1->Nshowtools)->trigger();
  EXPECT_TRUE(QtOf(FCover->ToolBar1)->isVisible());
  EXPECT_TRUE(QtAction(*Form1->Nshowtools)->isChecked());
}

TEST_F(StateTest, EscClosesOnlyWhileTheSurfaceItselfHasTheFocus) {
  StartWorking();
  QtOf(FCover)->activateWindow();
  QtOf(FCover->Ed)->setFocus();
  ASSERT_EQ(QApplication::focusWidget(), QtOf(FCover->Ed));
  QTest::keyClick(QtOf(FCover->Ed), Qt::Key_Escape);
  EXPECT_TRUE(QtOf(FCover)->isVisible());
  EXPECT_TRUE(Form1->Working());

  QtOf(FCover)->setFocus();
  QTest::keyClick(QtOf(FCover), Qt::Key_A);
  EXPECT_TRUE(QtOf(FCover)->isVisible());
  QTest::keyClick(QtOf(FCover), Qt::Key_Escape);
  EXPECT_FALSE(QtOf(FCover)->isVisible());
  // The idle menu is in force, but the marker stays empty until the next start and stop.
  EXPECT_TRUE(QtAction(*Form1->Nstart)->isEnabled());
  EXPECT_TRUE(QtAction(*Form1->Nexit)->isEnabled());
  EXPECT_FALSE(QtOf(Form1->Bplay)->isVisible());
}

TEST_F(StateTest, ActivationConsumesOnlyItsMessage) {
  StartWorking();
  QtAction(*Form1->NRect)->trigger();
  TMessage other{RegisterWindowMessage("SomethingElse"), 0, 0, 0};
  EXPECT_FALSE(Application->DeliverToMainWindow(other));
  TMessage activation{RegisterWindowMessage("KezOnlyOne"), 0, 0, 0};
  EXPECT_TRUE(Application->DeliverToMainWindow(activation));
  EXPECT_TRUE(Form1->Working());
  EXPECT_TRUE(QtOf(FCover)->isVisible());
  EXPECT_EQ(FCover->Tool(), dtRect);
}

namespace {
class TThrower : public QObject {
 public:
  bool event(QEvent* e) override {
    if (e->type() == QEvent::User) throw Exception(Str(QStringLiteral("Something went wrong")));
    if (e->type() == QEvent::User + 1) throw std::runtime_error("");
    return QObject::event(e);
  }
};
}  // namespace

TEST_F(StateTest, AnExceptionInAHandlerIsShownAndTheLoopGoesOn) {
  TThrower thrower;
  QStringList shown;
  QString title;
  const auto answer = [&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    shown << box->text();
    title = box->windowTitle();
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    box->close();
  };
  AnswerNextModal(answer);
  QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
  bool later = false;
  QTimer::singleShot(0, [&] { later = true; });
  QTRY_VERIFY_WITH_TIMEOUT(later && shown.size() == 1, 5000);
  EXPECT_EQ(shown.value(0), QStringLiteral("Something went wrong."));
  EXPECT_EQ(title, QStringLiteral("Quilmar"));

  // A text ending in a character that sorts before '.' gets no full stop; an empty one stays empty.
  EXPECT_EQ(TApplication::ExceptionText("file 'a'"), "file 'a'");
  EXPECT_EQ(TApplication::ExceptionText("done."), "done.");
  EXPECT_EQ(TApplication::ExceptionText(""), "");
  // A Chinese character sorts after it, as every character past ASCII does.
  EXPECT_EQ(TApplication::ExceptionText("打开文件错误"), "打开文件错误.");
  AnswerNextModal(answer);
  QCoreApplication::postEvent(&thrower, new QEvent(static_cast<QEvent::Type>(QEvent::User + 1)));
  QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 2, 5000);
  EXPECT_EQ(shown.value(1), QString());
}

// Closing destroys the surface's native window; the next one is made while idle, with the
// screen's size already given, so that a Ctrl+F1 does not wait for it.
TEST_F(StateTest, AfterStoppingTheNextShowingsWindowIsMadeWhileIdleAtScreenSize) {
  StartWorking();
  ASSERT_TRUE(QtOf(FCover)->isVisible());
  Form1->StopDrawing();
  Application->ProcessMessages();
  EXPECT_FALSE(QtOf(FCover)->isVisible());
  ASSERT_TRUE(QtOf(FCover)->windowHandle());
  EXPECT_TRUE(QtOf(FCover)->windowHandle()->handle()) << "no native window made ahead";
  EXPECT_EQ(FCover->Width(), ScreenWidth());
  EXPECT_EQ(FCover->Height(), ScreenHeight());
  EXPECT_EQ(QtOf(FCover)->windowHandle()->geometry(), QtOf(FCover)->geometry());
}

TEST_F(StateTest, ASecondHelpRequestIsRefusedAndItsSnapshotLetGoAtOnce) {
  StartWorking();
  FCover->TBpenClick();
  QTest::mousePress(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, {100, 300});
  QTest::mouseMove(QtOf(FCover->PaintBox1), {500, 320});
  QTest::mouseRelease(QtOf(FCover->PaintBox1), Qt::LeftButton, {}, {100, 300});
  const std::vector<std::uint32_t> drawn = SurfaceCopy();
  const auto buffers = [] { return QtOf(FCover)->findChildren<TQtImageWidget*>().size(); };
  const auto before = buffers();
  QString refused;
  qsizetype during = 0;
  // With the help open (and its own snapshot taken), the menu item and the tool button ask again.
  AnswerNextModal([&](QWidget* help) {
    ASSERT_EQ(help, QtOf(FOption));
    during = buffers();
    for (auto request : {+[] { Form1->NoptionClick(); }, +[] { FCover->TBhelpClick(); }}) {
      auto* watch = new QTimer(qApp);
      QObject::connect(watch, &QTimer::timeout, watch, [&, watch] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        refused = box->text();
        box->close();
        watch->deleteLater();
      });
      watch->start(5);
      RunHandler(request);
      EXPECT_EQ(refused, QStringLiteral("Cannot make a visible window modal."));
      EXPECT_EQ(buffers(), during) << "the refused request's snapshot is gone";
      EXPECT_TRUE(QtOf(FOption)->isVisible());
    }
    FOption->Button1Click();
  });
  Form1->NoptionClick();
  EXPECT_EQ(during, before + 1);
  EXPECT_EQ(buffers(), before);
  EXPECT_EQ(SurfaceCopy(), drawn);
}
