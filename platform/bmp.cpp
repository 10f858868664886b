#include "platform/bmp.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

constexpr std::size_t FileHeaderSize = 14;
// Bitmap header sizes: OS/2 1.x and Windows 2 (the core header, 16-bit sides, 3-byte palette
// entries), Windows 3, the two variants with masks inside the header that some writers emit, and
// the Windows 95 and 98 headers (V4, V5). OS/2 2.x headers (16 to 64 bytes) use other meanings for
// the same compression codes and are refused.
constexpr std::uint32_t CoreHeaderSize = 12;
constexpr std::uint32_t InfoHeaderSize = 40;
constexpr std::uint32_t InfoHeaderSizes[] = {40, 52, 56, 108, 124};

enum : std::uint32_t { BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3 };

std::uint16_t U16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }
std::uint32_t U32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}
void Put16(std::uint8_t* p, std::uint32_t v) { p[0] = std::uint8_t(v), p[1] = std::uint8_t(v >> 8); }
void Put32(std::uint8_t* p, std::uint32_t v) { Put16(p, v), Put16(p + 2, v >> 16); }

// Bytes of one uncompressed row: rows are padded to whole 32-bit words.
std::uint64_t RowBytes(int width, int bitCount) { return (std::uint64_t(width) * bitCount + 31) / 32 * 4; }

TBmpFault CheckMasks(const std::uint32_t (&masks)[3], int bitCount) {
  const std::uint64_t pixelBits = bitCount == 32 ? 0xFFFFFFFFu : (std::uint64_t{1} << bitCount) - 1;
  std::uint32_t taken = 0;
  for (const std::uint32_t mask : masks) {
    // A channel without bits is no colour picture any writer makes.
    if (mask == 0) return "a colour mask is empty";
    if (mask > pixelBits) return "a colour mask lies outside the pixel";
    const std::uint32_t low = mask >> std::countr_zero(mask);
    if ((low & (low + 1)) != 0) return "a colour mask has gaps";
    if ((taken & mask) != 0) return "colour masks overlap";
    taken |= mask;
  }
  return nullptr;
}

// One colour channel of a masked pixel, brought to 8 bits: wider channels keep their top bits,
// narrower ones are scaled so that their largest value is 255 (a 5-bit 31 is white, not 248).
class TChannel {
 public:
  // A zero mask (palette pictures, which use no masks) gives 0.
  explicit TChannel(std::uint32_t mask)
      : FMask(mask), FShift(mask != 0 ? std::countr_zero(mask) : 0), FBits(std::popcount(mask)) {
    if (FBits > 0 && FBits < 8) {
      const std::uint32_t top = (1u << FBits) - 1;
      for (std::uint32_t v = 0; v <= top; ++v) FScale[v] = std::uint8_t((v * 255 + top / 2) / top);
    }
  }
  std::uint32_t operator()(std::uint32_t pixel) const {
    const std::uint32_t v = (pixel & FMask) >> FShift;
    return FBits >= 8 ? (v >> (FBits - 8)) & 0xFF : FScale[v];
  }

 private:
  std::uint32_t FMask;
  int FShift;
  int FBits;
  std::uint8_t FScale[128] = {};
};

struct TMaskedPixel {
  TChannel R, G, B;
  explicit TMaskedPixel(const std::uint32_t (&masks)[3]) : R(masks[0]), G(masks[1]), B(masks[2]) {}
  std::uint32_t operator()(std::uint32_t pixel) const { return R(pixel) << 16 | G(pixel) << 8 | B(pixel); }
};

void DecodeRow(const std::uint8_t* in, std::uint32_t* out, int width, const TBmpHeader& h, const TMaskedPixel& mp,
               bool standard32) {
  const std::uint32_t* palette = h.Palette;
  switch (h.BitCount) {
    case 1:
      for (int x = 0; x < width; ++x) out[x] = palette[(in[x >> 3] >> (7 - (x & 7))) & 1];
      break;
    case 4:
      for (int x = 0; x < width; ++x) out[x] = palette[(in[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
      break;
    case 8:
      for (int x = 0; x < width; ++x) out[x] = palette[in[x]];
      break;
    case 16:
      for (int x = 0; x < width; ++x) out[x] = mp(U16(in + 2 * x));
      break;
    case 24:
      for (int x = 0; x < width; ++x, in += 3) out[x] = std::uint32_t{in[2]} << 16 | std::uint32_t{in[1]} << 8 | in[0];
      break;
    case 32:
      if (standard32) {
        for (int x = 0; x < width; ++x) out[x] = U32(in + 4 * x) & 0x00FFFFFF;
      } else {
        for (int x = 0; x < width; ++x) out[x] = mp(U32(in + 4 * x));
      }
      break;
  }
}

// Run-length codes: pairs of (count, value); a zero count escapes to end of line (0), end of
// bitmap (1), a delta move (2, then dx and dy) or an absolute run of `value` pixels padded to a
// 16-bit boundary. Rows count from the bottom, as RLE pictures are always bottom-up.
TBmpFault DecodeRle(const std::uint8_t* p, const std::uint8_t* end, const TBmpHeader& h, std::uint32_t* pixels,
                    std::ptrdiff_t stride) {
  const bool rle4 = h.Compression == TBmpCompression::Rle4;
  const int width = h.Width;
  const int height = h.Height;
  const std::uint32_t* palette = h.Palette;
  int x = 0;
  int y = 0;
  auto row = [&] { return pixels + std::ptrdiff_t(height - 1 - y) * stride; };
  for (;;) {
    if (end - p < 2) {
      // Some writers leave out the final end-of-bitmap code; that is harmless once every row is done.
      const bool complete = y >= height || (y == height - 1 && x == width);
      return p == end && complete ? nullptr : "RLE codes end before the picture does";
    }
    const int count = p[0];
    const int value = p[1];
    p += 2;
    if (count > 0) {
      if (y >= height || count > width - x) return "RLE run goes past the end of a row";
      std::uint32_t* out = row() + x;
      if (rle4) {
        const std::uint32_t colours[2] = {palette[value >> 4], palette[value & 15]};
        for (int i = 0; i < count; ++i) out[i] = colours[i & 1];
      } else {
        std::fill_n(out, count, palette[value]);
      }
      x += count;
    } else if (value == 0) {
      x = 0;
      if (++y > height) return "RLE end of line past the last row";
    } else if (value == 1) {
      return nullptr;
    } else if (value == 2) {
      if (end - p < 2) return "RLE delta cut short";
      const int dx = p[0];
      const int dy = p[1];
      p += 2;
      if (dx > width - x || dy > height - y) return "RLE delta moves out of the picture";
      x += dx;
      y += dy;
    } else {
      const int n = value;
      const std::ptrdiff_t bytes = rle4 ? (n + 1) / 2 : n;
      if (end - p < ((bytes + 1) & ~1)) return "RLE absolute run goes past the data";
      if (y >= height || n > width - x) return "RLE absolute run goes past the end of a row";
      std::uint32_t* out = row() + x;
      if (rle4) {
        for (int i = 0; i < n; ++i) out[i] = palette[(p[i >> 1] >> ((i & 1) ? 0 : 4)) & 15];
      } else {
        for (int i = 0; i < n; ++i) out[i] = palette[p[i]];
      }
      p += (bytes + 1) & ~1;
      x += n;
    }
  }
}

}  // namespace

TBmpFault BmpReadHeader(std::span<const std::uint8_t> file, TBmpHeader& header) {
  const std::size_t size = file.size();
  const std::uint8_t* f = file.data();
  if (size < FileHeaderSize + 4) return "too short for a bitmap file";
  if (f[0] != 'B' || f[1] != 'M') return "no bitmap file signature";
  const std::uint32_t pixelOffset = U32(f + 10);
  const std::uint32_t infoSize = U32(f + 14);
  const bool core = infoSize == CoreHeaderSize;
  if (!core && std::find(std::begin(InfoHeaderSizes), std::end(InfoHeaderSizes), infoSize) == std::end(InfoHeaderSizes))
    return "unknown bitmap header size";
  if (size - FileHeaderSize < infoSize) return "bitmap header cut short";

  const std::uint8_t* info = f + FileHeaderSize;
  TBmpHeader h;
  std::int64_t width, height;
  int planes;
  std::uint32_t compression = BI_RGB;
  std::uint32_t imageSize = 0;
  std::uint32_t coloursUsed = 0;
  if (core) {
    width = U16(info + 4);
    height = U16(info + 6);
    planes = U16(info + 8);
    h.BitCount = U16(info + 10);
  } else {
    width = std::int32_t(U32(info + 4));
    height = std::int32_t(U32(info + 8));
    planes = U16(info + 12);
    h.BitCount = U16(info + 14);
    compression = U32(info + 16);
    imageSize = U32(info + 20);
    coloursUsed = U32(info + 32);
  }
  if (planes != 1) return "planes is not 1";
  // A negative height marks a top-down picture.
  h.TopDown = height < 0;
  height = height < 0 ? -height : height;
  if (width <= 0 || height == 0) return "empty picture";
  if (width > BmpMaxSide || height > BmpMaxSide || width * height > BmpMaxPixels) return "picture too large";
  h.Width = int(width);
  h.Height = int(height);

  const int bits = h.BitCount;
  switch (compression) {
    case BI_RGB:
      if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && (core || (bits != 16 && bits != 32)))
        return "unsupported bit depth";
      h.Compression = TBmpCompression::None;
      break;
    case BI_RLE8:
    case BI_RLE4:
      if (bits != (compression == BI_RLE8 ? 8 : 4)) return "RLE with the wrong bit depth";
      // The format has RLE pictures bottom-up only.
      if (h.TopDown) return "top-down RLE picture";
      h.Compression = compression == BI_RLE8 ? TBmpCompression::Rle8 : TBmpCompression::Rle4;
      break;
    case BI_BITFIELDS:
      if (bits != 16 && bits != 32) return "bit fields with the wrong bit depth";
      h.Compression = TBmpCompression::BitFields;
      break;
    default:  // JPEG and PNG inside a BMP are printer formats; anything else is unknown
      return "unsupported compression";
  }

  // The masks, then the palette, lie between the headers and the pixels.
  std::size_t tableStart = FileHeaderSize + infoSize;
  if (h.Compression == TBmpCompression::BitFields) {
    const std::uint8_t* masks = info + InfoHeaderSize;  // inside the larger headers, after the small one
    if (infoSize == InfoHeaderSize) {
      tableStart += 12;
      if (size < tableStart) return "colour masks cut short";
    }
    for (int i = 0; i < 3; ++i) h.Masks[i] = U32(masks + 4 * i);
    if (TBmpFault fault = CheckMasks(h.Masks, bits)) return fault;
  } else if (bits == 16) {
    h.Masks[0] = 0x7C00, h.Masks[1] = 0x03E0, h.Masks[2] = 0x001F;  // 5-5-5
  } else if (bits == 32) {
    h.Masks[0] = 0xFF0000, h.Masks[1] = 0xFF00, h.Masks[2] = 0xFF;
  }
  if (pixelOffset < tableStart || pixelOffset > size) return "pixel data offset outside the file";
  h.PixelOffset = pixelOffset;

  if (bits <= 8) {
    // The palette has biClrUsed entries or, when that is 0, one for each index; never more than
    // the indices can reach or than fit before the pixels.
    const std::size_t entryBytes = core ? 3 : 4;
    std::uint64_t entries = coloursUsed != 0 ? coloursUsed : 1u << bits;
    entries = std::min<std::uint64_t>({entries, 1u << bits, (pixelOffset - tableStart) / entryBytes});
    if (entries == 0) return "palette missing";
    h.PaletteSize = int(entries);
    for (int i = 0; i < h.PaletteSize; ++i) {
      const std::uint8_t* e = f + tableStart + i * entryBytes;
      h.Palette[i] = std::uint32_t{e[2]} << 16 | std::uint32_t{e[1]} << 8 | e[0];
    }
  }

  const std::size_t available = size - pixelOffset;
  if (h.Compression == TBmpCompression::Rle8 || h.Compression == TBmpCompression::Rle4) {
    // biSizeImage is the length of the codes; 0 (some writers) means up to the end of the file.
    h.PixelBytes = imageSize != 0 ? std::min<std::size_t>(imageSize, available) : available;
    if (width * height > std::max<std::int64_t>(BmpRleFreePixels, BmpRlePixelsPerByte * std::int64_t(h.PixelBytes)))
      return "RLE picture larger than its codes can fill";
  } else {
    const std::uint64_t bytes = RowBytes(h.Width, bits) * std::uint64_t(h.Height);
    if (bytes > available) return "pixel data cut short";
    h.PixelBytes = std::size_t(bytes);
  }
  header = h;
  return nullptr;
}

TBmpFault BmpDecodePixels(std::span<const std::uint8_t> file, const TBmpHeader& header, std::uint32_t* pixels,
                          std::ptrdiff_t stride) {
  // The header is BmpReadHeader's for this very file; this check costs nothing and keeps a mixed-up
  // call from reading past the data.
  if (header.PixelOffset > file.size() || header.PixelBytes > file.size() - header.PixelOffset)
    return "header does not belong to the data";
  const std::uint8_t* data = file.data() + header.PixelOffset;
  const int width = header.Width;
  const int height = header.Height;
  if (header.Compression == TBmpCompression::Rle8 || header.Compression == TBmpCompression::Rle4) {
    for (int y = 0; y < height; ++y) std::fill_n(pixels + std::ptrdiff_t(y) * stride, width, header.Palette[0]);
    return DecodeRle(data, data + header.PixelBytes, header, pixels, stride);
  }
  const std::size_t rowBytes = RowBytes(width, header.BitCount);
  if (rowBytes * std::size_t(height) > header.PixelBytes) return "header does not belong to the data";
  const TMaskedPixel masked(header.Masks);
  const bool standard32 = header.Masks[0] == 0xFF0000 && header.Masks[1] == 0xFF00 && header.Masks[2] == 0xFF;
  for (int r = 0; r < height; ++r) {
    const int y = header.TopDown ? r : height - 1 - r;
    DecodeRow(data + r * rowBytes, pixels + std::ptrdiff_t(y) * stride, width, header, masked, standard32);
  }
  return nullptr;
}

std::size_t BmpRowBytes(int width) { return std::size_t(RowBytes(width, 24)); }

void BmpWriteHeader(int width, int height, std::uint8_t (&out)[BmpHeaderBytes]) {
  const std::uint32_t imageBytes = std::uint32_t(BmpRowBytes(width) * std::size_t(height));
  std::memset(out, 0, BmpHeaderBytes);
  out[0] = 'B', out[1] = 'M';
  Put32(out + 2, std::uint32_t(BmpHeaderBytes) + imageBytes);
  Put32(out + 10, BmpHeaderBytes);
  std::uint8_t* info = out + FileHeaderSize;
  Put32(info, InfoHeaderSize);
  Put32(info + 4, std::uint32_t(width));
  Put32(info + 8, std::uint32_t(height));  // positive: bottom-up, which every reader knows
  Put16(info + 12, 1);
  Put16(info + 14, 24);
  Put32(info + 16, BI_RGB);
  Put32(info + 20, imageBytes);
  Put32(info + 24, 3780);  // 96 dots an inch, the screen's usual resolution
  Put32(info + 28, 3780);
}

void BmpEncodeRow(const std::uint32_t* row, int width, std::uint8_t* out) {
  for (int x = 0; x < width; ++x, out += 3) {
    const std::uint32_t p = row[x];
    out[0] = std::uint8_t(p), out[1] = std::uint8_t(p >> 8), out[2] = std::uint8_t(p >> 16);
  }
  std::memset(out, 0, BmpRowBytes(width) - std::size_t(width) * 3);
}
