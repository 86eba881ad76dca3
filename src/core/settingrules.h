#pragma once

#include "core/optionlists.h"
#include "core/setting.h"

#include <QString>

class Params;

// What every setting may hold, whoever sets it: the settings screens, a remote
// peer and the configuration file reader ask here, so that a value one of them
// refuses is refused by all, in the same words. Each check returns an empty
// text for a value that can be stored, otherwise a sentence that says why not.
class SettingRules
{
public:
    // The settings that take one of a few numbered options, 0 to count - 1.
    enum class Option {
        AccessOption,         // where the line data come from
        LineShapeProfile,
        BroadeningType,
        InstrumentFunction,   // the instrument function type
        AtmosphereModel,
        YQuantity,            // absorption quantities or radiance
        YUnits,
        ReplyPrecision,       // digits of the numbers sent to a remote peer
    };

    static constexpr int optionCount(Option option)
    {
        switch (option) {
        case Option::AccessOption: return OptionLists::count(OptionLists::accessOptions);
        case Option::LineShapeProfile: return OptionLists::count(OptionLists::lineShapes);
        case Option::BroadeningType: return OptionLists::count(OptionLists::broadenings);
        case Option::InstrumentFunction: return OptionLists::count(OptionLists::instrumentFunctions);
        case Option::AtmosphereModel: return OptionLists::count(OptionLists::atmosphereModels);
        case Option::YQuantity: return OptionLists::count(OptionLists::yQuantities);
        case Option::YUnits: return OptionLists::count(OptionLists::yUnits);
        case Option::ReplyPrecision: return 256;
        }
        return 0;
    }
    static constexpr bool isOption(Option option, double value)
    {
        return value >= 0.0 && value < optionCount(option);
    }
    // "Allowed values: 0 to 3." ("0 and 1." for two options).
    static QString allowedOptions(Option option);
    static QString optionProblem(Option option, double value);

    // The ends of the spectral range are judged one at a time when they are
    // set, so that they can be set in either order; the pair is judged when a
    // calculation starts (XAxis::validationProblem).
    static constexpr double lowestWavenumber = 0.0;
    static constexpr double highestWavenumber = 50000.0;
    static QString wavenumberProblem(double wavenumber);
    static constexpr int minPoints = 2;
    // Every molecule keeps three spectra on the grid; a million points already
    // take over a gigabyte, so the grid stops there.
    static constexpr int maxPoints = 1000000;
    static QString pointsProblem(int numPoints);

    // A value of the spectral range as the user enters it, in the x-axis unit
    // `unit`: a wavelength must be above zero, and its wavenumber lie within
    // the range above (named in that unit too).
    static QString spectralValueProblem(double value, quint8 unit);

    static QString pathLengthProblem(double metres);
    static QString totalPressureProblem(double atm);
    // Only temperatures that the partition-sum table of every isotopologue the
    // calculation uses covers can be calculated.
    static QString temperatureProblem(double kelvin, const Params &params);
    // A concentration is a share of the mixture: from nothing to all of it.
    static constexpr double maxConcentration = 1e6;   // ppmv
    static QString concentrationProblem(double ppmv);

    // The line options: the intensity threshold (cm/molecule) below which a line
    // is left out, and how far a line's wings reach, in half-widths and in cm-1.
    static QString intensityThresholdProblem(double threshold);
    // Half-widths are stored whole; the largest int is the widest wing.
    static constexpr double maxWingHalfwidths = 2147483647.0;
    static QString wingHalfwidthsProblem(double halfwidths);
    static QString wingAbsoluteProblem(double wavenumbers);

    // The instrument function's resolution and wing, cm-1.
    static QString instrumentResolutionProblem(double wavenumbers);
    static QString instrumentWingProblem(double wavenumbers);

    // The limits of a vertical scale: finite, the minimum below the maximum.
    static QString scaleProblem(double minimum, double maximum);

    // The port the WebSocket server listens on.
    static QString portProblem(double port);

    // The sensor sampling period (milliseconds) and the number of samples averaged.
    static QString samplingProblem(double value);

    // The number format and the value separator of replies to a remote peer.
    static QString replyFormatProblem(const QString &format);
    static QString replySeparatorProblem(const QString &separator);

    // The span a slider of the main screen covers, in base units: a part of
    // what the rule allows that a finger can reach, logarithmic where it
    // spans decades. The temperature spans what the partition sums of the
    // molecules calculated cover.
    struct SliderSpan
    {
        double lowest = 0.0;
        double highest = 0.0;
        bool logarithmic = false;
    };
    static SliderSpan sliderSpan(Setting setting, const Params &params);
};
