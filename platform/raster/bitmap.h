#pragma once

#include <cstdint>

#include "platform/raster/pixelpool.h"

// A 32-bit bitmap: one std::uint32_t 0x00RRGGBB per pixel, rows Stride() pixels apart, the
// memory layout of a 32-bit DIB section and of QImage::Format_RGB32. Large bitmaps take their
// memory from TPixelPool.
class TBitmap {
 public:
  TBitmap() = default;
  TBitmap(int width, int height);  // every pixel 0x00FFFFFF (white)
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;
  // A moved-from bitmap is empty.
  TBitmap(TBitmap&& other) noexcept;
  TBitmap& operator=(TBitmap&& other) noexcept;

  // Sizes the bitmap; negative sizes count as 0. Keeps the memory when it is large enough.
  // A change of size leaves every pixel white; the same size keeps the content.
  // Throws std::length_error for sizes past the limit (MaxSide on a side), before allocating.
  void SetSize(int width, int height);
  // Larger sides are no screen or picture we handle, and the limit keeps a bitmap's byte size
  // (4 GiB at most) and the toolkits' int bytes-per-line arithmetic from overflowing.
  static constexpr int MaxSide = 32768;
  // Moves the bitmap onto `memory` at width x height, rows packed, keeping what the memory
  // holds; the old memory is let go. Returns false (and changes nothing) when the memory is
  // too small or the size is past the limit.
  bool Adopt(TPixelBlock memory, int width, int height);
  // Gives the bitmap a new size keeping the picture where it fits (top left); the rest is white.
  // Throws as SetSize does, before anything is changed.
  void Resize(int width, int height);

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  int Stride() const { return FStride; }  // in pixels
  bool Empty() const { return FWidth <= 0 || FHeight <= 0; }

  std::uint32_t* ScanLine(int y) { return FBlock.Data() + std::ptrdiff_t{y} * FStride; }
  const std::uint32_t* ScanLine(int y) const { return FBlock.Data() + std::ptrdiff_t{y} * FStride; }
  std::uint32_t Pixel(int x, int y) const { return ScanLine(y)[x]; }
  void SetPixel(int x, int y, std::uint32_t p) { ScanLine(y)[x] = p; }
  void Fill(std::uint32_t pixel);

 private:
  TPixelBlock FBlock;
  int FWidth = 0;
  int FHeight = 0;
  int FStride = 0;
};
