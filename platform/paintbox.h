#pragma once

#include <QPointF>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "platform/controls.h"
#include "platform/menus.h"
#include "platform/raster/bitmap.h"
#include "platform/raster/canvas.h"
#include "platform/screens.h"

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
class TPaintBox : public QWidget {
  Q_OBJECT
 public:
  using TMouseHandler = std::function<void(TMouseButton, TShiftState, int x, int y)>;
  using TMoveHandler = std::function<void(TShiftState, int x, int y)>;

  explicit TPaintBox(QWidget* parent = nullptr);
  ~TPaintBox() override;

  TCanvas* Canvas() {
    SyncPixels();
    return &FCanvas;
  }
  // The window pixels (read by snapshots, saves and region copies).
  TBitmap& Pixels() {
    SyncPixels();
    return FPixels;
  }

  void SetBackground(TBitmap* background) { FBackground = background; }
  // Repaints the box from the background: every drawing vanishes.
  void Invalidate();

  // Keeps `control`'s area out of the canvas clip; when it moves or hides, the area it leaves
  // is repainted from the background.
  void ClipOut(QWidget* control);

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
  int Width() const;
  int Height() const;
  // Places the box at `logical`, which shows `device` pixels.
  void SetDeviceGeometry(const QRect& logical, QSize device);

  TMouseHandler OnMouseDown;
  TMoveHandler OnMouseMove;
  TMouseHandler OnMouseUp;
  // After each paint of the box.
  std::function<void()> OnPaint;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  class TScreenSink;
  void UpdateClip();
  void RestoreFromBackground(const TRect& area);
  // Makes the copy Invalidate left for later.
  void SyncPixels() {
    if (FStale) RestoreAll();
  }
  void RestoreAll();
  TRect DeviceRectOf(const QRect& logical) const;
  QPoint DevicePos(const QMouseEvent* event) const;
  void WatchWindow();

  TBitmap FPixels;
  TCanvas FCanvas;
  std::unique_ptr<TScreenSink> FSink;
  TBitmap* FBackground = nullptr;
  std::vector<QPointer<QWidget>> FClipped;
  std::vector<TRect> FClippedAreas;  // device rectangles last excluded, per control
  TCursor FCursor = crDefault;
  TPopupMenu* FPopupMenu = nullptr;
  QPointer<QWindow> FWatchedWindow;
  QPointF FWindowPos;  // fractional logical position of the last mouse event on the window
  bool FHaveWindowPos = false;
  bool FTracking = false;  // a button pressed on the box is held
  bool FStale = false;     // the pixels are to be refilled from the background before any use
  TDeviceSize FDeviceSize;
};
