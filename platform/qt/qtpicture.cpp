#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "platform/bmp.h"
#include "platform/picture.h"
#include "platform/qt/qtraster.h"
#include "platform/raster/bitmap.h"
#include "platform/sysutils.h"

namespace {

// The framework's own text for any data that is not a bitmap.
QString InvalidBitmap() { return QStringLiteral("Bitmap image is not valid"); }

// Why a file operation failed, as a sentence: Qt's texts come from the system (strerror) or from
// Qt itself, some of them starting in lower case.
QString Reason(const QFileDevice& file) {
  QString reason = file.errorString();
  if (!reason.isEmpty()) reason[0] = reason[0].toUpper();
  return reason;
}

// Writes all of `bytes`. A write can stop short (a file size limit, a disk filling up) without an
// error; the next one then fails and says why.
bool WriteAll(QFileDevice& file, const std::uint8_t* bytes, qint64 size) {
  while (size > 0) {
    const qint64 n = file.write(reinterpret_cast<const char*>(bytes), size);
    if (n <= 0) return false;
    bytes += n, size -= n;
  }
  return true;
}

// Rows are written in blocks of about this many bytes: few system calls, little memory.
constexpr std::size_t SaveBlockBytes = 256 * 1024;

}  // namespace

void SaveBitmapToFile(const TBitmap& bitmap, const String& path) {
  const QString fileName = QStr(path);
  const QString name = QDir::toNativeSeparators(fileName);
  // A BMP cannot hold a picture without pixels; no reader would take the file back.
  if (bitmap.Empty()) throw Exception(Str(QStringLiteral("Cannot write file \"%1\". The picture is empty").arg(name)));
  QSaveFile file(fileName);
  // Unbuffered: the rows go out in large blocks anyway, and Qt 6.4's commit() drops an error of
  // the final flush of its buffer, keeping a file that was cut short.
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
    throw Exception(Str(QStringLiteral("Cannot create file \"%1\". %2").arg(name, Reason(file))));
  // Not committing drops the temporary file: the old file, if any, stays whole.
  auto fail = [&] {
    const QString reason = Reason(file);
    file.cancelWriting();
    throw Exception(Str(QStringLiteral("Cannot write file \"%1\". %2").arg(name, reason)));
  };
  const int width = bitmap.Width();
  const int height = bitmap.Height();
  std::uint8_t header[BmpHeaderBytes];
  BmpWriteHeader(width, height, header);
  if (!WriteAll(file, header, BmpHeaderBytes)) fail();
  const std::size_t rowBytes = BmpRowBytes(width);
  const int blockRows = int(std::max<std::size_t>(1, SaveBlockBytes / rowBytes));
  std::vector<std::uint8_t> block(std::size_t(std::min(blockRows, height)) * rowBytes);
  // The file holds the rows bottom-up.
  for (int y = height - 1; y >= 0;) {
    std::uint8_t* out = block.data();
    for (int n = 0; n < blockRows && y >= 0; ++n, --y, out += rowBytes) BmpEncodeRow(bitmap.ScanLine(y), width, out);
    if (!WriteAll(file, block.data(), out - block.data())) fail();
  }
  if (!file.commit()) throw Exception(Str(QStringLiteral("Cannot write file \"%1\". %2").arg(name, Reason(file))));
}

void LoadBitmapFromMemory(TBitmap& bitmap, std::span<const std::uint8_t> data) {
  TBmpHeader header;
  if (BmpReadHeader(data, header)) throw Exception(Str(InvalidBitmap()));
  // Decoded into memory of its own, so a failure leaves the bitmap as it was.
  TPixelBlock memory;
  try {
    memory = TPixelPool::Acquire(std::size_t(header.Width) * std::size_t(header.Height));
  } catch (const std::bad_alloc&) {
    throw Exception(Str(QStringLiteral("Out of memory")));
  }
  if (BmpDecodePixels(data, header, memory.Data(), header.Width)) throw Exception(Str(InvalidBitmap()));
  if (!bitmap.Adopt(std::move(memory), header.Width, header.Height)) throw Exception(Str(InvalidBitmap()));
}

void LoadBitmapFromFile(TBitmap& bitmap, const String& path) {
  const QString fileName = QStr(path);
  const QString name = QDir::toNativeSeparators(fileName);
  const QString ext = QFileInfo(fileName).suffix().toLower();
  const bool icon = ext == QLatin1String("ico");
  const bool metafile = ext == QLatin1String("wmf") || ext == QLatin1String("emf");
  if (!icon && !metafile && ext != QLatin1String("bmp"))
    throw Exception(Str(QStringLiteral("Unknown picture file extension (.%1)").arg(ext)));
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly))
    throw Exception(Str(QStringLiteral("Cannot open file \"%1\". %2").arg(name, Reason(file))));
  // The framework reads icons and metafiles, but a bitmap cannot take them.
  if (icon) throw Exception(Str(QStringLiteral("Cannot assign a TIcon to a TBitmap")));
  if (metafile) throw Exception(Str(QStringLiteral("Cannot assign a TMetafile to a TBitmap")));
  // Sized before reading: a file larger than any picture we take is not read at all.
  const qint64 size = file.size();
  if (size > BmpMaxFileBytes) throw Exception(Str(InvalidBitmap()));
  std::unique_ptr<std::uint8_t[]> data;
  try {
    data.reset(new std::uint8_t[std::size_t(size)]);
  } catch (const std::bad_alloc&) {
    throw Exception(Str(QStringLiteral("Out of memory")));
  }
  qint64 got = 0;
  while (got < size) {
    const qint64 n = file.read(reinterpret_cast<char*>(data.get()) + got, size - got);
    if (n < 0) throw Exception(Str(QStringLiteral("Cannot read file \"%1\". %2").arg(name, Reason(file))));
    if (n == 0) break;  // the file shrank while we read it: what is missing makes the data invalid
    got += n;
  }
  LoadBitmapFromMemory(bitmap, {data.get(), std::size_t(got)});
}
