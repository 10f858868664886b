#pragma once

#include <QComboBox>
#include <functional>

#include "platform/raster/colors.h"

// A drop-down list of the named pen colours, each shown as a swatch beside its identifier.
// Only the entries can be chosen.
class TColorBox : public QComboBox {
  Q_OBJECT
 public:
  explicit TColorBox(QWidget* parent = nullptr);

  TColor Selected() const;
  // Selects the entry holding `color`; false when there is none.
  bool Select(TColor color);

  // Fired when the user picks an entry.
  std::function<void()> OnChange;
};
