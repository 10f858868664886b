#pragma once

// A BMP writer for tests and fuzz seeds, written from the file format and sharing no code with
// the decoder, so that a misreading in one is not repeated in the other. Plain C++: the fuzz seed
// generator uses it too.

#include <array>
#include <cstdint>
#include <vector>

namespace BmpTest {

inline constexpr std::uint32_t BiRgb = 0, BiRle8 = 1, BiRle4 = 2, BiBitFields = 3, BiJpeg = 4, BiPng = 5;

struct TFormat {
  std::uint32_t HeaderSize = 40;  // 12 (core), 40, 52, 56, 108 (V4) or 124 (V5)
  int BitCount = 24;
  std::uint32_t Compression = BiRgb;
  bool TopDown = false;                  // written as a negative height
  std::vector<std::uint32_t> Palette;    // 0x00RRGGBB, written in full
  std::uint32_t ColoursUsed = 0;         // biClrUsed as written
  std::array<std::uint32_t, 3> Masks{};  // red, green, blue: after a 40-byte header with bit fields,
                                         // inside the larger headers always
};

// Little-endian bytes.
class TBytes {
 public:
  std::vector<std::uint8_t> Data;
  TBytes& U8(std::uint32_t v) {
    Data.push_back(std::uint8_t(v));
    return *this;
  }
  TBytes& U16(std::uint32_t v) { return U8(v).U8(v >> 8); }
  TBytes& U32(std::uint32_t v) { return U16(v).U16(v >> 16); }
  TBytes& Zeros(std::size_t n) {
    Data.insert(Data.end(), n, 0);
    return *this;
  }
};

inline void Poke16(std::vector<std::uint8_t>& d, std::size_t at, std::uint32_t v) {
  d.at(at) = std::uint8_t(v), d.at(at + 1) = std::uint8_t(v >> 8);
}
inline void Poke32(std::vector<std::uint8_t>& d, std::size_t at, std::uint32_t v) {
  Poke16(d, at, v), Poke16(d, at + 2, v >> 16);
}

// Offsets of the fields the tests change in files made by MakeBmp (40-byte and larger headers).
enum TField : std::size_t {
  bfOffBits = 10,
  biSize = 14,
  biWidth = 18,
  biHeight = 22,
  biPlanes = 26,
  biBitCount = 28,
  biCompression = 30,
  biSizeImage = 34,
  biClrUsed = 46,
  // After a 40-byte header with bit fields, or inside the larger headers.
  RedMask = 54,
  GreenMask = 58,
  BlueMask = 62,
};

// Rows of `values` (top row first: palette indices, or pixels packed as the format stores them)
// padded to 4 bytes, in the file's row order.
inline std::vector<std::uint8_t> PackRows(const TFormat& f, int width, int height,
                                          const std::vector<std::uint32_t>& values) {
  const std::size_t stride = (std::size_t(width) * f.BitCount + 31) / 32 * 4;
  std::vector<std::uint8_t> out(stride * height);
  for (int r = 0; r < height; ++r) {
    const int y = f.TopDown ? r : height - 1 - r;
    std::uint8_t* row = out.data() + r * stride;
    for (int x = 0; x < width; ++x) {
      const std::uint32_t v = values.at(std::size_t(y) * width + x);
      switch (f.BitCount) {
        case 1: row[x / 8] |= std::uint8_t((v & 1) << (7 - x % 8)); break;
        case 4: row[x / 2] |= std::uint8_t((v & 15) << (x % 2 ? 0 : 4)); break;
        case 8: row[x] = std::uint8_t(v); break;
        case 16: row[2 * x] = std::uint8_t(v), row[2 * x + 1] = std::uint8_t(v >> 8); break;
        case 24:
          row[3 * x] = std::uint8_t(v), row[3 * x + 1] = std::uint8_t(v >> 8), row[3 * x + 2] = std::uint8_t(v >> 16);
          break;
        case 32:
          for (int i = 0; i < 4; ++i) row[4 * x + i] = std::uint8_t(v >> (8 * i));
          break;
      }
    }
  }
  return out;
}

// A whole BMP file: headers, masks, palette, then `pixels` as given (rows from PackRows, or RLE codes).
inline std::vector<std::uint8_t> MakeBmpFile(const TFormat& f, int width, int height,
                                             const std::vector<std::uint8_t>& pixels) {
  const bool core = f.HeaderSize == 12;
  const bool masksAfter = f.HeaderSize == 40 && f.Compression == BiBitFields;
  const std::size_t offset = 14 + f.HeaderSize + (masksAfter ? 12 : 0) + f.Palette.size() * (core ? 3 : 4);
  TBytes b;
  b.U8('B').U8('M').U32(std::uint32_t(offset + pixels.size())).U32(0).U32(std::uint32_t(offset));
  b.U32(f.HeaderSize);
  if (core) {
    b.U16(width).U16(height).U16(1).U16(f.BitCount);
  } else {
    b.U32(width).U32(f.TopDown ? -height : height).U16(1).U16(f.BitCount).U32(f.Compression);
    b.U32(std::uint32_t(pixels.size())).U32(2835).U32(2835).U32(f.ColoursUsed).U32(0);
    if (f.HeaderSize >= 52) b.U32(f.Masks[0]).U32(f.Masks[1]).U32(f.Masks[2]);
    if (f.HeaderSize >= 56) b.U32(0);                                // alpha mask
    if (f.HeaderSize >= 108) b.U32(0x73524742).Zeros(36).Zeros(12);  // 'sRGB', end points, gamma
    if (f.HeaderSize >= 124) b.U32(4).U32(0).U32(0).U32(0);          // intent, profile, reserved
  }
  if (masksAfter) b.U32(f.Masks[0]).U32(f.Masks[1]).U32(f.Masks[2]);
  for (const std::uint32_t c : f.Palette) {
    b.U8(c).U8(c >> 8).U8(c >> 16);
    if (!core) b.U8(0);
  }
  b.Data.insert(b.Data.end(), pixels.begin(), pixels.end());
  return b.Data;
}

inline std::vector<std::uint8_t> MakeBmp(const TFormat& f, int width, int height,
                                         const std::vector<std::uint32_t>& values) {
  return MakeBmpFile(f, width, height, PackRows(f, width, height, values));
}

}  // namespace BmpTest
