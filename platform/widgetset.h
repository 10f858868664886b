#pragma once

#include <memory>

#include "platform/controls.h"
#include "platform/raster/colors.h"

class TButton;
class TImage;
class TLabel;
class TPaintBox;
class TPanel;
class TRichEdit;
class TToolBar;
class TToolButton;

// What a platform supplies under the framework: the native object of each kind of control.
// Each makes the native control as a child of its parent's (control.Parent()), hands the
// user's actions back to the control (a click calls Click()), and lives as long as the control.
// One widgetset is installed at start-up (Qt on Linux, Win32 on Windows).
class TWidgetSet {
 public:
  virtual ~TWidgetSet() = default;
  virtual std::unique_ptr<TWSControl> CreateButton(TButton& button, bool tabStop) = 0;
  virtual std::unique_ptr<TWSControl> CreateSpeedButton(TButton& button, bool flat) = 0;
  virtual std::unique_ptr<TWSControl> CreateToolBar(TToolBar& bar, TColor color) = 0;
  virtual std::unique_ptr<TWSControl> CreateToolButton(TToolButton& button, bool check) = 0;
  virtual std::unique_ptr<TWSControl> CreatePanel(TPanel& panel) = 0;
  virtual std::unique_ptr<TWSControl> CreateLabel(TLabel& label, const String& caption, int alignment) = 0;
  virtual std::unique_ptr<TWSControl> CreateRichEdit(TRichEdit& edit, bool readOnly, bool wordWrap,
                                                     int scrollBars) = 0;
  // Paints image.Bitmap() (stretched or 1:1 as image.Stretch() says) whenever asked to.
  virtual std::unique_ptr<TWSControl> CreateImage(TImage& image) = 0;
  // Shows box.Pixels() 1:1 in device pixels, and reports to the box (its "Reported by the
  // widgetset" calls) the pointer in device pixels, each paint and each change of size; watches
  // other controls for it (TWSControl::WatchControl).
  virtual std::unique_ptr<TWSControl> CreatePaintBox(TPaintBox& box) = 0;

  // The pointer's position in the coordinates menus open at (TWSPopupMenu::Popup).
  virtual TPoint CursorPos() const = 0;
};

// The widgetset in use; it outlives every control. Using one before it is installed is a
// programming error and throws std::logic_error.
TWidgetSet& WidgetSet();
void InstallWidgetSet(TWidgetSet* widgetSet);
