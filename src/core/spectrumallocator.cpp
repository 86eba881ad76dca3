#include "core/spectrumallocator.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace {

using SpectrumMemory::hugePage;

std::atomic<long long> liveBlockCount{0};
std::atomic<long long> liveByteCount{0};

std::size_t roundedUp(std::size_t bytes)
{
    return (bytes + hugePage - 1) & ~(hugePage - 1);
}

} // namespace

namespace {

#ifdef __linux__

void *allocateBlock(std::size_t bytes, std::size_t hugePagesFrom)
{
    if (bytes < std::max(hugePagesFrom, std::size_t(1))) {
        void *block = std::calloc(bytes > 0 ? bytes : 1, 1);
        if (!block)
            throw std::bad_alloc();
        return block;
    }
    // Map one huge page more than needed and unmap what lies outside the
    // aligned part, so that the block starts on a huge-page boundary.
    const std::size_t size = roundedUp(bytes);
    void *mapped = mmap(nullptr, size + hugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    const std::uintptr_t start = std::uintptr_t(mapped);
    const std::uintptr_t aligned = (start + hugePage - 1) & ~std::uintptr_t(hugePage - 1);
    if (aligned > start)
        munmap(mapped, aligned - start);
    const std::uintptr_t end = start + size + hugePage;
    if (end > aligned + size)
        munmap(reinterpret_cast<void *>(aligned + size), end - (aligned + size));
    // Only advice: without transparent huge pages the block works as it is.
    madvise(reinterpret_cast<void *>(aligned), size, MADV_HUGEPAGE);
    return reinterpret_cast<void *>(aligned);
}

void releaseBlock(void *block, std::size_t bytes, std::size_t hugePagesFrom) noexcept
{
    if (bytes < std::max(hugePagesFrom, std::size_t(1)))
        std::free(block);
    else
        munmap(block, roundedUp(bytes));
}

#else

void *allocateBlock(std::size_t bytes, std::size_t)
{
    void *block = std::calloc(bytes > 0 ? bytes : 1, 1);
    if (!block)
        throw std::bad_alloc();
    return block;
}

void releaseBlock(void *block, std::size_t, std::size_t) noexcept
{
    std::free(block);
}

#endif

} // namespace

namespace SpectrumMemory {

void *allocate(std::size_t bytes, std::size_t hugePagesFrom)
{
    void *block = allocateBlock(bytes, hugePagesFrom);
    liveBlockCount.fetch_add(1, std::memory_order_relaxed);
    liveByteCount.fetch_add((long long)bytes, std::memory_order_relaxed);
    return block;
}

void release(void *block, std::size_t bytes, std::size_t hugePagesFrom) noexcept
{
    if (!block)
        return;
    releaseBlock(block, bytes, hugePagesFrom);
    liveBlockCount.fetch_sub(1, std::memory_order_relaxed);
    liveByteCount.fetch_sub((long long)bytes, std::memory_order_relaxed);
}

long long liveBlocks()
{
    return liveBlockCount.load(std::memory_order_relaxed);
}

long long liveBytes()
{
    return liveByteCount.load(std::memory_order_relaxed);
}

} // namespace SpectrumMemory
