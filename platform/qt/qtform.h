#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/forms.h"
#include "platform/qt/qtcontrols.h"

// A form's native window on Qt: a top-level widget (a QDialog for a dialog) that reports its
// events to the form.
class TQtForm final : public TQtControl, public TWSForm {
 public:
  TQtForm(TForm& form, TFormRole role);
  ~TQtForm() override;

  void SetText(const String& text) override;
  bool Visible() const override;

  void SetBorderStyle(TBorderStyle style) override;
  void SetFormStyle(TFormStyle style) override;
  void SetColor(TColor color) override;
  void Show() override;
  void Close() override;
  void Activate() override;
  bool Active() const override;
  TRect FrameRect() const override;
  bool FrameKnown() const override;
  void MoveFrame(int left, int top) override;
  void SetClientSize(int width, int height) override;
  void RunModal() override;
  std::uintptr_t NativeWindow() const override;
  void CreateNativeWindow() override;
  void DestroyNativeWindow() override;
  bool NativeWindowExists() const override;
  void PlaceOnMonitor(std::uintptr_t monitor) override;
  void Raise() override;
  void Lower() override;
  double PixelRatio() const override;
};

// The top-level widget of a form.
QWidget* QtOf(const TForm* form);
// The form whose window `widget` is, or null.
TForm* FormOfWindow(const QWidget* widget);
