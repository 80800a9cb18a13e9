// Memory for the few large arrays of a compile: the track plan's x and y (up
// to a million points a side) and the track cells.
//
// Memory that a process touches for the first time costs a page fault per
// page; with 4 KiB pages the 16 MB of the largest plan cost some 4000 of
// them, most of the compile's time on a virtual machine. On Linux these
// arrays are therefore asked of the kernel in 2 MiB pages where it allows
// (transparent huge pages, on request), 8 faults for the same 16 MB; the
// pages come from the kernel zero-filled either way. Elsewhere, and for
// arrays under kLargeBytes, it is the usual heap.
//
// LargePageAllocator<T> is a standard allocator over these, for std::vector.
#ifndef SCENARIO_PLATFORM_LARGE_PAGES_H_
#define SCENARIO_PLATFORM_LARGE_PAGES_H_

#include <cstddef>
#include <new>

namespace platform {

// Arrays from this size on are mapped on their own, in large pages.
inline constexpr size_t kLargeBytes = size_t{256} << 10;

// `bytes` of memory aligned for any type; throws std::bad_alloc.
void* allocate_large(size_t bytes);
// Gives back what allocate_large(bytes) returned.
void free_large(void* p, size_t bytes) noexcept;

// Asks that the 2 MiB-aligned part of memory allocated but not yet touched
// (a large std::string's reserved room) be given large pages when first
// touched. A request only: nothing changes in the memory or its owner, and
// where large pages are not asked for it does nothing.
void advise_large_pages(void* p, size_t bytes) noexcept;

// The deleter of a std::unique_ptr to what allocate_large(bytes) returned.
struct LargeRelease {
  size_t bytes = 0;
  void operator()(void* p) const noexcept { free_large(p, bytes); }
};

template <class T>
class LargePageAllocator {
 public:
  using value_type = T;

  LargePageAllocator() = default;
  template <class U>
  LargePageAllocator(const LargePageAllocator<U>&) noexcept {
  }  // NOLINT(google-explicit-constructor)

  T* allocate(size_t n) {
    if (n > static_cast<size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(allocate_large(n * sizeof(T)));
  }
  void deallocate(T* p, size_t n) noexcept { free_large(p, n * sizeof(T)); }

  template <class U>
  bool operator==(const LargePageAllocator<U>&) const noexcept {
    return true;
  }
};

}  // namespace platform

#endif  // SCENARIO_PLATFORM_LARGE_PAGES_H_
