#include "platform/qt/qtdialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QMessageBox>
#include <QPointer>
#include <QWindow>

#include "platform/application.h"
#include "platform/qt/qtapplication.h"
#include "platform/dialogs.h"
#include "platform/qt/qtraster.h"

namespace {

// The parent of the modal dialog that closed last, until the focus lands on a window again.
QPointer<QWidget>& FocusReturnsTo() {
  static QPointer<QWidget> window;
  return window;
}

void ForgetReturnOnFocus() {
  static QPointer<QCoreApplication> watched;
  if (watched == QCoreApplication::instance()) return;
  watched = QCoreApplication::instance();
  QObject::connect(qGuiApp, &QGuiApplication::focusWindowChanged, qGuiApp, [](QWindow* window) {
    if (window) FocusReturnsTo() = nullptr;
  });
}

// Types and icons from the name alone. Otherwise the dialog's file list reads the first bytes of
// every file it shows, on the GUI thread, to guess its type: a device or a pipe in the folder
// (/proc/kmsg, say) blocks that read, and the program, for good.
class TPlainFileIcons : public QFileIconProvider {
 public:
  QIcon icon(const QFileInfo& info) const override { return QFileIconProvider::icon(info.isDir() ? Folder : File); }
  QString type(const QFileInfo& info) const override {
    return info.isDir() ? QStringLiteral("文件夹") : info.suffix().toUpper() + QStringLiteral(" 文件");
  }
};

// Qt's form of a filter entry, "description (patterns)"; a description that shows its patterns
// already is taken as it is.
QString QtNameFilter(const TFilterEntry& entry) {
  QStringList patterns;
  for (const String& pattern : entry.Patterns) patterns << QStr(pattern);
  const QString shown = QStringLiteral("(%1)").arg(patterns.join(u' '));
  const QString description = QStr(entry.Description);
  return description.contains(shown) ? description : description + u' ' + shown;
}

bool RunFileDialog(TFileDialog& settings, QFileDialog::AcceptMode mode) {
  QFileDialog dialog(DialogOwner());
  TPlainFileIcons icons;
  dialog.setIconProvider(&icons);
  // The platform's own dialog would be a separate window below the stay-on-top surface.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(QFileDialog::AnyFile);
  QStringList filters;
  for (const TFilterEntry& entry : FilterEntries(settings.Filter)) filters << QtNameFilter(entry);
  if (!filters.isEmpty()) dialog.setNameFilters(filters);
  // Patterns match whatever the case of the name, so x.bmp and X.BMP both show.
  dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
  if (!settings.DefaultExt.empty()) dialog.setDefaultSuffix(QStr(settings.DefaultExt));
  const QString last = QStr(settings.FileName);
  dialog.setDirectory(last.isEmpty() ? QDir::currentPath() : QFileInfo(last).absolutePath());
  if (!last.isEmpty()) dialog.selectFile(QFileInfo(last).fileName());
  if (ExecDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  settings.FileName = Str(dialog.selectedFiles().constFirst());
  return true;
}

}  // namespace

QWidget* DialogOwner() {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  QWidget* back = FocusReturnsTo();
  const QWidget* active = QApplication::activeWindow();
  if (back && back->isVisible() && !(active && active->isVisible())) return back;
  return QtDialogParent();
}

int ExecDialog(QDialog& dialog) {
  ForgetReturnOnFocus();
  const QPointer<QWidget> owner = dialog.parentWidget();
  const int result = dialog.exec();
  FocusReturnsTo() = owner;
  return result;
}

bool TOpenDialog::Execute() { return RunFileDialog(*this, QFileDialog::AcceptOpen); }

bool TSaveDialog::Execute() { return RunFileDialog(*this, QFileDialog::AcceptSave); }

void ShowMessage(const String& text) {
  QMessageBox box(QMessageBox::NoIcon, Application ? QStr(Application->Title) : QString(), QStr(text), QMessageBox::Ok,
                  DialogOwner());
  ExecDialog(box);
}
