#pragma once

#include "core/spectrumallocator.h"

#include <QMetaType>

#include <array>
#include <cstddef>
#include <vector>

// One curve on the calculation grid, or (for the engine) the index window of one line.
struct Spectrum
{
    std::array<double, 6> leadingValues{};   // travel with every copy; free for callers
    std::array<int, 2> leadingCounters{};
    int windowStart = 0;                     // first index of an index window
    int windowEnd = 0;                       // last index of the window, inclusive
    SpectrumValues values;                   // one value per grid point
    std::vector<double> auxValues;           // second vector; empty for calculated spectra
    double maximum = 0.0;                    // largest entry of values as last computed
    double trailingValue = 0.0;

    // Sizes values to the grid as zeros in new memory, whose pages are faulted
    // in where they are first written, and empties auxValues.
    void resetValues(std::size_t points)
    {
        SpectrumValues zeros;
        zeros.resize(points);
        values.swap(zeros);
        auxValues.clear();
    }
    // Gives the memory of the values back (a spectrum without values reads as zero
    // wherever that is said).
    void releaseValues()
    {
        SpectrumValues().swap(values);
        auxValues.clear();
    }

    // The largest value, searched from the smallest positive normal double, so that
    // a spectrum of zeros (or of negative values) reports that tiny positive number.
    static double maximumOf(const double *values, std::size_t count);
    template<typename Values>
    static double maximumOf(const Values &values)
    {
        return maximumOf(values.data(), values.size());
    }
    void updateMaximum() { maximum = maximumOf(values); }
};

Q_DECLARE_METATYPE(Spectrum)
