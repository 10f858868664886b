#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "platform/raster/bitmap.h"
#include "platform/raster/colors.h"
#include "platform/raster/rect.h"
#include "platform/strings.h"

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

struct TFont {
  String Name;   // face; empty means the application's default face, one missing here a fallback
  int Size = 8;  // points
  TColor Color = clWindowText;
  unsigned Style = 0;  // TFontStyle bits
  friend bool operator==(const TFont&, const TFont&) = default;
};

// What the raster layer leaves to the platform, whose engines do it better: text in the
// desktop's fonts, and smooth scaling. Each widgetset installs one of each at start-up (Qt's
// font engine and painter on Linux, GDI on Windows); drawing text or stretching without one is
// a programming error and throws std::logic_error.

// Text in a font, measured and drawn on a bitmap's own memory.
class TFontEngine {
 public:
  virtual ~TFontEngine() = default;
  struct TMetrics {
    int Advance = 0;  // where the next text would start
    int Height = 0;   // the line's height
    TRect Ink;        // the glyphs' pixels, relative to the text's top-left corner
  };
  // `target` is the bitmap the text will be drawn on, or none: measures follow the device.
  virtual TMetrics Measure(const TFont& font, const TBitmap* target, std::string_view text) = 0;
  // Draws `text` with its top-left corner at (x, y) in the font's colour, over a box of the
  // text's advance and height filled with `background` when there is one. Nothing is drawn
  // outside the bitmap or inside the excluded rectangles (which lie within the bitmap).
  virtual void Draw(TBitmap& target, std::span<const TRect> excluded, const TFont& font, int x, int y,
                    std::string_view text, std::optional<TColor> background) = 0;
  // The face text in `name` is drawn with: `name` itself where the desktop has it, else the
  // face with Chinese glyphs the platform falls back to; empty when there is none.
  virtual String ResolveFace(const String& name) = 0;
};

// Smooth (averaging when shrinking, interpolating when enlarging) scaling of pictures.
class TImageScaler {
 public:
  virtual ~TImageScaler() = default;
  // `part` of source (within it) scaled to width x height into `out`, which is sized to fit.
  virtual void Scale(const TBitmap& source, const TRect& part, int width, int height, TBitmap& out) = 0;
  // The source area at (x, y) of w x h source pixels, fractional, rendered into width x height
  // pixels of `out`: for huge targets of which only a little is seen.
  virtual void Render(const TBitmap& source, double x, double y, double w, double h, int width, int height,
                      TBitmap& out) = 0;
};

namespace Raster {

// The engines every canvas uses; the widgetset owns them and they outlive every drawing.
void InstallEngines(TFontEngine* fonts, TImageScaler* scaler);
TFontEngine& FontEngine();
TImageScaler& ImageScaler();

}  // namespace Raster
