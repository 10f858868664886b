#pragma once

#include <QFont>
#include <QImage>
#include <QString>
#include <string_view>

#include "platform/raster/bitmap.h"
#include "platform/raster/engines.h"
#include "platform/strings.h"

// The program's text and Qt's, converted at the widgetset's seam.
inline QString QStr(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }
inline String Str(const QString& text) { return text.toStdString(); }

// A QImage sharing the bitmap's memory (no copy); valid until the bitmap is resized or destroyed.
QImage QtView(TBitmap& bitmap);
QImage QtView(const TBitmap& bitmap);
// Copies a QImage in, converted to 32 bits, resizing the bitmap to its size.
void AssignImage(TBitmap& bitmap, const QImage& image);

// The face a font name is drawn with: the name itself where the desktop has it, otherwise a face
// with both Latin and Chinese glyphs (a caption must never show boxes), else the default face.
QString ResolveFontFace(const QString& name);
// The toolkit font that draws `font` (face resolved as above), and back.
QFont QFontOf(const TFont& font);
TFont TFontOf(const QFont& font, TColor color);

// Text through Qt's font engine, and smooth scaling through QImage and QPainter, drawing on the
// bitmaps' own memory.
class TQtFontEngine final : public TFontEngine {
 public:
  TMetrics Measure(const TFont& font, const TBitmap* target, std::string_view text) override;
  void Draw(TBitmap& target, std::span<const TRect> excluded, const TFont& font, int x, int y, std::string_view text,
            std::optional<TColor> background) override;
  String ResolveFace(const String& name) override { return Str(ResolveFontFace(QStr(name))); }
};

class TQtImageScaler final : public TImageScaler {
 public:
  void Scale(const TBitmap& source, const TRect& part, int width, int height, TBitmap& out) override;
  void Render(const TBitmap& source, double x, double y, double w, double h, int width, int height,
              TBitmap& out) override;
};

// Installs the two for every canvas of the process (they live until it ends). Needs a
// QGuiApplication.
void InstallQtRasterEngines();
