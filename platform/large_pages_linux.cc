#include <sys/mman.h>

#include <cstdint>
#include <new>

#include "platform/large_pages.h"

namespace platform {

namespace {

constexpr size_t kHugePage = size_t{2} << 20;

size_t mapped_size(size_t bytes) { return (bytes + kHugePage - 1) & ~(kHugePage - 1); }

}  // namespace

void* allocate_large(size_t bytes) {
  if (bytes < kLargeBytes) return ::operator new(bytes);
  const size_t size = mapped_size(bytes);
  // Map one huge page more, then keep the aligned part: a huge page must
  // start on a 2 MiB boundary.
  void* raw =
      ::mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
  if (aligned > start) ::munmap(raw, aligned - start);
  const uintptr_t tail = aligned + size;
  const uintptr_t end = start + size + kHugePage;
  if (end > tail) ::munmap(reinterpret_cast<void*>(tail), end - tail);
  void* p = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
  // A request only: where the kernel has no huge pages, small ones serve.
  ::madvise(p, size, MADV_HUGEPAGE);
#endif
  return p;
}

void free_large(void* p, size_t bytes) noexcept {
  if (p == nullptr) return;
  if (bytes < kLargeBytes) {
    ::operator delete(p);
    return;
  }
  ::munmap(p, mapped_size(bytes));
}

void advise_large_pages(void* p, size_t bytes) noexcept {
#ifdef MADV_HUGEPAGE
  const uintptr_t start = reinterpret_cast<uintptr_t>(p);
  const uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t end = (start + bytes) & ~(kHugePage - 1);
  if (bytes < kLargeBytes || end <= first) return;
  ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
  (void)p;
  (void)bytes;
#endif
}

}  // namespace platform
