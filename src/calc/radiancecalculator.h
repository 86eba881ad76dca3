#pragma once

#include "core/spectrumallocator.h"

struct Spectrum;

// Radiance of a gas path of optical depth tau at temperature T (Planck's law
// times the emissivity 1 - exp(-tau)), in W / (sr cm2 cm-1).
class RadianceCalculator
{
public:
    // Resizes the destination to the source and fills it point by point; the
    // caller sets the maximum.
    void calculate(const Spectrum &opticalDepth, Spectrum &radiance, const SpectrumValues &wavenumbers,
                   double temperature) const;

    static double radiance(double opticalDepth, double wavenumber, double temperature);
};
