#include "platform/imagelist.h"

#include <QIconEngine>
#include <QPainter>
#include <QPaintDevice>
#include <cmath>

namespace {

QPixmap Render(const TPictureDrawing& draw, QSize box, QSize device) {
  QPixmap pixmap(device);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(qreal(device.width()) / box.width(), qreal(device.height()) / box.height());
  draw(p);
  return pixmap;
}

// An icon drawn from its picture's drawing at the size and ratio asked for, never larger than
// the picture's box (as a pixmap icon is never scaled up). The same picture serves every mode:
// a disabled button keeps its full colours.
class TDrawnIconEngine final : public QIconEngine {
 public:
  TDrawnIconEngine(std::shared_ptr<const TPictureDrawing> draw, QPixmap base)
      : FDraw(std::move(draw)), FBase(std::move(base)) {}

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
    FMade.push_back(Render(*FDraw, box, device));
    return FMade.back();
  }
  QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override { return {FBase.size()}; }
  QIconEngine* clone() const override { return new TDrawnIconEngine(FDraw, FBase); }

 private:
  std::shared_ptr<const TPictureDrawing> FDraw;
  QPixmap FBase;
  std::vector<QPixmap> FMade;
};

}  // namespace

QIcon DrawnIcon(int width, int height, TPictureDrawing draw) {
  const QSize box(width, height);
  auto shared = std::make_shared<const TPictureDrawing>(std::move(draw));
  QPixmap base = Render(*shared, box, box);
  return QIcon(new TDrawnIconEngine(std::move(shared), std::move(base)));
}

void TImageList::Add(const QPixmap& pixmap) {
  FImages.push_back({pixmap.size() == QSize(FWidth, FHeight)
                         ? pixmap
                         : pixmap.scaled(FWidth, FHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
                     nullptr});
}

void TImageList::Add(TPictureDrawing draw) {
  const QSize box(FWidth, FHeight);
  auto shared = std::make_shared<const TPictureDrawing>(std::move(draw));
  FImages.push_back({Render(*shared, box, box), std::move(shared)});
}

QPixmap TImageList::Pixmap(int index) const {
  if (index < 0 || index >= Count()) return {};
  return FImages[static_cast<std::size_t>(index)].Pixmap;
}

QIcon TImageList::Icon(int index) const {
  if (index < 0 || index >= Count()) return {};
  const TEntry& entry = FImages[static_cast<std::size_t>(index)];
  if (entry.Draw) return QIcon(new TDrawnIconEngine(entry.Draw, entry.Pixmap));
  QIcon icon;
  // The same picture for the normal, hot and disabled states: a disabled button keeps its
  // full colours.
  icon.addPixmap(entry.Pixmap, QIcon::Normal);
  icon.addPixmap(entry.Pixmap, QIcon::Active);
  icon.addPixmap(entry.Pixmap, QIcon::Disabled);
  return icon;
}
