#pragma once

#include "core/optionlists.h"

#include <QString>
#include <QtGlobal>

// The unit in which the path length is shown and entered; stored lengths are metres.
struct PathLengthUnit
{
    enum Code : quint8 { Kilometre, Metre, Centimetre, Mile, Foot, Inch, CodeCount };

    quint8 unit = Metre;
    static_assert(CodeCount == OptionLists::count(OptionLists::pathLengthUnits), "a code per listed unit");

    static bool isValid(int code) { return code >= 0 && code < CodeCount; }

    static QString label(quint8 code) { return OptionLists::words(OptionLists::pathLengthUnits, code, Metre); }

    static double toMetres(double value, quint8 code)
    {
        static const double factors[CodeCount] = {1000.0, 1.0, 0.01, 1609.344, 0.3048, 0.0254};
        return code < CodeCount ? value * factors[code] : value;
    }

    static double fromMetres(double metres, quint8 code)
    {
        static const double factors[CodeCount] = {0.001, 1.0, 100.0, 0.0006213712,
                                                  3.2808398950131235, 39.37008};
        return code < CodeCount ? metres * factors[code] : metres;
    }
};
