#include "platform/qt/qtraster.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QHash>
#include <QPainter>
#include <QRegion>
#include <algorithm>
#include <cstring>
#include <memory>

namespace {

QColor ToQColor(TColor color) {
  const TColor rgb = ColorToRGB(color);
  return QColor(int(rgb & 0xFF), int((rgb >> 8) & 0xFF), int((rgb >> 16) & 0xFF));
}

// Measured on the target when there is one, so that the numbers match what is drawn there.
QFontMetrics MetricsFor(const QFont& font, const TBitmap* target) {
  if (target == nullptr || target->Empty()) return QFontMetrics(font);
  const QImage view = QtView(*target);
  return QFontMetrics(font, &view);
}

// `image`'s pixels become `out`'s without a copy; the image's memory lives as long as the bitmap
// holds it and never goes to the pixel pool.
void AdoptImage(QImage image, TBitmap& out) {
  if (image.format() != QImage::Format_RGB32) image = image.convertToFormat(QImage::Format_RGB32);
  if (image.isNull() || image.bytesPerLine() != qsizetype(image.width()) * 4) {
    AssignImage(out, image);
    return;
  }
  auto owner = std::make_shared<QImage>(std::move(image));
  auto* data = reinterpret_cast<std::uint32_t*>(owner->bits());
  const int width = owner->width(), height = owner->height();
  if (!out.Adopt(TPixelBlock::Borrow(data, std::size_t(width) * std::size_t(height), owner), width, height))
    AssignImage(out, *owner);
}

}  // namespace

QImage QtView(TBitmap& bitmap) {
  if (bitmap.Empty()) return QImage();
  return QImage(reinterpret_cast<uchar*>(bitmap.ScanLine(0)), bitmap.Width(), bitmap.Height(),
                qsizetype(bitmap.Stride()) * 4, QImage::Format_RGB32);
}

QImage QtView(const TBitmap& bitmap) {
  if (bitmap.Empty()) return QImage();
  return QImage(reinterpret_cast<const uchar*>(bitmap.ScanLine(0)), bitmap.Width(), bitmap.Height(),
                qsizetype(bitmap.Stride()) * 4, QImage::Format_RGB32);
}

void AssignImage(TBitmap& bitmap, const QImage& image) {
  if (image.isNull()) {
    bitmap.SetSize(0, 0);
    return;
  }
  const QImage source = image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
  bitmap.SetSize(source.width(), source.height());
  for (int y = 0; y < bitmap.Height(); ++y) {
    // memmove: the image may be a view of this very bitmap.
    std::memmove(bitmap.ScanLine(y), source.constScanLine(y), std::size_t(bitmap.Width()) * 4);
  }
}

QString ResolveFontFace(const QString& name) {
  if (name.isEmpty()) return name;
  // Faces the desktop lacks are common: files and the original platform name Windows faces.
  // The answer is kept per name; the font list does not change while we run.
  static QHash<QString, QString> resolved;
  const auto known = resolved.constFind(name);
  if (known != resolved.constEnd()) return *known;
  QString face = name;
  if (!QFontDatabase::hasFamily(name)) {
    face.clear();
    for (const char* fallback : {"WenQuanYi Micro Hei", "WenQuanYi Zen Hei", "Noto Sans CJK SC", "Droid Sans Fallback"})
      if (QFontDatabase::hasFamily(QString::fromLatin1(fallback))) {
        face = QString::fromLatin1(fallback);
        break;
      }
  }
  resolved.insert(name, face);
  return face;
}

QFont QFontOf(const TFont& font) {
  const QString face = ResolveFontFace(QStr(font.Name));
  QFont result = face.isEmpty() ? QFont() : QFont(face);
  if (font.Size > 0) result.setPointSize(font.Size);
  result.setBold((font.Style & fsBold) != 0);
  result.setItalic((font.Style & fsItalic) != 0);
  result.setUnderline((font.Style & fsUnderline) != 0);
  result.setStrikeOut((font.Style & fsStrikeOut) != 0);
  return result;
}

TFont TFontOf(const QFont& font, TColor color) {
  TFont result;
  result.Name = Str(font.family());
  // A font given in pixels only is taken at the 96 dots per inch text is drawn with.
  result.Size = font.pointSize() > 0 ? font.pointSize() : std::max(1, font.pixelSize() * 72 / 96);
  result.Color = color;
  result.Style = (font.bold() ? fsBold : 0u) | (font.italic() ? fsItalic : 0u) | (font.underline() ? fsUnderline : 0u) |
                 (font.strikeOut() ? fsStrikeOut : 0u);
  return result;
}

TFontEngine::TMetrics TQtFontEngine::Measure(const TFont& font, const TBitmap* target, std::string_view text) {
  const QFontMetrics metrics = MetricsFor(QFontOf(font), target);
  const QString qtext = QStr(text);
  TMetrics result;
  result.Advance = metrics.horizontalAdvance(qtext);
  result.Height = metrics.height();
  if (!qtext.isEmpty()) {
    const QRect ink = metrics.boundingRect(qtext).translated(0, metrics.ascent());
    result.Ink = TRect{ink.left(), ink.top(), ink.left() + ink.width(), ink.top() + ink.height()};
  }
  return result;
}

void TQtFontEngine::Draw(TBitmap& target, std::span<const TRect> excluded, const TFont& font, int x, int y,
                         std::string_view text, std::optional<TColor> background) {
  if (target.Empty()) return;
  QImage view = QtView(target);
  const QFont qfont = QFontOf(font);
  const QFontMetrics metrics(qfont, &view);
  const QString qtext = QStr(text);
  QRegion clip(0, 0, target.Width(), target.Height());
  for (const TRect& r : excluded) clip -= QRegion(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
  QPainter painter(&view);
  painter.setClipRegion(clip);
  painter.setFont(qfont);
  if (background)
    painter.fillRect(QRect(x, y, metrics.horizontalAdvance(qtext), metrics.height()), ToQColor(*background));
  painter.setPen(ToQColor(font.Color));
  painter.drawText(QPoint(x, y + metrics.ascent()), qtext);
}

void TQtImageScaler::Scale(const TBitmap& source, const TRect& part, int width, int height, TBitmap& out) {
  const QRect rect(part.Left, part.Top, part.Right - part.Left, part.Bottom - part.Top);
  AdoptImage(QtView(source).copy(rect).scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), out);
}

void TQtImageScaler::Render(const TBitmap& source, double x, double y, double w, double h, int width, int height,
                            TBitmap& out) {
  QImage scaled(width, height, QImage::Format_RGB32);
  if (scaled.isNull()) {
    out.SetSize(0, 0);
    return;
  }
  {
    QPainter painter(&scaled);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QRectF(0, 0, width, height), QtView(source), QRectF(x, y, w, h));
  }
  AdoptImage(std::move(scaled), out);
}

void InstallQtRasterEngines() {
  static TQtFontEngine fonts;
  static TQtImageScaler scaler;
  Raster::InstallEngines(&fonts, &scaler);
}
