#pragma once

#include <algorithm>
#include <cmath>

// The four line-shape profiles, their half-widths and wing extents, as small
// inline functions of (offset from the line centre, widths). All widths and
// offsets are in cm-1; a profile integrates to 1 over the wavenumber axis.
namespace LineShape {

enum Profile { Doppler = 0, Lorentz = 1, VoigtStandard = 2, VoigtHigh = 3 };

// Any profile index other than 0, 1 and 3 means the standard-precision Voigt profile.
inline Profile profileFromIndex(int index)
{
    switch (index) {
    case 0: return Doppler;
    case 1: return Lorentz;
    case 3: return VoigtHigh;
    default: return VoigtStandard;
    }
}

constexpr double pi = 3.14159265358979;
constexpr double invPi = 1.0 / pi;
constexpr double sqrtLn2OverPi = 0.46971863931914404;
constexpr double ln2 = 0.6931471805599;
constexpr double sqrtLn2 = 0.8325546111576978;
// The rational Voigt approximation is written for y + 1.375; its coefficients include the shift.
constexpr double voigtYShift = 1.375;
constexpr double dopplerWidthFactor = 3.5811652900936203e-07;
// A Doppler width below this is no Gaussian at all (a line at wavenumber 0): Doppler
// lines that narrow are left out and Voigt lines become pure Lorentz lines. The bound
// keeps x = offset / width, and the fourth powers of x in the Voigt sum, finite.
constexpr double minimumDopplerWidth = 1e-20;

inline double sqrtPi() { return std::sqrt(pi); }

// Doppler half-width at half maximum of a line at `wavenumber`, temperature in K,
// molar mass in g/mol.
inline double dopplerHalfWidth(double wavenumber, double temperature, double molarMass)
{
    return std::sqrt(temperature) * dopplerWidthFactor * wavenumber / std::sqrt(molarMass);
}

// Pressure-broadened half-width at half maximum. broadeningType 0 air, 1 self,
// 2 (and any other value) air and self; moleFraction is the molecule's fraction.
inline double lorentzHalfWidth(int broadeningType, double tempRatio, double pressureRatio,
                               double nAir, double gammaAir, double gammaSelf, double moleFraction)
{
    const double temperatureFactor = std::pow(tempRatio, nAir);
    switch (broadeningType) {
    case 0:
        return temperatureFactor * (1.0 - moleFraction) * gammaAir * pressureRatio;
    case 1:
        return temperatureFactor * gammaSelf * pressureRatio * moleFraction;
    default:
        return temperatureFactor * ((1.0 - moleFraction) * gammaAir + moleFraction * gammaSelf)
            * pressureRatio;
    }
}

// Half-extent of the index window around the line centre.
inline double wingExtent(Profile profile, double gammaD, double gammaL, int halfwidths,
                         double absolute)
{
    double width = 0.0;
    switch (profile) {
    case Doppler: width = gammaD; break;
    case Lorentz: width = gammaL; break;
    default: width = std::max(gammaD, gammaL); break;
    }
    return std::max(absolute, double(halfwidths) * width);
}

inline double doppler(double delta, double gammaD)
{
    const double t = delta / gammaD;
    return (sqrtLn2OverPi / gammaD) * std::exp(-t * ln2 * t);
}

inline double lorentz(double delta, double gammaL)
{
    return invPi * gammaL / (gammaL * gammaL + delta * delta);
}

// Coefficients of the shifted rational approximation of the Voigt function.
struct VoigtCoefficients12
{
    static constexpr int count = 12;
    static constexpr double alpha[count] = {
        0.2307372754308023, 0.7760531995854886, 0.0423550688509825, -0.2340509255269456,
        -0.04557204758971222, 0.005043797125559205, 0.001180179737805654, 1.754770213650354e-05,
        -3.325020499631893e-06, -9.375402319079375e-08, 8.034651067438904e-10, 3.35545527537331e-11};
    static constexpr double beta[count] = {
        0.04989787261063716, 0.4490808534957343, 1.247446815265929, 2.444995757921221,
        4.04172768146161, 6.037642585887094, 8.43274047119768, 11.22702133739336,
        14.42048518447414, 18.01313201244001, 22.00496182129099, 26.39597461102705};
    static constexpr double gamma[count] = {
        1.464495070025765, -0.323089419303124, -0.5397724160374686, -0.06547649406082363,
        0.02411056013969393, 0.004001198804719684, -5.387428751666454e-05, -2.451992671326258e-05,
        -5.400164289522879e-07, 1.771556420016014e-08, 4.940360170163906e-10, 5.674096644030151e-14};
};

struct VoigtCoefficients16
{
    static constexpr int count = 16;
    static constexpr double alpha[count] = {
        0.1608290174437121, 0.6885967427017463, 0.265115164267539, -0.2050008245317253,
        -0.1274551644219086, -0.01134971805306579, 0.004201921570328543, 0.0008084740485193432,
        1.94639144060586e-05, -4.132639863292073e-06, -2.656262492217795e-07, -1.524188131553777e-09,
        2.239681784892829e-10, 4.939143128687883e-12, 4.692078138494072e-15, -2.512454984032184e-16};
    static constexpr double beta[count] = {
        0.03855314219175531, 0.3469782797257978, 0.9638285547938826, 1.88910396739601,
        3.12280451753218, 4.664930205202391, 6.515481030406647, 8.674456993144942,
        11.14185809341728, 13.91768433122366, 17.00193570656409, 20.39461221943855,
        24.09571386984707, 28.10524065778962, 32.42319258326621, 37.04956964627684};
    static constexpr double gamma[count] = {
        1.366578214428949, -0.05742919588559361, -0.5709602545656873, -0.2011075414803758,
        0.01069871368716704, 0.01468639542320982, 0.001816268776500938, -6.875907999947567e-05,
        -2.3279103559245e-05, -1.004011418729134e-06, 2.304990232059197e-08, 2.27527634535527e-09,
        3.383885053101652e-11, -4.398940326332977e-13, -1.405511706545786e-14, -3.954682293307548e-16};
};

// K(x, Y) with Y the shifted Voigt parameter, summed term by term in order.
template<typename Coefficients>
inline double voigtK(double x, double shiftedY)
{
    const double x2 = x * x;
    const double y2 = shiftedY * shiftedY;
    const double difference = y2 - x2;
    const double sum = y2 + x2;
    const double sumSquared = sum * sum;
    double k = 0.0;
    for (int m = 0; m < Coefficients::count; ++m) {
        const double a = Coefficients::alpha[m];
        const double b = Coefficients::beta[m];
        const double g = Coefficients::gamma[m];
        k += (a * (b + difference) + g * shiftedY * (b + sum))
            / (b * b + 2.0 * b * difference + sumSquared);
    }
    return k;
}

template<typename Coefficients>
inline double voigt(double delta, double gammaD, double gammaL)
{
    if (gammaD < minimumDopplerWidth)
        return lorentz(delta, gammaL);
    const double x = sqrtLn2 * delta / gammaD;
    const double shiftedY = std::fabs(sqrtLn2 * gammaL / gammaD) + voigtYShift;
    return sqrtLn2 / (gammaD * sqrtPi()) * voigtK<Coefficients>(x, shiftedY);
}

inline double voigtStandard(double delta, double gammaD, double gammaL)
{
    return voigt<VoigtCoefficients12>(delta, gammaD, gammaL);
}

inline double voigtHigh(double delta, double gammaD, double gammaL)
{
    return voigt<VoigtCoefficients16>(delta, gammaD, gammaL);
}

inline double profileValue(Profile profile, double delta, double gammaD, double gammaL)
{
    switch (profile) {
    case Doppler: return doppler(delta, gammaD);
    case Lorentz: return lorentz(delta, gammaL);
    case VoigtHigh: return voigtHigh(delta, gammaD, gammaL);
    default: return voigtStandard(delta, gammaD, gammaL);
    }
}

} // namespace LineShape
