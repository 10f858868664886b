#include "shell/form1.h"

#include <memory>

#include "platform/application.h"
#include "platform/desktop.h"
#include "platform/dialogs.h"
#include "platform/image.h"
#include "platform/formbuilder.h"
#include "platform/raster/pixelpool.h"
#include "platform/sysutils.h"
#include "platform/timers.h"
#include "shell/foption.h"
#include "shell/pictures.h"
#include "surface/fcover.h"

TForm1* Form1 = nullptr;

namespace {

// Screen-sized blocks the pixel pool keeps while idle (see StopDrawing).
constexpr int IdlePoolBlocks = 2;
// How long after start-up or the return to idle the mapped data pages are let go.
constexpr int IdleReleaseDelayMs = 3000;

// Runs `done` when the scope is left, however.
template <class F>
class TOnExit {
 public:
  explicit TOnExit(F done) : FDone(std::move(done)) {}
  ~TOnExit() { FDone(); }
  TOnExit(const TOnExit&) = delete;
  TOnExit& operator=(const TOnExit&) = delete;

 private:
  F FDone;
};

// The menu items that the two states switch, with their enabling in each.
struct TEnableRow {
  TMenuItem* TForm1::*Item;
  bool Working;
  bool Idle;
};

constexpr TEnableRow EnableRows[] = {
    {&TForm1::Nstart, false, true},   {&TForm1::Nstop, true, false},      {&TForm1::Nexit, false, true},
    {&TForm1::Nrefresh, true, false}, {&TForm1::Noption, true, true},     {&TForm1::NCaption, true, false},
    {&TForm1::NCircle, true, false},  {&TForm1::NRoundRect, true, false}, {&TForm1::NDiamond, true, false},
    {&TForm1::NEraser, true, false},  {&TForm1::NLine, true, false},      {&TForm1::NPen, true, false},
    {&TForm1::NRect, true, false},    {&TForm1::NWhite, true, false},     {&TForm1::Nshowtools, true, false},
    {&TForm1::NOpen, true, false},    {&TForm1::NSave, true, false},
};

// The main menu's items, by the names of the form's description.
struct TMenuMember {
  const char* Name;
  TMenuItem* TForm1::*Item;
};

constexpr TMenuMember MenuMembers[] = {
    {"Nstart", &TForm1::Nstart},         {"Nstop", &TForm1::Nstop},       {"NPen", &TForm1::NPen},
    {"NLine", &TForm1::NLine},           {"NRect", &TForm1::NRect},       {"NCircle", &TForm1::NCircle},
    {"NRoundRect", &TForm1::NRoundRect}, {"NDiamond", &TForm1::NDiamond}, {"NEraser", &TForm1::NEraser},
    {"Nrefresh", &TForm1::Nrefresh},     {"NCaption", &TForm1::NCaption}, {"NWhite", &TForm1::NWhite},
    {"Nshowtools", &TForm1::Nshowtools}, {"NSave", &TForm1::NSave},       {"NOpen", &TForm1::NOpen},
    {"NShowMark", &TForm1::NShowMark},   {"Noption", &TForm1::Noption},   {"Nexit", &TForm1::Nexit},
};

// The handlers the description's events name.
struct THandlerName {
  const char* Name;
  void (TForm1::*Click)();
};

constexpr THandlerName Handlers[] = {
    {"NstartClick", &TForm1::NstartClick},
    {"NstopClick", &TForm1::NstopClick},
    {"NPenClick", &TForm1::NPenClick},
    {"NLineClick", &TForm1::NLineClick},
    {"NRectClick", &TForm1::NRectClick},
    {"NCircleClick", &TForm1::NCircleClick},
    {"NRoundRectClick", &TForm1::NRoundRectClick},
    {"NDiamondClick", &TForm1::NDiamondClick},
    {"NEraserClick", &TForm1::NEraserClick},
    {"NrefreshClick", &TForm1::NrefreshClick},
    {"NCaptionClick", &TForm1::NCaptionClick},
    {"NWhiteClick", &TForm1::NWhiteClick},
    {"NshowtoolsClick", &TForm1::NshowtoolsClick},
    {"NSaveClick", &TForm1::NSaveClick},
    {"NOpenClick", &TForm1::NOpenClick},
    {"NShowMarkClick", &TForm1::NShowMarkClick},
    {"NoptionClick", &TForm1::NoptionClick},
    {"NexitClick", &TForm1::NexitClick},
    {"BplayClick", &TForm1::BplayClick},
    {"BleftClick", &TForm1::BleftClick},
    {"BrightClick", &TForm1::BrightClick},
    {"BupClick", &TForm1::BupClick},
    {"BdownClick", &TForm1::BdownClick},
};

const String TrayTip = "Quilmar - Quilmar开发组";

// The marker lives in logical coordinates of the primary screen, which need not lie at the
// desktop's origin.
TRect ScreenArea() { return Screen().PrimaryMonitorRect(); }

// Beyond the right edge of every screen: parked there the marker lies on none of them.
int ParkingLeft() { return Screen().DesktopRect().Right; }

}  // namespace

TForm1::TForm1() : TForm("Form1") {
  ::Form1 = this;
  BuildForm();
  Image1->SetPicture(MarkerPicture());
  Bplay->SetGlyph(PlayGlyph(), 15);
  Nstart->SetPicture(PlayGlyph());
  Nexit->SetPicture(ExitGlyph());

  ImageList1.Add(TrayPicture());
  // The platform's own icon where it has one (Windows: callback message 1136), the widgetset's
  // otherwise.
  FTray = std::make_unique<TTrayIcon>(ImageList1.Picture(0), TrayTip, [this](std::intptr_t mouse) {
    TMessage message{WM_TRAYICON, 112, mouse, 0};
    RunHandler([&] { Dispatch(message); });
  });
  Application->Desktop().HideFromTaskbar();

  MoveMarker(ScreenArea().Right - 52, ScreenArea().Top + 28);
  FMarkWidth = 36;
  FMarkHeight = 36;
  FShowMark = true;
  FSavedLeft = FLeft;
  FormCreate();
}

TForm1::~TForm1() {
  FormDestroy();
  FTray.reset();
  if (::Form1 == this) ::Form1 = nullptr;
}

void TForm1::BuildForm() {
  TFormBuilder form(*this, "Form1");
  form.Component("Image1", Image1)
      .Component("Bplay", Bplay)
      .Component("Bup", Bup)
      .Component("Bleft", Bleft)
      .Component("Bdown", Bdown)
      .Component("Bright", Bright)
      .Component("PopupMenu1", PopupMenu1);
  for (const TMenuMember& item : MenuMembers) form.Component(item.Name, this->*item.Item);
  for (const THandlerName& handler : Handlers)
    form.Handler(handler.Name, [this, click = handler.Click] { (this->*click)(); });
  form.Build();
}

void TForm1::SetMenuImages(const TImageList& images) {
  for (const auto& item : PopupMenu1->Items())
    if (item->ImageIndex >= 0) item->SetPicture(images, item->ImageIndex);
}

void TForm1::FormCreate() {
  FActivateMsg = RegisterWindowMessage("KezOnlyOne");
  Application->HookMainWindow([this](TMessage& message) { return ActivateHook(message); }, this);
  FHotKeyAtom = GlobalAddAtom("hot key");
  const bool registered = Application->Desktop().RegisterHotKey(
      FHotKeyAtom, MOD_CONTROL_KEY, VK_F1_KEY, [this](int id, unsigned modifiers, unsigned key) {
        TMessage message{WM_HOTKEY, static_cast<std::uintptr_t>(id),
                         MakeLong(static_cast<std::uint16_t>(modifiers), static_cast<std::uint16_t>(key)), 0};
        auto dispatch = [this, message]() mutable { RunHandler([&] { Dispatch(message); }); };
        // A menu that was open ran its own loop; the switch waits until that loop has returned.
        if (CloseOpenMenus())
          QueueCall(dispatch);
        else
          dispatch();
      });
  // The menu and the play button still switch states; the tip tells why Ctrl+F1 does not.
  if (!registered) {
    FTray->SetHint(TrayTip + " (Ctrl+F1 已被其他程序占用)");
  }
}

void TForm1::FormDestroy() {
  Application->UnhookMainWindow(this);
  GlobalDeleteAtom(FHotKeyAtom);
  Application->Desktop().UnregisterHotKeys();
}

void TForm1::FormShow() { SetClientSize(FMarkWidth, FMarkHeight); }

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
  if (Nstart->Enabled())
    StartDrawing();
  else
    StopDrawing();
}

void TForm1::WMTrayIcon(TMessage& message) {
  if (message.LParam == WM_LBUTTONDBLCLK) FOption->ShowModal();
  if (message.LParam == WM_RBUTTONDOWN) {
    const TPoint at = Screen().CursorPos();
    PopupMenu1->Popup(at.X, at.Y);
  }
}

bool TForm1::Working() const { return !Nstart->Enabled(); }

void TForm1::ReleaseIdlePagesLater() {
  // Finding those pages reads the process's whole memory map (20-60 ms): done once the desktop
  // has been idle a while, so that a Ctrl+F1 pressed at once never waits for it.
  CallAfter(IdleReleaseDelayMs, [] {
    if (Form1 && !Form1->Working()) ReleaseMappedDataPages();
  });
}

void TForm1::SetMarkerControlsVisible(bool visible) {
  for (TControl* control : {static_cast<TControl*>(Bup), static_cast<TControl*>(Bdown),
                            static_cast<TControl*>(Bleft), static_cast<TControl*>(Bright),
                            static_cast<TControl*>(Bplay)})
    control->SetVisible(visible);
  Image1->SetVisible(visible);
}

void TForm1::StartDrawing() {
  if (FSwitching) return;
  FSwitching = true;
  const TOnExit done([this] { FSwitching = false; });
  SetMarkerControlsVisible(false);
  Application->ProcessMessages();
  EnableWorkingMenu();
  try {
    // The screen the teacher points at is the one frozen: with a projector, the class's.
    FCover->PrepareForScreenUnderPointer();
  } catch (const EOutOfResources& e) {
    // Nothing is frozen: the program stays idle, as it was, and says why.
    DisableWorkingMenu();
    SetMarkerControlsVisible(true);
    ShowMessage(e.Message());
    return;
  }
  Application->ProcessMessages();
  // The screen as it looks now, the emptied marker included, becomes the background.
  CaptureScreen(FCover->Image1->Canvas()->Handle());
  FCover->Show();
  // The emptied marker steps behind the surface until the drawing stops (StopDrawing raises it).
  Lower();
  // The surface covers the tray's panel, but the icon beneath it still answers its clicks.
  FCover->PassInputThrough(FTray->BoundsRect());
}

void TForm1::StopDrawing() {
  if (FSwitching) return;
  FSwitching = true;
  const TOnExit done([this] { FSwitching = false; });
  DisableWorkingMenu();
  FCover->Close();
  FCover->FTool = dtPen;
  FCover->PaintBox1->SetCursor(crDefault);
  SetMarkerControlsVisible(true);
  Raise();
  // Closing destroyed the surface's native window; the next one is made while idle, sized
  // first, on the screen just used, so that the next Ctrl+F1 there does not wait for it.
  QueueCall([] {
    if (!FCover || FCover->Visible()) return;
    RunHandler([] {
      try {
        FCover->PrepareForShowing(FCover->MonitorInUse());
      } catch (const EOutOfResources&) {
        return;  // told at the next Ctrl+F1, if the screen is still too large then
      }
      FCover->CreateNativeWindow();
      // A resident program keeps while idle only what the next showing needs: the pool keeps
      // two screen-sized blocks (the snapshot under a dialog and a save buffer), the heap
      // gives back what the showing freed, and the font files' pages the captions read go.
      // Otherwise it would keep the most a session ever had at once, and grow with each new
      // size of picture or region over the day.
      TPixelPool::Trim(IdlePoolBlocks);
      ReleaseFreeMemory();
      Form1->ReleaseIdlePagesLater();
    });
  });
}

void TForm1::EnableWorkingMenu() {
  for (const TEnableRow& row : EnableRows) (this->*row.Item)->SetEnabled(row.Working);
  FCover->SyncToolState();
}

void TForm1::DisableWorkingMenu() {
  for (const TEnableRow& row : EnableRows) (this->*row.Item)->SetEnabled(row.Idle);
}

void TForm1::CaptureScreen(TBitmap* target) {
  if (!target) return;
  // The screen the surface covers, wherever it lies on the desktop.
  const TRect area = FCover->DeviceArea();
  Application->Desktop().CaptureScreen(*target, area.Left, area.Top, static_cast<int>(area.Width()),
                                       static_cast<int>(area.Height()));
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
  const bool show = !Nshowtools->Checked();
  FCover->ToolBar1->SetVisible(show);
  Nshowtools->SetChecked(show);
}

void TForm1::NShowMarkClick() {
  NShowMark->SetChecked(!NShowMark->Checked());
  FShowMark = NShowMark->Checked();
  ApplyShowMark();
}

void TForm1::NoptionClick() {
  // Refused while the help is already open: the snapshot is let go at once.
  std::unique_ptr<TImage> snapshot(FCover->SnapshotSurface());
  FOption->ShowModal();
  Application->ProcessMessages();
  FCover->RestoreSurface(snapshot.release());
}

void TForm1::NexitClick() { Close(); }

void TForm1::BplayClick() { StartDrawing(); }
void TForm1::BleftClick() { MoveMarker(ScreenArea().Left + 16, FTop); }
void TForm1::BrightClick() { MoveMarker(ScreenArea().Right - ClientWidth() - 16, FTop); }
void TForm1::BupClick() { MoveMarker(FLeft, ScreenArea().Top + 28); }
void TForm1::BdownClick() { MoveMarker(FLeft, ScreenArea().Bottom - ClientHeight() - 32); }

void TForm1::MoveMarker(int left, int top) {
  FLeft = left;
  FTop = top;
  MoveFrame(left, top);
}

void TForm1::ApplyShowMark() {
  if (FShowMark) {
    MoveMarker(FSavedLeft, FTop);
    Show();
  } else {
    FSavedLeft = FLeft;
    // Parked beyond the right edge. A window manager keeps a sliver of each window it manages
    // on the screen, so the parked marker is taken off it too: not one pixel of it shows.
    MoveMarker(ParkingLeft(), FTop);
    Hide();
  }
  Application->ProcessMessages();
}
