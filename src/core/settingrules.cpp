#include "core/settingrules.h"

#include "core/atmospheremodelset.h"
#include "core/params.h"
#include "core/xaxis.h"
#include "core/yaxissettings.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>

static_assert(SettingRules::optionCount(SettingRules::Option::AtmosphereModel) == AtmosphereModelSet::modelCount,
              "every model atmosphere is an option");
static_assert(SettingRules::optionCount(SettingRules::Option::YUnits) == YAxisSettings::UnitCount,
              "every vertical axis unit is an option");
static_assert(SettingRules::optionCount(SettingRules::Option::YQuantity) == YAxisSettings::Radiance + 1,
              "absorption quantities and radiance are the two vertical axis quantities");

QString SettingRules::allowedOptions(Option option)
{
    const int last = optionCount(option) - 1;
    if (last == 1)
        return QStringLiteral("Allowed values: 0 and 1.");
    return QStringLiteral("Allowed values: 0 to %1.").arg(last);
}

QString SettingRules::optionProblem(Option option, double value)
{
    return isOption(option, value) ? QString() : allowedOptions(option);
}

QString SettingRules::wavenumberProblem(double wavenumber)
{
    if (!std::isfinite(wavenumber) || wavenumber < lowestWavenumber || wavenumber > highestWavenumber)
        return QStringLiteral("The spectral range must lie within 0 to 50000 cm-1.");
    return QString();
}

QString SettingRules::spectralValueProblem(double value, quint8 unit)
{
    const bool wavelength = unit == XAxis::WavelengthNm || unit == XAxis::WavelengthMicron;
    if (wavelength && !(value > 0.0))
        return QStringLiteral("A wavelength must be a positive number.");
    const QString problem = wavenumberProblem(XAxis::toWavenumber(value, unit));
    if (problem.isEmpty() || unit == XAxis::Wavenumber)
        return problem;
    // The same range in the unit the user works in: 0 to 50000 cm-1 are all
    // wavelengths from 200 nm up, or the frequencies up to 1.49896e+15 Hz.
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    const QString limit = locale.toString(XAxis::fromWavenumber(highestWavenumber, unit), 'g', 6);
    const QString name = XAxis::unitName(unit);
    return problem + QLatin1Char('\n')
        + (wavelength ? QStringLiteral("Wavelengths from %1 %2 up can be calculated.").arg(limit, name)
                      : QStringLiteral("Frequencies from 0 to %1 %2 can be calculated.").arg(limit, name));
}

QString SettingRules::pointsProblem(int numPoints)
{
    if (numPoints < minPoints || numPoints > maxPoints)
        return QStringLiteral("The number of points must be from %1 to %2.").arg(minPoints).arg(maxPoints);
    return QString();
}

QString SettingRules::pathLengthProblem(double metres)
{
    if (!(std::isfinite(metres) && metres > 0.0))
        return QStringLiteral("The path length must be a positive number.");
    return QString();
}

QString SettingRules::totalPressureProblem(double atm)
{
    if (!(std::isfinite(atm) && atm > 0.0))
        return QStringLiteral("The total pressure must be a positive number.");
    return QString();
}

QString SettingRules::temperatureProblem(double kelvin, const Params &params)
{
    if (!std::isfinite(kelvin) || kelvin <= 0.0)
        return QStringLiteral("The temperature must be above 0 K.");
    double lowest = 0.0;
    double highest = std::numeric_limits<double>::max();
    bool covered = true;
    QStringList unread;
    for (int m = 0; m < params.moleculeCount(); ++m) {
        if (!params.isCalculated(m))
            continue;
        for (const Isotopologue &isotopologue : params.molecule(m).isotopologues) {
            if (isotopologue.partitionSumsMissing && !isotopologue.partitionSumCovers(kelvin)
                && !unread.contains(params.molecule(m).name))
                unread.append(params.molecule(m).name);
            if (!isotopologue.tipsLoaded)
                continue;
            lowest = std::max(lowest, isotopologue.partitionSumsFirstTemperature);
            highest = std::min(highest, isotopologue.partitionSumsLastTemperature());
            covered = covered && isotopologue.partitionSumCovers(kelvin);
        }
    }
    if (!unread.isEmpty()) {
        return QStringLiteral("The partition sums of %1 could not be read, so %1 can only be calculated "
                              "at 296 K.\nRestart Kolvex to read or download them again.")
            .arg(unread.join(QStringLiteral(", ")));
    }
    if (covered)
        return QString();
    return QStringLiteral("The temperature %1 K is outside the partition-sum tables.\n"
                          "Temperatures from %2 K to %3 K can be calculated.")
        .arg(kelvin, 0, 'g', 6)
        .arg(lowest, 0, 'g', 6)
        .arg(highest, 0, 'g', 6);
}

QString SettingRules::concentrationProblem(double ppmv)
{
    if (!std::isfinite(ppmv) || ppmv < 0.0)
        return QStringLiteral("A concentration must be zero or a positive number.");
    if (ppmv > maxConcentration)
        return QStringLiteral("A concentration cannot exceed 1000000 ppmv (100 %), the whole mixture.");
    return QString();
}

QString SettingRules::intensityThresholdProblem(double threshold)
{
    if (!std::isfinite(threshold) || threshold < 0.0)
        return QStringLiteral("The intensity threshold must be zero or a positive number.");
    return QString();
}

QString SettingRules::wingHalfwidthsProblem(double halfwidths)
{
    if (!std::isfinite(halfwidths) || halfwidths < 0.0 || halfwidths > maxWingHalfwidths)
        return QStringLiteral("The line wing must be from 0 to 2147483647 half-widths.");
    return QString();
}

QString SettingRules::wingAbsoluteProblem(double wavenumbers)
{
    if (!std::isfinite(wavenumbers) || wavenumbers < 0.0)
        return QStringLiteral("The absolute line wing must be zero or a positive number of cm-1.");
    return QString();
}

QString SettingRules::instrumentResolutionProblem(double wavenumbers)
{
    if (!std::isfinite(wavenumbers) || !(wavenumbers > 0.0))
        return QStringLiteral("The instrument resolution must be a positive number of cm-1.");
    return QString();
}

QString SettingRules::instrumentWingProblem(double wavenumbers)
{
    if (!std::isfinite(wavenumbers) || !(wavenumbers > 0.0))
        return QStringLiteral("The instrument function wing must be a positive number of cm-1.");
    return QString();
}

QString SettingRules::scaleProblem(double minimum, double maximum)
{
    // The plot divides by the height of the scale, so it must not be empty.
    if (!std::isfinite(minimum) || !std::isfinite(maximum))
        return QStringLiteral("The scale limits must be finite numbers.");
    if (!(minimum < maximum)) {
        QLocale locale;
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
        return QStringLiteral("The minimum of the scale, %1, must be below its maximum, %2.")
            .arg(locale.toString(minimum, 'g', 6), locale.toString(maximum, 'g', 6));
    }
    return QString();
}

QString SettingRules::portProblem(double port)
{
    if (!(port >= 1.0 && port <= 65535.0) || port != std::floor(port))
        return QStringLiteral("The port number must be a whole number from 1 to 65535.");
    return QString();
}

QString SettingRules::samplingProblem(double value)
{
    return value < 1.0 ? QStringLiteral("Allowed values: 1 and above.") : QString();
}

QString SettingRules::replyFormatProblem(const QString &format)
{
    static const QStringList formats = {QStringLiteral("e"), QStringLiteral("E"), QStringLiteral("f"),
                                        QStringLiteral("g"), QStringLiteral("G")};
    return formats.contains(format) ? QString() : QStringLiteral("Allowed values:  e, E, f, g, G.");
}

QString SettingRules::replySeparatorProblem(const QString &separator)
{
    // Without a separator the values of a reply would run together.
    return separator.isEmpty() ? QStringLiteral("The delimiter must not be empty.") : QString();
}

SettingRules::SliderSpan SettingRules::sliderSpan(Setting setting, const Params &params)
{
    switch (setting) {
    case Setting::PathLength: return {1e-3, 1e5, true};        // 1 mm to 100 km
    case Setting::TotalPressure: return {1e-4, 100.0, true};   // 0.1 mbar to 100 atm
    case Setting::Concentration: return {1e-3, maxConcentration, true};
    case Setting::Temperature: break;
    default: return {};
    }
    // Every table in use must cover the temperature (see temperatureProblem).
    double lowest = 0.0;
    double highest = std::numeric_limits<double>::max();
    for (int m = 0; m < params.moleculeCount(); ++m) {
        if (!params.isCalculated(m))
            continue;
        for (const Isotopologue &isotopologue : params.molecule(m).isotopologues) {
            if (!isotopologue.tipsLoaded)
                continue;
            lowest = std::max(lowest, isotopologue.partitionSumsFirstTemperature);
            highest = std::min(highest, isotopologue.partitionSumsLastTemperature());
        }
    }
    if (lowest <= 0.0 || highest == std::numeric_limits<double>::max() || highest < lowest)
        return {296.0, 296.0, false};
    return {lowest, highest, false};
}
