#pragma once

#include "core/spectrumallocator.h"

#include <cstddef>
#include <vector>

// The largest and the smallest value of each block of a curve's points, and
// whether a block holds a value that is no number: a plot of a million points
// finds the extremes of the points that fall on one pixel column from the
// blocks instead of from every point.
class CurveEnvelope
{
public:
    static constexpr std::size_t block = 64;

    explicit CurveEnvelope(const SpectrumValues &values);

    // Over the points from..to (inclusive): whether one is no number, and
    // otherwise the largest and the smallest value.
    bool hasGap(const SpectrumValues &values, std::size_t from, std::size_t to) const;
    void extremes(const SpectrumValues &values, std::size_t from, std::size_t to, double *smallest,
                  double *largest) const;

private:
    std::vector<double> m_largest;
    std::vector<double> m_smallest;
    std::vector<char> m_gap;
};
