#pragma once

#include <cstddef>
#include <new>
#include <utility>
#include <vector>

// Memory for the values of spectra and of the grid. A spectrum of a million
// points is 8 MB; taken from the system in 4 KB pages it costs two thousand page
// faults when first written, which on a virtual machine take longer than adding
// the lines of a batch to it. Blocks of 2 MB and more are therefore mapped on a
// 2 MB boundary and offered for transparent huge pages (where the system allows
// them they fault in a few large pages, and return to the system when freed);
// smaller blocks come from the ordinary heap.
//
// Every block comes zeroed: a fresh mapping is, and a heap block is cleared by
// calloc.
namespace SpectrumMemory {

constexpr std::size_t hugePage = std::size_t(2) << 20;

// A block of `bytes`, zeroed; from `hugePagesFrom` bytes on it is mapped as
// whole huge pages. A block is released with the same threshold.
void *allocate(std::size_t bytes, std::size_t hugePagesFrom = hugePage);
void release(void *block, std::size_t bytes, std::size_t hugePagesFrom = hugePage) noexcept;
// The blocks taken and not yet given back, and their bytes, in the whole
// program: what the spectra, grids and line buffers hold now.
long long liveBlocks();
long long liveBytes();

} // namespace SpectrumMemory

template<typename T>
struct SpectrumAllocator
{
    using value_type = T;

    SpectrumAllocator() noexcept = default;
    template<typename U>
    SpectrumAllocator(const SpectrumAllocator<U> &) noexcept
    {
    }

    T *allocate(std::size_t count) { return static_cast<T *>(SpectrumMemory::allocate(count * sizeof(T))); }
    void deallocate(T *block, std::size_t count) noexcept { SpectrumMemory::release(block, count * sizeof(T)); }

    // An element made without a value is left as the memory holds it, which in
    // a new block is zero. Writing the zeros would fault every page of a large
    // spectrum in at once on the thread that sizes it; left alone, each page is
    // faulted in by the thread that first adds to it. So a vector sized with
    // resize(n) or SpectrumValues(n) reads as zero only where its memory is
    // new: a vector that held more values before keeps them, and is sized with
    // an explicit value (resize(n, 0.0), assign(n, 0.0)) where zeros are meant.
    template<typename U>
    void construct(U *) noexcept
    {
    }
    template<typename U, typename... Args>
    void construct(U *element, Args &&...args)
    {
        ::new (static_cast<void *>(element)) U(std::forward<Args>(args)...);
    }

    template<typename U>
    bool operator==(const SpectrumAllocator<U> &) const noexcept
    {
        return true;
    }
    template<typename U>
    bool operator!=(const SpectrumAllocator<U> &) const noexcept
    {
        return false;
    }
};

// One value per grid point.
using SpectrumValues = std::vector<double, SpectrumAllocator<double>>;
