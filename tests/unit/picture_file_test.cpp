// Picture files on disk: what we save every reader takes back, loading goes by the extension, and
// a failed save or load says which file and why while keeping the old file and the bitmap as they
// were. Tests run as root, so failures come from missing folders, /proc and a file size limit, not
// from permissions.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "platform/picture.h"
#include "platform/qt/qtraster.h"
#include "platform/raster/bitmap.h"
#include "platform/sysutils.h"

namespace {

using TPixels = std::vector<std::uint32_t>;

TPixels Pixels(const TBitmap& b) {
  TPixels p;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) p.push_back(b.Pixel(x, y));
  return p;
}

// Every channel value turns up, and neighbouring pixels differ, so a shifted row or a swapped
// channel shows.
void Paint(TBitmap& b, std::uint32_t seed) {
  std::uint32_t v = seed;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) b.SetPixel(x, y, (v = v * 1664525u + 1013904223u) >> 8);
}

QByteArray ReadAll(const QString& name) {
  QFile f(name);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& name, const QByteArray& bytes) {
  QFile f(name);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray BmpBytes(int width, int height, std::uint32_t seed) {
  QTemporaryDir dir;
  TBitmap b(width, height);
  Paint(b, seed);
  SaveBitmapToFile(b, Str(dir.filePath(QStringLiteral("p.bmp"))));
  return ReadAll(dir.filePath(QStringLiteral("p.bmp")));
}

// The message of the Exception `action` throws, or "(no exception)".
template <typename F>
std::string Failure(F action) {
  try {
    action();
  } catch (const Exception& e) {
    return e.Message();
  }
  return "(no exception)";
}

TEST(PictureFile, SavedPicturesReadBackExactly) {
  QTemporaryDir dir;
  const QString name = dir.filePath(QStringLiteral("round.bmp"));
  // Widths whose rows need 1, 3, 0 and 3 padding bytes, and the row order seen on a tall picture.
  const struct { int Width, Height; } sizes[] = {{1, 1}, {3, 2}, {4, 3}, {47, 33}, {5, 40}};
  for (const auto& s : sizes) {
    SCOPED_TRACE(testing::Message() << s.Width << "x" << s.Height);
    TBitmap picture(s.Width, s.Height);
    Paint(picture, std::uint32_t(s.Width * 1000 + s.Height));
    SaveBitmapToFile(picture, Str(name));  // over the previous size's file: replaced whole
    EXPECT_EQ(QFileInfo(name).size(), 54 + (s.Width * 3 + 3) / 4 * 4 * s.Height);

    QImageReader reader(name);
    EXPECT_EQ(reader.format(), "bmp");
    const QImage image = reader.read().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(image.size(), QSize(s.Width, s.Height)) << reader.errorString().toStdString();
    TPixels viaQt;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) viaQt.push_back(image.pixel(x, y) & 0xFFFFFF);
    EXPECT_EQ(viaQt, Pixels(picture));

    TBitmap loaded;
    LoadBitmapFromFile(loaded, Str(name));
    EXPECT_EQ(loaded.Width(), s.Width);
    EXPECT_EQ(Pixels(loaded), Pixels(picture));
  }
}

TEST(PictureFile, LoadingGoesByTheExtension) {
  QTemporaryDir dir;
  const QByteArray bmp = BmpBytes(3, 2, 7);
  QDir(dir.path()).mkdir(QStringLiteral("folder.bmp"));
  const struct {
    const char* File;
    QByteArray Content;  // null: no such file is made
    QString Message;     // empty: loads; %1 stands for the file's path
  } cases[] = {
      {"upper.BMP", bmp, {}},
      {"mixed.bMp", bmp, {}},
      {"picture.png", bmp, QStringLiteral("Unknown picture file extension (.png)")},
      {"no-extension", bmp, QStringLiteral("Unknown picture file extension (.)")},
      {"picture.ico", bmp, QStringLiteral("Cannot assign a TIcon to a TBitmap")},
      {"picture.WMF", bmp, QStringLiteral("Cannot assign a TMetafile to a TBitmap")},
      {"picture.emf", bmp, QStringLiteral("Cannot assign a TMetafile to a TBitmap")},
      {"missing.bmp", {}, QStringLiteral("Cannot open file \"%1\". No such file or directory")},
      {"folder.bmp", {}, QStringLiteral("Cannot open file \"%1\". File to open is a directory")},
      {"empty.bmp", QByteArray(""), QStringLiteral("Bitmap image is not valid")},
      {"half.bmp", bmp.left(bmp.size() / 2), QStringLiteral("Bitmap image is not valid")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    const QString path = dir.filePath(QString::fromLatin1(c.File));
    if (!c.Content.isNull()) WriteAll(path, c.Content);
    TBitmap bitmap(2, 1);
    bitmap.Fill(0x00123456);
    const std::string message = Failure([&] { LoadBitmapFromFile(bitmap, Str(path)); });
    if (c.Message.isEmpty()) {
      EXPECT_EQ(message, "(no exception)");
      EXPECT_EQ(bitmap.Width(), 3);
      EXPECT_EQ(bitmap.Height(), 2);
      continue;
    }
    EXPECT_EQ(message, (c.Message.contains(QLatin1String("%1")) ? c.Message.arg(path) : c.Message).toStdString());
    EXPECT_EQ(Pixels(bitmap), TPixels(2, 0x00123456));
  }
}

// Lets a test run with a file size limit, as a full disk would stop a write midway. The signal that
// crossing the limit raises is ignored, so the write fails with EFBIG instead of ending the
// process; both are put back afterwards.
class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &FOld);
    FOldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = FOld;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~TFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &FOld);
    signal(SIGXFSZ, FOldHandler);
  }

 private:
  rlimit FOld{};
  sighandler_t FOldHandler;
};

TEST(PictureFile, FailedSaveKeepsTheOldFileAndNamesTheReason) {
  QTemporaryDir dir;
  const QString existing = dir.filePath(QStringLiteral("kept.bmp"));
  const QByteArray old = BmpBytes(5, 5, 1);
  TBitmap picture(100, 100);  // about 30 KB
  Paint(picture, 2);
  const struct {
    const char* Name;
    QString File;
    QString Message;   // %1 stands for the file's path
    rlim_t SizeLimit;  // 0: none
    bool Empty;
  } cases[] = {
      {"folder that does not exist", dir.filePath(QStringLiteral("no/such/folder/p.bmp")),
       QStringLiteral("Cannot create file \"%1\". No such file or directory"), 0, false},
      {"under /proc", QStringLiteral("/proc/quilmar-test.bmp"),
       QStringLiteral("Cannot create file \"%1\". No such file or directory"), 0, false},
      {"onto a folder", dir.path(), QStringLiteral("Cannot create file \"%1\". Filename refers to a directory"), 0,
       false},
      {"file size limit midway", existing, QStringLiteral("Cannot write file \"%1\". File too large"), 8192, false},
      {"limit hit by the last bytes", existing, QStringLiteral("Cannot write file \"%1\". File too large"), 30053,
       false},
      {"empty picture", existing, QStringLiteral("Cannot write file \"%1\". The picture is empty"), 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteAll(existing, old);
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    TBitmap empty;
    std::string message;
    {
      const std::unique_ptr<TFileSizeLimit> limit(c.SizeLimit ? new TFileSizeLimit(c.SizeLimit) : nullptr);
      message = Failure([&] { SaveBitmapToFile(c.Empty ? empty : picture, Str(c.File)); });
    }
    EXPECT_EQ(message, c.Message.arg(QDir::toNativeSeparators(c.File)).toStdString());
    EXPECT_EQ(ReadAll(existing), old);
    // No temporary file is left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
  }
  // The limit is gone again: the same picture saves.
  SaveBitmapToFile(picture, Str(existing));
  EXPECT_EQ(QFileInfo(existing).size(), 54 + 300 * 100);
}

}  // namespace
