#pragma once
// Counts the heap bytes in use: every block handed out by operator new counts with its usable
// size until it is deleted. The library's objects, strings, maps and values all come from here.
// Replaces the global allocation functions, so include it in one source file of a program only.

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace morvix::bench {
inline std::atomic<long long> g_liveBytes = 0;

/// The bytes allocated through operator new and not yet deleted.
inline long long liveHeapBytes()
{
    return g_liveBytes.load();
}
} // namespace morvix::bench

void* operator new(std::size_t size)
{
    void* block = std::malloc(size ? size : 1);
    if (!block)
        throw std::bad_alloc();
    morvix::bench::g_liveBytes += static_cast<long long>(malloc_usable_size(block));
    return block;
}

void operator delete(void* block) noexcept
{
    if (!block)
        return;
    morvix::bench::g_liveBytes -= static_cast<long long>(malloc_usable_size(block));
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept
{
    operator delete(block);
}
