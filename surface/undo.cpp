#include "platform/image.h"
#include "surface/fcover.h"

void TFCover::BeginStep() {
  EndCaptionStep();
  // Made at the first step of a showing, so that a showing that draws nothing costs nothing.
  if (!FHistory.Started()) FHistory.Start(&PaintBox1->Pixels(), Image1->Canvas()->Handle());
  // Told only while a step is open: previews and frames cost nothing more.
  PaintBox1->Canvas()->SetChangeSink(FHistory.Sink(hlWindow));
  Image1->Canvas()->SetChangeSink(FHistory.Sink(hlBackground));
  // Pixels an earlier refresh left pending are made now: the step keeps what the window shows.
  PaintBox1->Pixels();
  // Drawing over the frame keeps the frame's pixels with the step's; undo then knows to put
  // them back before it takes the frame off.
  FHistory.Begin(FSelActive ? std::optional<TRect>(FFrame) : std::nullopt);
}

void TFCover::EndStep() {
  FCaptionStep = false;
  // Whatever the step left pending (a refresh's copy) is made now, so that the step sees it.
  PaintBox1->Pixels();
  FHistory.End();
  PaintBox1->Canvas()->SetChangeSink(nullptr);
  Image1->Canvas()->SetChangeSink(nullptr);
}

void TFCover::BeginCaptionStep() {
  if (FCaptionStep) return;
  BeginStep();
  FCaptionStep = true;
}

void TFCover::EndCaptionStep() {
  if (FCaptionStep) EndStep();
}

void TFCover::StopHistory() {
  FCaptionStep = false;
  PaintBox1->Canvas()->SetChangeSink(nullptr);
  if (Image1->HasBitmap()) Image1->Canvas()->SetChangeSink(nullptr);
  FHistory.Stop();
}

bool TFCover::HistoryKey(int key, TShiftState shift) {
  if ((shift & (ssCtrl | ssAlt)) != ssCtrl) return false;
  if (key == VK_Z && !(shift & ssShift)) {
    Undo();
    return true;
  }
  if (key == VK_Y || key == VK_Z) {
    Redo();
    return true;
  }
  return false;
}

void TFCover::XorFrame(const TRect& corners) {
  // As a press with the selection tool erases the frame: drawn again with the same corners.
  FStartX = corners.Left;
  FStartY = corners.Top;
  FLastX = corners.Right;
  FLastY = corners.Bottom;
  FBandShown = true;
  TrackSelectFrame(FLastX, FLastY, true);
}

void TFCover::EraseSelectionFrame() {
  if (!FSelActive) return;
  XorFrame(FFrame);
  FSelActive = false;
}

void TFCover::Undo() {
  // A drag in progress owns the window's pixels until its release.
  if (!Visible() || FDragging) return;
  // The line being typed ends: the next character starts a new one at the same place, not the
  // undone line again.
  EndCaptionStep();
  if (!Ed->Text().empty()) Ed->SetText("");
  FTextLen = 0;
  if (!FHistory.CanUndo()) return;
  PaintBox1->Pixels();
  // A frame on screen when the step began is among the pixels the step kept, drawn over what was
  // under it. The frame is put over the window (unless it is still there), the step's pixels go
  // back, and the frame comes off again: where the step kept it, and where it lay since, the
  // pixels under it show. A frame drawn after the step lies on top of it: taken off first.
  const std::optional<TRect> overlay = FHistory.UndoOverlay();
  const bool frameOn = FSelActive && overlay && *overlay == FFrame;
  if (!frameOn) EraseSelectionFrame();
  FSelActive = false;
  if (overlay) {
    bool first = true;
    FHistory.Undo([&] {
      // Before the step's pixels go back the frame is drawn unless still there; after, taken off.
      if (!(first && frameOn)) XorFrame(*overlay);
      first = false;
    });
  } else {
    FHistory.Undo();
  }
  PaintBox1->Repaint();
  UpdateCaretRect();
}

void TFCover::Redo() {
  if (!Visible() || FDragging) return;
  EndCaptionStep();
  if (!Ed->Text().empty()) Ed->SetText("");
  FTextLen = 0;
  if (!FHistory.CanRedo()) return;
  PaintBox1->Pixels();
  EraseSelectionFrame();
  FHistory.Redo();
  PaintBox1->Repaint();
  UpdateCaretRect();
}
