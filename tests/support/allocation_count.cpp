#include "tests/support/allocation_count.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> Allocations{0};
}  // namespace

long HeapAllocations() { return Allocations.load(std::memory_order_relaxed); }

#if defined(__SANITIZE_ADDRESS__)
// Under AddressSanitizer operator new and delete stay the sanitizer's own, or it could no longer
// tell a delete[] of a new, or a free of a new, from the right pairing. Its allocator calls a
// hook on every allocation instead; that also counts malloc, so the count is if anything stricter.
// The sanitizer headers of GCC do not declare the hook installer; the runtime exports it.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onAllocate)(const volatile void*, std::size_t),
                                                          void (*onFree)(const volatile void*));

namespace {
void CountAllocation(const volatile void*, std::size_t) { Allocations.fetch_add(1, std::memory_order_relaxed); }
void IgnoreFree(const volatile void*) {}
[[maybe_unused]] const int HooksInstalled = __sanitizer_install_malloc_and_free_hooks(CountAllocation, IgnoreFree);
}  // namespace
#else
namespace {
void* Allocate(std::size_t size, std::size_t alignment) {
  Allocations.fetch_add(1, std::memory_order_relaxed);
  size = size == 0 ? 1 : size;
  void* p = alignment <= alignof(std::max_align_t)
                ? std::malloc(size)
                : std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
}  // namespace

void* operator new(std::size_t size) { return Allocate(size, 0); }
void* operator new[](std::size_t size) { return Allocate(size, 0); }
void* operator new(std::size_t size, std::align_val_t a) { return Allocate(size, std::size_t(a)); }
void* operator new[](std::size_t size, std::align_val_t a) { return Allocate(size, std::size_t(a)); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
#endif
