#include "faddeevareference.h"

#include <cmath>
#include <map>
#include <vector>

namespace {

using real = long double;
using complex = std::complex<real>;
const real pi = 3.141592653589793238462643383279502884L;

struct Coefficients
{
    real l = 0;
    std::vector<real> a;   // polynomial coefficients, highest power first
};

// Coefficients of Weideman's expansion: the Fourier coefficients of
// f(t) = exp(-t^2) (L^2 + t^2) at t = L tan(theta / 2), by a direct transform.
Coefficients computeCoefficients(int n)
{
    const int m = 2 * n;
    const int m2 = 2 * m;
    Coefficients c;
    c.l = std::sqrt(real(n) / std::sqrt(real(2)));
    std::vector<real> f(static_cast<std::size_t>(m2), 0);
    // f holds samples for k = -m+1 .. m-1 after a leading zero (k = -m).
    for (int k = -m + 1; k <= m - 1; ++k) {
        const real theta = real(k) * pi / real(m);
        const real t = c.l * std::tan(theta / 2);
        f[std::size_t(k + m)] = std::exp(-t * t) * (c.l * c.l + t * t);
    }
    // fftshift, then the real part of the discrete Fourier transform over m2 points.
    std::vector<real> shifted(static_cast<std::size_t>(m2));
    for (int i = 0; i < m2; ++i)
        shifted[std::size_t(i)] = f[std::size_t((i + m) % m2)];
    std::vector<real> transform(static_cast<std::size_t>(m2));
    for (int k = 0; k < m2; ++k) {
        real sum = 0;
        for (int j = 0; j < m2; ++j)
            sum += shifted[std::size_t(j)] * std::cos(2 * pi * real(j) * real(k) / real(m2));
        transform[std::size_t(k)] = sum / real(m2);
    }
    // a = flipud(transform(2 : n + 1)): coefficients of Z^(n-1) ... Z^0.
    c.a.resize(std::size_t(n));
    for (int i = 0; i < n; ++i)
        c.a[std::size_t(i)] = transform[std::size_t(n - i)];
    return c;
}

const Coefficients &coefficients(int n)
{
    static std::map<int, Coefficients> cache;
    auto found = cache.find(n);
    if (found == cache.end())
        found = cache.emplace(n, computeCoefficients(n)).first;
    return found->second;
}

} // namespace

namespace FaddeevaReference {

std::complex<double> w(std::complex<double> z, int terms)
{
    const Coefficients &c = coefficients(terms);
    const complex zz(z.real(), z.imag());
    const complex i(0, 1);
    const complex denominator = c.l - i * zz;
    const complex bigZ = (c.l + i * zz) / denominator;
    complex p = 0;
    for (real coefficient : c.a)
        p = p * bigZ + coefficient;
    const complex result = real(2) * p / (denominator * denominator)
        + (real(1) / std::sqrt(pi)) / denominator;
    return {double(result.real()), double(result.imag())};
}

double voigtK(double x, double y, int terms)
{
    return w({x, y}, terms).real();
}

double voigtProfile(double delta, double gammaD, double gammaL, int terms)
{
    const double sqrtLn2 = std::sqrt(std::log(2.0));
    const double x = sqrtLn2 * delta / gammaD;
    const double y = sqrtLn2 * gammaL / gammaD;
    return sqrtLn2 / (gammaD * std::sqrt(M_PI)) * voigtK(x, y, terms);
}

} // namespace FaddeevaReference
