#pragma once

#include <cstddef>
#include <vector>

// Memory for the values of spectra and of the grid. A spectrum of a million
// points is 8 MB; taken from the system in 4 KB pages it costs two thousand page
// faults when first written, which on a virtual machine take longer than adding
// the lines of a batch to it. Blocks of 2 MB and more are therefore mapped on a
// 2 MB boundary and offered for transparent huge pages (where the system allows
// them they fault in a few large pages, and return to the system when freed);
// smaller blocks come from the ordinary heap.
namespace SpectrumMemory {

void *allocate(std::size_t bytes);
void release(void *block, std::size_t bytes) noexcept;

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
