#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/colorbox.h"
#include "platform/controls.h"
#include "platform/edits.h"
#include "platform/forms.h"
#include "platform/image.h"
#include "platform/imagelist.h"
#include "platform/menus.h"
#include "platform/paintbox.h"
#include "platform/raster/canvas.h"
#include "platform/raster/rect.h"
#include "platform/screens.h"
#include "platform/stdctrls.h"
#include "surface/history.h"

class TFontDialog;

// The current drawing tool; the values are fixed.
enum TDrawTool : std::int32_t {
  dtPen = 0,
  dtEraser = 1,
  dtLine = 2,
  dtRect = 3,
  dtEllipse = 4,
  dtSelect = 5,
  dtRoundRect = 6,
  dtDiamond = 7,
};

// The full-screen annotation surface: the frozen screen (Image1) and the window pixels that the
// teacher draws on (PaintBox1), the tool bar and the region menu. Its member functions are
// defined across several files, one per concern.
class TFCover : public TForm {
  friend class TForm1;

 public:
  TFCover();
  ~TFCover() override;

  // The components of the form's description (resources/FCover.form).
  TImage* Image1 = nullptr;
  TPaintBox* PaintBox1 = nullptr;
  TEdit* Ed = nullptr;
  TToolBar* ToolBar1 = nullptr;
  TToolButton* TBstop = nullptr;
  TToolButton* ToolButton1 = nullptr;
  TToolButton* TBpen = nullptr;
  TToolButton* TBline = nullptr;
  TToolButton* TBcircle = nullptr;
  TToolButton* TBrect = nullptr;
  TToolButton* TBroundrect = nullptr;
  TToolButton* TBdiamond = nullptr;
  TToolButton* TBselect = nullptr;
  TToolButton* TBeraser = nullptr;
  TToolButton* TBrefresh = nullptr;
  TToolButton* TBwhite = nullptr;
  TToolButton* TBsave = nullptr;
  TToolButton* TBopen = nullptr;
  TToolButton* TBFont = nullptr;
  TMaskEdit* MElinewidth = nullptr;
  TUpDown* UpDown1 = nullptr;
  TColorBox* CBColor = nullptr;
  TToolButton* TBhelp = nullptr;
  TToolButton* ToolButton3 = nullptr;
  TToolButton* ToolButton4 = nullptr;
  TToolButton* ToolButton5 = nullptr;
  TToolButton* ToolButton6 = nullptr;
  // Region menu, opened at the end of a selection.
  TPopupMenu* PopupMenu1 = nullptr;
  TMenuItem* N4 = nullptr;
  TMenuItem* N5 = nullptr;
  TMenuItem* N1 = nullptr;
  TMenuItem* N2 = nullptr;
  TMenuItem* Npaste = nullptr;
  TMenuItem* Nloadtorect = nullptr;
  TMenuItem* N3 = nullptr;
  TMenuItem* Nrectwhite = nullptr;
  // The 21 glyphs of the tool bar, shared with the main and region menus.
  TImageList ImageList1{16, 16};
  // Chooses the caption font; once confirmed, its font is the caption font.
  std::unique_ptr<TFontDialog> FontDialog1;

  // Shows the surface in front with the keyboard.
  void Show();
  // The pointer goes through the shown surface, where `area` (logical desktop coordinates) lies
  // on it, to the window beneath, which still looks covered by the frozen picture of itself; an
  // empty area closes the hole. For the notification-area icon: window managers stack a
  // full-screen window above the tray's panel.
  void PassInputThrough(const TRect& area);
  // Device-pixel size of the window.
  int Width() const;
  int Height() const;

  // Tool, its button, its menu item and the cursor in step.
  void SyncToolState();
  // A hidden copy of the whole visible surface, owned by the window, to be handed to
  // RestoreSurface after a modal window.
  TImage* SnapshotSurface();
  void RestoreSurface(TImage* snapshot);

  void TBrefreshClick();
  void TBwhiteClick();
  void FormShow();
  void FormClose();
  void FormKeyDown(int& key, TShiftState shift);

  // Undo and redo of the drawing steps of this showing (Ctrl+Z; Ctrl+Y and Ctrl+Shift+Z).
  void Undo();
  void Redo();
  const TUndoHistory& History() const { return FHistory; }

  // Pointer handling.
  void PaintBox1MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  void PaintBox1MouseMove(TShiftState shift, int x, int y);
  void PaintBox1MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  void DrawFreehandTo(int x, int y);
  void EraseAt(int x, int y);

  // Rubber-band figures: final false previews, final true commits (the selection frame is
  // only erased).
  void TrackLine(int x, int y, bool final);
  void TrackRect(int x, int y, bool final);
  void TrackEllipse(int x, int y, bool final);
  void TrackRoundRect(int x, int y, bool final);
  void TrackDiamond(int x, int y, bool final);
  void TrackSelectFrame(int x, int y, bool final);

  // Tool buttons.
  void TBpenClick();
  void TBlineClick();
  void TBcircleClick();
  void TBrectClick();
  void TBroundrectClick();
  void TBdiamondClick();
  void TBselectClick();
  void TBeraserClick();

  // Tool bar and pen settings.
  void MElinewidthChange();
  void CBColorChange();
  void ToolButton1Click();
  void ToolButton3Click();
  void ToolButton4Click();
  void ToolButton5Click();
  void ToolButton6Click();
  void TBstopClick();
  void TBhelpClick();

  // Captions: the line typed into the hidden Ed is drawn where the mouse was last released.
  void EdChange();
  void EdKeyDown(int& key, TShiftState shift);
  void TBFontClick();

  // Region commands on the last completed selection; all but ClearSelection work on its
  // interior, the pixels inside the frame.
  void PopupMenu1Popup();
  void N4Click();
  void N5Click();
  void N1Click();
  void N2Click();
  void NpasteClick();
  void NloadtorectClick();
  void N3Click();
  void NrectwhiteClick();
  void SaveSelectionForeground();
  void CopySelectionForeground();
  void SaveSelectionBackground();
  void SaveBackgroundRect(int left, int top, int right, int bottom);
  void CopySelectionBackground();
  void PasteIntoSelection();
  void ClearSelection();

  // Whole-screen image files.
  void SaveFullScreen();
  void LoadImageFullScreen();
  void LoadImageIntoRect(int left, int top, int right, int bottom);

  // Everything the first showing needs, made ahead so that it is as quick as the later ones:
  // the window on `monitor` (the primary one when its Id is 0), covering its device pixels, with its
  // native window made on that screen. A shown surface stays on its screen. Layers of another
  // size than the screen's are made anew. Throws EOutOfResources, with both layers let go, when
  // the screen is too large for the memory there is.
  void PrepareForShowing(const TMonitor& monitor);
  // The same for width x height device pixels on the screen in use.
  void PrepareForShowing(int width, int height);
  // The screen the surface covers (the primary one until a freeze chose another), and the
  // surface's rectangle on the desktop in device pixels.
  TMonitor MonitorInUse() const;
  TRect DeviceArea() const;
  // The screen in use's rectangle on the desktop, logical pixels.
  TRect MonitorRect() const;
  // PrepareForShowing on the screen the pointer is on: the likeliest to be frozen next.
  void PrepareForScreenUnderPointer();
  // The screen now has width x height device pixels. A shown surface follows it: the drawing
  // and the frozen picture are kept where they fit, the area gained is white, and the tool bar
  // stays on screen. A hidden one readies layers of the new size.
  void FollowScreenSize(int width, int height);
  // Loads the caption faces ahead, so that the first caption is drawn as quickly as the later.
  void WarmUpCaptions();

  // Read by tests and the benchmarks.
  TDrawTool Tool() const { return FTool; }
  std::int32_t PenWidth() const { return FPenWidth; }
  TColor PenColor() const { return FPenColor; }
  bool SelActive() const { return FSelActive; }
  TRect SelRect() const { return FSelRect; }
  bool Dragging() const { return FDragging; }
  TPoint TextOrigin() const { return TPoint{FTextX, FTextY}; }
  std::int32_t TextLen() const { return FTextLen; }
  std::int32_t TextSize() const { return FTextSize; }
  TColor TextColor() const { return FTextColor; }
  const TFont* TextFont() const { return FTextFont; }

  // A region command was chosen; it runs after the release that opened the menu has been
  // handled, right before the command.
  std::function<void(TMenuItem* command)> OnRegionCommand;

  void DoShow() override;
  void DoClose() override;
  void Resize() override { LayoutLayers(); }
  void KeyDown(int& key, TShiftState shift) override { FormKeyDown(key, shift); }
  void DoUnblocked() override;
  void DoNativeWindowChanged() override;

 private:
  void ChooseTool(TDrawTool tool);
  void LayoutLayers();
  // Places the window at `origin` (logical) showing width x height device pixels.
  void SetDeviceGeometry(TPoint origin, int width, int height);
  // Hands the window system the first frame of this showing ahead of the first paint: the
  // frozen picture with the tool bar on it, so that both appear the moment the window maps.
  void PresetFirstFrame();
  // Renders the tool bar as it is about to be painted into FBarFrame; false when it is hidden.
  bool RenderToolBar();
  // The window has painted: it no longer needs the preset frame.
  void ForgetFirstFrame();
  // Hands the window system the hole PassInputThrough was given, in the window's device pixels.
  void ApplyInputHole();
  void ReleaseLayers();
  // The layers and the capture's memory, after a screen too large for the memory.
  void ReleaseForLackOfMemory();
  // Follows the size of the screen in use (FollowScreenSize).
  void FollowScreenInUse();
  // Moves the tool bar inside the window; a bar at the right or bottom edge of a window of the
  // old (logical) size stays at that edge.
  void KeepToolBarInside(TRect old);
  // Takes a rubber-band preview off the surface; the drag goes on and shows it at the next move.
  void EraseBand();
  void BuildForm();
  void BuildToolBar();
  void BuildRegionMenu();
  void CompleteSelection(int x, int y);
  // Whether every queued pointer move is delivered (strokes, eraser) or only the last (figures).
  void KeepEveryMove(bool keep);
  // Draws one rubber-band figure from the start point to (ex, ey) with the canvas as set.
  using TFigure = void (TFCover::*)(int ex, int ey);
  enum TBand { bandLine, bandHollow, bandFrame };
  // With `commit` false a final step only erases the preview.
  void Track(TFigure figure, TBand band, int x, int y, bool final, bool commit = true);
  void LineFigure(int ex, int ey);
  void RectFigure(int ex, int ey);
  void EllipseFigure(int ex, int ey);
  void RoundRectFigure(int ex, int ey);
  void DiamondFigure(int ex, int ey);
  // The font a caption line is drawn with, and the pixels `text` covers when drawn as the line.
  TFont CaptionFont();
  TRect CaptionBounds(const String& text);
  // A hidden image of width x height owned by the surface, freed on every path by its holder.
  // Sizes past the bitmap limit are refused by the bitmap before anything is allocated.
  std::unique_ptr<TImage> HiddenImage(std::int64_t width, std::int64_t height);
  TRect SelInterior() const;
  // The selection's interior copied from `source` into a hidden buffer; null when it has none.
  std::unique_ptr<TImage> CopyOfInterior(TCanvas& source);
  // Runs the save dialog over the surface and writes `picture`, or with none the whole surface
  // as seen (the snapshot itself); the drawings are put back whether the user saves, cancels,
  // or the write fails.
  void SaveWithDialog(const TBitmap* picture);
  // Tells the input method where the line goes on.
  void UpdateCaretRect();
  // A drawing step: what it changes between the two calls can be undone. A step begun while a
  // caption line is open ends the line's step first.
  void BeginStep();
  void EndStep();
  // The caption line being typed is one step, from its first character on.
  void BeginCaptionStep();
  void EndCaptionStep();
  // Takes Ctrl+Z, Ctrl+Y and Ctrl+Shift+Z; true when `key` was one of them.
  bool HistoryKey(int key, TShiftState shift);
  // Takes the selection frame off the window and ends the selection.
  void EraseSelectionFrame();
  // Draws (or takes off) a selection frame with these corners, in XOR.
  void XorFrame(const TRect& corners);
  void StopHistory();

  bool FDragging = false;
  std::optional<bool> FMergedMoves;  // the platform's setting while a stroke keeps every move
  std::int32_t FStartX = 0;
  std::int32_t FStartY = 0;
  std::int32_t FLastX = 0;
  std::int32_t FLastY = 0;
  std::int32_t FTextLen = 0;
  TColor FPenColor = clRed;
  std::int32_t FPenWidth = 3;
  std::int32_t FEraserSize = 16;
  std::int32_t FTextX = 0;
  std::int32_t FTextY = 0;
  TColor FTextColor = clRed;
  std::int32_t FTextSize = 20;
  TFont* FTextFont = nullptr;
  TRect FSelRect{};
  TRect FFrame{};  // the corners the selection frame on screen was drawn with
  bool FSelActive = false;
  TDrawTool FTool = dtPen;
  bool FBandShown = false;
  std::uintptr_t FMonitor = 0;       // the screen of the last freeze; 0: the primary one
  TDeviceSize FDeviceSize;           // the device size the window was given
  TBitmap FBarFrame;                 // the tool bar's pixels for the first frame
  std::uintptr_t FPresetWindow = 0;  // the native window given a first frame, until it paints
  TRect FHoleArea{};                 // where the pointer goes through, logical desktop pixels
  bool FHoleUnseen = false;          // shown, not painted yet: the hole is handed over again
  TUndoHistory FHistory;             // the drawing steps of this showing
  bool FCaptionStep = false;         // the caption line's step is open
};

extern TFCover* FCover;
