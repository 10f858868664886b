#include "platform/clipboard.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImageWriter>
#include <QMimeData>
#include <QThreadPool>
#include <memory>
#include <mutex>

#include "platform/qt/qtraster.h"
#include "platform/raster/bitmap.h"

namespace {

const QString PngType = QStringLiteral("image/png");
const QString BmpType = QStringLiteral("image/bmp");

// The files of one copied picture, made by a worker. Each is offered once it is ready: the GUI
// thread never waits for one, so serving a screen-sized picture cannot stall the surface. A
// program that asks the very moment after a copy finds the files not ready yet, which is as if
// it had asked just before. The worker holds the state, so replacing the clipboard meanwhile is
// safe.
struct TEncodings {
  mutable std::mutex Lock;
  QByteArray Bmp;
  QByteArray Png;
  bool BmpDone = false;
  bool PngDone = false;

  QStringList Ready() const {
    std::lock_guard lock(Lock);
    QStringList types;
    if (PngDone && !Png.isEmpty()) types << PngType;
    if (BmpDone && !Bmp.isEmpty()) types << BmpType;
    return types;
  }
  QByteArray Get(bool png) const {
    std::lock_guard lock(Lock);
    return png ? (PngDone ? Png : QByteArray()) : (BmpDone ? Bmp : QByteArray());
  }
};

QByteArray Encode(const QImage& image, const char* format, int quality) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  writer.setQuality(quality);
  // A failed encoding offers nothing rather than a broken file.
  if (!writer.write(image)) bytes.clear();
  return bytes;
}

// A copied picture as the clipboard offers it. Programs ask for PNG (most) or BMP; our own
// paste takes the picture itself.
class TPictureMime : public QMimeData {
 public:
  explicit TPictureMime(QImage image) : FImage(std::move(image)), FFiles(std::make_shared<TEncodings>()) {
    QThreadPool::globalInstance()->start([files = FFiles, image = FImage] {
      QByteArray bmp = Encode(image, "BMP", -1);
      {
        std::lock_guard lock(files->Lock);
        files->Bmp = std::move(bmp);
        files->BmpDone = true;
      }
      // Level 1 of zlib: a fifth of the default's time at 3840x2160 for twice the size.
      QByteArray png = Encode(image, "PNG", 80);
      {
        std::lock_guard lock(files->Lock);
        files->Png = std::move(png);
        files->PngDone = true;
      }
    });
  }

  const QImage& Image() const { return FImage; }

  QStringList formats() const override { return FFiles->Ready(); }
  bool hasFormat(const QString& type) const override { return FFiles->Ready().contains(type); }

 protected:
  QVariant retrieveData(const QString& type, QMetaType) const override {
    if (type == PngType) return FFiles->Get(true);
    if (type == BmpType) return FFiles->Get(false);
    return {};
  }

 private:
  QImage FImage;
  std::shared_ptr<TEncodings> FFiles;
};

}  // namespace

bool TClipboard::HasFormat(int format) const {
  if (format != CF_BITMAP) return false;
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (data == nullptr) return false;
  if (dynamic_cast<const TPictureMime*>(data) != nullptr || data->hasImage()) return true;
  for (const QString& type : data->formats())
    if (type == PngType || type == BmpType) return true;
  return false;
}

void TClipboard::Assign(const TBitmap& bitmap) {
  // A deep copy: the bitmap may change or go while the clipboard still serves the picture.
  QImage image = QtView(bitmap).copy();
  QGuiApplication::clipboard()->setMimeData(new TPictureMime(std::move(image)));
}

bool TClipboard::GetBitmap(TBitmap& bitmap) const {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (data == nullptr) return false;
  QImage image;
  if (const auto* ours = dynamic_cast<const TPictureMime*>(data)) {
    image = ours->Image();
  } else if (data->hasImage()) {
    // The toolkit decodes the other program's picture, within its allocation limit.
    image = qvariant_cast<QImage>(data->imageData());
  } else {
    for (const QString& type : {PngType, BmpType}) {
      if (!data->hasFormat(type)) continue;
      image = QImage::fromData(data->data(type));
      if (!image.isNull()) break;
    }
  }
  if (image.isNull() || image.width() > TBitmap::MaxSide || image.height() > TBitmap::MaxSide) return false;
  AssignImage(bitmap, image);
  return true;
}

TClipboard& Clipboard() {
  static TClipboard clipboard;
  return clipboard;
}
