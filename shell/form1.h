#pragma once

#include <cstdint>
#include <memory>

#include "platform/forms.h"
#include "platform/imagelist.h"
#include "platform/menus.h"
#include "platform/stdctrls.h"
#include "platform/sysutils.h"
#include "platform/trayicon.h"

class TBitmap;
class TImage;

// The marker window: the main form, owner of the main menu, the hot key, the tray icon and the
// switch between the idle and the working state.
class TForm1 : public TForm {
 public:
  static constexpr std::uint32_t WM_TRAYICON = WM_USER + 112;  // 1136
  static constexpr std::intptr_t WM_LBUTTONDBLCLK = TrayDoubleClick;
  static constexpr std::intptr_t WM_RBUTTONDOWN = TrayRightPress;

  TForm1();
  ~TForm1() override;

  // The components of the form's description (resources/Form1.form).
  TImage* Image1 = nullptr;
  TSpeedButton* Bplay = nullptr;
  TButton* Bup = nullptr;
  TButton* Bleft = nullptr;
  TButton* Bdown = nullptr;
  TButton* Bright = nullptr;
  // The main menu, shared by the marker's picture, the tray icon and the surface.
  TPopupMenu* PopupMenu1 = nullptr;
  TMenuItem* Nstart = nullptr;
  TMenuItem* Nstop = nullptr;
  TMenuItem* NPen = nullptr;
  TMenuItem* NLine = nullptr;
  TMenuItem* NRect = nullptr;
  TMenuItem* NCircle = nullptr;
  TMenuItem* NRoundRect = nullptr;
  TMenuItem* NDiamond = nullptr;
  TMenuItem* NEraser = nullptr;
  TMenuItem* Nrefresh = nullptr;
  TMenuItem* NCaption = nullptr;
  TMenuItem* NWhite = nullptr;
  TMenuItem* Nshowtools = nullptr;
  TMenuItem* NSave = nullptr;
  TMenuItem* NOpen = nullptr;
  TMenuItem* NShowMark = nullptr;
  TMenuItem* Noption = nullptr;
  TMenuItem* Nexit = nullptr;
  // The marker's own list: the tray icon's picture.
  TImageList ImageList1{16, 16};

  void FormCreate();
  void FormDestroy();
  void FormShow();

  void StartDrawing();
  void StopDrawing();
  void EnableWorkingMenu();
  void DisableWorkingMenu();
  // Copies the whole screen as it looks now into target.
  void CaptureScreen(TBitmap* target);

  // The window's message dispatch: the hot key and the tray icon's messages.
  void Dispatch(TMessage& message);
  void WMHotKey(TMessage message);
  virtual void WMTrayIcon(TMessage& message);
  bool ActivateHook(TMessage& message);

  // Main menu.
  void NstartClick();
  void NstopClick();
  void NPenClick();
  void NLineClick();
  void NRectClick();
  void NCircleClick();
  void NRoundRectClick();
  void NDiamondClick();
  void NEraserClick();
  void NrefreshClick();
  void NCaptionClick();
  void NWhiteClick();
  void NshowtoolsClick();
  void NSaveClick();
  void NOpenClick();
  void NShowMarkClick();
  void NoptionClick();
  void NexitClick();

  // Marker buttons.
  void BplayClick();
  void BleftClick();
  void BrightClick();
  void BupClick();
  void BdownClick();
  void ApplyShowMark();

  // Gives the menu items their pictures from the surface's glyph list (made after this form).
  void SetMenuImages(const TImageList& images);

  bool Working() const;
  // Lets the pages of the data files read so far go a while from now, if still idle then.
  void ReleaseIdlePagesLater();

  void DoShow() override { FormShow(); }

 private:
  void SetMarkerControlsVisible(bool visible);
  void BuildForm();
  void ChooseTool(int tool);

  std::uint16_t FHotKeyAtom = 0;
  std::uint32_t FActivateMsg = 0;
  std::unique_ptr<TTrayIcon> FTray;
  void MoveMarker(int left, int top);
  int FSavedLeft = 0;
  // Where the marker was last put. The toolkit's idea of a window's place can lag behind the
  // window manager's after the marker is taken off the screen and shown again.
  int FLeft = 0;
  int FTop = 0;
  int FMarkWidth = 36;
  int FMarkHeight = 36;
  bool FShowMark = true;
  // The state switch handles pending messages on its way; a hot key or menu command arriving
  // then must not start a second switch inside the first.
  bool FSwitching = false;
};

extern TForm1* Form1;
