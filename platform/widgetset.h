#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/controls.h"
#include "platform/forms.h"
#include "platform/raster/colors.h"

class TButton;
class TPicture;
class TWSPopupMenu;
class TWSTrayIcon;
class TColorBox;
class TEdit;
class TImage;
class TLabel;
class TMaskEdit;
class TPaintBox;
class TPanel;
class TRichEdit;
class TToolBar;
class TToolButton;
class TUpDown;

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
  // A top-level window; the handle implements TWSForm too. It calls back the form's Do...
  // functions and, for the main form (the first one the application created), closing it ends
  // the message loop.
  virtual std::unique_ptr<TWSControl> CreateForm(TForm& form, TFormRole role) = 0;
  virtual TScreen& Screen() = 0;
  // A pop-up menu belonging to `owner`, the form it is opened from.
  virtual std::unique_ptr<TWSPopupMenu> CreatePopupMenu(TForm& owner, const String& name) = 0;
  // A tray icon shown at once; its mouse messages go to `mouse` (see trayicon.h).
  virtual std::unique_ptr<TWSTrayIcon> CreateTrayIcon(const TPicture& picture, const String& hint,
                                                      std::function<void(std::intptr_t)> mouse) = 0;
  // Paints image.Bitmap() (stretched or 1:1 as image.Stretch() says) whenever asked to.
  virtual std::unique_ptr<TWSControl> CreateImage(TImage& image) = 0;
  // Reports each key to edit.KeyDown, which says whether the native edit goes on with it, and
  // keeps every key from the window; reports each change of the text (edit.Change) and the
  // input method's composing (edit.SetComposing), and gives the input method edit.CaretRect().
  virtual std::unique_ptr<TWSControl> CreateEdit(TEdit& edit, bool border) = 0;
  // Shows the text and caret the field sets and moves the caret itself; reports keys
  // (edit.KeyDown, then edit.KeyPress with what the key types), pasted and committed text
  // (edit.Insert). It offers no context menu.
  virtual std::unique_ptr<TWSControl> CreateMaskEdit(TMaskEdit& edit) = 0;
  // Paints the two arrows, never takes the focus, and reports which was pressed (upDown.Click).
  virtual std::unique_ptr<TWSControl> CreateUpDown(TUpDown& upDown) = 0;
  // A drop-down list of colour swatches; reports the user's pick (box.Change).
  virtual std::unique_ptr<TWSControl> CreateColorBox(TColorBox& box, bool tabStop) = 0;
  // Shows box.Pixels() 1:1 in device pixels, and reports to the box (its "Reported by the
  // widgetset" calls) the pointer in device pixels, each paint and each change of size; watches
  // other controls for it (TWSControl::WatchControl).
  virtual std::unique_ptr<TWSControl> CreatePaintBox(TPaintBox& box) = 0;
};

// The widgetset in use; it outlives every control. Using one before it is installed is a
// programming error and throws std::logic_error.
TWidgetSet& WidgetSet();
void InstallWidgetSet(TWidgetSet* widgetSet);
