#pragma once

#include <QString>

// The unit in which temperatures are shown and entered; stored temperatures are kelvin.
struct TemperatureUnit
{
    enum Code : quint8 { Kelvin, Celsius, Fahrenheit, CodeCount };

    quint8 unit = Kelvin;

    static bool isValid(int code) { return code >= 0 && code < CodeCount; }

    static QString label(quint8 code)
    {
        switch (code) {
        case Celsius: return QStringLiteral("°C");
        case Fahrenheit: return QStringLiteral("°F");
        default: return QStringLiteral("K");
        }
    }

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
