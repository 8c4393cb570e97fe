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

} // namespace ZLT_Memory
