#pragma once

#include "platform/forms.h"
#include "platform/stdctrls.h"

// The help window: the program's name and author, the usage text, a button back. Only ever
// shown modally; closing it hides it, so the text keeps its scroll position and selection.
class TFOption : public TForm {
 public:
  // The window's size on screen, frame included.
  static constexpr int OuterWidth = 696;
  static constexpr int OuterHeight = 505;
  // The display faces and their pixel heights; a face the desktop lacks falls back to one with
  // Chinese glyphs.
  static constexpr int TitlePixels = 32;
  static constexpr int TextPixels = 16;

  // The components of the form's description (resources/FOption.form).
  TPanel* Panel1 = nullptr;
  TLabel* Label1 = nullptr;
  TLabel* Label2 = nullptr;
  TRichEdit* RichEdit1 = nullptr;
  TPanel* Panel2 = nullptr;
  TButton* Button1 = nullptr;

  TFOption();
  ~TFOption() override;

  void FormCreate();
  void Button1Click();

  // Shown (only ever modally), the window is centred on the screen.
  void DoShow() override;
  void DoFrameKnown() override;

 private:
  void CentreOnScreen();
  // Gives the client area the size that makes the framed window OuterWidth x OuterHeight, once
  // the window system has told the frame.
  void FitFrame();

  bool FFrameFitted = false;
};

extern TFOption* FOption;
