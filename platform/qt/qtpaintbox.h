#pragma once

#include <QPointF>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <vector>

#include "platform/qt/qtpixels.h"

class TPaintBox;

// The widget of a paint box: paints the damaged part of the box's pixels 1:1 in device pixels,
// and turns the mouse events, its window's included, into the box's device pixels.
class TQtPaintBoxWidget final : public QWidget {
  Q_OBJECT
 public:
  TQtPaintBoxWidget(TPaintBox& box, QWidget* parent);
  ~TQtPaintBoxWidget() override;

  // Repaints the widget's part that shows `area` of the pixels.
  void UpdateDeviceRect(const TRect& area);
  // `control`'s rectangle in device pixels of the box; empty while it does not show.
  TRect DeviceRectOf(const TControl& control) const;
  // Calls `changed` after each move, resize, showing and hiding of `control`'s widget.
  void Watch(const TControl& control, const std::function<void()>& changed);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // A watched control with the widget it had then: a control may outlive its widget.
  struct TWatched {
    const TControl* Control;
    QPointer<QWidget> Widget;
    std::function<void()> Changed;
  };
  QPoint DevicePos(const QMouseEvent* event) const;
  void WatchWindow();

  TPaintBox& FBox;
  std::vector<TWatched> FWatched;
  QPointer<QWindow> FWatchedWindow;
  QPointF FWindowPos;  // fractional logical position of the last mouse event on the window
  bool FHaveWindowPos = false;
};

// A paint box's native object on Qt.
class TQtPaintBox final : public TQtDeviceControl {
 public:
  TQtPaintBox(TPaintBox& box, QWidget* parent);
  void InvalidateRect(const TRect& area) override;
  void SetCursor(TCursor cursor) override;
  TRect DeviceRectOf(const TControl& other) const override;
  void WatchControl(const TControl& other, const std::function<void()>& changed) override;

 private:
  TQtPaintBoxWidget* BoxWidget() const { return static_cast<TQtPaintBoxWidget*>(Widget()); }
};
