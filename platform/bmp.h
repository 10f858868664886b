#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Windows BMP files in memory, in plain C++: no Qt, so the decoder builds anywhere and can be
// fuzzed on its own. Decoding takes two steps. BmpReadHeader reads and checks every header
// against the data, so the caller allocates only for a picture the data can really fill; then
// BmpDecodePixels writes the pixels into the caller's memory. Nothing reads past the data.

// Why data was refused: a short fixed text, or nullptr when it was read. Users are shown only
// the framework's "Bitmap image is not valid"; the reason is for tests and the fuzzer.
using TBmpFault = const char*;

enum class TBmpCompression { None, Rle8, Rle4, BitFields };

// What the headers of a readable file say. Filled by BmpReadHeader only.
struct TBmpHeader {
  int Width = 0;
  int Height = 0;        // positive; TopDown tells the row order
  bool TopDown = false;  // the first row in the file is the top one
  int BitCount = 0;
  TBmpCompression Compression = TBmpCompression::None;
  // 0x00RRGGBB for each index; entries past the file's palette are black.
  std::uint32_t Palette[256] = {};
  int PaletteSize = 0;
  // Red, green and blue masks of 16- and 32-bit pixels: each contiguous, none overlapping.
  std::uint32_t Masks[3] = {};
  std::size_t PixelOffset = 0;  // where the pixel data starts in the file
  std::size_t PixelBytes = 0;   // how much of it is read: rows for plain pictures, the codes for RLE
};

// Larger pictures are refused before anything is allocated: past any screen a classroom has,
// and the limit of TBitmap (sides) and of a 1 GiB pixel buffer (area).
inline constexpr int BmpMaxSide = 32768;
inline constexpr std::int64_t BmpMaxPixels = std::int64_t{16384} * 16384;
// No file of a picture within those limits is larger: at most 4 bytes a pixel with row padding
// (1 pixel at 1 bit still takes a 4-byte row), plus headers, masks, a palette and a gap before
// the pixels.
inline constexpr std::int64_t BmpMaxFileBytes = 4 * BmpMaxPixels + 65536;

// An RLE picture may claim at most this many pixels for each byte of its codes. An encoded run
// covers at most 255 pixels with 2 bytes (127.5 a byte), so every picture coded run by run fits
// with room to spare for rows ended early or skipped; a tiny file cannot claim a huge picture.
inline constexpr std::int64_t BmpRlePixelsPerByte = 256;
// Below this many pixels an RLE picture may skip freely: a mostly empty icon-sized picture costs
// 256 KiB at most.
inline constexpr std::int64_t BmpRleFreePixels = 65536;

// Reads the file header and the bitmap header of a whole BMP file and checks them against the
// data: size limits, bit depth and compression, masks, palette and pixel data in the file.
TBmpFault BmpReadHeader(std::span<const std::uint8_t> file, TBmpHeader& header);

// Decodes the pixels of `file`, whose headers BmpReadHeader accepted into `header`, as
// 0x00RRGGBB into `pixels`: header.Height rows of header.Width pixels, the top row first, rows
// `stride` pixels apart. Every pixel of the picture is written, also on failure; RLE pixels that
// the codes skip get the palette's first entry.
TBmpFault BmpDecodePixels(std::span<const std::uint8_t> file, const TBmpHeader& header, std::uint32_t* pixels,
                          std::ptrdiff_t stride);

// Writing: 24 bits a pixel, rows bottom-up, a 40-byte header: the form every BMP reader knows.
inline constexpr std::size_t BmpHeaderBytes = 54;
// The bytes of one pixel row in the file, padded to 4 bytes.
std::size_t BmpRowBytes(int width);
// The file and bitmap headers for a picture of that size (within the limits above).
void BmpWriteHeader(int width, int height, std::uint8_t (&out)[BmpHeaderBytes]);
// One row of 0x00RRGGBB pixels as BmpRowBytes(width) bytes, the padding zeroed.
void BmpEncodeRow(const std::uint32_t* row, int width, std::uint8_t* out);
