#pragma once

// Counting of heap allocations for the benchmarks: every malloc family call
// and operator new while Counting is on, and the heap in use. Include it in
// exactly one file of a benchmark program: it replaces the allocator's
// entry points of the whole program.

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <new>

#include <malloc.h>

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);
}

namespace {
std::atomic<bool> Counting{false};
std::atomic<long> Allocations{0};
inline void Count()
{
    if (Counting.load(std::memory_order_relaxed))
        Allocations.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

extern "C" void* malloc(size_t n)
{
    Count();
    return __libc_malloc(n);
}
extern "C" void* calloc(size_t n, size_t size)
{
    Count();
    return __libc_calloc(n, size);
}
extern "C" void* realloc(void* p, size_t n)
{
    Count();
    return __libc_realloc(p, n);
}
extern "C" void* aligned_alloc(size_t alignment, size_t n)
{
    Count();
    return __libc_memalign(alignment, n);
}
extern "C" int posix_memalign(void** p, size_t alignment, size_t n)
{
    Count();
    *p = __libc_memalign(alignment, n);
    return *p ? 0 : ENOMEM;
}

void* operator new(size_t n)
{
    Count();
    if (void* p = __libc_malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](size_t n)
{
    return operator new(n);
}
void operator delete(void* p) noexcept
{
    __libc_free(p);
}
void operator delete[](void* p) noexcept
{
    __libc_free(p);
}
void operator delete(void* p, size_t) noexcept
{
    __libc_free(p);
}
void operator delete[](void* p, size_t) noexcept
{
    __libc_free(p);
}

namespace {
// Heap in use: small blocks plus blocks of their own mapping.
size_t HeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}
} // namespace
