#include "platform/colorbox.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QPixmap>

static QIcon SwatchOf(TColor color) {
  QPixmap swatch(16, 16);
  const TColor rgb = ColorToRGB(color);
  swatch.fill(QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF));
  QPainter p(&swatch);
  p.setPen(Qt::black);
  p.drawRect(0, 0, 15, 15);
  return QIcon(swatch);
}

TColorBox::TColorBox(QWidget* parent) : QComboBox(parent) {
  for (const TNamedColor& entry : PenColorList())
    addItem(SwatchOf(entry.Value), QString::fromLatin1(entry.Name),
            QVariant::fromValue(static_cast<uint>(entry.Value)));
  // The box itself is narrow; the open list shows the names in full.
  view()->setMinimumWidth(200);
  setMaxVisibleItems(20);
  connect(this, &QComboBox::activated, this, [this] {
    if (OnChange) OnChange();
  });
}

void TColorBox::SetColors(const std::vector<std::pair<TColor, QString>>& colors) {
  clear();
  for (const auto& [color, name] : colors) AddColor(color, name);
}

void TColorBox::AddColor(TColor color, const QString& name) {
  addItem(SwatchOf(color), name, QVariant::fromValue(static_cast<uint>(color)));
}

TColor TColorBox::Selected() const { return static_cast<TColor>(currentData().toUInt()); }

bool TColorBox::Select(TColor color) {
  const int index = findData(QVariant::fromValue(static_cast<uint>(color)));
  if (index < 0) return false;
  setCurrentIndex(index);
  return true;
}
