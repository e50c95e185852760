#include "AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

extern "C" void* __libc_malloc (size_t);
extern "C" void* __libc_calloc (size_t, size_t);
extern "C" void* __libc_realloc (void*, size_t);
extern "C" void __libc_free (void*);

namespace
{
thread_local bool counting = false;
std::atomic<int> allocations { 0 };

void note() noexcept
{
    if (counting)
        allocations.fetch_add (1, std::memory_order_relaxed);
}
}

void AllocationCounter::start() noexcept
{
    allocations = 0;
    counting = true;
}

int AllocationCounter::stop() noexcept
{
    counting = false;
    return allocations.load();
}

extern "C" void* malloc (size_t size)
{
    note();
    return __libc_malloc (size);
}
extern "C" void* calloc (size_t n, size_t size)
{
    note();
    return __libc_calloc (n, size);
}
extern "C" void* realloc (void* p, size_t size)
{
    note();
    return __libc_realloc (p, size);
}
extern "C" void free (void* p) { __libc_free (p); }

void* operator new (size_t size)
{
    note();
    if (auto* p = __libc_malloc (size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

void* operator new[] (size_t size) { return operator new (size); }
void operator delete (void* p) noexcept { __libc_free (p); }
void operator delete[] (void* p) noexcept { __libc_free (p); }
void operator delete (void* p, size_t) noexcept { __libc_free (p); }
void operator delete[] (void* p, size_t) noexcept { __libc_free (p); }
