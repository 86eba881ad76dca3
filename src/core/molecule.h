#pragma once

#include "core/isotopologue.h"

#include <QString>

#include <vector>

// One HITRAN molecule; its index in every list is its HITRAN number - 1.
struct Molecule
{
    std::vector<Isotopologue> isotopologues;  // most abundant first
    QString name;                             // formula as shown: "H2O", "NO+", ...
    bool selected = true;
    QString color;                            // "#rrggbb", lower case
};
