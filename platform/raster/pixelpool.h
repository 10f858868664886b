#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// Screen-sized pixel memory, made and touched ahead of time and reused. Fresh pages cost about
// 12 us each on our machines, so a 3840x2160 buffer allocated on demand costs ~100 ms where a
// reused one costs ~1.5 ms to fill. Blocks go back to the pool when their owner lets go.
class TPixelBlock {
 public:
  TPixelBlock() = default;
  TPixelBlock(const TPixelBlock&) = delete;
  TPixelBlock& operator=(const TPixelBlock&) = delete;
  TPixelBlock(TPixelBlock&& other) noexcept;
  TPixelBlock& operator=(TPixelBlock&& other) noexcept;
  ~TPixelBlock();

  // Memory owned elsewhere (a segment shared with the window system, say), kept alive by
  // `owner` while the block exists. It never goes to the pool. Empty without an owner.
  static TPixelBlock Borrow(std::uint32_t* data, std::size_t capacity, std::shared_ptr<void> owner);

  std::uint32_t* Data() const { return FData; }
  std::size_t Capacity() const { return FCapacity; }  // in pixels
  explicit operator bool() const { return FData != nullptr; }

 private:
  friend class TPixelPool;
  TPixelBlock(std::uint32_t* data, std::size_t capacity) : FData(data), FCapacity(capacity) {}
  void Release();

  std::uint32_t* FData = nullptr;
  std::size_t FCapacity = 0;
  std::shared_ptr<void> FOwner;  // set for borrowed memory only
};

class TPixelPool {
 public:
  // A block of at least `pixels` pixels: a free pooled one if one is large enough, otherwise new
  // memory. Throws std::bad_alloc when the memory cannot be had.
  static TPixelBlock Acquire(std::size_t pixels);
  // Makes sure `count` free blocks of at least `pixels` pixels exist, with every page touched.
  static void Prewarm(std::size_t pixels, int count);
  // Free blocks held by the pool (for tests and benchmarks).
  static int FreeBlocks();
  // The pixels those free blocks hold.
  static std::size_t FreePixels();
  // Gives the free blocks back to the system, all but the `keep` largest.
  static void Trim(int keep = 0);
};
