#pragma once

#include <complex>

// An accurate Faddeeva function w(z) = exp(-z^2) erfc(-iz) for the upper half
// plane, used as the reference the line-shape profiles are tested against.
// Weideman's rational series with N terms (relative accuracy near 1e-14 for
// N = 64 away from the far Doppler wing), computed in long double.
namespace FaddeevaReference {

std::complex<double> w(std::complex<double> z, int terms = 64);

// Real part of w(x + iy): the Voigt function K(x, y).
double voigtK(double x, double y, int terms = 64);

// The unit-area Voigt profile at offset delta for the given half-widths.
double voigtProfile(double delta, double gammaD, double gammaL, int terms = 64);

} // namespace FaddeevaReference
