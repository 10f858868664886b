#include "platform/picture.h"

#include <QFileInfo>
#include <QImageReader>
#include <QSaveFile>

#include "platform/raster/bitmap.h"
#include "platform/sysutils.h"

namespace {
// A picture larger than this on a side is refused before decoding: the canvas limit, and
// far beyond any screen a classroom has.
constexpr int MaxPictureSide = 32768;
constexpr qint64 MaxPicturePixels = qint64{16384} * 16384;
}  // namespace

void SaveBitmapToFile(const TBitmap& bitmap, const QString& fileName) {
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly))
    throw Exception(QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, file.errorString()));
  if (!bitmap.View().save(&file, "BMP")) throw Exception(QStringLiteral("Cannot write file \"%1\"").arg(fileName));
  if (!file.commit()) throw Exception(QStringLiteral("Cannot write file \"%1\". %2").arg(fileName, file.errorString()));
}

void LoadBitmapFromFile(TBitmap& bitmap, const QString& fileName) {
  const QString ext = QFileInfo(fileName).suffix().toLower();
  if (ext != QLatin1String("bmp")) throw Exception(QStringLiteral("Unknown picture file extension (.%1)").arg(ext));
  QImageReader reader(fileName, "BMP");
  const QSize size = reader.size();
  if (!size.isValid() || size.width() > MaxPictureSide || size.height() > MaxPictureSide ||
      qint64{size.width()} * size.height() > MaxPicturePixels)
    throw Exception(QStringLiteral("Bitmap image is not valid"));
  QImage image;
  if (!reader.read(&image)) throw Exception(QStringLiteral("Bitmap image is not valid"));
  bitmap.Assign(image);
}
