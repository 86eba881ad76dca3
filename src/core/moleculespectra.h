#pragma once

#include "core/spectrum.h"

#include <vector>

// The spectra of one molecule; its index is the molecule's index in the parameter store.
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
    Spectrum opticalDepth;   // dimensionless
    Spectrum radiance;       // W / (sr cm2 cm-1), filled by the results model
    Spectrum crossSection;   // cm2 / molecule (cm-1 when not cross-section only)
};
