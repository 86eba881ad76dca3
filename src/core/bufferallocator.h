#pragma once

#include "core/spectrumallocator.h"

#include <cstddef>

// Memory for the buffers a calculation refills with every batch (the line
// records read, the jobs made of them). A batch of twenty thousand lines takes
// one or two megabytes; in 4 KB pages that is hundreds of page faults when the
// buffer is first written, which on a virtual machine cost more than reading
// the lines. From half a megabyte on, a buffer is therefore taken as whole
// huge pages (where the system offers them) and faults in at once. Elements are
// made as by the standard allocator.
template<typename T>
struct BufferAllocator
{
    using value_type = T;
    static constexpr std::size_t hugePagesFrom = std::size_t(512) << 10;

    BufferAllocator() noexcept = default;
    template<typename U>
    BufferAllocator(const BufferAllocator<U> &) noexcept
    {
    }

    T *allocate(std::size_t count)
    {
        return static_cast<T *>(SpectrumMemory::allocate(count * sizeof(T), hugePagesFrom));
    }
    void deallocate(T *block, std::size_t count) noexcept
    {
        SpectrumMemory::release(block, count * sizeof(T), hugePagesFrom);
    }

    template<typename U>
    bool operator==(const BufferAllocator<U> &) const noexcept
    {
        return true;
    }
    template<typename U>
    bool operator!=(const BufferAllocator<U> &) const noexcept
    {
        return false;
    }
};
