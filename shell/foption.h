#pragma once

#include <QDialog>

#include "ui_FOption.h"

// The help window, only ever shown modally.
class TFOption : public QDialog, public Ui::FOption {
  Q_OBJECT
 public:
  TFOption();
  ~TFOption() override;

  // Runs the window modally until it closes. Refuses a window that is already shown.
  int ShowModal();
  void Button1Click();
};

extern TFOption* FOption;
