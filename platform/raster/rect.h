#pragma once

#include <algorithm>
#include <cstdint>

// A rectangle whose right and bottom bounds lie just outside the covered pixels (half-open):
// it covers x in [Left, Right) and y in [Top, Bottom).
struct TRect {
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Right = 0;
  std::int32_t Bottom = 0;

  constexpr std::int64_t Width() const { return std::int64_t{Right} - Left; }
  constexpr std::int64_t Height() const { return std::int64_t{Bottom} - Top; }
  constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  constexpr bool Contains(std::int32_t x, std::int32_t y) const {
    return x >= Left && x < Right && y >= Top && y < Bottom;
  }
  friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

struct TPoint {
  std::int32_t X = 0;
  std::int32_t Y = 0;
  friend constexpr bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
  std::int32_t Width = 0;
  std::int32_t Height = 0;
  friend constexpr bool operator==(const TSize&, const TSize&) = default;
};

constexpr TRect Rect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
  return TRect{left, top, right, bottom};
}

// The two corners in any order, normalised so that Left <= Right and Top <= Bottom.
constexpr TRect RectFromCorners(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) {
  return TRect{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

constexpr TRect Intersect(const TRect& a, const TRect& b) {
  TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom)};
  if (r.IsEmpty()) return TRect{};
  return r;
}
