#include <new>

#include "platform/large_pages.h"

// Where large pages are not asked for: the usual heap.
namespace platform {

void* allocate_large(size_t bytes) { return ::operator new(bytes); }

void free_large(void* p, size_t) noexcept { ::operator delete(p); }

void advise_large_pages(void*, size_t) noexcept {}

}  // namespace platform
