#pragma once

#include <functional>
#include <utility>
#include <vector>

#include "platform/controls.h"
#include "platform/raster/colors.h"

// A drop-down list of colours, each shown as a swatch beside its name; it starts with the named
// pen colours. Only the entries can be chosen.
class TColorBox : public TControl {
 public:
  // With TabStop off the box never takes the focus.
  TColorBox(String name, TControl* parent, bool tabStop = true);

  // Replaces the entries.
  void SetColors(const std::vector<std::pair<TColor, String>>& colors);
  void AddColor(TColor color, const String& name);

  // The selected entry's colour; black (0) when the list is empty.
  TColor Selected() const;
  // Selects the first entry holding `color`; false when there is none.
  bool Select(TColor color);

  // Fired when the user picks an entry.
  std::function<void()> OnChange;

  // Called by the widgetset: the user picked an entry.
  void Change();

 private:
  std::vector<TColor> FColors;  // the entries' colours, in the list's order
};
