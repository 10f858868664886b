#include "platform/application.h"
#include "platform/image.h"
#include "surface/fcover.h"

void TFCover::PaintBox1MouseDown(TMouseButton button, TShiftState, int x, int y) {
  // A press ends the caption line being typed: what the drag draws is not part of it.
  EndCaptionStep();
  // Typing after any press goes to the caption box.
  Ed->SetFocus();
  // Erased with the corners of the old selection, before the press point replaces them.
  if (FTool == dtSelect && FSelActive) {
    // Where the frame was drawn: strokes of another tool since have moved the start and end
    // points, and erasing there would draw a second frame instead.
    FStartX = FFrame.Left;
    FStartY = FFrame.Top;
    FLastX = FFrame.Right;
    FLastY = FFrame.Bottom;
    TrackSelectFrame(x, y, true);
    FSelActive = false;
  }
  if (button != mbLeft) return;
  FDragging = true;
  KeepEveryMove(FTool == dtPen || FTool == dtEraser);
  FStartX = x;
  FLastX = x;
  FStartY = y;
  FLastY = y;
  // A stroke or an eraser sweep is one step from press to release.
  if (FTool == dtPen || FTool == dtEraser) BeginStep();
}

void TFCover::PaintBox1MouseMove(TShiftState, int x, int y) {
  if (!FDragging) return;
  switch (FTool) {
    case dtPen: DrawFreehandTo(x, y); break;
    case dtEraser: EraseAt(x, y); break;
    case dtLine: TrackLine(x, y, false); break;
    case dtRect: TrackRect(x, y, false); break;
    case dtEllipse: TrackEllipse(x, y, false); break;
    case dtSelect: TrackSelectFrame(x, y, false); break;
    case dtRoundRect: TrackRoundRect(x, y, false); break;
    case dtDiamond: TrackDiamond(x, y, false); break;
  }
}

void TFCover::PaintBox1MouseUp(TMouseButton button, TShiftState, int x, int y) {
  if (button == mbLeft) {
    if (FDragging) {
      switch (FTool) {
        case dtPen: break;  // the stroke ended with the last move
        case dtEraser: EraseAt(x, y); break;
        case dtLine: TrackLine(x, y, true); break;
        case dtRect: TrackRect(x, y, true); break;
        case dtEllipse: TrackEllipse(x, y, true); break;
        case dtSelect: CompleteSelection(x, y); break;
        case dtRoundRect: TrackRoundRect(x, y, true); break;
        case dtDiamond: TrackDiamond(x, y, true); break;
      }
    }
    if (FHistory.InStep()) EndStep();
    FDragging = false;
    KeepEveryMove(false);
  }
  // Every release moves the caption origin: the next typed character starts a new caption here.
  EndCaptionStep();
  FTextX = x;
  FTextY = y;
  Ed->SetText("");
  FTextLen = 0;
  UpdateCaretRect();
}

void TFCover::KeepEveryMove(bool keep) {
  // Moves that queue up while the program is busy are merged into the last one by default. A
  // rubber-band preview needs only the last; a stroke or an eraser sweep needs every point, or
  // a quick stroke cuts its corners and a quick sweep leaves stripes behind.
  if (keep && !FMergedMoves) {
    FMergedMoves = Application->MergesPointerMoves();
    Application->SetMergePointerMoves(false);
  } else if (!keep && FMergedMoves) {
    Application->SetMergePointerMoves(*FMergedMoves);
    FMergedMoves.reset();
  }
}

void TFCover::CompleteSelection(int x, int y) {
  if (x > FStartX && y > FStartY) {
    FSelRect = TRect{FStartX, FStartY, x, y};
    FFrame = TRect{FStartX, FStartY, FLastX, FLastY};
    // The frame previewed last stays on screen for the region commands. The menu runs its own
    // loop; its commands are queued and run after this release has been handled.
    const TPoint at = Screen().CursorPos();
    PopupMenu1->PopupModal(at.X, at.Y);
    FSelActive = true;
    return;
  }
  TrackSelectFrame(x, y, true);
  FSelActive = false;
}

void TFCover::DrawFreehandTo(int x, int y) {
  TCanvas* canvas = PaintBox1->Canvas();
  const TPen kept = canvas->Pen;
  canvas->Pen.Color = FPenColor;
  canvas->Pen.Width = FPenWidth;
  canvas->Pen.Mode = pmCopy;
  canvas->MoveTo(FStartX, FStartY);
  canvas->LineTo(x, y);
  FStartX = x;
  FStartY = y;
  canvas->Pen.Color = kept.Color;
  canvas->Pen.Width = kept.Width;
  canvas->Pen.Mode = kept.Mode;
}

void TFCover::EraseAt(int x, int y) {
  const int half = FEraserSize / 2;
  const TRect square{x - half, y - half, x + half, y + half};
  // The background shows through: only the teacher's own drawing goes.
  PaintBox1->Canvas()->CopyRect(square, *Image1->Canvas(), square);
}

void TFCover::TBpenClick() { ChooseTool(dtPen); }
void TFCover::TBlineClick() { ChooseTool(dtLine); }
void TFCover::TBcircleClick() { ChooseTool(dtEllipse); }
void TFCover::TBrectClick() { ChooseTool(dtRect); }
void TFCover::TBroundrectClick() { ChooseTool(dtRoundRect); }
void TFCover::TBdiamondClick() { ChooseTool(dtDiamond); }
void TFCover::TBselectClick() { ChooseTool(dtSelect); }
void TFCover::TBeraserClick() { ChooseTool(dtEraser); }
