#include "surface/glyphs.h"

#include <QFont>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

#include "platform/imagelist.h"

namespace {

const QColor Ink(0x20, 0x20, 0x20);
const QColor Red(0xD0, 0x20, 0x20);
const QColor Blue(0x20, 0x50, 0xC0);
const QColor Green(0x20, 0x90, 0x30);

QPen Stroke(const QColor& color, qreal width = 1.6) {
  return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// Dark outlines with a light halo, so that a glyph reads on the purple bar and in a white menu.
void Outlined(QPainter& p, const std::function<void(QPainter&)>& shape) {
  p.save();
  p.setPen(Stroke(QColor(0xFF, 0xFF, 0xFF, 0xD0), 3.4));
  p.setBrush(Qt::NoBrush);
  shape(p);
  p.restore();
  p.setPen(Stroke(Ink));
  shape(p);
}

// A picture with a plain background, as the menu's own bitmaps are.
QIcon Picture(int width, int height, const std::function<void(QPainter&)>& draw) {
  return DrawnIcon(width, height, [width, height, draw](QPainter& p) {
    p.fillRect(QRectF(0, 0, width, height), QColor(0xF0, 0xF0, 0xF0));
    draw(p);
  });
}

// A dashed selection frame, the mark the three region pictures share.
void Selection(QPainter& p, const QRectF& frame) {
  p.setBrush(QColor(0xFF, 0xFF, 0xFF));
  p.setPen(QPen(Ink, 1, Qt::DashLine));
  p.drawRect(frame);
}

void Arrow(QPainter& p, qreal angle) {
  p.translate(8, 8);
  p.rotate(angle);
  p.setPen(Qt::NoPen);
  p.setBrush(Blue);
  p.drawPolygon(QPolygonF(
      {QPointF(0, -7), QPointF(6, 0), QPointF(2, 0), QPointF(2, 6), QPointF(-2, 6), QPointF(-2, 0), QPointF(-6, 0)}));
}

}  // namespace

void DrawToolGlyphs(TImageList& list) {
  const std::function<void(QPainter&)> glyphs[] = {
      // 0 stop
      [](QPainter& p) {
        p.setPen(Stroke(QColor(0x80, 0, 0), 1));
        p.setBrush(Red);
        p.drawRoundedRect(QRectF(2.5, 2.5, 11, 11), 2, 2);
      },
      // 1 freehand
      [](QPainter& p) {
        QPainterPath path(QPointF(2, 12));
        path.cubicTo(5, 2, 8, 16, 14, 4);
        p.setPen(Stroke(Red, 2));
        p.drawPath(path);
      },
      // 2 line
      [](QPainter& p) { Outlined(p, [](QPainter& q) { q.drawLine(QPointF(2.5, 13.5), QPointF(13.5, 2.5)); }); },
      // 3 ellipse
      [](QPainter& p) { Outlined(p, [](QPainter& q) { q.drawEllipse(QRectF(1.5, 3.5, 13, 9)); }); },
      // 4 rectangle
      [](QPainter& p) { Outlined(p, [](QPainter& q) { q.drawRect(QRectF(2.5, 3.5, 11, 9)); }); },
      // 5 rounded rectangle
      [](QPainter& p) { Outlined(p, [](QPainter& q) { q.drawRoundedRect(QRectF(1.5, 3.5, 13, 9), 3.5, 3.5); }); },
      // 6 diamond
      [](QPainter& p) {
        Outlined(p, [](QPainter& q) {
          q.drawPolygon(QPolygonF({QPointF(8, 1.5), QPointF(14.5, 8), QPointF(8, 14.5), QPointF(1.5, 8)}));
        });
      },
      // 7 selection
      [](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.fillRect(2, 2, 12, 12, QColor(0xFF, 0xFF, 0xFF, 0xB0));
        p.setPen(QPen(Ink, 1, Qt::DotLine));
        p.drawRect(2, 2, 11, 11);
        p.setPen(Stroke(Blue, 1));
        p.drawLine(10, 10, 15, 15);
      },
      // 8 refresh
      [](QPainter& p) {
        p.setPen(Stroke(Green, 2));
        p.drawArc(QRectF(3, 3, 10, 10), 60 * 16, 280 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(Green);
        p.drawPolygon(QPolygonF({QPointF(10, 1), QPointF(14, 4.5), QPointF(9.5, 6.5)}));
      },
      // 9 eraser
      [](QPainter& p) {
        p.translate(8, 8);
        p.rotate(-35);
        p.setPen(Stroke(Ink, 1));
        p.setBrush(QColor(0xF0, 0x90, 0xA0));
        p.drawRect(QRectF(-6.5, -3.5, 8, 7));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(1.5, -3.5, 5, 7));
      },
      // 10 title
      [](QPainter& p) {
        p.setPen(Stroke(QColor(0xFF, 0xD0, 0x40), 1));
        p.setBrush(QColor(0xFF, 0xE0, 0x60));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setPen(Stroke(Red, 1.6));
        p.drawLine(QPointF(5, 11), QPointF(11, 5));
      },
      // 11-14 move up, down, left, right
      [](QPainter& p) { Arrow(p, 0); },
      [](QPainter& p) { Arrow(p, 180); },
      [](QPainter& p) { Arrow(p, -90); },
      [](QPainter& p) { Arrow(p, 90); },
      // 15 white board
      [](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(Ink);
        p.setBrush(Qt::white);
        p.drawRect(1, 2, 13, 10);
        p.drawLine(5, 13, 3, 15);
        p.drawLine(10, 13, 12, 15);
      },
      // 16 save
      [](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(Ink);
        p.setBrush(Blue);
        p.drawRect(1, 1, 13, 13);
        p.setBrush(Qt::white);
        p.drawRect(4, 1, 7, 5);
        p.fillRect(4, 9, 8, 5, QColor(0xD0, 0xD0, 0xD0));
      },
      // 17 open
      [](QPainter& p) {
        p.setPen(Stroke(QColor(0x90, 0x70, 0x10), 1));
        p.setBrush(QColor(0xF0, 0xC8, 0x50));
        p.drawPolygon(QPolygonF({QPointF(1.5, 3.5), QPointF(6, 3.5), QPointF(7.5, 5), QPointF(14.5, 5),
                                 QPointF(14.5, 13.5), QPointF(1.5, 13.5)}));
      },
      // 18 unused
      [](QPainter&) {},
      // 19 font
      [](QPainter& p) {
        QFont font = p.font();
        font.setPixelSize(14);
        font.setBold(true);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRect(1, 1, 16, 16), Qt::AlignCenter, QStringLiteral("A"));
        p.setPen(Ink);
        p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("A"));
      },
      // 20 help
      [](QPainter& p) {
        p.setPen(Stroke(Blue, 1));
        p.setBrush(QColor(0xE0, 0xE8, 0xFF));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        QFont font = p.font();
        font.setPixelSize(11);
        font.setBold(true);
        p.setFont(font);
        p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
      },
  };
  // Kept as drawings: on a scaled screen each is drawn at the screen's own ratio, not stretched.
  for (const auto& draw : glyphs) list.Add(TPictureDrawing(draw));
}

QIcon RegionSaveGlyph() {
  return Picture(18, 18, [](QPainter& p) {
    Selection(p, QRectF(0.5, 0.5, 12, 12));
    // A disk in the corner: the region goes to a file.
    p.setPen(Stroke(QColor(0x10, 0x30, 0x80), 1));
    p.setBrush(Blue);
    p.drawRect(QRectF(7.5, 7.5, 10, 10));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(10, 8, 5, 3.5));
    p.fillRect(QRectF(10, 14, 5, 3), QColor(0xD0, 0xD0, 0xD0));
  });
}

QIcon RegionCopyGlyph() {
  return Picture(19, 17, [](QPainter& p) {
    Selection(p, QRectF(0.5, 0.5, 11, 10));
    // A second sheet over the first: the region is copied.
    p.setPen(Stroke(Ink, 1));
    p.setBrush(QColor(0xFF, 0xF4, 0xC0));
    p.drawRect(QRectF(7.5, 5.5, 10, 11));
    p.setPen(Stroke(Blue, 1));
    for (int y : {9, 12}) p.drawLine(QPointF(10, y), QPointF(15, y));
  });
}

QIcon RegionPasteGlyph() {
  return Picture(20, 18, [](QPainter& p) {
    // A clipboard with a sheet on it, over the selection it pastes into.
    Selection(p, QRectF(8.5, 6.5, 11, 11));
    p.setPen(Stroke(QColor(0x70, 0x48, 0x10), 1));
    p.setBrush(QColor(0xC8, 0x90, 0x40));
    p.drawRoundedRect(QRectF(0.5, 1.5, 11, 14), 1.5, 1.5);
    p.setBrush(QColor(0xB0, 0xB0, 0xB0));
    p.drawRect(QRectF(3.5, 0.5, 5, 3));
    p.setPen(Stroke(Ink, 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(5.5, 6.5, 9, 10));
  });
}
