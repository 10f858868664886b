#pragma once

#include <QDialog>
#include <QSize>

#include "platform/stdctrls.h"


// The help window: the program's name and author, the usage text, a button back. Only ever
// shown modally; closing it hides it, so the text keeps its scroll position and selection.
class TFOption : public QDialog {
  Q_OBJECT
 public:
  // The window's size on screen, frame included.
  static constexpr QSize OuterSize{696, 505};
  // The display faces and their pixel heights; a face the desktop lacks falls back to one with
  // Chinese glyphs.
  static constexpr int TitlePixels = 32;
  static constexpr int TextPixels = 16;

  // The components of the form's description (resources/FOption.form).
  // Stands for the form as the parent of its controls and of the hidden images it makes.
  TControl* FormControl = nullptr;
  TPanel* Panel1 = nullptr;
  TLabel* Label1 = nullptr;
  TLabel* Label2 = nullptr;
  TRichEdit* RichEdit1 = nullptr;
  TPanel* Panel2 = nullptr;
  TButton* Button1 = nullptr;

  TFOption();
  ~TFOption() override;

  void FormCreate();
  // Runs the window modally, centred on the screen, until it closes. Refuses a window that is
  // already shown.
  int ShowModal();
  void Button1Click();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CentreOnScreen();
  // Gives the client area the size that makes the framed window OuterSize, once the window
  // system has told the frame.
  void FitFrame();

  bool FFrameFitted = false;
};

extern TFOption* FOption;
