#include <memory>

#include "platform/application.h"
#include "platform/image.h"
#include "platform/formbuilder.h"
#include "platform/sysutils.h"
#include "platform/timers.h"
#include "shell/foption.h"
#include "shell/form1.h"
#include "surface/fcover.h"
#include "surface/glyphs.h"

namespace {

// Every button of the tool bar with its glyph and its handler.
// The form's components, by the names of its description.
template <class T>
struct TMember {
  const char* Name;
  T* TFCover::*Member;
};

constexpr TMember<TToolButton> ToolButtons[] = {
    {"TBstop", &TFCover::TBstop},
    {"ToolButton1", &TFCover::ToolButton1},
    {"TBpen", &TFCover::TBpen},
    {"TBline", &TFCover::TBline},
    {"TBcircle", &TFCover::TBcircle},
    {"TBrect", &TFCover::TBrect},
    {"TBroundrect", &TFCover::TBroundrect},
    {"TBdiamond", &TFCover::TBdiamond},
    {"TBselect", &TFCover::TBselect},
    {"TBeraser", &TFCover::TBeraser},
    {"TBrefresh", &TFCover::TBrefresh},
    {"TBwhite", &TFCover::TBwhite},
    {"TBsave", &TFCover::TBsave},
    {"TBopen", &TFCover::TBopen},
    {"TBFont", &TFCover::TBFont},
    {"TBhelp", &TFCover::TBhelp},
    {"ToolButton3", &TFCover::ToolButton3},
    {"ToolButton4", &TFCover::ToolButton4},
    {"ToolButton5", &TFCover::ToolButton5},
    {"ToolButton6", &TFCover::ToolButton6},
};

constexpr TMember<TMenuItem> RegionItems[] = {
    {"N4", &TFCover::N4},         {"N5", &TFCover::N5},
    {"N1", &TFCover::N1},         {"N2", &TFCover::N2},
    {"Npaste", &TFCover::Npaste}, {"Nloadtorect", &TFCover::Nloadtorect},
    {"N3", &TFCover::N3},         {"Nrectwhite", &TFCover::Nrectwhite},
};

struct THandlerName {
  const char* Name;
  void (TFCover::*Click)();
};

constexpr THandlerName ToolBarHandlers[] = {
    {"TBstopClick", &TFCover::TBstopClick},
    {"ToolButton1Click", &TFCover::ToolButton1Click},
    {"TBpenClick", &TFCover::TBpenClick},
    {"TBlineClick", &TFCover::TBlineClick},
    {"TBcircleClick", &TFCover::TBcircleClick},
    {"TBrectClick", &TFCover::TBrectClick},
    {"TBroundrectClick", &TFCover::TBroundrectClick},
    {"TBdiamondClick", &TFCover::TBdiamondClick},
    {"TBselectClick", &TFCover::TBselectClick},
    {"TBeraserClick", &TFCover::TBeraserClick},
    {"TBrefreshClick", &TFCover::TBrefreshClick},
    {"TBwhiteClick", &TFCover::TBwhiteClick},
    {"SaveFullScreen", &TFCover::SaveFullScreen},
    {"LoadImageFullScreen", &TFCover::LoadImageFullScreen},
    {"TBFontClick", &TFCover::TBFontClick},
    {"TBhelpClick", &TFCover::TBhelpClick},
    {"ToolButton3Click", &TFCover::ToolButton3Click},
    {"ToolButton4Click", &TFCover::ToolButton4Click},
    {"ToolButton5Click", &TFCover::ToolButton5Click},
    {"ToolButton6Click", &TFCover::ToolButton6Click},
    {"PopupMenu1Popup", &TFCover::PopupMenu1Popup},
};

// The region menu's commands, each with the item that names it.
struct TRegionCommand {
  const char* Name;
  void (TFCover::*Click)();
  TMenuItem* TFCover::*Item;
};

constexpr TRegionCommand RegionHandlers[] = {
    {"N4Click", &TFCover::N4Click, &TFCover::N4},
    {"N5Click", &TFCover::N5Click, &TFCover::N5},
    {"N1Click", &TFCover::N1Click, &TFCover::N1},
    {"N2Click", &TFCover::N2Click, &TFCover::N2},
    {"NpasteClick", &TFCover::NpasteClick, &TFCover::Npaste},
    {"NloadtorectClick", &TFCover::NloadtorectClick, &TFCover::Nloadtorect},
    {"N3Click", &TFCover::N3Click, &TFCover::N3},
    {"NrectwhiteClick", &TFCover::NrectwhiteClick, &TFCover::Nrectwhite},
};

const String TitleAndCredit = "Quilmar课堂屏幕批注 1.0 - 作者:Quilmar开发组";

}  // namespace

void TFCover::BuildForm() {
  TFormBuilder form(*this, "FCover");
  form.Component("Image1", Image1)
      .Component("PaintBox1", PaintBox1)
      .Component("Ed", Ed)
      .Component("ToolBar1", ToolBar1)
      .Component("MElinewidth", MElinewidth)
      .Component("UpDown1", UpDown1)
      .Component("CBColor", CBColor)
      .Component("PopupMenu1", PopupMenu1);
  for (const auto& button : ToolButtons) form.Component(button.Name, this->*button.Member);
  for (const auto& item : RegionItems) form.Component(item.Name, this->*item.Member);
  for (const THandlerName& handler : ToolBarHandlers)
    form.Handler(handler.Name, [this, click = handler.Click] { (this->*click)(); });
  // The region menu runs inside the release handler; its commands are queued so that they run
  // after the release has been handled, with the selection already active.
  for (const TRegionCommand& handler : RegionHandlers)
    form.Handler(handler.Name, [this, click = handler.Click, item = handler.Item] {
      TMenuItem* command = this->*item;
      QueueCall([this, command, click] {
        if (FCover != this) return;
        RunHandler([&] {
          if (OnRegionCommand) OnRegionCommand(command);
          (this->*click)();
        });
      });
    });
  form.Build();
}

void TFCover::BuildToolBar() {
  for (const auto& row : ToolButtons) {
    (this->*row.Member)->SetImages(ImageList1);
  }
  TBstop->SetHint(TitleAndCredit);

  MElinewidth->SetText(" 3");
  UpDown1->SetRange(1, 20);
  UpDown1->SetPosition(3);
  UpDown1->SetAssociate(MElinewidth);
  MElinewidth->OnChange = Handler(this, &TFCover::MElinewidthChange);
  CBColor->Select(clRed);
  CBColor->OnChange = Handler(this, &TFCover::CBColorChange);
}

void TFCover::BuildRegionMenu() {
  N4->SetPicture(RegionSaveGlyph());
  N1->SetPicture(RegionSaveGlyph());
  N5->SetPicture(RegionCopyGlyph());
  N2->SetPicture(RegionCopyGlyph());
  Npaste->SetPicture(RegionPasteGlyph());
  for (const auto& item : PopupMenu1->Items())
    if (item->ImageIndex >= 0) item->SetPicture(ImageList1, item->ImageIndex);
}

void TFCover::MElinewidthChange() {
  // An empty field fails the conversion; the previous width stays.
  FPenWidth = StrToInt(Trim(MElinewidth->Text()));
}

void TFCover::CBColorChange() { FPenColor = CBColor->Selected(); }

void TFCover::ToolButton1Click() {
  if (Form1) Form1->StopDrawing();
}

void TFCover::ToolButton3Click() { ToolBar1->Move(ToolBar1->Left(), 0); }
void TFCover::ToolButton4Click() {
  ToolBar1->Move(ToolBar1->Left(), ClientHeight() - static_cast<int>(ToolBar1->BoundsRect().Height()));
}
void TFCover::ToolButton5Click() { ToolBar1->Move(0, ToolBar1->Top()); }
void TFCover::ToolButton6Click() {
  ToolBar1->Move(ClientWidth() - static_cast<int>(ToolBar1->BoundsRect().Width()), ToolBar1->Top());
}

void TFCover::TBstopClick() { Close(); }

void TFCover::TBhelpClick() {
  // Refused while the help is already open: the snapshot is let go at once.
  std::unique_ptr<TImage> snapshot(SnapshotSurface());
  FOption->ShowModal();
  Application->ProcessMessages();
  RestoreSurface(snapshot.release());
}
