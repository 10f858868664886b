#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/controls.h"
#include "platform/menus.h"
#include "platform/raster/bitmap.h"
#include "platform/raster/canvas.h"

// The drawing surface of a window. Its canvas draws into the window-pixel buffer, which is
// exactly what the window shows; a paint only copies the damaged part of that buffer to the
// screen. Invalidate repaints the whole box from the background bitmap it is given, which
// wipes every drawing. Drawing is clipped to the box minus the sibling controls lying above it.
// Coordinates are device pixels.
//
// Invalidate leaves the copy from the background for the next use of the pixels (canvas,
// Pixels(), a paint): a showing maps its window without first copying a whole screen, and the
// copy is made when the window system asks for the first paint. Until then the background may
// change only in ways that use is meant to see.
//
// The widgetset's native control shows Pixels() and reports the user's actions and its own
// changes through the calls under "Reported by the widgetset".
class TPaintBox : public TControl {
 public:
  using TMouseHandler = std::function<void(TMouseButton, TShiftState, int x, int y)>;
  using TMoveHandler = std::function<void(TShiftState, int x, int y)>;

  TPaintBox(String name, TControl* parent);
  ~TPaintBox() override;

  TCanvas* Canvas() {
    SyncPixels();
    return &FCanvas;
  }
  // The window pixels (read by snapshots, saves and region copies, and by the paints).
  TBitmap& Pixels() {
    SyncPixels();
    return FPixels;
  }

  void SetBackground(TBitmap* background) { FBackground = background; }
  // Repaints the box from the background: every drawing vanishes.
  void Invalidate();
  // Paints the box anew from its pixels: every drawing stays.
  void Repaint() { Handle().Repaint(); }

  // Keeps `control`'s area out of the canvas clip; when it moves or hides, the area it leaves
  // is repainted from the background. The control lives as long as the box.
  void ClipOut(TControl* control);

  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor cursor);

  // Opened at the pointer after a right-button release has been handled.
  void SetPopupMenu(TPopupMenu* menu) { FPopupMenu = menu; }
  TPopupMenu* PopupMenu() const { return FPopupMenu; }

  // Makes the window-pixel buffer (device) size match the box, ahead of the first showing.
  void PrepareBuffer();
  // Gives the buffer a new (device) size keeping the pixels where they fit; the rest shows the
  // background, white beyond it. Throws before changing anything when memory is short.
  void ResizeBuffer(int width, int height);
  // Lets the buffer's memory go; PrepareBuffer makes it again.
  void ReleaseBuffer();

  // Size in device pixels: the one last given while the box keeps the logical size it was given
  // for.
  int Width() const { return Handle().DeviceWidth(); }
  int Height() const { return Handle().DeviceHeight(); }
  // Places the box at `logical`, which shows width x height device pixels.
  void SetDeviceGeometry(const TRect& logical, int width, int height) {
    Handle().SetDeviceBounds(logical, width, height);
  }

  TMouseHandler OnMouseDown;
  TMoveHandler OnMouseMove;
  TMouseHandler OnMouseUp;
  // After each paint of the box.
  std::function<void()> OnPaint;

  // Reported by the widgetset, in device pixels of the box.
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  void MouseMove(TShiftState shift, int x, int y) {
    if (OnMouseMove) OnMouseMove(shift, x, y);
  }
  // `held`: some button is still down after this one's release.
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y, bool held);
  // While a button pressed on the box is held, every move belongs to the box wherever the
  // pointer is.
  bool Tracking() const { return FTracking; }
  // The box has a new size.
  void Resized() { PrepareBuffer(); }
  // The box has been painted from Pixels().
  void Painted() {
    if (OnPaint) OnPaint();
  }

 private:
  class TScreenSink;
  void UpdateClip();
  void ClippedControlChanged(const TControl* control);
  void RestoreFromBackground(const TRect& area);
  // Makes the copy Invalidate left for later.
  void SyncPixels() {
    if (FStale) RestoreAll();
  }
  void RestoreAll();

  TBitmap FPixels;
  TCanvas FCanvas;
  std::unique_ptr<TScreenSink> FSink;
  TBitmap* FBackground = nullptr;
  std::vector<const TControl*> FClipped;
  std::vector<TRect> FClippedAreas;  // device rectangles last excluded, per control
  TCursor FCursor = crDefault;
  TPopupMenu* FPopupMenu = nullptr;
  bool FTracking = false;  // a button pressed on the box is held
  bool FStale = false;     // the pixels are to be refilled from the background before any use
  // Calls queued by the box run only while it lives.
  std::shared_ptr<char> FAlive = std::make_shared<char>();
};
