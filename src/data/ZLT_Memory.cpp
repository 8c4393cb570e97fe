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
    // glibc raises both on its own once a large block is freed, up to
    // these; until then anything over 128 KiB free at the top of the heap
    // goes back. Setting one fixes both, so both go where they would end up.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}

} // namespace ZLT_Memory
