#include "shell/foption.h"

#include "platform/application.h"
#include "platform/sysutils.h"

TFOption* FOption = nullptr;

TFOption::TFOption() : QDialog(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint) {
  ::FOption = this;
  setupUi(this);
  connect(Button1, &QPushButton::clicked, this, Handler(this, &TFOption::Button1Click));
}

TFOption::~TFOption() {
  if (::FOption == this) ::FOption = nullptr;
}

int TFOption::ShowModal() {
  if (isVisible()) throw Exception(QStringLiteral("Cannot make a visible window modal"));
  return exec();
}

void TFOption::Button1Click() { close(); }
