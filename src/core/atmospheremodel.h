#pragma once

#include "core/atmosphereprofile.h"

#include <QString>

#include <vector>

// One standard model atmosphere on the 50-level altitude grid.
struct AtmosphereModel
{
    AtmosphereProfile pressure;                    // total pressure, mbar
    AtmosphereProfile temperature;                 // kelvin
    AtmosphereProfile airDensity;                  // air number density, cm-3
    std::vector<AtmosphereProfile> concentrations; // ppmv, by molecule index
    QString name;

    // A model whose tables could not be read has empty profiles; nothing of it
    // may then be applied to the path.
    bool hasGroundValues() const
    {
        return !pressure.values.empty() && !temperature.values.empty() && !airDensity.values.empty();
    }
};
