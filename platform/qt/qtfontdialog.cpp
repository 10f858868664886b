#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/colorbox.h"
#include "platform/fontdialog.h"
#include "platform/qt/qtcontrols.h"
#include "platform/qt/qtdialogs.h"
#include "platform/qt/qtraster.h"

namespace {

// The colours a font can take, as the classic dialog offers them.
const std::vector<std::pair<TColor, String>>& FontColors() {
  static const std::vector<std::pair<TColor, String>> colors{
      {clBlack, "黑色"},  {clMaroon, "褐红色"},  {clGreen, "绿色"},  {clOlive, "橄榄色"},
      {clNavy, "藏青色"}, {clPurple, "紫色"},    {clTeal, "深青色"}, {clGray, "灰色"},
      {clSilver, "银色"}, {clRed, "红色"},       {clLime, "酸橙色"}, {clYellow, "黄色"},
      {clBlue, "蓝色"},   {clFuchsia, "紫红色"}, {clAqua, "水绿色"}, {clWhite, "白色"},
  };
  return colors;
}

// Qt's font chooser, embedded as a plain widget. Being a dialog itself, it would take Enter
// (typed in the size box, say) and, its own buttons hidden, do nothing with it: Enter goes on to
// the dialog around it instead, whose default button answers.
class TFontChooser : public QFontDialog {
 public:
  using QFontDialog::QFontDialog;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
      event->ignore();
      return;
    }
    QFontDialog::keyPressEvent(event);
  }
};

}  // namespace

bool TFontDialog::Execute() {
  QDialog dialog(DialogOwner());
  dialog.setObjectName(QStringLiteral("FontDialog1"));
  dialog.setWindowTitle(QStringLiteral("字体"));

  // Qt's own font chooser, embedded without its buttons: it has face, style, size and the
  // effects; the colour, which it lacks, is a row of ours below it.
  auto* chooser = new TFontChooser(&dialog);
  chooser->setWindowFlags(Qt::Widget);
  chooser->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
  chooser->setCurrentFont(QFontOf(Font));
  // Being a dialog itself, the chooser takes Esc (and would only hide): it answers for us.
  QObject::connect(chooser, &QDialog::rejected, &dialog, &QDialog::reject);
  QObject::connect(chooser, &QDialog::accepted, &dialog, &QDialog::accept);

  TQtWidgetHost host("FontDialog1", &dialog);
  TColorBox colors("FontColor", &host);
  QtOf(&colors)->setObjectName(QStringLiteral("FontColor"));
  colors.SetColors(FontColors());
  if (!colors.Select(Font.Color)) {
    // A colour outside the list (a system colour, one picked elsewhere) is kept as it is.
    colors.AddColor(Font.Color, "自定义");
    colors.Select(Font.Color);
  }
  auto* colorLabel = new QLabel(QStringLiteral("颜色(&C):"), &dialog);
  colorLabel->setBuddy(QtOf(&colors));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
  // Enter confirms, from whichever field has the keyboard (a focused push button answers for
  // itself, as everywhere).
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);

  auto* colorRow = new QHBoxLayout;
  colorRow->addWidget(colorLabel);
  colorRow->addWidget(QtOf(&colors));
  colorRow->addStretch(1);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(chooser);
  layout->addLayout(colorRow);
  layout->addWidget(buttons);

  if (ExecDialog(dialog) != QDialog::Accepted) return false;
  Font = TFontOf(chooser->currentFont(), colors.Selected());
  return true;
}
