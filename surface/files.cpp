#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <memory>

#include "platform/application.h"
#include "platform/image.h"
#include "platform/picture.h"
#include "surface/fcover.h"

namespace {

// One entry, its pattern matched whatever the case of the name, so x.bmp and X.BMP both show.
const QString BitmapFilter = QStringLiteral("bitmap (*.bmp)");

// The last confirmed names, which each dialog shows again.
QString LastSaveName;
QString LastOpenName;

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

QString RunFileDialog(QWidget* parent, QFileDialog::AcceptMode mode, QString& lastName) {
  QFileDialog dialog(parent);
  TPlainFileIcons icons;
  dialog.setIconProvider(&icons);
  // The platform's own dialog would be a separate window below the stay-on-top surface.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(mode);
  // A typed name is taken as it is, also one of a file that does not exist: the load then fails
  // and says so.
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter(BitmapFilter);
  dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
  dialog.setDefaultSuffix(QStringLiteral("BMP"));
  dialog.setDirectory(lastName.isEmpty() ? QDir::currentPath() : QFileInfo(lastName).absolutePath());
  if (!lastName.isEmpty()) dialog.selectFile(QFileInfo(lastName).fileName());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  lastName = dialog.selectedFiles().constFirst();
  return lastName;
}

}  // namespace

void TFCover::SaveFullScreen() {
  // The whole surface as seen when the command was given is exactly the snapshot taken before
  // the dialog: it serves as the file's picture and as what is put back.
  SaveWithDialog(nullptr);
}

void TFCover::SaveWithDialog(const TBitmap* picture) {
  TImage* snapshot = SnapshotSurface();
  if (picture == nullptr) picture = snapshot->Bitmap();
  const QString name = RunFileDialog(this, QFileDialog::AcceptSave, LastSaveName);
  if (!name.isEmpty()) {
    try {
      SaveBitmapToFile(*picture, name);
    } catch (...) {
      // The error, naming the file and the reason, is shown by the caller's handler; the
      // drawings are put back all the same.
      Application->ProcessMessages();
      RestoreSurface(snapshot);
      throw;
    }
  }
  Application->ProcessMessages();
  RestoreSurface(snapshot);
}

void TFCover::LoadImageFullScreen() { LoadImageIntoRect(0, 0, Width(), Height()); }

void TFCover::LoadImageIntoRect(int left, int top, int right, int bottom) {
  auto picture = std::make_unique<TImage>(String(), FormControl);
  picture->SetVisible(false);
  TImage* snapshot = SnapshotSurface();
  const QString name = RunFileDialog(this, QFileDialog::AcceptOpen, LastOpenName);
  if (name.isEmpty()) {
    Application->ProcessMessages();
    RestoreSurface(snapshot);
    return;
  }
  try {
    picture->Canvas();
    LoadBitmapFromFile(*picture->Bitmap(), name);
    Application->ProcessMessages();
    const TBitmap& bitmap = *picture->Bitmap();
    BeginStep();
    PaintBox1->Canvas()->CopyRect(TRect{left, top, right, bottom}, *picture->Canvas(),
                                  TRect{0, 0, bitmap.Width(), bitmap.Height()});
    EndStep();
    delete snapshot;
  } catch (...) {
    ShowMessage(this, QStringLiteral("打开文件错误"));
    Application->ProcessMessages();
    RestoreSurface(snapshot);
  }
}
