#include "core/humidityconverter.h"

#include <cmath>

double HumidityConverter::saturationVapourPressureKPa(double celsius)
{
    if (celsius >= 0.0)
        return 0.61121 * std::exp((18.678 - celsius / 234.5) * celsius / (257.14 + celsius));
    return 0.61115 * std::exp((23.036 - celsius / 333.7) * celsius / (279.82 + celsius));
}

double HumidityConverter::h2oPpmv(double relativeHumidityPercent, double celsius, double pressurePa)
{
    if (!std::isfinite(relativeHumidityPercent) || !std::isfinite(celsius) || !std::isfinite(pressurePa)
        || pressurePa <= 0.0)
        return 0.0;
    const double ppmv = (relativeHumidityPercent * 0.01) * (saturationVapourPressureKPa(celsius) * 1000.0)
        / pressurePa * 1e6;
    return std::isfinite(ppmv) ? ppmv : 0.0;
}
