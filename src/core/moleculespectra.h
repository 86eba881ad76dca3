#pragma once

#include "core/spectrum.h"

#include <cstddef>
#include <limits>
#include <vector>

// The spectra of one molecule; its index is the molecule's index in the parameter store.
//
// Only a molecule whose lines reach the grid has values: the engine creates its
// cross-section when the first such line arrives, and until then every value
// of the molecule reads as zero. The optical depth is the column density times
// the cross-section, point by point; it is computed where it is read rather
// than held as a second array of the grid's size.
struct MoleculeSpectra
{
    // A spectrum with the curves it was assembled from (kept for callers that
    // group curves, the calculation does not use it).
    struct Group
    {
        Spectrum spectrum;
        std::vector<Spectrum *> parts;
    };

    std::vector<Group> groups;
    Spectrum crossSection;      // cm2 / molecule (cm-1 when not cross-section only)
    double columnDensity = 0.0; // molecules / cm2 along the path
    // The largest optical depth, from the smallest positive normal double (as
    // Spectrum::maximum).
    double opticalDepthMaximum = std::numeric_limits<double>::min();

    bool hasValues() const { return !crossSection.values.empty(); }
    // Optical depth at grid index i; 0 where the molecule has no values.
    double opticalDepth(std::size_t i) const
    {
        return i < crossSection.values.size() ? columnDensity * crossSection.values[i] : 0.0;
    }
};
