#pragma once

#include "core/optionlists.h"

#include <QString>

// The unit in which temperatures are shown and entered; stored temperatures are kelvin.
struct TemperatureUnit
{
    enum Code : quint8 { Kelvin, Celsius, Fahrenheit, CodeCount };

    quint8 unit = Kelvin;
    static_assert(CodeCount == OptionLists::count(OptionLists::temperatureUnits), "a code per listed unit");

    static bool isValid(int code) { return code >= 0 && code < CodeCount; }

    static QString label(quint8 code) { return OptionLists::words(OptionLists::temperatureUnits, code); }

    static double toKelvin(double value, quint8 code)
    {
        switch (code) {
        case Celsius: return value + 273.15;
        case Fahrenheit: return (value + 459.67) * 0.55555556;
        default: return value;
        }
    }

    static double fromKelvin(double kelvin, quint8 code)
    {
        switch (code) {
        case Celsius: return kelvin - 273.15;
        case Fahrenheit: return kelvin * 1.8 - 459.67;
        default: return kelvin;
        }
    }
};
