#include "core/settingrules.h"

#include "core/atmospheremodelset.h"
#include "core/params.h"
#include "core/yaxissettings.h"

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
