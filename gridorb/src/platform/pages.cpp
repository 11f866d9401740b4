#include "platform/pages.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace gridorb::platform {

void populatePages(const void* begin, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    if (bytes == 0) return;
    const auto first = reinterpret_cast<std::uintptr_t>(begin) & ~(PAGE_SIZE - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(begin) + bytes + PAGE_SIZE - 1) & ~(PAGE_SIZE - 1);
    madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
    (void)begin;
    (void)bytes;
#endif
}

}  // namespace gridorb::platform
