#include "shell/pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

QPixmap MarkerPicture() {
  QPixmap pixmap(36, 36);
  QPainter p(&pixmap);
  QLinearGradient gradient(0, 0, 36, 36);
  gradient.setColorAt(0, QColor(0x60, 0x20, 0x90));
  gradient.setColorAt(1, QColor(0xC0, 0x40, 0x80));
  p.fillRect(pixmap.rect(), gradient);
  p.setPen(QColor(0xFF, 0xFF, 0xFF, 0x90));
  p.drawRect(0, 0, 35, 35);
  return pixmap;
}

QPixmap PlayGlyph() {
  QPixmap pixmap(22, 23);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0x10, 0x60, 0x10), 1));
  p.setBrush(QColor(0x30, 0xC0, 0x40));
  p.drawPolygon(QPolygonF({QPointF(5, 3), QPointF(19, 11.5), QPointF(5, 20)}));
  return pixmap;
}

QPixmap ExitGlyph() {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0xC0, 0x20, 0x20), 2, Qt::SolidLine, Qt::RoundCap));
  p.drawArc(QRectF(2.5, 2.5, 11, 11), 120 * 16, 300 * 16);
  p.drawLine(QPointF(8, 1.5), QPointF(8, 7.5));
  return pixmap;
}

QPixmap TrayPicture() {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x80, 0x20, 0x90));
  p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
  QPainterPath stroke(QPointF(3, 11));
  stroke.cubicTo(6, 3, 9, 14, 13, 4);
  p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawPath(stroke);
  return pixmap;
}
