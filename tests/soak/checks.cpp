#include "tests/soak/checks.h"

#include <QAction>
#include <QLineEdit>
#include <QToolButton>
#include <cstring>

#include "platform/qt/qtcontrols.h"
#include "platform/image.h"
#include "platform/paintbox.h"
#include "platform/qt/qtmenus.h"
#include "shell/form1.h"

namespace {

constexpr std::uint32_t RgbMask = 0x00FFFFFFu;

// Each tool with its button and its menu item.
struct TToolRow {
  TDrawTool Tool;
  TToolButton* TFCover::*Button;
  TMenuItem* TForm1::*Item;
  const char* Name;
};

constexpr TToolRow ToolRows[] = {
    {dtPen, &TFCover::TBpen, &TForm1::NPen, "pen"},
    {dtLine, &TFCover::TBline, &TForm1::NLine, "line"},
    {dtEllipse, &TFCover::TBcircle, &TForm1::NCircle, "ellipse"},
    {dtRect, &TFCover::TBrect, &TForm1::NRect, "rectangle"},
    {dtRoundRect, &TFCover::TBroundrect, &TForm1::NRoundRect, "round rectangle"},
    {dtDiamond, &TFCover::TBdiamond, &TForm1::NDiamond, "diamond"},
    {dtSelect, &TFCover::TBselect, &TForm1::NCaption, "selection"},
    {dtEraser, &TFCover::TBeraser, &TForm1::NEraser, "eraser"},
};

TRect Area(const QWidget* control) {
  if (!control->isVisible()) return {};
  const QRect r = control->geometry();
  return TRect{r.x(), r.y(), r.x() + r.width(), r.y() + r.height()};
}

bool Inside(const TRect& r, int x, int y) { return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom; }

// Most rows of a surface are byte for byte what they were: those are passed over at the speed of
// memcmp, and only the others are looked at pixel by pixel (where the unused top byte may differ).
bool SameRow(const std::uint32_t* a, const std::uint32_t* b, int width) {
  return std::memcmp(a, b, sizeof(std::uint32_t) * std::size_t(width)) == 0;
}

}  // namespace

void Copy(const TBitmap& from, TPixels& to) {
  to.Width = from.Width();
  to.Height = from.Height();
  to.Data.resize(std::size_t(to.Width) * to.Height);
  for (int y = 0; y < to.Height; ++y)
    std::memcpy(to.Data.data() + std::size_t(y) * to.Width, from.ScanLine(y), sizeof(std::uint32_t) * to.Width);
}

std::uint64_t Checksum(const TBitmap& bitmap) {
  std::uint64_t sum = 0xcbf29ce484222325u;
  for (int y = 0; y < bitmap.Height(); ++y) {
    const std::uint32_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x) sum = (sum ^ (row[x] & RgbMask)) * 0x100000001b3u;
  }
  return sum ^ (std::uint64_t(bitmap.Width()) << 32 | std::uint32_t(bitmap.Height()));
}

std::string ToolDisagreement() {
  const TDrawTool tool = FCover->Tool();
  std::string problems;
  for (const TToolRow& row : ToolRows) {
    const bool current = row.Tool == tool;
    if (QtOf(FCover->*row.Button)->isChecked() != current)
      problems += std::string(" the ") + row.Name + " button is " + (current ? "up" : "down") + ";";
    if (QtAction(*(Form1->*row.Item))->isChecked() != current)
      problems += std::string(" the ") + row.Name + " menu item is " + (current ? "unchecked" : "checked") + ";";
  }
  const TCursor cursor = tool == dtEraser ? crDrag : crDefault;
  if (FCover->PaintBox1->Cursor() != cursor || QtOf(FCover->PaintBox1)->cursor().shape() != CursorOf(cursor).shape())
    problems += " the cursor is wrong;";
  if (problems.empty()) return {};
  return "with tool " + std::to_string(int(tool)) + ":" + problems;
}

std::string LeftOverAfterDrag(const TPixels& atPress, TDrawTool tool, TColor color, const TRect& selection,
                              bool selectionShown) {
  const TBitmap& now = FCover->PaintBox1->Pixels();
  const TBitmap& background = *FCover->Image1->Bitmap();
  if (now.Width() != atPress.Width || now.Height() != atPress.Height) return "the surface changed size during a drag";
  const TRect toolBar = Area(QtOf(FCover->ToolBar1));
  const TRect caption = Area(QtOf(FCover->Ed));
  const std::uint32_t pen = ColorToPixel(color) & RgbMask;
  int wrong = 0;
  std::string first;
  for (int y = 0; y < now.Height(); ++y) {
    const std::uint32_t* row = now.ScanLine(y);
    const std::uint32_t* before = atPress.Data.data() + std::size_t(y) * atPress.Width;
    if (SameRow(row, before, now.Width())) continue;
    for (int x = 0; x < now.Width(); ++x) {
      const std::uint32_t p = row[x] & RgbMask;
      const std::uint32_t was = before[x] & RgbMask;
      if (p == was) continue;
      bool fine = false;
      switch (tool) {
        case dtEraser: fine = p == (background.Pixel(x, y) & RgbMask); break;
        case dtSelect:
          fine = selectionShown && Inside(selection, x, y) &&
                 (x == selection.Left || x == selection.Right - 1 || y == selection.Top || y == selection.Bottom - 1) &&
                 p == (was ^ RgbMask);
          break;
        default: fine = p == pen; break;
      }
      if (fine || Inside(toolBar, x, y) || Inside(caption, x, y)) continue;
      if (wrong++ == 0) {
        char text[160];
        std::snprintf(text, sizeof text, "(%d, %d) is %06x, was %06x, pen %06x, background %06x", x, y, p, was, pen,
                      background.Pixel(x, y) & RgbMask);
        first = text;
      }
    }
  }
  if (wrong == 0) return {};
  return "a drag with tool " + std::to_string(int(tool)) + " left " + std::to_string(wrong) +
         " pixels it may not have drawn, the first " + first;
}

std::string ChangedOutsideFrame(const TPixels& before, const TRect* frame) {
  const TBitmap& now = FCover->PaintBox1->Pixels();
  if (now.Width() != before.Width || now.Height() != before.Height) return {};
  const TRect toolBar = Area(QtOf(FCover->ToolBar1));
  const TRect caption = Area(QtOf(FCover->Ed));
  int wrong = 0;
  std::string first;
  for (int y = 0; y < now.Height(); ++y) {
    const std::uint32_t* row = now.ScanLine(y);
    const std::uint32_t* was = before.Data.data() + std::size_t(y) * before.Width;
    if (SameRow(row, was, now.Width())) continue;
    for (int x = 0; x < now.Width(); ++x) {
      const std::uint32_t p = row[x] & RgbMask;
      if (p == (was[x] & RgbMask)) continue;
      const bool onFrame = frame && Inside(*frame, x, y) &&
                           (x == frame->Left || x == frame->Right - 1 || y == frame->Top || y == frame->Bottom - 1) &&
                           p == ((was[x] ^ RgbMask) & RgbMask);
      if (onFrame || Inside(toolBar, x, y) || Inside(caption, x, y)) continue;
      if (wrong++ == 0) {
        char text[120];
        std::snprintf(text, sizeof text, "(%d, %d) is %06x, was %06x", x, y, p, was[x] & RgbMask);
        first = text;
      }
    }
  }
  if (wrong == 0) return {};
  return std::to_string(wrong) + " pixels changed, the first " + first;
}
