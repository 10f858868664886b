#include <memory>

#include "platform/application.h"
#include "platform/dialogs.h"
#include "platform/image.h"
#include "platform/picture.h"
#include "surface/fcover.h"

namespace {

// One entry for bitmaps, in the classic dialogs' form. Each dialog keeps the last confirmed name
// and shows it again.
template <class TDialog>
TDialog BitmapDialog() {
  TDialog dialog;
  dialog.Filter = "bitmap (*.bmp)|*.bmp";
  dialog.DefaultExt = "BMP";
  return dialog;
}

TSaveDialog& SaveDialog1() {
  static TSaveDialog dialog = BitmapDialog<TSaveDialog>();
  return dialog;
}

TOpenDialog& OpenDialog1() {
  static TOpenDialog dialog = BitmapDialog<TOpenDialog>();
  return dialog;
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
  if (SaveDialog1().Execute()) {
    try {
      SaveBitmapToFile(*picture, SaveDialog1().FileName);
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
  auto picture = std::make_unique<TImage>(String(), this);
  picture->SetVisible(false);
  TImage* snapshot = SnapshotSurface();
  if (!OpenDialog1().Execute()) {
    Application->ProcessMessages();
    RestoreSurface(snapshot);
    return;
  }
  try {
    picture->Canvas();
    LoadBitmapFromFile(*picture->Bitmap(), OpenDialog1().FileName);
    Application->ProcessMessages();
    const TBitmap& bitmap = *picture->Bitmap();
    BeginStep();
    PaintBox1->Canvas()->CopyRect(TRect{left, top, right, bottom}, *picture->Canvas(),
                                  TRect{0, 0, bitmap.Width(), bitmap.Height()});
    EndStep();
    delete snapshot;
  } catch (...) {
    ShowMessage("打开文件错误");
    Application->ProcessMessages();
    RestoreSurface(snapshot);
  }
}
