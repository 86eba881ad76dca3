#pragma once

#include "core/bufferallocator.h"

#include <vector>

// One HITRAN line as the calculation uses it. The parser fills the fields from
// molecule to deltaAir; the engine may use the rest as working space.
struct LineRecord
{
    int molecule = 0;              // HITRAN molecule number, 1-based
    int isotopologue = 0;          // 1-based within the molecule
    double wavenumber = 0.0;       // line position, cm-1
    double intensity = 0.0;        // line intensity at 296 K, cm-1 / (molecule cm-2)
    double intensityCopy = 0.0;    // working copy for the engine
    double einsteinA = 0.0;        // s-1
    double gammaAir = 0.0;         // air-broadened half-width at 296 K, cm-1/atm
    double gammaSelf = 0.0;        // self-broadened half-width at 296 K, cm-1/atm
    double lowerStateEnergy = 0.0; // cm-1
    double nAir = 0.0;             // temperature exponent of gammaAir
    double deltaAir = 0.0;         // air pressure shift, cm-1/atm
};

// The line records of one batch.
using LineBatch = std::vector<LineRecord, BufferAllocator<LineRecord>>;
