#include <QMenu>
#include <memory>

#include "platform/application.h"
#include "platform/image.h"
#include "platform/sysutils.h"
#include "shell/foption.h"
#include "shell/form1.h"
#include "surface/fcover.h"
#include "surface/glyphs.h"

namespace {

// Every button of the tool bar with its glyph and its handler.
struct TButtonRow {
  QToolButton* Ui::FCover::*Button;
  int Glyph;
  void (TFCover::*Click)();
};

constexpr TButtonRow ButtonRows[] = {
    {&Ui::FCover::TBstop, 10, &TFCover::TBstopClick},
    {&Ui::FCover::ToolButton1, 0, &TFCover::ToolButton1Click},
    {&Ui::FCover::TBpen, 1, &TFCover::TBpenClick},
    {&Ui::FCover::TBline, 2, &TFCover::TBlineClick},
    {&Ui::FCover::TBcircle, 3, &TFCover::TBcircleClick},
    {&Ui::FCover::TBrect, 4, &TFCover::TBrectClick},
    {&Ui::FCover::TBroundrect, 5, &TFCover::TBroundrectClick},
    {&Ui::FCover::TBdiamond, 6, &TFCover::TBdiamondClick},
    {&Ui::FCover::TBselect, 7, &TFCover::TBselectClick},
    {&Ui::FCover::TBeraser, 9, &TFCover::TBeraserClick},
    {&Ui::FCover::TBrefresh, 8, &TFCover::TBrefreshClick},
    {&Ui::FCover::TBwhite, 15, &TFCover::TBwhiteClick},
    {&Ui::FCover::TBsave, 16, &TFCover::SaveFullScreen},
    {&Ui::FCover::TBopen, 17, &TFCover::LoadImageFullScreen},
    {&Ui::FCover::TBFont, 19, &TFCover::TBFontClick},
    {&Ui::FCover::TBhelp, 20, &TFCover::TBhelpClick},
    {&Ui::FCover::ToolButton3, 11, &TFCover::ToolButton3Click},
    {&Ui::FCover::ToolButton4, 12, &TFCover::ToolButton4Click},
    {&Ui::FCover::ToolButton5, 13, &TFCover::ToolButton5Click},
    {&Ui::FCover::ToolButton6, 14, &TFCover::ToolButton6Click},
};

const QString TitleAndCredit = QStringLiteral("Quilmar课堂屏幕批注 1.0 - 作者:Quilmar开发组");

}  // namespace

void TFCover::BuildToolBar() {
  QPalette purple = ToolBar1->palette();
  purple.setColor(QPalette::Window, QColor(0x80, 0x00, 0x80));
  ToolBar1->setPalette(purple);
  ToolBar1->setAutoFillBackground(true);

  for (const TButtonRow& row : ButtonRows) {
    QToolButton* button = this->*row.Button;
    button->setIcon(ImageList1.Icon(row.Glyph));
    if (row.Click) connect(button, &QToolButton::clicked, this, Handler(this, row.Click));
  }
  TBstop->setToolTip(TitleAndCredit);

  MElinewidth->SetText(QStringLiteral(" 3"));
  UpDown1->SetRange(1, 20);
  UpDown1->SetPosition(3);
  UpDown1->SetAssociate(MElinewidth);
  MElinewidth->OnChange = Handler(this, &TFCover::MElinewidthChange);
  CBColor->Select(clRed);
  CBColor->OnChange = Handler(this, &TFCover::CBColorChange);
}

void TFCover::BuildRegionMenu() {
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  PopupMenu1->addActions({N4, N5, N1, N2, Npaste, Nloadtorect, N3, Nrectwhite});
  connect(PopupMenu1, &QMenu::aboutToShow, this, Handler(this, &TFCover::PopupMenu1Popup));
  const std::pair<QAction*, void (TFCover::*)()> commands[] = {
      {N4, &TFCover::N4Click},         {N5, &TFCover::N5Click},
      {N1, &TFCover::N1Click},         {N2, &TFCover::N2Click},
      {Npaste, &TFCover::NpasteClick}, {Nloadtorect, &TFCover::NloadtorectClick},
      {N3, &TFCover::N3Click},         {Nrectwhite, &TFCover::NrectwhiteClick},
  };
  // The menu runs inside the release handler; its commands are queued so that they run after
  // the release has been handled, with the selection already active.
  for (const auto& [command, click] : commands)
    connect(
        command, &QAction::triggered, this,
        [this, command = command, run = Handler(this, click)] {
          emit RegionCommand(command);
          run();
        },
        Qt::QueuedConnection);
  N4->setIcon(RegionSaveGlyph());
  N1->setIcon(RegionSaveGlyph());
  N5->setIcon(RegionCopyGlyph());
  N2->setIcon(RegionCopyGlyph());
  Npaste->setIcon(RegionPasteGlyph());
  Nloadtorect->setIcon(ImageList1.Icon(17));
  Nrectwhite->setIcon(ImageList1.Icon(15));
}

void TFCover::MElinewidthChange() {
  // An empty field fails the conversion; the previous width stays.
  FPenWidth = StrToInt(Trim(MElinewidth->Text()));
}

void TFCover::CBColorChange() { FPenColor = CBColor->Selected(); }

void TFCover::ToolButton1Click() {
  if (Form1) Form1->StopDrawing();
}

void TFCover::ToolButton3Click() { ToolBar1->move(ToolBar1->x(), 0); }
void TFCover::ToolButton4Click() { ToolBar1->move(ToolBar1->x(), height() - ToolBar1->height()); }
void TFCover::ToolButton5Click() { ToolBar1->move(0, ToolBar1->y()); }
void TFCover::ToolButton6Click() { ToolBar1->move(width() - ToolBar1->width(), ToolBar1->y()); }

void TFCover::TBstopClick() { Close(); }

void TFCover::TBhelpClick() {
  // Refused while the help is already open: the snapshot is let go at once.
  std::unique_ptr<TImage> snapshot(SnapshotSurface());
  FOption->ShowModal();
  Application->ProcessMessages();
  RestoreSurface(snapshot.release());
}
