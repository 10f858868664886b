#include "platform/qt/qtpictures.h"

#include <QIconEngine>
#include <QLinearGradient>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <cstring>
#include <stdexcept>

#include "platform/qt/qtraster.h"

namespace {

// Far beyond any glyph at any screen ratio; keeps the byte count of a picture in range.
constexpr int MaxPictureSide = 32768;

QColor QColorOf(TRGBA color) { return QColor(color.R, color.G, color.B, color.A); }
QPointF QPointOf(TPointF point) { return QPointF(point.X, point.Y); }
QRectF QRectOf(const TRectF& box) { return QRectF(box.Left, box.Top, box.Width, box.Height); }

Qt::PenStyle QtDash(TPenDash dash) {
  switch (dash) {
    case TPenDash::Dash: return Qt::DashLine;
    case TPenDash::Dot: return Qt::DotLine;
    case TPenDash::Solid: break;
  }
  return Qt::SolidLine;
}

Qt::PenCapStyle QtCap(TPenCap cap) {
  switch (cap) {
    case TPenCap::Flat: return Qt::FlatCap;
    case TPenCap::Round: return Qt::RoundCap;
    case TPenCap::Square: break;
  }
  return Qt::SquareCap;
}

Qt::PenJoinStyle QtJoin(TPenJoin join) {
  switch (join) {
    case TPenJoin::Miter: return Qt::MiterJoin;
    case TPenJoin::Round: return Qt::RoundJoin;
    case TPenJoin::Bevel: break;
  }
  return Qt::BevelJoin;
}

class TQtPainter final : public TPainter {
 public:
  explicit TQtPainter(QPainter& painter) : FPainter(painter) {}

  void Save() override { FPainter.save(); }
  void Restore() override { FPainter.restore(); }
  void Translate(double dx, double dy) override { FPainter.translate(dx, dy); }
  void Rotate(double degrees) override { FPainter.rotate(degrees); }
  void Scale(double sx, double sy) override { FPainter.scale(sx, sy); }
  void SetAntialiasing(bool on) override { FPainter.setRenderHint(QPainter::Antialiasing, on); }

  void SetPen(const TDrawPen& pen) override {
    FPainter.setPen(QPen(QColorOf(pen.Color), pen.Width, QtDash(pen.Dash), QtCap(pen.Cap), QtJoin(pen.Join)));
  }
  void SetNoPen() override { FPainter.setPen(Qt::NoPen); }
  void SetBrush(TRGBA color) override { FPainter.setBrush(QColorOf(color)); }
  void SetNoBrush() override { FPainter.setBrush(Qt::NoBrush); }
  void SetFont(int pixelSize, bool bold) override {
    QFont font = FPainter.font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    FPainter.setFont(font);
  }

  void FillRect(const TRectF& box, TRGBA color) override { FPainter.fillRect(QRectOf(box), QColorOf(color)); }
  void FillRect(const TRectF& box, const TLinearGradient& gradient) override {
    QLinearGradient brush(QPointOf(gradient.Start), QPointOf(gradient.End));
    for (const auto& stop : gradient.Stops) brush.setColorAt(stop.Position, QColorOf(stop.Color));
    FPainter.fillRect(QRectOf(box), brush);
  }
  void DrawRect(const TRectF& box) override { FPainter.drawRect(QRectOf(box)); }
  void DrawRoundedRect(const TRectF& box, double radiusX, double radiusY) override {
    FPainter.drawRoundedRect(QRectOf(box), radiusX, radiusY);
  }
  void DrawEllipse(const TRectF& box) override { FPainter.drawEllipse(QRectOf(box)); }
  void DrawLine(TPointF from, TPointF to) override { FPainter.drawLine(QPointOf(from), QPointOf(to)); }
  void DrawPolygon(std::span<const TPointF> points) override {
    QPolygonF polygon;
    polygon.reserve(qsizetype(points.size()));
    for (const TPointF& point : points) polygon.append(QPointOf(point));
    FPainter.drawPolygon(polygon);
  }
  void DrawArc(const TRectF& box, double startDegrees, double spanDegrees) override {
    // Qt counts angles in sixteenths of a degree.
    FPainter.drawArc(QRectOf(box), qRound(startDegrees * 16), qRound(spanDegrees * 16));
  }
  void DrawPath(const TPath& path) override {
    QPainterPath outline(QPointOf(path.Start()));
    for (const TPath::TCubic& cubic : path.Cubics())
      outline.cubicTo(QPointOf(cubic.Control1), QPointOf(cubic.Control2), QPointOf(cubic.End));
    FPainter.drawPath(outline);
  }
  void DrawCentredText(const TRectF& box, std::string_view text) override {
    FPainter.drawText(QRectOf(box), Qt::AlignCenter, QStr(text));
  }

 private:
  QPainter& FPainter;
};

class TQtPictureRenderer final : public TPictureRenderer {
 public:
  TPicture Render(const TPictureDrawing& draw, int boxWidth, int boxHeight, int width, int height) override {
    if (width <= 0 || height <= 0 || boxWidth <= 0 || boxHeight <= 0) return {};
    if (width > MaxPictureSide || height > MaxPictureSide) throw std::length_error("picture too large to draw");
    std::vector<std::uint32_t> pixels(std::size_t(width) * std::size_t(height), 0);  // transparent
    {
      QImage image(reinterpret_cast<uchar*>(pixels.data()), width, height, qsizetype(width) * 4,
                   QImage::Format_ARGB32_Premultiplied);
      QPainter painter(&image);
      painter.setRenderHint(QPainter::Antialiasing);
      painter.scale(qreal(width) / boxWidth, qreal(height) / boxHeight);
      TQtPainter canvas(painter);
      draw(canvas);
    }
    return TPicture(width, height, std::move(pixels));
  }

  TPicture Scale(const TPicture& picture, int width, int height) override {
    if (picture.Empty() || width <= 0 || height <= 0) return {};
    return PictureOf(QtImage(picture).scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
  }
};

// Kept as the toolkit's own picture format, so an icon hands out the same pixmap every time.
// Without opaque detection: a picture stays a picture with alpha, as it was drawn.
QPixmap QtPixmap(const TPicture& picture) {
  if (picture.Empty()) return {};
  return QPixmap::fromImage(QtImage(picture), Qt::NoOpaqueDetection);
}

// An icon drawn from its picture's drawing at the size and ratio asked for, never larger than
// the picture's box (as a pixmap icon is never scaled up). The same picture serves every mode:
// a disabled button keeps its full colours.
class TDrawnIconEngine final : public QIconEngine {
 public:
  TDrawnIconEngine(TDrawnPicture picture, QPixmap base) : FPicture(std::move(picture)), FBase(std::move(base)) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    painter->drawPixmap(rect, scaledPixmap(rect.size() * ratio, mode, state, ratio));
  }
  QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size.boundedTo(FBase.size()); }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return scaledPixmap(size, mode, state, 1.0);
  }
  // `size` is in device pixels here, as the toolkit asks for it.
  QPixmap scaledPixmap(const QSize& size, QIcon::Mode, QIcon::State, qreal scale) override {
    const QSize box = FBase.size();
    const QSize device = size.boundedTo(QSize(qRound(box.width() * scale), qRound(box.height() * scale)));
    if (device.isEmpty()) return {};
    if (device == box) return FBase;
    for (const QPixmap& made : FMade)
      if (made.size() == device) return made;
    // A handful of sizes at most (one per screen ratio in use); a new one replaces the oldest.
    if (FMade.size() >= 4) FMade.erase(FMade.begin());
    FMade.push_back(QtPixmap(FPicture.Draw(device.width(), device.height())));
    return FMade.back();
  }
  QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override { return {FBase.size()}; }
  QIconEngine* clone() const override { return new TDrawnIconEngine(FPicture, FBase); }

 private:
  TDrawnPicture FPicture;
  QPixmap FBase;
  std::vector<QPixmap> FMade;
};

}  // namespace

QImage QtImage(const TPicture& picture) {
  if (picture.Empty()) return {};
  QImage image(picture.Width(), picture.Height(), QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < picture.Height(); ++y)
    std::memcpy(image.scanLine(y), picture.ScanLine(y), std::size_t(picture.Width()) * 4);
  return image;
}

TPicture PictureOf(const QImage& image) {
  if (image.isNull()) return {};
  const QImage source = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  std::vector<std::uint32_t> pixels(std::size_t(source.width()) * std::size_t(source.height()));
  for (int y = 0; y < source.height(); ++y)
    std::memcpy(pixels.data() + std::size_t(y) * std::size_t(source.width()), source.constScanLine(y),
                std::size_t(source.width()) * 4);
  return TPicture(source.width(), source.height(), std::move(pixels));
}

QIcon QtIcon(const TPicture& picture) {
  if (picture.Empty()) return {};
  return QIcon(QtPixmap(picture));
}

QIcon QtIcon(const TDrawnPicture& picture) {
  if (picture.Empty()) return {};
  return QIcon(new TDrawnIconEngine(picture, QtPixmap(picture.Plain())));
}

QIcon QtIcon(const TImageList& list, int index) {
  if (index < 0 || index >= list.Count()) return {};
  if (const TDrawnPicture* drawn = list.Drawing(index)) return QtIcon(*drawn);
  const QPixmap pixmap = QtPixmap(list.Picture(index));
  QIcon icon;
  // The same picture for the normal, hot and disabled states: a disabled button keeps its
  // full colours.
  icon.addPixmap(pixmap, QIcon::Normal);
  icon.addPixmap(pixmap, QIcon::Active);
  icon.addPixmap(pixmap, QIcon::Disabled);
  return icon;
}

void InstallQtPictureRenderer() {
  static TQtPictureRenderer renderer;
  Drawing::InstallRenderer(&renderer);
}
