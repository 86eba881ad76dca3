#pragma once

#include "core/moleculespectra.h"
#include "core/spectrum.h"

#include <vector>

// Every spectrum of the last calculation: six totals and one record per molecule.
struct SpectraSet
{
    Spectrum crossSectionTotal;
    Spectrum instrCrossSectionTotal;
    Spectrum opticalDepthTotal;
    Spectrum instrOpticalDepthTotal;
    Spectrum radianceTotal;
    Spectrum instrRadianceTotal;
    std::vector<MoleculeSpectra> molecules;
};
