#pragma once

#include <QWidget>

#include "platform/qt/qtcontrols.h"
#include "platform/qt/qtscreens.h"

// A control of the Qt widgetset that shows device pixels. Its device size is the one last given
// for as long as the widget keeps the logical size and ratio it was given for (TDeviceSize).
class TQtDeviceControl : public TQtControl {
 public:
  using TQtControl::TQtControl;
  int DeviceWidth() const override;
  int DeviceHeight() const override;
  void SetDeviceSize(int width, int height) override;
  void SetDeviceBounds(const TRect& logical, int width, int height) override;

 private:
  TDeviceSize FDeviceSize;
};

class TImage;

// The widget of an image control: paints the control's bitmap.
class TQtImageWidget final : public QWidget {
  Q_OBJECT
 public:
  TQtImageWidget(TImage& image, QWidget* parent) : QWidget(parent), FImage(image) {}

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  TImage& FImage;
};
