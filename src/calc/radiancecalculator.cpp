#include "calc/radiancecalculator.h"

#include "core/spectrum.h"

#include <cmath>

namespace {

constexpr double planck = 6.626196e-27;        // erg s
constexpr double lightSpeed = 29979245800.0;   // cm / s
constexpr double boltzmann = 1.380648813e-16;  // erg / K
constexpr double ergPerSecondToWatt = 1e-7;

} // namespace

double RadianceCalculator::radiance(double opticalDepth, double wavenumber, double temperature)
{
    // Without a positive temperature or wavenumber there is no emission (at
    // wavenumber 0 the Planck term tends to 0 rather than 0 / 0).
    if (!(temperature > 0.0) || !(wavenumber > 0.0))
        return 0.0;
    const double emissivity = -std::expm1(-opticalDepth);
    const double exponent = planck * lightSpeed * wavenumber / (boltzmann * temperature);
    const double planckTerm = 2.0 * planck * lightSpeed * lightSpeed * ergPerSecondToWatt * wavenumber
        * wavenumber * wavenumber / std::expm1(exponent);
    const double value = emissivity * planckTerm;
    return std::isfinite(value) ? value : 0.0;
}

void RadianceCalculator::calculate(const Spectrum &opticalDepth, Spectrum &radianceSpectrum,
                                   const SpectrumValues &wavenumbers, double temperature) const
{
    const std::size_t n = opticalDepth.values.size();
    radianceSpectrum.values.resize(n);
    radianceSpectrum.auxValues.clear();
    for (std::size_t i = 0; i < n; ++i) {
        const double wavenumber = i < wavenumbers.size() ? wavenumbers[i] : 0.0;
        radianceSpectrum.values[i] = radiance(opticalDepth.values[i], wavenumber, temperature);
    }
}
