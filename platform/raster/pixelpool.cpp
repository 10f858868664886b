#include "platform/raster/pixelpool.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <limits>
#include <mutex>
#include <new>
#include <utility>

namespace {

// Blocks smaller than this (1 MiB) cost little to fault in; pooling them would only let small
// bitmaps hold on to memory, so they go straight back to the system.
constexpr std::size_t MinPooledPixels = 256 * 1024;
// The surface needs a handful of screen-sized buffers at once (background, window pixels,
// snapshot, save buffer); more free blocks than this would only be memory kept for nothing.
constexpr int MaxFreeBlocks = 8;
// Memory is touched page by page when prewarming; 4 KiB is the smallest page on our targets.
constexpr std::size_t PageBytes = 4096;
constexpr std::align_val_t BlockAlignment{64};

struct TFreeBlock {
  std::uint32_t* Data = nullptr;
  std::size_t Capacity = 0;
};

#if defined(_WIN32)
// mingw-w64's std::mutex (on winpthreads) has no constant constructor; a flag with C++20's
// waiting has one, and blocks a second thread the same way.
class TPoolLock {
 public:
  void lock() noexcept {
    while (FFlag.test_and_set(std::memory_order_acquire)) FFlag.wait(true, std::memory_order_relaxed);
  }
  void unlock() noexcept {
    FFlag.clear(std::memory_order_release);
    FFlag.notify_one();
  }

 private:
  std::atomic_flag FFlag;
};
#else
using TPoolLock = std::mutex;
#endif

// Constant-initialised and trivially destructible, so blocks released during static destruction
// still find it intact.
struct TPoolState {
  TPoolLock Lock;
  std::array<TFreeBlock, MaxFreeBlocks> Free{};
  int Count = 0;
};
constinit TPoolState Pool;

std::uint32_t* Allocate(std::size_t pixels) {
  if (pixels > std::numeric_limits<std::size_t>::max() / sizeof(std::uint32_t)) throw std::bad_alloc();
  return static_cast<std::uint32_t*>(::operator new(pixels * sizeof(std::uint32_t), BlockAlignment));
}

void Free(std::uint32_t* data) { ::operator delete(data, BlockAlignment); }

void Touch(std::uint32_t* data, std::size_t pixels) {
  auto* bytes = reinterpret_cast<volatile unsigned char*>(data);
  const std::size_t size = pixels * sizeof(std::uint32_t);
  for (std::size_t offset = 0; offset < size; offset += PageBytes) bytes[offset] = 0;
}

// Removes free block `index`; the caller holds the lock.
TFreeBlock Take(int index) {
  TFreeBlock block = Pool.Free[index];
  Pool.Free[index] = Pool.Free[Pool.Count - 1];
  Pool.Free[Pool.Count - 1] = {};
  --Pool.Count;
  return block;
}

// Stores a free block, dropping the smallest one when the pool is full. Returns the block that
// must go back to the system (possibly the given one), or an empty one.
TFreeBlock Store(TFreeBlock block) {
  if (Pool.Count < MaxFreeBlocks) {
    Pool.Free[Pool.Count++] = block;
    return {};
  }
  int smallest = 0;
  for (int i = 1; i < Pool.Count; ++i)
    if (Pool.Free[i].Capacity < Pool.Free[smallest].Capacity) smallest = i;
  if (Pool.Free[smallest].Capacity >= block.Capacity) return block;
  TFreeBlock dropped = Pool.Free[smallest];
  Pool.Free[smallest] = block;
  return dropped;
}

}  // namespace

TPixelBlock::TPixelBlock(TPixelBlock&& other) noexcept
    : FData(other.FData), FCapacity(other.FCapacity), FOwner(std::move(other.FOwner)) {
  other.FData = nullptr;
  other.FCapacity = 0;
}

TPixelBlock& TPixelBlock::operator=(TPixelBlock&& other) noexcept {
  if (this != &other) {
    Release();
    FData = other.FData;
    FCapacity = other.FCapacity;
    FOwner = std::move(other.FOwner);
    other.FData = nullptr;
    other.FCapacity = 0;
  }
  return *this;
}

TPixelBlock::~TPixelBlock() { Release(); }

TPixelBlock TPixelBlock::Borrow(std::uint32_t* data, std::size_t capacity, std::shared_ptr<void> owner) {
  if (data == nullptr || capacity == 0 || !owner) return {};
  TPixelBlock block(data, capacity);
  block.FOwner = std::move(owner);
  return block;
}

void TPixelBlock::Release() {
  if (FData == nullptr) return;
  TFreeBlock block{FData, FCapacity};
  FData = nullptr;
  FCapacity = 0;
  if (FOwner) {
    FOwner.reset();
    return;
  }
  if (block.Capacity >= MinPooledPixels) {
    std::lock_guard lock(Pool.Lock);
    block = Store(block);
  }
  if (block.Data != nullptr) Free(block.Data);
}

TPixelBlock TPixelPool::Acquire(std::size_t pixels) {
  if (pixels == 0) return {};
  if (pixels >= MinPooledPixels) {
    std::lock_guard lock(Pool.Lock);
    // The smallest free block that fits, but not one more than twice the size: a screen buffer
    // handed to a small request would be missing when the next screen-sized one comes.
    int best = -1;
    for (int i = 0; i < Pool.Count; ++i) {
      const std::size_t capacity = Pool.Free[i].Capacity;
      if (capacity < pixels || capacity / 2 > pixels) continue;
      if (best < 0 || capacity < Pool.Free[best].Capacity) best = i;
    }
    if (best >= 0) {
      const TFreeBlock block = Take(best);
      return TPixelBlock(block.Data, block.Capacity);
    }
  }
  return TPixelBlock(Allocate(pixels), pixels);
}

void TPixelPool::Prewarm(std::size_t pixels, int count) {
  if (pixels == 0) return;
  if (pixels < MinPooledPixels) pixels = MinPooledPixels;
  if (count > MaxFreeBlocks) count = MaxFreeBlocks;
  int have = 0;
  {
    std::lock_guard lock(Pool.Lock);
    for (int i = 0; i < Pool.Count; ++i)
      if (Pool.Free[i].Capacity >= pixels && Pool.Free[i].Capacity / 2 <= pixels) ++have;
  }
  for (; have < count; ++have) {
    TFreeBlock block{Allocate(pixels), pixels};
    Touch(block.Data, pixels);
    TFreeBlock dropped;
    {
      std::lock_guard lock(Pool.Lock);
      dropped = Store(block);
    }
    if (dropped.Data != nullptr) Free(dropped.Data);
    if (dropped.Data == block.Data) break;  // the pool is full of larger blocks
  }
}

int TPixelPool::FreeBlocks() {
  std::lock_guard lock(Pool.Lock);
  return Pool.Count;
}

std::size_t TPixelPool::FreePixels() {
  std::lock_guard lock(Pool.Lock);
  std::size_t pixels = 0;
  for (int i = 0; i < Pool.Count; ++i) pixels += Pool.Free[i].Capacity;
  return pixels;
}

void TPixelPool::Trim(int keep) {
  std::array<TFreeBlock, MaxFreeBlocks> blocks{};
  {
    std::lock_guard lock(Pool.Lock);
    // Largest first; the first `keep` stay.
    std::sort(Pool.Free.begin(), Pool.Free.begin() + Pool.Count,
              [](const TFreeBlock& a, const TFreeBlock& b) { return a.Capacity > b.Capacity; });
    keep = std::clamp(keep, 0, Pool.Count);
    for (int i = keep; i < Pool.Count; ++i) blocks[i] = std::exchange(Pool.Free[i], {});
    Pool.Count = keep;
  }
  for (const TFreeBlock& block : blocks)
    if (block.Data != nullptr) Free(block.Data);
}
