#pragma once

class TBitmap;

// The standard bitmap clipboard format: any picture on the desktop's clipboard.
inline constexpr int CF_BITMAP = 2;

// The desktop's clipboard, for pictures. What we copy is offered to every program as PNG and
// BMP; what another program copies is taken in any picture format the toolkit reads.
class TClipboard {
 public:
  // Whether the clipboard holds a picture (format CF_BITMAP); false for any other format.
  bool HasFormat(int format) const;
  // Puts a copy of the bitmap on the clipboard. The picture files other programs ask for are
  // made off the GUI thread and offered as each is ready (BMP within milliseconds, PNG a little
  // later), so serving a screen-sized picture never stalls the surface.
  void Assign(const TBitmap& bitmap);
  // Loads the clipboard's picture into `bitmap`, at the picture's own size; false, with `bitmap`
  // untouched, when the clipboard holds none (emptied or changed meanwhile) or it cannot be read.
  bool GetBitmap(TBitmap& bitmap) const;
};

TClipboard& Clipboard();
