#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "platform/raster/canvas.h"

// The font dialog: face, style, size, underline, strike-out and colour. Font is preset before
// Execute and changes only when the user confirms.
class TFontDialog : public QObject {
  Q_OBJECT
 public:
  // The dialog opens above `owner`; a parentless one would lie below a stay-on-top window.
  explicit TFontDialog(QWidget* owner);

  TFont Font{"MS Sans Serif", 8, clWindowText, 0};

  // Runs the dialog modally; true when the user confirmed.
  bool Execute();

 private:
  QPointer<QWidget> FOwner;
};
