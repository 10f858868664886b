
#include <memory>

#include "platform/application.h"
#include "platform/clipboard.h"
#include "platform/image.h"
#include "surface/fcover.h"

TRect TFCover::SelInterior() const {
  return TRect{FSelRect.Left + 1, FSelRect.Top + 1, FSelRect.Right - 1, FSelRect.Bottom - 1};
}

std::unique_ptr<TImage> TFCover::CopyOfInterior(TCanvas& source) {
  const TRect interior = SelInterior();
  // A selection one or two pixels wide or high has no inside: nothing to copy.
  if (interior.IsEmpty()) return nullptr;
  auto buffer = HiddenImage(interior.Width(), interior.Height());
  buffer->Canvas()->CopyRect(TRect{0, 0, buffer->Width(), buffer->Height()}, source, interior);
  return buffer;
}

void TFCover::PopupMenu1Popup() { Npaste->SetEnabled(Clipboard().HasFormat(CF_BITMAP)); }

void TFCover::N4Click() { SaveSelectionForeground(); }
void TFCover::N5Click() { CopySelectionForeground(); }
void TFCover::N1Click() { SaveSelectionBackground(); }
void TFCover::N2Click() { CopySelectionBackground(); }
void TFCover::NpasteClick() { PasteIntoSelection(); }
void TFCover::N3Click() { ClearSelection(); }

void TFCover::SaveSelectionForeground() {
  const std::unique_ptr<TImage> buffer = CopyOfInterior(*PaintBox1->Canvas());
  if (buffer) SaveWithDialog(buffer->Bitmap());
}

void TFCover::SaveSelectionBackground() {
  const TRect interior = SelInterior();
  SaveBackgroundRect(interior.Left, interior.Top, interior.Right, interior.Bottom);
}

void TFCover::SaveBackgroundRect(int left, int top, int right, int bottom) {
  const TRect source{left, top, right, bottom};
  if (source.IsEmpty()) return;
  const auto buffer = HiddenImage(source.Width(), source.Height());
  buffer->Canvas()->CopyRect(TRect{0, 0, buffer->Width(), buffer->Height()}, *Image1->Canvas(), source);
  SaveWithDialog(buffer->Bitmap());
}

void TFCover::CopySelectionForeground() {
  const std::unique_ptr<TImage> buffer = CopyOfInterior(*PaintBox1->Canvas());
  // No empty picture goes on the clipboard: what another program copied stays.
  if (buffer) Clipboard().Assign(*buffer->Bitmap());
}

void TFCover::CopySelectionBackground() {
  const std::unique_ptr<TImage> buffer = CopyOfInterior(*Image1->Canvas());
  if (buffer) Clipboard().Assign(*buffer->Bitmap());
}

void TFCover::PasteIntoSelection() {
  // Another program may have changed the clipboard since the menu opened.
  if (!Clipboard().HasFormat(CF_BITMAP)) return;
  const TRect interior = SelInterior();
  if (interior.IsEmpty()) return;
  TBitmap picture;
  if (!Clipboard().GetBitmap(picture)) return;
  BeginStep();
  PaintBox1->Canvas()->StretchDraw(interior, picture);
  EndStep();
}

void TFCover::NloadtorectClick() {
  const TRect interior = SelInterior();
  if (interior.IsEmpty()) return;
  LoadImageIntoRect(interior.Left, interior.Top, interior.Right, interior.Bottom);
}

void TFCover::ClearSelection() {
  BeginStep();
  TrackSelectFrame(0, 0, true);
  // The whole rectangle, outline included, shows the background again.
  PaintBox1->Canvas()->CopyRect(FSelRect, *Image1->Canvas(), FSelRect);
  FSelActive = false;
  EndStep();
}

void TFCover::NrectwhiteClick() {
  BeginStep();
  TrackSelectFrame(0, 0, true);
  TCanvas* canvas = PaintBox1->Canvas();
  const TColor kept = canvas->Brush.Color;
  canvas->Brush.Color = clWhite;
  // A selection one pixel wide or high has no inside; its interior rectangle is reversed, and a
  // fill would whiten the frame's own column or row.
  if (const TRect interior = SelInterior(); !interior.IsEmpty()) canvas->FillRect(interior);
  canvas->Brush.Color = kept;
  FSelActive = false;
  EndStep();
}
