// A long random soak of the real forms offscreen: a seeded stream of what a teacher does, with
// the surface's invariants checked along the way. A failure prints the seed, the event index and
// the command that reproduces it.
//
//   quilmar_soak --seed N --events M [--from K] [--report EVERY]
//
// --from K checks every invariant after each event from event K on (before K at the usual
// cadence), to find the first event that breaks one. --report N prints the speed, resident
// memory, C heap and pixel pool every N events (100000 unless told).
#include <malloc.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/qt/qtcontrols.h"
#include "platform/application.h"
#include "platform/colorbox.h"
#include "platform/edits.h"
#include "platform/image.h"
#include "platform/paintbox.h"
#include "platform/qt/qtmenus.h"
#include "platform/raster/pixelpool.h"
#include "shell/foption.h"
#include "shell/form1.h"
#include "surface/fcover.h"
#include "tests/component/harness.h"
#include "tests/soak/checks.h"

namespace {

using Clock = std::chrono::steady_clock;

struct TOptions {
  std::uint64_t Seed = 1;
  std::int64_t Events = 20000;
  std::int64_t From = -1;
  int WatchdogSeconds = 60;
  std::int64_t Report = 100000;
};

std::string Program = "quilmar_soak";
TOptions Options;

// What the watchdog reads: the event running and when it began.
std::atomic<std::int64_t> RunningEvent{-1};
std::atomic<std::int64_t> EventStartedNs{0};
std::atomic<bool> Finished{false};
char CurrentName[128] = "start";

std::int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

void PrintReproduction(std::int64_t index) {
  std::fprintf(stderr,
               "soak: seed %" PRIu64 ", event %" PRId64 "\nsoak: reproduce with: %s --seed %" PRIu64
               " --events %" PRId64 " --from %" PRId64 "\n",
               Options.Seed, index, Program.c_str(), Options.Seed, index + 1, std::max<std::int64_t>(0, index - 50));
}

void Watchdog() {
  while (!Finished.load()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    const std::int64_t started = EventStartedNs.load();
    if (started == 0) continue;
    if (NowNs() - started > std::int64_t{Options.WatchdogSeconds} * 1'000'000'000) {
      std::fprintf(stderr, "soak: FAILED: event %" PRId64 " (%s) has run for more than %d s: the program hangs\n",
                   RunningEvent.load(), CurrentName, Options.WatchdogSeconds);
      PrintReproduction(RunningEvent.load());
      std::fflush(stderr);
      _exit(2);
    }
  }
}

// Resident memory now and at its peak, in kB, from /proc/self/status.
void ReadRss(long& now, long& peak) {
  now = peak = 0;
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmRSS:")) now = line.mid(6).trimmed().split(' ').value(0).toLong();
    if (line.startsWith("VmHWM:")) peak = line.mid(6).trimmed().split(' ').value(0).toLong();
  }
}

// The C heap: what is handed out, and what it holds from the system without handing it out
// (free chunks a fragmented heap cannot give back), in kB.
void ReadHeap(long& used, long& held) {
  const struct mallinfo2 info = mallinfo2();
  used = long((info.uordblks + info.hblkhd) / 1024);
  held = long(info.fordblks / 1024);
}

class TSoak {
 public:
  TSoak() : FRng(Options.Seed) {}

  int Run();

 private:
  // Random helpers.
  int Below(int n) { return int(FRng() % std::uint64_t(n)); }
  bool Chance(int percent) { return Below(100) < percent; }
  int Between(int lo, int hi) { return lo + Below(hi - lo + 1); }

  [[noreturn]] void Fail(const std::string& what);
  void Note(const char* name);

  void Step();
  void StepIdle();
  void StepWorking();
  void MouseEvent(QEvent::Type type, Qt::MouseButton button);
  QPoint RandomPoint(bool dragging);
  void ClickToolButton();
  void TypeCaption();
  void EditWidth();
  void EditColour();
  void HotKey();
  void OpenMainMenu();

  // Answers whatever modal window or pop-up is open; runs from a timer in every loop.
  void Answer();
  void AnswerMenu(QMenu* menu);
  void AnswerFileDialog(QFileDialog* dialog);

  // Invariants.
  void CheckAll();
  void CheckBackground();
  void CheckTools();
  void BeginDragCheck();
  void EndDragCheck(bool selectionShown);

  std::mt19937_64 FRng;
  std::int64_t FIndex = 0;
  std::deque<std::string> FRecent;
  QTemporaryDir FDir;
  QPoint FPointer{400, 400};
  Qt::MouseButtons FHeld;
  // The drag check: the surface when the left button went down, and whether only moves have
  // come since.
  TPixels FAtPress;
  TPixels FBefore;
  // A completed selection's frame is on the surface: its region menu opened and nothing has
  // wiped or erased the frame since.
  bool FFrameShown = false;
  int FFrameCaptures = 0;
  bool FFrameUnknown = false;
  bool FDragCheck = false;
  TDrawTool FDragTool = dtPen;
  TColor FDragColor = clRed;
  std::uint64_t FBackgroundSum = 0;
  int FCaptures = -1;
  bool FBackgroundMayChange = false;
  int FAnswersToThisModal = 0;
  QWidget* FLastModal = nullptr;
  std::int64_t FDialogs = 0;
  std::int64_t FMessages = 0;
  std::int64_t FDragsChecked = 0;
  std::int64_t FStarts = 0;
  // Time per kind of event, to see where a run spends it.
  struct TCost {
    std::int64_t Count = 0;
    std::int64_t Ns = 0;
    std::int64_t MaxNs = 0;
  };
  std::map<std::string, TCost> FCosts;
};

void TSoak::Fail(const std::string& what) {
  std::fprintf(stderr, "soak: FAILED at event %" PRId64 " (%s): %s\nsoak: the events before it:\n", FIndex, CurrentName,
               what.c_str());
  for (const std::string& e : FRecent) std::fprintf(stderr, "  %s\n", e.c_str());
  PrintReproduction(FIndex);
  std::fflush(stderr);
  _exit(1);
}

void TSoak::Note(const char* name) {
  std::snprintf(CurrentName, sizeof CurrentName, "%s", name);
  FRecent.push_back(std::to_string(FIndex) + " " + name);
  if (FRecent.size() > 24) FRecent.pop_front();
}

QPoint TSoak::RandomPoint(bool dragging) {
  // Mostly short moves, sometimes a jump; a drag may leave the window, where the grab still
  // delivers its moves.
  const int w = FCover->Width();
  const int h = FCover->Height();
  if (Chance(15))
    return {Between(dragging ? -40 : 0, w - 1 + (dragging ? 40 : 0)),
            Between(dragging ? -40 : 0, h - 1 + (dragging ? 40 : 0))};
  QPoint p = FPointer + QPoint(Between(-30, 30), Between(-30, 30));
  if (!dragging) p = QPoint(std::clamp(p.x(), 0, w - 1), std::clamp(p.y(), 0, h - 1));
  return p;
}

void TSoak::MouseEvent(QEvent::Type type, Qt::MouseButton button) {
  QWidget* box = QtOf(FCover->PaintBox1);
  Qt::MouseButtons after = FHeld;
  if (type == QEvent::MouseButtonPress) after |= button;
  if (type == QEvent::MouseButtonRelease) after &= ~Qt::MouseButtons(button);
  // Moves carry the buttons held; press and release carry those held after them.
  QMouseEvent event(type, QPointF(FPointer), QPointF(box->mapToGlobal(FPointer)), button,
                    type == QEvent::MouseMove ? FHeld : after, Qt::NoModifier);
  FHeld = after;
  QApplication::sendEvent(box, &event);
}

void TSoak::HotKey() {
  Note("hot key Ctrl+F1");
  Desktop().Handler(Desktop().HotKeyId, MOD_CONTROL_KEY, VK_F1_KEY);
}

void TSoak::Step() {
  FDragCheck = FDragCheck && (FHeld & Qt::LeftButton);
  if (!Form1->Working() || !QtOf(FCover)->isVisible()) {
    // The surface is gone: whatever button was held on it was released elsewhere.
    FHeld = Qt::NoButton;
    FDragCheck = false;
    StepIdle();
  } else {
    StepWorking();
  }
  // A menu's command is queued twice over (the menu's trigger, then the region command): both
  // run before the next event, as they would before the teacher's next move.
  Application->ProcessMessages();
  Application->ProcessMessages();
}

void TSoak::StepIdle() {
  const int r = Below(100);
  if (r < 45) {
    HotKey();
  } else if (r < 60) {
    Note("marker play button");
    QtOf(Form1->Bplay)->click();
  } else if (r < 75) {
    Note("marker menu");
    QtMenu(*Form1->PopupMenu1)->popup(QPoint(100, 100));
  } else if (r < 85) {
    Note("marker moves");
    QPushButton* buttons[] = {QtOf(Form1->Bleft), QtOf(Form1->Bright), QtOf(Form1->Bup), QtOf(Form1->Bdown)};
    buttons[Below(4)]->click();
  } else {
    Note("help while idle");
    Form1->NoptionClick();
  }
}

void TSoak::StepWorking() {
  const bool left = FHeld & Qt::LeftButton;
  const int r = Below(1000);
  if (left) {
    // A drag: mostly moves, then the release; now and then something else in between.
    if (r < 780) {
      Note("drag move");
      FPointer = RandomPoint(true);
      MouseEvent(QEvent::MouseMove, Qt::NoButton);
    } else if (r < 970) {
      // At the pointer: the window system reports the move there before the release.
      Note("left release");
      const bool check = FDragCheck;
      const TDrawTool tool = FCover->Tool();
      MouseEvent(QEvent::MouseButtonRelease, Qt::LeftButton);
      Application->ProcessMessages();
      // A selection's menu has been answered inside the release; its check ran there.
      if (check && tool != dtSelect) EndDragCheck(false);
      FDragCheck = false;
    } else if (r < 980) {
      HotKey();
      FDragCheck = false;
    } else if (r < 990) {
      Note("right click during a drag");
      FDragCheck = false;
      MouseEvent(QEvent::MouseButtonPress, Qt::RightButton);
      MouseEvent(QEvent::MouseButtonRelease, Qt::RightButton);
    } else {
      Note("key during a drag");
      FDragCheck = false;
      QTest::keyClick(QtOf(FCover->Ed), Qt::Key(Qt::Key_A + Below(26)));
    }
    return;
  }
  if (r < 250) {
    Note("move");
    FPointer = RandomPoint(false);
    // With no button held a move draws nothing: no drag is under way.
    Copy(FCover->PaintBox1->Pixels(), FBefore);
    MouseEvent(QEvent::MouseMove, Qt::NoButton);
    if (const std::string problem = ChangedOutsideFrame(FBefore, nullptr); !problem.empty())
      Fail("a move with no button held drew on the surface: " + problem);
  } else if (r < 420) {
    Note("left press");
    FPointer = RandomPoint(false);
    // Presses where the tool bar lies go to the tool bar, not the surface.
    if (QtOf(FCover->ToolBar1)->isVisible() && QtOf(FCover->ToolBar1)->geometry().contains(FPointer)) return;
    if (FCover->Tool() == dtSelect) FFrameShown = FFrameUnknown = false;
    MouseEvent(QEvent::MouseButtonPress, Qt::LeftButton);
    Application->ProcessMessages();
    BeginDragCheck();
  } else if (r < 450) {
    Note("right click");
    MouseEvent(QEvent::MouseButtonPress, Qt::RightButton);
    MouseEvent(QEvent::MouseButtonRelease, Qt::RightButton);
  } else if (r < 470) {
    Note("middle click");
    MouseEvent(QEvent::MouseButtonPress, Qt::MiddleButton);
    MouseEvent(QEvent::MouseButtonRelease, Qt::MiddleButton);
  } else if (r < 640) {
    TypeCaption();
  } else if (r < 760) {
    ClickToolButton();
  } else if (r < 800) {
    OpenMainMenu();
  } else if (r < 840) {
    EditWidth();
  } else if (r < 880) {
    EditColour();
  } else if (r < 890) {
    HotKey();
  } else if (r < 900) {
    Note("selection tool");
    QtOf(FCover->TBselect)->click();
  } else {
    // Selections get their share, so the region menu is exercised.
    Note("select tool and press");
    QtOf(FCover->TBselect)->click();
    FPointer = RandomPoint(false);
    if (QtOf(FCover->ToolBar1)->isVisible() && QtOf(FCover->ToolBar1)->geometry().contains(FPointer)) return;
    // The press erases the frame of the last selection if it is still on the surface, and
    // changes nothing else.
    Copy(FCover->PaintBox1->Pixels(), FBefore);
    const TRect frame = FCover->SelRect();
    const bool frameShown = FFrameShown;
    MouseEvent(QEvent::MouseButtonPress, Qt::LeftButton);
    Application->ProcessMessages();
    FFrameShown = false;
    if (std::exchange(FFrameUnknown, false)) return;
    if (const std::string problem = ChangedOutsideFrame(FBefore, frameShown ? &frame : nullptr); !problem.empty())
      Fail(std::string("a press with the selection tool ") + (frameShown ? "erasing a frame" : "with no frame shown") +
           " drew on the surface: " + problem);
    BeginDragCheck();
  }
}

void TSoak::ClickToolButton() {
  QToolButton* buttons[] = {QtOf(FCover->TBpen),       QtOf(FCover->TBline),      QtOf(FCover->TBcircle),    QtOf(FCover->TBrect),
                            QtOf(FCover->TBroundrect), QtOf(FCover->TBdiamond),   QtOf(FCover->TBselect),    QtOf(FCover->TBeraser),
                            QtOf(FCover->TBrefresh),   QtOf(FCover->TBwhite),     QtOf(FCover->TBsave),      QtOf(FCover->TBopen),
                            QtOf(FCover->TBFont),      QtOf(FCover->TBhelp),      QtOf(FCover->ToolButton3), QtOf(FCover->ToolButton4),
                            QtOf(FCover->ToolButton5), QtOf(FCover->ToolButton6), QtOf(FCover->TBstop),      QtOf(FCover->ToolButton1)};
  // Tools are chosen often; the rest rarely, the state switches least.
  int pick = Below(100);
  int i = pick < 60   ? Below(8)
          : pick < 75 ? 8 + Below(2)
          : pick < 95 ? 14 + Below(4)
          : pick < 98 ? 10 + Below(4)
                      : 18 + Below(2);
  if (!QtOf(FCover->ToolBar1)->isVisible()) return;
  static thread_local char name[64];
  std::snprintf(name, sizeof name, "tool bar %s", buttons[i]->objectName().toLatin1().constData());
  Note(name);
  if (buttons[i] == QtOf(FCover->TBwhite)) FBackgroundMayChange = true;
  buttons[i]->click();
}

void TSoak::TypeCaption() {
  const int r = Below(100);
  if (r < 45) {
    Note("type ASCII");
    const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,;!?W";
    QString text;
    for (int n = Between(1, 4); n > 0; --n) text += QChar(letters[Below(int(sizeof letters) - 1)]);
    QTest::keyClicks(QtOf(FCover->Ed), text);
  } else if (r < 70) {
    Note("commit CJK");
    const char16_t* words[] = {u"你", u"好", u"你好", u"课堂", u"批注", u"中文a", u"《书》"};
    QInputMethodEvent preedit(QString::fromUtf16(words[Below(7)]), {});
    QApplication::sendEvent(QtOf(FCover->Ed), &preedit);
    QInputMethodEvent commit;
    commit.setCommitString(QString::fromUtf16(words[Below(7)]));
    QApplication::sendEvent(QtOf(FCover->Ed), &commit);
  } else if (r < 90) {
    Note("Backspace");
    QTest::keyClick(QtOf(FCover->Ed), Qt::Key_Backspace);
  } else {
    Note("Enter");
    QTest::keyClick(QtOf(FCover->Ed), Qt::Key_Return);
  }
}

void TSoak::EditWidth() {
  const int r = Below(100);
  if (r < 40) {
    Note("width typed");
    const char* texts[] = {"1", "3", "12", "20", "0", "99", "a", "-", "4x", " "};
    QtOf(FCover->MElinewidth)->setFocus();
    QtOf(FCover->MElinewidth)->selectAll();
    QTest::keyClicks(QtOf(FCover->MElinewidth), QString::fromLatin1(texts[Below(10)]));
  } else if (r < 60) {
    Note("width erased");
    QtOf(FCover->MElinewidth)->setFocus();
    QTest::keyClick(QtOf(FCover->MElinewidth), Chance(50) ? Qt::Key_Backspace : Qt::Key_Delete);
  } else if (r < 90) {
    Note("width up-down");
    FCover->UpDown1->Step(Chance(50) ? 1 : -1);
  } else {
    Note("width set");
    FCover->MElinewidth->SetText(std::to_string(Between(0, 25)));
  }
  // The keyboard goes back to the caption, as a click on the surface would do.
  QtOf(FCover->Ed)->setFocus();
}

void TSoak::EditColour() {
  QComboBox* box = QtOf(FCover->CBColor);
  if (Chance(70)) {
    Note("colour chosen");
    const int i = Below(box->count());
    box->setCurrentIndex(i);
    emit box->activated(i);
  } else {
    Note("colour keys");
    box->setFocus();
    const Qt::Key keys[] = {Qt::Key_Up, Qt::Key_Down, Qt::Key_Home, Qt::Key_End, Qt::Key_R, Qt::Key_Z};
    QTest::keyClick(box, keys[Below(6)]);
  }
  QtOf(FCover->Ed)->setFocus();
}

void TSoak::OpenMainMenu() {
  Note("main menu by right click");
  MouseEvent(QEvent::MouseButtonPress, Qt::RightButton);
  MouseEvent(QEvent::MouseButtonRelease, Qt::RightButton);
}

void TSoak::Answer() {
  QWidget* open = QApplication::activePopupWidget();
  if (!open) open = QApplication::activeModalWidget();
  if (!open && FOption && QtOf(FOption)->isVisible()) open = QtOf(FOption);
  if (!open || !open->isVisible()) return;
  if (open != FLastModal) {
    FLastModal = open;
    FAnswersToThisModal = 0;
  }
  // A window that was not closed by an earlier answer (a refused name) is cancelled at last.
  const bool giveUp = ++FAnswersToThisModal > 3;
  if (auto* menu = qobject_cast<QMenu*>(open)) {
    AnswerMenu(menu);
    return;
  }
  if (!giveUp && Chance(3) && Desktop().Handler) {
    // The hot key is delivered while a dialog is open.
    Desktop().Handler(Desktop().HotKeyId, MOD_CONTROL_KEY, VK_F1_KEY);
    return;
  }
  if (open == QtOf(FOption)) {
    FOption->Button1Click();
    return;
  }
  if (auto* box = qobject_cast<QMessageBox*>(open)) {
    ++FMessages;
    // A question (replace an existing file?) is answered either way.
    QAbstractButton* button = box->buttons().value(Below(int(std::max<qsizetype>(1, box->buttons().size()))));
    if (button && !giveUp)
      QMetaObject::invokeMethod(button, "click", Qt::QueuedConnection);
    else
      box->reject();
    return;
  }
  if (auto* files = qobject_cast<QFileDialog*>(open)) {
    ++FDialogs;
    if (giveUp) {
      files->reject();
      return;
    }
    AnswerFileDialog(files);
    return;
  }
  if (auto* dialog = qobject_cast<QDialog*>(open)) {
    ++FDialogs;
    if (auto* chooser = dialog->findChild<QFontDialog*>(); chooser && !giveUp && Chance(60)) {
      const char* faces[] = {"MS Sans Serif", "WenQuanYi Micro Hei", "DejaVu Sans", "Serif"};
      QFont font(QString::fromLatin1(faces[Below(4)]));
      font.setPointSize(Between(6, 72));
      font.setBold(Chance(30));
      font.setUnderline(Chance(20));
      chooser->setCurrentFont(font);
      if (auto* colour = dialog->findChild<QComboBox*>(QStringLiteral("FontColor")))
        colour->setCurrentIndex(Below(colour->count()));
      QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    } else {
      dialog->reject();
    }
    return;
  }
  open->close();
}

void TSoak::AnswerMenu(QMenu* menu) {
  const bool region = menu == QtMenu(*FCover->PopupMenu1);
  if (region) FFrameShown = true;
  if (region && FDragCheck) {
    // The frame of the selection is all that the drag left.
    EndDragCheck(true);
    FDragCheck = false;
  }
  const int r = Below(100);
  if (r < 8 && Desktop().Handler) {
    // The hot key while a menu is open: the menu closes and the state switches.
    Desktop().Handler(Desktop().HotKeyId, MOD_CONTROL_KEY, VK_F1_KEY);
    return;
  }
  if (r < 25) {
    menu->close();
    return;
  }
  std::vector<QAction*> choices;
  for (QAction* item : menu->actions()) {
    // Exit ends the program: not part of a soak.
    if (item->isEnabled() && item->isVisible() && !item->isSeparator() && MenuItemOf(item) != Form1->Nexit)
      choices.push_back(item);
  }
  menu->close();
  if (choices.empty()) return;
  QAction* item = choices[Below(int(choices.size()))];
  // Commands with a dialog cost a hundred times a drawing: they get a smaller share.
  const TMenuItem* withDialog[] = {Form1->NSave, Form1->NOpen, Form1->Noption,
                                   FCover->N4,   FCover->N1,   FCover->Nloadtorect};
  if (std::find(std::begin(withDialog), std::end(withDialog), MenuItemOf(item)) != std::end(withDialog) && Chance(85))
    item = choices[Below(int(choices.size()))];
  if (MenuItemOf(item) == Form1->NWhite) FBackgroundMayChange = true;
  // As the menu itself does: the command runs once the menu has closed.
  QMetaObject::invokeMethod(item, &QAction::trigger, Qt::QueuedConnection);
}

void TSoak::AnswerFileDialog(QFileDialog* dialog) {
  const int r = Below(100);
  QString name;
  if (dialog->acceptMode() == QFileDialog::AcceptSave) {
    if (r < 20) {
      dialog->reject();
      return;
    }
    // A few names used over and over: the folder stays small and files get replaced.
    name = r < 95 ? FDir.filePath(QStringLiteral("s%1.bmp").arg(Below(6)))
                  : FDir.filePath(QStringLiteral("missing/folder/s.bmp"));
  } else {
    if (r < 20) {
      dialog->reject();
      return;
    }
    if (r < 80)
      name = FDir.filePath(QStringLiteral("s%1.bmp").arg(Below(6)));
    else if (r < 90)
      name = FDir.filePath(QStringLiteral("never-saved.bmp"));
    else
      name = FDir.filePath(QStringLiteral("garbage.bmp"));
  }
  dialog->selectFile(name);
  QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
}

void TSoak::CheckBackground() {
  if (!FCover->Image1->HasBitmap()) return;
  const std::uint64_t sum = Checksum(*FCover->Image1->Bitmap());
  // A capture (each start) or a white board makes a new background.
  if (Desktop().Captures != FCaptures || FBackgroundMayChange) {
    FCaptures = Desktop().Captures;
    FBackgroundMayChange = false;
    FBackgroundSum = sum;
    return;
  }
  if (sum != FBackgroundSum) Fail("the background changed without a white board, a load or a start");
}

void TSoak::CheckTools() {
  if (!Form1->Working() || !QtOf(FCover)->isVisible()) return;
  if (const std::string problem = ToolDisagreement(); !problem.empty()) Fail(problem);
}

void TSoak::CheckAll() {
  CheckBackground();
  CheckTools();
}

void TSoak::BeginDragCheck() {
  FDragCheck = (FHeld & Qt::LeftButton) && Form1->Working() && QtOf(FCover)->isVisible() && FCover->Dragging();
  if (!FDragCheck) return;
  FDragTool = FCover->Tool();
  FDragColor = FCover->PenColor();
  Copy(FCover->PaintBox1->Pixels(), FAtPress);
}

void TSoak::EndDragCheck(bool selectionShown) {
  if (!Form1->Working() || !QtOf(FCover)->isVisible()) return;
  ++FDragsChecked;
  const std::string problem =
      LeftOverAfterDrag(FAtPress, FDragTool, FDragColor, selectionShown ? FCover->SelRect() : TRect{}, selectionShown);
  if (!problem.empty()) Fail(problem);
}

int TSoak::Run() {
  if (!FDir.isValid()) {
    std::fprintf(stderr, "soak: no temporary folder\n");
    return 1;
  }
  {
    QFile garbage(FDir.filePath(QStringLiteral("garbage.bmp")));
    if (garbage.open(QIODevice::WriteOnly)) garbage.write("BM this is not a picture at all");
  }
  QDir::setCurrent(FDir.path());
  // What takes the selection frame off the surface (or may: a whole-screen load that succeeds).
  const auto frameGone = [this] { FFrameShown = false; };
  for (TMenuItem* item : {Form1->Nrefresh, Form1->NWhite, FCover->N3, FCover->Nrectwhite})
    QObject::connect(QtAction(*item), &QAction::triggered, frameGone);
  for (QToolButton* button : {QtOf(FCover->TBrefresh), QtOf(FCover->TBwhite)})
    QObject::connect(button, &QToolButton::clicked, frameGone);
  // A load covers the frame if it succeeds and keeps it if it is cancelled or fails.
  const auto frameUnknown = [this] { FFrameUnknown = true; };
  QObject::connect(QtAction(*Form1->NOpen), &QAction::triggered, frameUnknown);
  QObject::connect(QtOf(FCover->TBopen), &QToolButton::clicked, frameUnknown);
  QTimer answerer;
  answerer.setInterval(0);
  QObject::connect(&answerer, &QTimer::timeout, [this] { Answer(); });
  answerer.start();

  CheckBackground();
  const auto started = Clock::now();
  long rssAtWarm = 0, peakAtWarm = 0;
  const std::int64_t warm = Options.Events / 10;
  for (FIndex = 0; FIndex < Options.Events; ++FIndex) {
    RunningEvent = FIndex;
    EventStartedNs = NowNs();
    const bool wasWorking = Form1->Working();
    const std::int64_t t0 = NowNs();
    Step();
    TCost& cost = FCosts[CurrentName];
    const std::int64_t spent = NowNs() - t0;
    ++cost.Count;
    cost.Ns += spent;
    cost.MaxNs = std::max(cost.MaxNs, spent);
    if (!wasWorking && Form1->Working()) ++FStarts;
    if (Desktop().Captures != FFrameCaptures) {
      // A new showing starts with the captured screen alone.
      FFrameCaptures = Desktop().Captures;
      FFrameShown = false;
      FFrameUnknown = false;
    }
    const bool everyEvent = Options.From >= 0 && FIndex >= Options.From;
    if (everyEvent || FIndex % 64 == 0) CheckTools();
    if (everyEvent || FIndex % 256 == 0) CheckBackground();
    // Memory is compared at rest, where the program gives back what a showing freed: at the first
    // return to idle after the warm-up, and at the end with the program put back to idle.
    if (FIndex >= warm && rssAtWarm == 0 && wasWorking && !Form1->Working()) ReadRss(rssAtWarm, peakAtWarm);
    if (FIndex > 0 && FIndex % Options.Report == 0) {
      long now, peak, used, held;
      ReadRss(now, peak);
      ReadHeap(used, held);
      const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
      std::printf("soak: %" PRId64
                  " events, %.0f events/s, RSS %ld kB (peak %ld kB), heap in use %ld kB, free in heap %ld kB, "
                  "pixel pool %zu kB in %d blocks\n",
                  FIndex, FIndex / seconds, now, peak, used, held, TPixelPool::FreePixels() * 4 / 1024,
                  TPixelPool::FreeBlocks());
      std::fflush(stdout);
    }
  }
  CheckAll();
  const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
  if (Form1->Working()) {
    // The end of the lesson: whatever dialog the stop meets is answered as before.
    HotKey();
    Application->ProcessMessages();
    Application->ProcessMessages();
  }
  EventStartedNs = 0;
  Finished = true;
  long rss, peak;
  ReadRss(rss, peak);
  std::printf("soak: seed %" PRIu64 ": %" PRId64 " events in %.1f s, %.0f events/s\n", Options.Seed, Options.Events,
              seconds, Options.Events / seconds);
  std::printf("soak: %" PRId64 " starts, %" PRId64 " drags checked, %" PRId64 " dialogs, %" PRId64 " message boxes\n",
              FStarts, FDragsChecked, FDialogs, FMessages);
  std::printf(
      "soak: RSS at rest after warm-up: %ld kB, at rest at the end: %ld kB, peak: %ld kB, growth after warm-up: %ld "
      "kB\n",
      rssAtWarm, rss, peak, rss - rssAtWarm);
  if (qEnvironmentVariableIsSet("SOAK_COSTS")) {
    for (const auto& [name, cost] : FCosts)
      std::printf("  %-32s %8" PRId64 " x %8.3f ms, max %8.1f ms\n", name.c_str(), cost.Count,
                  cost.Ns / 1e6 / cost.Count, cost.MaxNs / 1e6);
  }
  // Flat memory is judged on long runs only: a short one is still warming up.
  if (Options.Events >= 200000 && rssAtWarm > 0 && rss - rssAtWarm >= 1024) {
    std::fprintf(stderr, "soak: FAILED: resident memory grew by %ld kB after warm-up\n", rss - rssAtWarm);
    return 1;
  }
  return 0;
}

bool ParseOptions(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return false;
    const char* value = argv[++i];
    char* end = nullptr;
    const long long n = std::strtoll(value, &end, 10);
    if (!end || *end || n < 0) return false;
    if (arg == "--seed")
      Options.Seed = std::uint64_t(n);
    else if (arg == "--events")
      Options.Events = n;
    else if (arg == "--from")
      Options.From = n;
    else if (arg == "--report")
      Options.Report = std::max(1LL, n);
    else if (arg == "--watchdog")
      Options.WatchdogSeconds = int(std::max(1LL, n));
    else
      return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Program = argv[0];
  if (!ParseOptions(argc, argv)) {
    std::fprintf(stderr, "usage: %s --seed N --events M [--from K] [--report EVERY] [--watchdog SECONDS]\n", argv[0]);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // Warnings of the toolkit's own (a font missing, a dialog's chatter) would drown the report.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtFatalMsg || type == QtCriticalMsg) std::fprintf(stderr, "%s\n", qPrintable(text));
  });
  int qtArgc = 1;
  TApplication app(qtArgc, argv);
  CreateTestForms(app);
  std::printf("soak: seed %" PRIu64 ", %" PRId64 " events\n", Options.Seed, Options.Events);
  std::fflush(stdout);
  std::thread watchdog(Watchdog);
  TSoak soak;
  const int status = soak.Run();
  Finished = true;
  watchdog.join();
  std::fflush(stdout);
  return status;
}
