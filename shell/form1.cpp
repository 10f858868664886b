#include "shell/form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QScopeGuard>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <memory>

#include "platform/application.h"
#include "platform/desktop.h"
#include "platform/image.h"
#include "platform/raster/pixelpool.h"
#include "platform/screens.h"
#include "platform/sysutils.h"
#include "shell/foption.h"
#include "shell/pictures.h"
#include "surface/fcover.h"

TForm1* Form1 = nullptr;

namespace {

// Screen-sized blocks the pixel pool keeps while idle (see StopDrawing).
constexpr int IdlePoolBlocks = 2;

// Closes the pop-up menus that are open; true when there was one.
bool CloseOpenMenus() {
  bool closed = false;
  // Each pass closes the topmost; a menu that refused to close must not hold the loop.
  for (int pass = 0; pass < 8; ++pass) {
    QWidget* popup = QApplication::activePopupWidget();
    if (!popup) break;
    popup->close();
    closed = true;
  }
  return closed;
}

// The menu items that the two states switch, with their enabling in each.
struct TEnableRow {
  QAction* Ui::Form1::*Item;
  bool Working;
  bool Idle;
};

constexpr TEnableRow EnableRows[] = {
    {&Ui::Form1::Nstart, false, true},   {&Ui::Form1::Nstop, true, false},      {&Ui::Form1::Nexit, false, true},
    {&Ui::Form1::Nrefresh, true, false}, {&Ui::Form1::Noption, true, true},     {&Ui::Form1::NCaption, true, false},
    {&Ui::Form1::NCircle, true, false},  {&Ui::Form1::NRoundRect, true, false}, {&Ui::Form1::NDiamond, true, false},
    {&Ui::Form1::NEraser, true, false},  {&Ui::Form1::NLine, true, false},      {&Ui::Form1::NPen, true, false},
    {&Ui::Form1::NRect, true, false},    {&Ui::Form1::NWhite, true, false},     {&Ui::Form1::Nshowtools, true, false},
    {&Ui::Form1::NOpen, true, false},    {&Ui::Form1::NSave, true, false},
};

// The main menu in display order, each item with its handler and its picture in the surface's
// glyph list (-1: none from the list).
struct TMenuRow {
  QAction* Ui::Form1::*Item;
  void (TForm1::*Click)();
  int Glyph;
};

constexpr TMenuRow MenuRows[] = {
    {&Ui::Form1::Nstart, &TForm1::NstartClick, -1},
    {&Ui::Form1::Nstop, &TForm1::NstopClick, 0},
    {&Ui::Form1::NPen, &TForm1::NPenClick, 1},
    {&Ui::Form1::NLine, &TForm1::NLineClick, 2},
    {&Ui::Form1::NRect, &TForm1::NRectClick, 4},
    {&Ui::Form1::NCircle, &TForm1::NCircleClick, 3},
    {&Ui::Form1::NRoundRect, &TForm1::NRoundRectClick, 5},
    {&Ui::Form1::NDiamond, &TForm1::NDiamondClick, 6},
    {&Ui::Form1::NEraser, &TForm1::NEraserClick, 9},
    {&Ui::Form1::Nrefresh, &TForm1::NrefreshClick, 8},
    {&Ui::Form1::NCaption, &TForm1::NCaptionClick, 7},
    {&Ui::Form1::NWhite, &TForm1::NWhiteClick, 15},
    {&Ui::Form1::Nshowtools, &TForm1::NshowtoolsClick, -1},
    {&Ui::Form1::NSave, &TForm1::NSaveClick, 16},
    {&Ui::Form1::NOpen, &TForm1::NOpenClick, 17},
    {&Ui::Form1::NShowMark, &TForm1::NShowMarkClick, -1},
    {&Ui::Form1::Noption, &TForm1::NoptionClick, -1},
    {&Ui::Form1::Nexit, &TForm1::NexitClick, -1},
};

const QString TrayTip = QStringLiteral("Quilmar - Quilmar开发组");

// The marker lives in logical coordinates of the primary screen, which need not lie at the
// desktop's origin.
QRect ScreenArea() {
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

// Beyond the right edge of every screen: parked there the marker lies on none of them.
int ParkingLeft() {
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->virtualGeometry().right() + 1 : ScreenArea().right() + 1;
}

}  // namespace

TForm1::TForm1() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  ::Form1 = this;
  setupUi(this);
  Image1->SetPicture(MarkerPicture().toImage());
  Image1->SetStretch(true);
  Image1->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(Image1, &QWidget::customContextMenuRequested, this, [this] { PopupMenu1->popup(QCursor::pos()); });
  Bplay->setIcon(PlayGlyph());
  Bplay->setIconSize(QSize(15, 15));
  connect(Bplay, &QToolButton::clicked, this, Handler(this, &TForm1::BplayClick));
  connect(Bleft, &QPushButton::clicked, this, Handler(this, &TForm1::BleftClick));
  connect(Bright, &QPushButton::clicked, this, Handler(this, &TForm1::BrightClick));
  connect(Bup, &QPushButton::clicked, this, Handler(this, &TForm1::BupClick));
  connect(Bdown, &QPushButton::clicked, this, Handler(this, &TForm1::BdownClick));
  BuildMenu();

  ImageList1.Add(TrayPicture());
  FTrayIcon = ImageList1.Icon(0);
  const auto trayMouse = [this](std::intptr_t mouse) {
    TMessage message{WM_TRAYICON, 112, mouse, 0};
    RunHandler([&] { Dispatch(message); });
  };
  // The platform's own icon where it has one (Windows: callback message 1136), Qt's otherwise.
  if (!Application->Desktop().ShowTrayIcon(ImageList1.Pixmap(0).toImage(), TrayTip, trayMouse)) {
    FTray = new QSystemTrayIcon(FTrayIcon, this);
    FTray->setToolTip(TrayTip);
    connect(FTray, &QSystemTrayIcon::activated, this, [trayMouse](QSystemTrayIcon::ActivationReason reason) {
      if (reason == QSystemTrayIcon::Context) trayMouse(WM_RBUTTONDOWN);
      if (reason == QSystemTrayIcon::DoubleClick) trayMouse(WM_LBUTTONDBLCLK);
    });
    FTray->show();
  }
  Application->Desktop().HideFromTaskbar();

  MoveMarker(ScreenArea().right() + 1 - 52, ScreenArea().top() + 28);
  FMarkWidth = 36;
  FMarkHeight = 36;
  FShowMark = true;
  FSavedLeft = FLeft;
  FormCreate();
}

TForm1::~TForm1() {
  FormDestroy();
  delete FTray;
  FTray = nullptr;
  if (::Form1 == this) ::Form1 = nullptr;
}

void TForm1::BuildMenu() {
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  for (const TMenuRow& row : MenuRows) {
    QAction* item = this->*row.Item;
    PopupMenu1->addAction(item);
    connect(item, &QAction::triggered, this, [this, item, click = row.Click] {
      // The menu toggles a checkable item itself; the handlers decide the check marks.
      if (item->isCheckable()) item->setChecked(!item->isChecked());
      RunHandler([&] { (this->*click)(); });
    });
  }
  Nstart->setIcon(QIcon(PlayGlyph()));
  Nexit->setIcon(QIcon(ExitGlyph()));
}

void TForm1::SetMenuImages(const TImageList& images) {
  for (const TMenuRow& row : MenuRows) {
    if (row.Glyph >= 0) (this->*row.Item)->setIcon(images.Icon(row.Glyph));
  }
}

void TForm1::FormCreate() {
  FActivateMsg = RegisterWindowMessage(QStringLiteral("KezOnlyOne"));
  Application->HookMainWindow([this](TMessage& message) { return ActivateHook(message); }, this);
  FHotKeyAtom = GlobalAddAtom(QStringLiteral("hot key"));
  const bool registered = Application->Desktop().RegisterHotKey(
      FHotKeyAtom, MOD_CONTROL_KEY, VK_F1_KEY, [this](int id, unsigned modifiers, unsigned key) {
        TMessage message{WM_HOTKEY, static_cast<std::uintptr_t>(id),
                         MakeLong(static_cast<std::uint16_t>(modifiers), static_cast<std::uint16_t>(key)), 0};
        auto dispatch = [this, message]() mutable { RunHandler([&] { Dispatch(message); }); };
        // A menu that was open ran its own loop; the switch waits until that loop has returned.
        if (CloseOpenMenus())
          QTimer::singleShot(0, this, dispatch);
        else
          dispatch();
      });
  // The menu and the play button still switch states; the tip tells why Ctrl+F1 does not.
  if (!registered) {
    const QString tip = TrayTip + QStringLiteral(" (Ctrl+F1 已被其他程序占用)");
    if (FTray)
      FTray->setToolTip(tip);
    else
      Application->Desktop().SetTrayTip(tip);
  }
}

void TForm1::FormDestroy() {
  Application->UnhookMainWindow(this);
  GlobalDeleteAtom(FHotKeyAtom);
  Application->Desktop().UnregisterHotKeys();
}

void TForm1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  FormShow();
}

void TForm1::FormShow() { resize(FMarkWidth, FMarkHeight); }

void TForm1::closeEvent(QCloseEvent* event) {
  event->accept();
  // The main form's closing ends the message loop.
  QCoreApplication::quit();
}

bool TForm1::ActivateHook(TMessage& message) {
  if (message.Msg != FActivateMsg) return false;
  Application->Restore();
  Application->BringToFront();
  message.Result = 0;
  return true;
}

void TForm1::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_HOTKEY: WMHotKey(message); break;
    case WM_TRAYICON: WMTrayIcon(message); break;
    default: break;
  }
}

void TForm1::WMHotKey(TMessage message) {
  if (HiWord(message.LParam) != VK_F1_KEY || LoWord(message.LParam) != MOD_CONTROL_KEY) return;
  if (Nstart->isEnabled())
    StartDrawing();
  else
    StopDrawing();
}

void TForm1::WMTrayIcon(TMessage& message) {
  if (message.LParam == WM_LBUTTONDBLCLK) FOption->ShowModal();
  if (message.LParam == WM_RBUTTONDOWN) PopupMenu1->popup(QCursor::pos());
}

bool TForm1::Working() const { return !Nstart->isEnabled(); }

void TForm1::SetMarkerControlsVisible(bool visible) {
  for (QWidget* control : {static_cast<QWidget*>(Bup), static_cast<QWidget*>(Bdown), static_cast<QWidget*>(Bleft),
                           static_cast<QWidget*>(Bright), static_cast<QWidget*>(Bplay), static_cast<QWidget*>(Image1)})
    control->setVisible(visible);
}

void TForm1::StartDrawing() {
  if (FSwitching) return;
  FSwitching = true;
  const auto done = qScopeGuard([this] { FSwitching = false; });
  SetMarkerControlsVisible(false);
  Application->ProcessMessages();
  EnableWorkingMenu();
  try {
    // The screen the teacher points at is the one frozen: with a projector, the class's.
    FCover->PrepareForShowing(ScreenUnderPointer());
  } catch (const EOutOfResources& e) {
    // Nothing is frozen: the program stays idle, as it was, and says why.
    DisableWorkingMenu();
    SetMarkerControlsVisible(true);
    ShowMessage(Application->DialogParent(), e.Message());
    return;
  }
  Application->ProcessMessages();
  // The screen as it looks now, the emptied marker included, becomes the background.
  CaptureScreen(FCover->Image1->Canvas()->Handle());
  FCover->Show();
}

void TForm1::StopDrawing() {
  if (FSwitching) return;
  FSwitching = true;
  const auto done = qScopeGuard([this] { FSwitching = false; });
  DisableWorkingMenu();
  FCover->Close();
  FCover->FTool = dtPen;
  FCover->PaintBox1->SetCursor(crDefault);
  SetMarkerControlsVisible(true);
  raise();
  // Closing destroyed the surface's native window; the next one is made while idle, sized
  // first, on the screen just used, so that the next Ctrl+F1 there does not wait for it.
  QTimer::singleShot(0, FCover, [] {
    if (FCover->isVisible()) return;
    RunHandler([] {
      try {
        FCover->PrepareForShowing(FCover->ScreenInUse());
      } catch (const EOutOfResources&) {
        return;  // told at the next Ctrl+F1, if the screen is still too large then
      }
      FCover->winId();
      // A resident program keeps while idle only what the next showing needs: the pool keeps
      // two screen-sized blocks (the snapshot under a dialog and a save buffer), the heap
      // gives back what the showing freed, and the font files' pages the captions read go. Otherwise both would keep
      // the most a session ever had at once, and grow with each new size of picture or region over the day.
      TPixelPool::Trim(IdlePoolBlocks);
      ReleaseFreeMemory();
      ReleaseMappedDataPages();
    });
  });
}

void TForm1::EnableWorkingMenu() {
  for (const TEnableRow& row : EnableRows) (this->*row.Item)->setEnabled(row.Working);
  FCover->SyncToolState();
}

void TForm1::DisableWorkingMenu() {
  for (const TEnableRow& row : EnableRows) (this->*row.Item)->setEnabled(row.Idle);
}

void TForm1::CaptureScreen(TBitmap* target) {
  if (!target) return;
  // The screen the surface covers, wherever it lies on the desktop.
  const QRect area = FCover->DeviceArea();
  Application->Desktop().CaptureScreen(*target, area.x(), area.y(), area.width(), area.height());
}

void TForm1::ChooseTool(int tool) {
  FCover->FTool = static_cast<TDrawTool>(tool);
  FCover->SyncToolState();
}

void TForm1::NstartClick() { StartDrawing(); }
void TForm1::NstopClick() { StopDrawing(); }
void TForm1::NPenClick() { ChooseTool(dtPen); }
void TForm1::NLineClick() { ChooseTool(dtLine); }
void TForm1::NRectClick() { ChooseTool(dtRect); }
void TForm1::NCircleClick() { ChooseTool(dtEllipse); }
void TForm1::NRoundRectClick() { ChooseTool(dtRoundRect); }
void TForm1::NDiamondClick() { ChooseTool(dtDiamond); }
void TForm1::NEraserClick() { ChooseTool(dtEraser); }
void TForm1::NCaptionClick() { ChooseTool(dtSelect); }
void TForm1::NrefreshClick() { FCover->TBrefreshClick(); }
void TForm1::NWhiteClick() { FCover->TBwhiteClick(); }
void TForm1::NSaveClick() { FCover->SaveFullScreen(); }
void TForm1::NOpenClick() { FCover->LoadImageFullScreen(); }

void TForm1::NshowtoolsClick() {
  const bool show = !Nshowtools->isChecked();
  FCover->ToolBar1->setVisible(show);
  Nshowtools->setChecked(show);
}

void TForm1::NShowMarkClick() {
  NShowMark->setChecked(!NShowMark->isChecked());
  FShowMark = NShowMark->isChecked();
  ApplyShowMark();
}

void TForm1::NoptionClick() {
  // Refused while the help is already open: the snapshot is let go at once.
  std::unique_ptr<TImage> snapshot(FCover->SnapshotSurface());
  FOption->ShowModal();
  Application->ProcessMessages();
  FCover->RestoreSurface(snapshot.release());
}

void TForm1::NexitClick() { close(); }

void TForm1::BplayClick() { StartDrawing(); }
void TForm1::BleftClick() { MoveMarker(ScreenArea().left() + 16, FTop); }
void TForm1::BrightClick() { MoveMarker(ScreenArea().right() + 1 - width() - 16, FTop); }
void TForm1::BupClick() { MoveMarker(FLeft, ScreenArea().top() + 28); }
void TForm1::BdownClick() { MoveMarker(FLeft, ScreenArea().bottom() + 1 - height() - 32); }

void TForm1::MoveMarker(int left, int top) {
  FLeft = left;
  FTop = top;
  move(left, top);
}

void TForm1::ApplyShowMark() {
  if (FShowMark) {
    MoveMarker(FSavedLeft, FTop);
    show();
  } else {
    FSavedLeft = FLeft;
    // Parked beyond the right edge. A window manager keeps a sliver of each window it manages
    // on the screen, so the parked marker is taken off it too: not one pixel of it shows.
    MoveMarker(ParkingLeft(), FTop);
    hide();
  }
  Application->ProcessMessages();
}
