#pragma once

#include "core/partitionsumtable.h"

#include <cmath>

// One isotopologue of a HITRAN molecule, with its partition-sum table.
struct Isotopologue
{
    // Q(T) at one-kelvin steps starting at partitionSumsFirstTemperature; empty until read.
    PartitionSumTable partitionSums;
    // Temperature of partitionSums[0]; the tables do not all start at the same temperature.
    double partitionSumsFirstTemperature = 1.0;
    int afglCode = 0;
    double naturalAbundance = 0.0;
    double abundance = 0.0;
    double q296 = 0.0;
    double gj = 0.0;
    double molarMass = 0.0;
    int globalId = -1;                // -1: no partition-sum file, cannot be requested
    bool tipsLoaded = false;          // partitionSums came from a TIPS file
    bool listedInGlobalIds = false;   // a partition-sum file is available for download
    // A table was expected but could not be read: partitionSums holds the
    // constant Q(296 K), which is right at 296 K only.
    bool partitionSumsMissing = false;

    // Highest temperature the table serves, kelvin.
    double partitionSumsLastTemperature() const
    {
        return partitionSumsFirstTemperature + double(partitionSums.size()) - 1.0;
    }

    // True when the table holds a value for the temperature rounded to whole kelvin.
    // A table filled with the constant Q(296 K) for want of any serves every
    // temperature; one that stands in for a missing table serves 296 K only.
    bool partitionSumCovers(double temperature) const
    {
        if (!std::isfinite(temperature) || temperature <= 0.0)
            return false;
        if (partitionSumsMissing)
            return std::round(temperature) == 296.0;
        if (!tipsLoaded)
            return true;
        const double t = std::round(temperature);
        return !partitionSums.empty() && t >= partitionSumsFirstTemperature
            && t <= partitionSumsLastTemperature();
    }

    // Q(T), interpolated between the table's whole kelvins (see
    // PartitionSumTable::interpolated). The temperatures partitionSumCovers admits
    // reach half a kelvin beyond the table's ends; farther out the value half a
    // kelvin beyond the end serves, so that no lookup ever reads out of bounds.
    double partitionSum(double temperature) const
    {
        if (partitionSums.empty())
            return q296;
        return partitionSums.interpolated(temperature - partitionSumsFirstTemperature);
    }
};
