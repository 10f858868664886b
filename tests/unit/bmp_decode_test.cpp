// The BMP decoder on files written by an independent writer (bmp_builder.h): every accepted
// header, bit depth and compression pixel for pixel, Qt's reader as a second opinion where it
// reads the same colours, and a table of malformed files that must be refused for the right
// reason without touching the target bitmap.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <array>
#include <bit>
#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/bmp.h"
#include "platform/picture.h"
#include "platform/qt/qtraster.h"
#include "platform/raster/bitmap.h"
#include "platform/sysutils.h"
#include "tests/unit/bmp_builder.h"

namespace {

using namespace BmpTest;
using TBytesVec = std::vector<std::uint8_t>;
using TPixels = std::vector<std::uint32_t>;  // top row first, 0x00RRGGBB

// Pixels the decoder did not write keep this; it cannot be a decoded pixel (those have a zero top byte).
constexpr std::uint32_t Unwritten = 0xDEADBEEF;

struct TDecoded {
  TBmpFault Fault = nullptr;
  int Width = 0;
  int Height = 0;
  TPixels Pixels;
};

// Through the decoder's own two steps, into rows one pixel longer than the picture: the extra
// pixel of each row must come back untouched.
TDecoded Decode(const TBytesVec& file) {
  TBmpHeader header;
  if (TBmpFault fault = BmpReadHeader(file, header)) return {fault, 0, 0, {}};
  const std::ptrdiff_t stride = header.Width + 1;
  TPixels memory(std::size_t(stride) * header.Height, Unwritten);
  if (TBmpFault fault = BmpDecodePixels(file, header, memory.data(), stride)) return {fault, 0, 0, {}};
  TDecoded d{nullptr, header.Width, header.Height, {}};
  for (int y = 0; y < header.Height; ++y) {
    for (int x = 0; x < header.Width; ++x) d.Pixels.push_back(memory[y * stride + x]);
    if (memory[y * stride + header.Width] != Unwritten) d.Fault = "test: a row was written past its end";
  }
  return d;
}

TPixels QtDecode(const TBytesVec& file, int& width, int& height) {
  const QImage image =
      QImage::fromData(QByteArray(reinterpret_cast<const char*>(file.data()), qsizetype(file.size())), "BMP")
          .convertToFormat(QImage::Format_RGB32);
  width = image.width(), height = image.height();
  TPixels pixels;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) pixels.push_back(image.pixel(x, y) & 0xFFFFFF);
  return pixels;
}

TPixels Pixels(const TBitmap& b) {
  TPixels p;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) p.push_back(b.Pixel(x, y));
  return p;
}

// Distinct, never black: a colour out of the palette shows as black.
std::uint32_t PaletteColour(int i) {
  return std::uint32_t(i) << 16 | std::uint32_t(255 - i) << 8 | std::uint32_t((i * 37 + 0x5A) & 0xFF);
}
std::vector<std::uint32_t> MakePalette(int n) {
  std::vector<std::uint32_t> p;
  for (int i = 0; i < n; ++i) p.push_back(PaletteColour(i));
  return p;
}

// Four stored values of one colour channel and the 8-bit values they must decode to.
struct TLevels {
  std::array<std::uint32_t, 4> Stored;
  std::array<std::uint32_t, 4> Expected;
};
const TLevels L8{{0x00, 0x12, 0x80, 0xFF}, {0x00, 0x12, 0x80, 0xFF}};
// Narrow channels scale to full range: the largest value is 255.
const TLevels L4{{0, 1, 8, 15}, {0, 17, 136, 255}};
const TLevels L5{{0, 1, 16, 31}, {0, 8, 132, 255}};
const TLevels L6{{0, 1, 32, 63}, {0, 4, 130, 255}};
// Wide channels keep their top 8 bits.
const TLevels L10{{0, 3, 512, 1023}, {0, 0, 128, 255}};

struct TVariant {
  const char* Name;
  TFormat Format;
  int PaletteSize = 0;                  // indexed pictures: a palette of this many colours
  std::array<std::uint32_t, 3> Pack{};  // direct colour: where red, green and blue are stored
  std::array<TLevels, 3> Levels{L8, L8, L8};
  int Width = 7;  // odd: bits and nibbles of the last byte, and row padding
  int Height = 3;
  bool QtReadsAlike = true;  // Qt scales narrow channels differently and refuses some headers
};

constexpr std::array<std::uint32_t, 3> M555{0x7C00, 0x03E0, 0x001F};
constexpr std::array<std::uint32_t, 3> M565{0xF800, 0x07E0, 0x001F};
constexpr std::array<std::uint32_t, 3> M888{0xFF0000, 0x00FF00, 0x0000FF};

TFormat Fmt(std::uint32_t headerSize, int bits, std::uint32_t compression = BiRgb,
            std::array<std::uint32_t, 3> masks = {}, bool topDown = false, std::uint32_t coloursUsed = 0) {
  TFormat f;
  f.HeaderSize = headerSize, f.BitCount = bits, f.Compression = compression, f.Masks = masks;
  f.TopDown = topDown, f.ColoursUsed = coloursUsed;
  return f;
}

const TVariant Variants[] = {
    {"core 1-bit", Fmt(12, 1), 2},
    {"core 4-bit", Fmt(12, 4), 16},
    {"core 8-bit", Fmt(12, 8), 256},
    {"core 24-bit", Fmt(12, 24), 0, M888},
    {"1-bit", Fmt(40, 1), 2},
    {"1-bit 33 wide", Fmt(40, 1), 2, {}, {L8, L8, L8}, 33, 2},
    {"1-bit top-down", Fmt(40, 1, BiRgb, {}, true), 2},
    {"4-bit", Fmt(40, 4), 16},
    {"4-bit, 3 colours used", Fmt(40, 4, BiRgb, {}, false, 3), 3},
    {"8-bit", Fmt(40, 8), 256},
    {"8-bit, 20 colours used", Fmt(40, 8, BiRgb, {}, false, 20), 20},
    // The palette is as long as the pixel offset allows; Qt wants all 256 entries here.
    {"8-bit top-down 1x1, short palette", Fmt(40, 8, BiRgb, {}, true), 5, {}, {L8, L8, L8}, 1, 1, false},
    {"16-bit 5-5-5", Fmt(40, 16), 0, M555, {L5, L5, L5}, 7, 3, false},
    {"16-bit fields 5-6-5", Fmt(40, 16, BiBitFields, M565), 0, M565, {L5, L6, L5}, 7, 3, false},
    {"16-bit fields 4-4-4",
     Fmt(40, 16, BiBitFields, {0x0F00, 0x00F0, 0x000F}),
     0,
     {0x0F00, 0x00F0, 0x000F},
     {L4, L4, L4},
     7,
     3,
     false},
    {"16-bit fields blue high",
     Fmt(40, 16, BiBitFields, {0x001F, 0x07E0, 0xF800}),
     0,
     {0x001F, 0x07E0, 0xF800},
     {L5, L6, L5},
     7,
     3,
     false},
    {"24-bit", Fmt(40, 24), 0, M888},
    {"24-bit top-down", Fmt(40, 24, BiRgb, {}, true), 0, M888},
    {"24-bit 1x1", Fmt(40, 24), 0, M888, {L8, L8, L8}, 1, 1},
    {"32-bit, alpha byte ignored", Fmt(40, 32), 0, M888},
    {"32-bit fields reversed",
     Fmt(40, 32, BiBitFields, {0xFF00, 0xFF0000, 0xFF000000}),
     0,
     {0xFF00, 0xFF0000, 0xFF000000}},
    {"32-bit fields 10-10-10",
     Fmt(40, 32, BiBitFields, {0x3FF00000, 0x000FFC00, 0x3FF}),
     0,
     {0x3FF00000, 0x000FFC00, 0x3FF},
     {L10, L10, L10},
     7,
     3,
     false},
    {"52-byte header, 16-bit 5-6-5", Fmt(52, 16, BiBitFields, M565), 0, M565, {L5, L6, L5}, 7, 3, false},
    {"56-byte header, 32-bit fields", Fmt(56, 32, BiBitFields, M888), 0, M888, {L8, L8, L8}, 7, 3, false},
    {"V4 32-bit fields", Fmt(108, 32, BiBitFields, M888), 0, M888},
    // Masks in a larger header mean nothing without bit fields.
    {"V4 24-bit, stray masks", Fmt(108, 24, BiRgb, {0xF, 0xF0, 0xF00}), 0, M888},
    {"V5 8-bit", Fmt(124, 8, BiRgb), 256},
    {"V5 16-bit fields top-down", Fmt(124, 16, BiBitFields, M565, true), 0, M565, {L5, L6, L5}, 7, 3, false},
    {"V5 32-bit top-down", Fmt(124, 32, BiRgb, {}, true), 0, M888},
};

// The stored values and the expected picture of a variant.
void MakePicture(const TVariant& v, TFormat& format, std::vector<std::uint32_t>& stored, TPixels& expected) {
  format = v.Format;
  format.Palette = MakePalette(v.PaletteSize);
  std::uint32_t stray = 0;  // bits outside the masks, which must not leak into the colour
  if (v.PaletteSize == 0 && v.Format.BitCount != 24) {
    const std::uint32_t used = v.Pack[0] | v.Pack[1] | v.Pack[2];
    stray = ~used & (v.Format.BitCount == 16 ? 0xFFFF : 0xFFFFFFFF) & 0xA5A5A5A5;
  }
  for (int y = 0; y < v.Height; ++y) {
    for (int x = 0; x < v.Width; ++x) {
      if (v.PaletteSize > 0) {
        const int index = (x * 3 + y * 5 + 1) % v.PaletteSize;
        stored.push_back(std::uint32_t(index));
        expected.push_back(PaletteColour(index));
        continue;
      }
      const int level[3] = {(x + y) % 4, (x + 2 * y + 1) % 4, (2 * x + y + 2) % 4};
      std::uint32_t pixel = stray, colour = 0;
      for (int c = 0; c < 3; ++c) {
        pixel |= v.Levels[c].Stored[level[c]] << std::countr_zero(v.Pack[c]);
        colour |= v.Levels[c].Expected[level[c]] << (16 - 8 * c);
      }
      stored.push_back(pixel);
      expected.push_back(colour);
    }
  }
}

TEST(BmpDecode, EveryAcceptedVariantPixelForPixel) {
  for (const TVariant& v : Variants) {
    SCOPED_TRACE(v.Name);
    TFormat format;
    std::vector<std::uint32_t> stored;
    TPixels expected;
    MakePicture(v, format, stored, expected);
    const TBytesVec file = MakeBmp(format, v.Width, v.Height, stored);

    const TDecoded d = Decode(file);
    ASSERT_EQ(d.Fault, nullptr) << d.Fault;
    EXPECT_EQ(d.Width, v.Width);
    EXPECT_EQ(d.Height, v.Height);
    EXPECT_EQ(d.Pixels, expected);

    TBitmap bitmap;
    LoadBitmapFromMemory(bitmap, file);
    EXPECT_EQ(Pixels(bitmap), expected);

    if (v.QtReadsAlike) {
      int w = 0, h = 0;
      EXPECT_EQ(QtDecode(file, w, h), expected) << "Qt's reader disagrees";
    }
  }
}

// Indices past the palette's end show black: files whose biClrUsed is smaller than the indices
// they use exist, and refusing them would refuse pictures other programs show.
TEST(BmpDecode, IndexPastThePaletteIsBlack) {
  TFormat f = Fmt(40, 8, BiRgb, {}, false, 2);
  f.Palette = MakePalette(2);
  const TDecoded d = Decode(MakeBmp(f, 4, 1, {0, 1, 2, 255}));
  ASSERT_EQ(d.Fault, nullptr) << d.Fault;
  EXPECT_EQ(d.Pixels, (TPixels{PaletteColour(0), PaletteColour(1), 0, 0}));
  // biClrUsed past what the bit depth can index, and a palette that the pixel offset cuts short.
  f = Fmt(40, 4, BiRgb, {}, false, 1000);
  f.Palette = MakePalette(3);
  const TDecoded clamped = Decode(MakeBmp(f, 5, 1, {0, 1, 2, 3, 15}));
  ASSERT_EQ(clamped.Fault, nullptr) << clamped.Fault;
  EXPECT_EQ(clamped.Pixels, (TPixels{PaletteColour(0), PaletteColour(1), PaletteColour(2), 0, 0}));
}

struct TRleCase {
  const char* Name;
  bool Rle4;
  int Width, Height;
  TBytesVec Codes;
  std::vector<const char*> Rows;  // top row first; a hex digit is a palette index, '-' black
};

const TRleCase RleCases[] = {
    {"RLE8: runs, absolute run, delta, end of bitmap",
     false,
     6,
     3,
     {3, 1, /* absolute, padded */ 0, 3, 2, 3, 4, 0, /* end of line */ 0, 0,
      /* delta 2 right, 1 up */ 0, 2, 2, 1, 2, 5, 0, 1},
     {"005500", "000000", "111234"}},
    {"RLE8: index past the palette is black", false, 4, 1, {1, 0x20, 0, 3, 7, 0x40, 9, 0, 0, 1}, {"-7-9"}},
    {"RLE8: end of bitmap leaves the rest", false, 4, 2, {4, 0xA, 0, 1}, {"0000", "AAAA"}},
    {"RLE8: last rows done without end of bitmap", false, 2, 2, {2, 3, 0, 0, 1, 4, 1, 5}, {"45", "33"}},
    {"RLE8: every pixel coded", false, 5, 2, {0, 3, 1, 2, 3, 0, 2, 4, 0, 0, 5, 6, 0, 1}, {"66666", "12344"}},
    {"RLE4: alternating runs, absolute runs odd and even",
     true,
     7,
     2,
     {4, 0x12, /* 3 nibbles, 2 bytes */ 0, 3, 0x34, 0x50, 0, 0,
      /* 5 nibbles, 3 bytes padded to 4 */ 0, 5, 0x67, 0x89, 0xA0, 0x00, 2, 0xBB, 0, 1},
     {"6789ABB", "1212345"}},
    {"RLE4: odd run and delta to the row's end",
     true,
     5,
     2,
     {3, 0xCD, 0, 2, 2, 0, 0, 0, 5, 0xEF, 0, 1},
     {"EFEFE", "CDC00"}},
};

TEST(BmpDecode, RunLengthCodes) {
  const std::vector<std::uint32_t> palette = MakePalette(16);
  for (const TRleCase& c : RleCases) {
    SCOPED_TRACE(c.Name);
    TFormat f = Fmt(40, c.Rle4 ? 4 : 8, c.Rle4 ? BiRle4 : BiRle8);
    f.Palette = palette;
    TPixels expected;
    for (const char* row : c.Rows) {
      ASSERT_EQ(int(std::strlen(row)), c.Width);
      for (const char* p = row; *p; ++p)
        expected.push_back(*p == '-' ? 0 : palette[std::stoi(std::string(1, *p), nullptr, 16)]);
    }
    const TBytesVec file = MakeBmpFile(f, c.Width, c.Height, c.Codes);
    const TDecoded d = Decode(file);
    ASSERT_EQ(d.Fault, nullptr) << d.Fault;
    EXPECT_EQ(d.Pixels, expected);
  }
}

// Qt reads run-length files too; on pictures without skipped pixels (Qt leaves those undefined)
// it must see what we see.
TEST(BmpDecode, RunLengthAgreesWithQt) {
  for (const TRleCase& c : RleCases) {
    if (std::strstr(c.Name, "every pixel") == nullptr && std::strstr(c.Name, "alternating") == nullptr) continue;
    SCOPED_TRACE(c.Name);
    TFormat f = Fmt(40, c.Rle4 ? 4 : 8, c.Rle4 ? BiRle4 : BiRle8, {}, false, 16);  // Qt wants biClrUsed
    f.Palette = MakePalette(16);
    const TBytesVec file = MakeBmpFile(f, c.Width, c.Height, c.Codes);
    int w = 0, h = 0;
    const TPixels qt = QtDecode(file, w, h);
    EXPECT_EQ(Decode(file).Pixels, qt);
  }
}

// Malformed files. -----------------------------------------------------------------------------

TBytesVec Base8() {  // 7x3, 8 bits, a 4-colour palette
  TFormat f = Fmt(40, 8);
  f.Palette = MakePalette(4);
  std::vector<std::uint32_t> v;
  for (int i = 0; i < 21; ++i) v.push_back(std::uint32_t(i % 4));
  return MakeBmp(f, 7, 3, v);
}
TBytesVec Base16() { return MakeBmp(Fmt(40, 16, BiBitFields, M565), 3, 2, std::vector<std::uint32_t>(6, 0x1234)); }
TBytesVec Rle(int width, int height, TBytesVec codes, bool rle4 = false) {
  TFormat f = Fmt(40, rle4 ? 4 : 8, rle4 ? BiRle4 : BiRle8);
  f.Palette = MakePalette(16);
  return MakeBmpFile(f, width, height, codes);
}
TBytesVec With(TBytesVec file, const std::function<void(TBytesVec&)>& change) {
  change(file);
  return file;
}
TBytesVec Field32(TField at, std::uint32_t value, TBytesVec file = Base8()) {
  Poke32(file, at, value);
  return file;
}
TBytesVec Cut(std::size_t bytes, TBytesVec file = Base8()) {
  file.resize(std::min(bytes, file.size()));
  return file;
}
TBytesVec Png() {
  QImage image(3, 3, QImage::Format_RGB32);
  image.fill(Qt::red);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return TBytesVec(bytes.begin(), bytes.end());
}

struct TBadCase {
  const char* Name;
  TBytesVec File;
  const char* Fault;
};

std::vector<TBadCase> BadCases() {
  const std::size_t base8 = Base8().size();  // 14 + 40 + 16 palette + 3 rows of 8
  return {
      {"empty file", {}, "too short for a bitmap file"},
      {"PNG data", Png(), "no bitmap file signature"},
      {"signature BA", With(Base8(), [](TBytesVec& d) { d[1] = 'A'; }), "no bitmap file signature"},
      {"header size 64 (OS/2 2.x)", Field32(biSize, 64), "unknown bitmap header size"},
      {"header size 0", Field32(biSize, 0), "unknown bitmap header size"},
      {"V5 header cut short", Cut(100, MakeBmp(Fmt(124, 24), 1, 1, {0})), "bitmap header cut short"},
      {"2 planes", With(Base8(), [](TBytesVec& d) { Poke16(d, biPlanes, 2); }), "planes is not 1"},
      {"2 bits a pixel", With(Base8(), [](TBytesVec& d) { Poke16(d, biBitCount, 2); }), "unsupported bit depth"},
      {"0 bits a pixel", With(Base8(), [](TBytesVec& d) { Poke16(d, biBitCount, 0); }), "unsupported bit depth"},
      {"16 bits in a core header", MakeBmp(Fmt(12, 16), 1, 1, {0}), "unsupported bit depth"},
      {"JPEG inside", Field32(biCompression, BiJpeg), "unsupported compression"},
      {"PNG inside", Field32(biCompression, BiPng), "unsupported compression"},
      {"compression 6", Field32(biCompression, 6), "unsupported compression"},
      {"RLE8 at 24 bits", Field32(biCompression, BiRle8, MakeBmp(Fmt(40, 24), 1, 1, {0})),
       "RLE with the wrong bit depth"},
      {"RLE4 at 8 bits", Field32(biCompression, BiRle4), "RLE with the wrong bit depth"},
      {"top-down RLE", Field32(biHeight, std::uint32_t(-1), Rle(1, 1, {1, 0, 0, 1})), "top-down RLE picture"},
      {"bit fields at 24 bits", Field32(biCompression, BiBitFields, MakeBmp(Fmt(40, 24), 1, 1, {0})),
       "bit fields with the wrong bit depth"},
      {"width 0", Field32(biWidth, 0), "empty picture"},
      {"width -7", Field32(biWidth, std::uint32_t(-7)), "empty picture"},
      {"height 0", Field32(biHeight, 0), "empty picture"},
      {"height INT_MIN", Field32(biHeight, std::uint32_t(INT_MIN)), "picture too large"},
      {"width 32769", Field32(biWidth, 32769), "picture too large"},
      {"height -32769", Field32(biHeight, std::uint32_t(-32769)), "picture too large"},
      {"16384 x 16385", Field32(biHeight, 16385, Field32(biWidth, 16384)), "picture too large"},
      // Just inside the limits the same tiny file is refused for its missing data.
      {"16384 x 16384, tiny file", Field32(biHeight, 16384, Field32(biWidth, 16384)), "pixel data cut short"},
      {"32768 x 1, tiny file", Field32(biWidth, 32768), "pixel data cut short"},
      {"pixel offset past the file", Field32(bfOffBits, 100000), "pixel data offset outside the file"},
      {"pixel offset inside the headers", Field32(bfOffBits, 40), "pixel data offset outside the file"},
      {"no room for a palette", Field32(bfOffBits, 54), "palette missing"},
      {"cut in the file header", Cut(10), "too short for a bitmap file"},
      {"cut in the bitmap header", Cut(30), "bitmap header cut short"},
      {"cut in the palette", Cut(60), "pixel data offset outside the file"},
      {"cut in the first row", Cut(75), "pixel data cut short"},
      {"last byte missing", Cut(base8 - 1), "pixel data cut short"},
      {"masks cut short", Cut(60, Base16()), "colour masks cut short"},
      {"empty mask", Field32(GreenMask, 0, Base16()), "a colour mask is empty"},
      {"mask with a gap", Field32(RedMask, 0xF0F0, Base16()), "a colour mask has gaps"},
      {"overlapping masks", Field32(GreenMask, 0x0FE0, Base16()), "colour masks overlap"},
      {"mask past 16 bits", Field32(RedMask, 0x1F0000, Base16()), "a colour mask lies outside the pixel"},
      {"RLE picture past its codes' reach", Rle(513, 512, TBytesVec(1024, 0)),
       "RLE picture larger than its codes can fill"},
      {"tiny RLE claiming 16000 x 16000", Rle(16000, 16000, {0, 1}), "RLE picture larger than its codes can fill"},
      {"RLE just past the free area", Rle(256, 257, {0, 1}), "RLE picture larger than its codes can fill"},
      {"RLE run past the row", Rle(4, 1, {5, 1, 0, 1}), "RLE run goes past the end of a row"},
      {"RLE run after the last row", Rle(2, 1, {0, 0, 1, 1, 0, 1}), "RLE run goes past the end of a row"},
      {"RLE4 run past the row", Rle(3, 1, {4, 0x11, 0, 1}, true), "RLE run goes past the end of a row"},
      {"RLE absolute run past the row", Rle(4, 1, {1, 1, 0, 4, 1, 2, 3, 4, 0, 1}),
       "RLE absolute run goes past the end of a row"},
      {"RLE absolute run past the data", Rle(8, 1, {0, 5, 1, 2, 3}), "RLE absolute run goes past the data"},
      {"RLE absolute run without its pad byte", Rle(8, 1, {0, 3, 1, 2, 3}), "RLE absolute run goes past the data"},
      {"RLE4 absolute run past the data", Rle(8, 1, {0, 6, 0x12, 0x34}, true), "RLE absolute run goes past the data"},
      {"RLE delta past the right edge", Rle(4, 2, {2, 1, 0, 2, 3, 0, 0, 1}), "RLE delta moves out of the picture"},
      {"RLE delta past the top", Rle(4, 2, {0, 2, 0, 3, 0, 1}), "RLE delta moves out of the picture"},
      {"RLE delta cut short", Rle(4, 2, {0, 2, 1}), "RLE delta cut short"},
      {"RLE end of line past the last row", Rle(1, 1, {0, 0, 0, 0, 0, 1}), "RLE end of line past the last row"},
      {"RLE codes end midway", Rle(4, 2, {4, 1}), "RLE codes end before the picture does"},
      {"RLE code cut in half", Rle(4, 1, {4, 1, 0}), "RLE codes end before the picture does"},
      {"RLE without codes", Rle(4, 1, {}), "RLE codes end before the picture does"},
  };
}

TEST(BmpDecode, MalformedFilesAreRefusedForTheirReason) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  for (const TBadCase& c : BadCases()) {
    SCOPED_TRACE(c.Name);
    const TDecoded d = Decode(c.File);
    ASSERT_NE(d.Fault, nullptr) << "decoded as " << d.Width << "x" << d.Height;
    EXPECT_STREQ(d.Fault, c.Fault);

    // From memory and from a file alike: the framework's message, the bitmap as it was.
    QFile file(dir.filePath(QStringLiteral("bad.bmp")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(reinterpret_cast<const char*>(c.File.data()), qint64(c.File.size()));
    file.close();
    for (const bool fromFile : {false, true}) {
      TBitmap bitmap(2, 3);
      bitmap.Fill(0x00ABCDEF);
      try {
        fromFile ? LoadBitmapFromFile(bitmap, Str(file.fileName())) : LoadBitmapFromMemory(bitmap, c.File);
        ADD_FAILURE() << "loaded" << (fromFile ? " from the file" : "");
      } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Bitmap image is not valid");
      }
      EXPECT_EQ(bitmap.Width(), 2);
      EXPECT_EQ(bitmap.Height(), 3);
      EXPECT_EQ(Pixels(bitmap), TPixels(6, 0x00ABCDEF));
    }
  }
}

// The other side of the limits above: the same shapes one step smaller load.
TEST(BmpDecode, LimitsAdmitTheirBoundary) {
  TBytesVec reach(1024, 0);
  reach[1] = 1;  // end of bitmap, then padding up to 1024 bytes of codes
  TFormat wide = Fmt(40, 1);
  wide.Palette = MakePalette(2);
  const struct {
    const char* Name;
    TBytesVec File;
  } cases[] = {
      {"RLE at its codes' reach", Rle(512, 512, reach)},
      {"RLE filling the free area", Rle(256, 256, {0, 1})},
      {"32768 wide", MakeBmp(wide, 32768, 1, std::vector<std::uint32_t>(32768, 1))},
      {"exactly the pixel data", Base8()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const TDecoded d = Decode(c.File);
    EXPECT_EQ(d.Fault, nullptr) << d.Fault;
  }
}

}  // namespace
