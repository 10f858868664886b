// libFuzzer entry for the BMP decoder on arbitrary bytes. Besides the sanitizers' checks it holds
// the decoder to its promises: an accepted header allocates no more than the data can fill, no row
// is written past its end, every pixel of a decoded picture is written, and a decoded picture
// survives our own writer and reader unchanged.
//   make fuzz FUZZ_SECONDS=600            run (seeds come from make_seeds.cpp)
//   build-fuzz/bmp_fuzzer <crash file>     replay one input

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "platform/bmp.h"

namespace {

constexpr std::uint32_t Unwritten = 0xDEADBEEF;  // no decoded pixel has a top byte

void Require(bool promise) {
  if (!promise) std::abort();
}

std::vector<std::uint8_t> Encode(const std::uint32_t* pixels, std::ptrdiff_t stride, int width, int height) {
  std::vector<std::uint8_t> file(BmpHeaderBytes + BmpRowBytes(width) * height);
  std::uint8_t header[BmpHeaderBytes];
  BmpWriteHeader(width, height, header);
  std::copy(header, header + BmpHeaderBytes, file.begin());
  for (int y = 0; y < height; ++y)
    BmpEncodeRow(pixels + (height - 1 - y) * stride, width, file.data() + BmpHeaderBytes + y * BmpRowBytes(width));
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> file(data, size);
  TBmpHeader header;
  if (BmpReadHeader(file, header)) return 0;

  const std::int64_t pixelCount = std::int64_t{header.Width} * header.Height;
  Require(header.Width > 0 && header.Height > 0 && header.Width <= BmpMaxSide && header.Height <= BmpMaxSide);
  Require(pixelCount <= BmpMaxPixels);
  Require(header.PixelOffset <= size && header.PixelBytes <= size - header.PixelOffset);
  const bool rle = header.Compression == TBmpCompression::Rle8 || header.Compression == TBmpCompression::Rle4;
  if (rle)
    Require(pixelCount <= std::max(BmpRleFreePixels, BmpRlePixelsPerByte * std::int64_t(header.PixelBytes)));
  else
    Require(pixelCount <= std::int64_t(header.PixelBytes) * 8);  // at most 8 pixels a byte (1 bit)

  const std::ptrdiff_t stride = header.Width + 1;
  std::vector<std::uint32_t> pixels(std::size_t(stride) * header.Height, Unwritten);
  const TBmpFault fault = BmpDecodePixels(file, header, pixels.data(), stride);
  for (int y = 0; y < header.Height; ++y) Require(pixels[y * stride + header.Width] == Unwritten);
  if (fault) return 0;
  for (int y = 0; y < header.Height; ++y)
    for (int x = 0; x < header.Width; ++x) Require((pixels[y * stride + x] >> 24) == 0);

  const std::vector<std::uint8_t> again = Encode(pixels.data(), stride, header.Width, header.Height);
  TBmpHeader againHeader;
  Require(BmpReadHeader(again, againHeader) == nullptr);
  Require(againHeader.Width == header.Width && againHeader.Height == header.Height);
  std::vector<std::uint32_t> decoded(std::size_t(header.Width) * header.Height);
  Require(BmpDecodePixels(again, againHeader, decoded.data(), header.Width) == nullptr);
  for (int y = 0; y < header.Height; ++y)
    for (int x = 0; x < header.Width; ++x) Require(decoded[y * header.Width + x] == pixels[y * stride + x]);
  return 0;
}
