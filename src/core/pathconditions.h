#pragma once

#include <vector>

// Conditions of the horizontal gas path, in base units.
struct PathConditions
{
    double pathLength = 1000.0;           // metres
    double totalPressure = 1.0;           // atm; set at start-up from the default atmosphere
    double temperature = 296.0;           // kelvin
    double airDensity = 2.47937196e19;    // cm-3
    std::vector<double> concentrations;   // ppmv, by molecule index
};
