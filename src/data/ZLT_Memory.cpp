#include "ZLT_Memory.h"

#include <cstdlib> // defines __GLIBC__ where it applies

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace ZLT_Memory {

void ReturnFreed() noexcept
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

void KeepFreedForReuse() noexcept
{
#if defined(__GLIBC__)
    // Setting either fixes both: frames (at most half a MiB) come from the
    // heap, as they do once the allocator's own threshold has grown.
    mallopt(M_MMAP_THRESHOLD, 4 << 20);
    mallopt(M_TRIM_THRESHOLD, 16 << 20);
#endif
}

} // namespace ZLT_Memory
