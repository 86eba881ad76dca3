#pragma once

#include "core/optionlists.h"

#include <QString>

// The unit of the total pressure and the way concentrations are shown; stored
// pressures are atmospheres and stored concentrations ppmv.
struct PressureUnits
{
    enum PressureCode : quint8 { Atm, Mbar, Torr, Pa, Psi, TorrAlternative, InchHg, PressureCodeCount };
    enum ConcentrationMode : quint8 { Percent, Ppmv, PartialPressure, ConcentrationModeCount };

    static_assert(PressureCodeCount == OptionLists::count(OptionLists::pressureUnits), "a code per listed unit");
    static_assert(2 + PressureCodeCount == OptionLists::count(OptionLists::concentrationUnits),
                  "percent, ppmv and a partial pressure per pressure unit");

    quint8 pressureUnit = Atm;
    quint8 concentrationMode = Percent;

    static bool isValidPressureUnit(int code) { return code >= 0 && code < PressureCodeCount; }

    // The to and from factors are separate constants, not exact reciprocals;
    // each direction uses its own.
    static double toAtm(double value, quint8 code)
    {
        static const double factors[PressureCodeCount] = {
            1.0, 0.00098692, 0.001315788094764, 9.8692e-6, 0.06804936863692,
            0.001315785305835, 0.033420946768217};
        return code < PressureCodeCount ? value * factors[code] : value;
    }

    static double fromAtm(double atm, quint8 code)
    {
        static const double factors[PressureCodeCount] = {
            1.0, 1013.2533539, 760.000810626234, 101325.33539, 14.6952133916117,
            760.0024073571306, 29.92135462035947};
        return code < PressureCodeCount ? atm * factors[code] : atm;
    }

    static QString pressureLabel(quint8 code) { return OptionLists::words(OptionLists::pressureUnits, code); }

    QString pressureLabel() const { return pressureLabel(pressureUnit); }

    QString concentrationLabel() const
    {
        switch (concentrationMode) {
        case Percent: return QStringLiteral("%");
        case Ppmv: return QStringLiteral("ppmv");
        default: return pressureLabel(pressureUnit);
        }
    }

    // Combined concentration display code: 0 percent, 1 ppmv, 2 + pressure unit
    // for partial pressures.
    quint8 concentrationCode() const
    {
        return concentrationMode == PartialPressure ? quint8(2 + pressureUnit) : concentrationMode;
    }

    static bool isValidConcentrationCode(int code)
    {
        return code >= 0 && code < OptionLists::count(OptionLists::concentrationUnits);
    }

    void setConcentrationCode(quint8 code)
    {
        if (code >= 2) {
            concentrationMode = PartialPressure;
            pressureUnit = quint8(code - 2);
        } else {
            concentrationMode = code;
        }
    }
};
