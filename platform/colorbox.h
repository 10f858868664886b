#pragma once

#include <QComboBox>
#include <functional>
#include <utility>
#include <vector>

#include "platform/raster/colors.h"

// A drop-down list of the named pen colours, each shown as a swatch beside its identifier.
// Only the entries can be chosen.
class TColorBox : public QComboBox {
  Q_OBJECT
 public:
  explicit TColorBox(QWidget* parent = nullptr);

  // Replaces the entries.
  void SetColors(const std::vector<std::pair<TColor, QString>>& colors);
  void AddColor(TColor color, const QString& name);

  TColor Selected() const;
  // Selects the entry holding `color`; false when there is none.
  bool Select(TColor color);

  // Fired when the user picks an entry.
  std::function<void()> OnChange;
};
