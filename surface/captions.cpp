#include <cmath>
#include <cstdint>

#include "platform/fontdialog.h"
#include "platform/image.h"
#include "surface/fcover.h"

namespace {

// A line's length in the bytes of the Chinese code page (936, GBK): one for ASCII and for the
// euro sign, its one other single byte (0x80); two for any other character, a Chinese one for
// example. A character the code page lacks counts two as well rather than as the one byte of the
// '?' it would become: erasing allows a fixed width per byte, and its glyph is a wide one.
std::int32_t CaptionLength(const String& text) {
  std::int32_t length = 0;
  for (const char32_t c : TCodePoints(text)) length += c < 0x80 || c == U'\u20AC' ? 1 : 2;
  return length;
}

}  // namespace

void TFCover::EdChange() {
  TCanvas* canvas = PaintBox1->Canvas();
  const TBrushStyle keptStyle = canvas->Brush.Style;
  canvas->Brush.Style = bsClear;
  const String text = Ed->Text();
  if (!text.empty()) BeginCaptionStep();
  // The whole line is drawn again from its origin: what is already there is drawn over itself.
  if (FTextFont == nullptr) {
    const int keptSize = canvas->Font.Size;
    const TColor keptColor = canvas->Font.Color;
    canvas->Font.Size = FTextSize;
    canvas->Font.Color = FTextColor;
    canvas->TextOut(FTextX, FTextY - FTextSize / 2, text);
    canvas->Font.Size = keptSize;
    canvas->Font.Color = keptColor;
  } else {
    canvas->Font = *FTextFont;
    FTextSize = FTextFont->Size;
    canvas->TextOut(FTextX, FTextY - FTextSize / 2, text);
  }
  FTextLen = CaptionLength(text);
  canvas->Brush.Style = keptStyle;
  UpdateCaretRect();
}

void TFCover::EdKeyDown(int& key, TShiftState shift) {
  // Taken before the box sees them: its own undo would change the line behind the drawing.
  if (HistoryKey(key, shift)) {
    key = 0;
    return;
  }
  if (key == VK_BACK) {
    if (FTextLen <= 0) {
      FTextLen = 0;
      return;
    }
    // The background comes back over the line's box, taking the line and anything drawn in it;
    // the edit then deletes the character and the shortened line is drawn again.
    BeginCaptionStep();
    const std::int32_t s = FTextSize;
    const TRect box{FTextX, FTextY - s / 2, FTextX + FTextLen * s, FTextY + s + s / 4};
    TCanvas* canvas = PaintBox1->Canvas();
    canvas->CopyRect(box, *Image1->Canvas(), box);
    // A glyph wider than the box allows per byte (a "W" in a large font) would leave a remnant:
    // what the line really covers goes too.
    const TRect drawn = CaptionBounds(Ed->Text());
    canvas->CopyRect(drawn, *Image1->Canvas(), drawn);
    FTextLen -= 1;
  } else if (key == VK_RETURN) {
    EndCaptionStep();
    Ed->SetText("");
    FTextY += FTextSize + FTextSize / 3;
    UpdateCaretRect();
  }
}

void TFCover::TBFontClick() {
  // Once a font is chosen the dialog's font is the caption font itself.
  if (FTextFont == nullptr) {
    FontDialog1->Font.Size = FTextSize;
    FontDialog1->Font.Color = FTextColor;
  }
  TImage* snapshot = SnapshotSurface();
  if (FontDialog1->Execute()) FTextFont = &FontDialog1->Font;
  // A cancelled dialog gives back what it was preset with.
  FTextSize = FontDialog1->Font.Size;
  FTextColor = FontDialog1->Font.Color;
  RestoreSurface(snapshot);
  UpdateCaretRect();
}

TFont TFCover::CaptionFont() {
  if (FTextFont != nullptr) return *FTextFont;
  TFont font = PaintBox1->Canvas()->Font;
  font.Size = FTextSize;
  font.Color = FTextColor;
  return font;
}

TRect TFCover::CaptionBounds(const String& text) {
  TCanvas* canvas = PaintBox1->Canvas();
  const TFont kept = canvas->Font;
  canvas->Font = CaptionFont();
  const TRect box = canvas->TextBounds(FTextX, FTextY - canvas->Font.Size / 2, text);
  canvas->Font = kept;
  return box;
}

void TFCover::UpdateCaretRect() {
  // The input method shows its candidates where the caption goes on, not at the edit's hidden
  // corner.
  TCanvas* canvas = PaintBox1->Canvas();
  const TFont kept = canvas->Font;
  canvas->Font = CaptionFont();
  const String text = Ed->Text();
  const double x = FTextX + canvas->TextWidth(text);
  const double y = FTextY - canvas->Font.Size / 2;
  const double height = canvas->TextHeight(text);
  canvas->Font = kept;
  // A one-pixel-wide caret, in logical pixels: the smallest whole rectangle holding it.
  const double ratio = PixelRatio();
  const double left = x / ratio;
  const double top = y / ratio;
  Ed->SetCaretRect(TRect{static_cast<std::int32_t>(std::floor(left)), static_cast<std::int32_t>(std::floor(top)),
                         static_cast<std::int32_t>(std::ceil(left + 1 / ratio)),
                         static_cast<std::int32_t>(std::ceil(top + height / ratio))});
}

void TFCover::WarmUpCaptions() {
  // The first text drawn in a process loads the font list and the faces: done while idle, the
  // first caption shows as quickly as the later ones.
  TBitmap scratch(64, 64);
  TCanvas canvas(&scratch);
  canvas.Font = CaptionFont();
  canvas.Brush.Style = bsClear;
  canvas.TextOut(0, 0, "A你");
}
