#include "platform/raster/bitmap.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

TBitmap::TBitmap(int width, int height) { SetSize(width, height); }

TBitmap::TBitmap(TBitmap&& other) noexcept
    : FBlock(std::move(other.FBlock)),
      FWidth(std::exchange(other.FWidth, 0)),
      FHeight(std::exchange(other.FHeight, 0)),
      FStride(std::exchange(other.FStride, 0)) {}

TBitmap& TBitmap::operator=(TBitmap&& other) noexcept {
  if (this != &other) {
    FBlock = std::move(other.FBlock);
    FWidth = std::exchange(other.FWidth, 0);
    FHeight = std::exchange(other.FHeight, 0);
    FStride = std::exchange(other.FStride, 0);
  }
  return *this;
}

void TBitmap::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width > MaxSide || height > MaxSide)
    throw std::length_error("bitmap size " + std::to_string(width) + "x" + std::to_string(height) + " exceeds " +
                            std::to_string(MaxSide) + " pixels on a side");
  if (width == FWidth && height == FHeight) return;
  const std::size_t pixels = std::size_t(width) * std::size_t(height);
  if (FBlock.Capacity() < pixels) FBlock = TPixelPool::Acquire(pixels);
  FWidth = width;
  FHeight = height;
  FStride = width;
  Fill(0x00FFFFFF);
}

bool TBitmap::Adopt(TPixelBlock memory, int width, int height) {
  if (width <= 0 || height <= 0 || width > MaxSide || height > MaxSide) return false;
  if (memory.Capacity() < std::size_t(width) * std::size_t(height)) return false;
  FBlock = std::move(memory);
  FWidth = width;
  FHeight = height;
  FStride = width;
  return true;
}

void TBitmap::Resize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == FWidth && height == FHeight) return;
  TBitmap resized(width, height);
  const int keptWidth = std::min(width, FWidth);
  const int keptHeight = std::min(height, FHeight);
  for (int y = 0; y < keptHeight; ++y)
    std::memcpy(resized.ScanLine(y), ScanLine(y), std::size_t(keptWidth) * sizeof(std::uint32_t));
  *this = std::move(resized);
}

void TBitmap::Fill(std::uint32_t pixel) {
  if (Empty()) return;
  std::fill_n(FBlock.Data(), std::size_t(FStride) * std::size_t(FHeight), pixel);
}
