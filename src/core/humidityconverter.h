#pragma once

// Turns a relative humidity into the water-vapour concentration of the path
// (Arden Buck equation, no enhancement factor).
class HumidityConverter
{
public:
    // Saturation vapour pressure over water (t >= 0 °C) or ice (t < 0 °C), kPa.
    static double saturationVapourPressureKPa(double celsius);

    // H2O in ppmv for a relative humidity in percent, a temperature in °C and a
    // total pressure in Pa. A pressure that is not positive, or any input that
    // is not finite, gives 0 instead of an infinite or undefined concentration.
    static double h2oPpmv(double relativeHumidityPercent, double celsius, double pressurePa);
};
