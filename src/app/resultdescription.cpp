#include "app/resultdescription.h"

#include "app/kolvexcore.h"
#include "calc/instrumentfunction.h"
#include "core/linesource.h"
#include "core/optionlists.h"
#include "core/params.h"
#include "core/programinfo.h"

#include <QFileInfo>
#include <QLocale>

#include <algorithm>

namespace {

QString number(double value)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', 6);
}

// The words of an option, or its number where it has none.
template <std::size_t N>
QString optionWords(const OptionLists::Choice (&list)[N], int index, const char *kind)
{
    return index >= 0 && index < int(N) ? OptionLists::words(list, index)
                                        : QStringLiteral("%1 %2").arg(QLatin1String(kind)).arg(index);
}

QString lineShapeName(int profile)
{
    return optionWords(OptionLists::lineShapes, profile, "profile");
}

QString broadeningName(int type)
{
    return optionWords(OptionLists::broadenings, type, "type");
}

QString instrumentName(int type)
{
    return optionWords(OptionLists::instrumentFunctions, type, "type");
}

QString concentrations(KolvexCore &core)
{
    const Params &params = *core.params();
    const PressureUnits &units = *core.pressureUnits();
    const std::vector<double> &values = params.pathConditions().concentrations;
    QStringList entries;
    bool absent = false;
    for (int m = 0; m < params.moleculeCount(); ++m) {
        if (!params.isCalculated(m))
            continue;
        const double ppmv = std::size_t(m) < values.size() ? values[std::size_t(m)] : 0.0;
        // The molecules the mixture lacks are summed up, not listed one by one.
        if (ppmv == 0.0) {
            absent = true;
            continue;
        }
        double shown = ppmv;
        if (units.concentrationMode == PressureUnits::Percent)
            shown = ppmv * 1e-4;
        else if (units.concentrationMode == PressureUnits::PartialPressure)
            shown = PressureUnits::fromAtm(ppmv * 1e-6 * params.pathConditions().totalPressure, units.pressureUnit);
        entries << params.molecule(m).name + QLatin1Char(' ') + number(shown);
    }
    if (absent)
        entries << QStringLiteral("the others 0");
    return QStringLiteral("Concentrations, %1: %2").arg(units.concentrationLabel(), entries.join(QLatin1String(", ")));
}

const QString lineOriginPrefix = QStringLiteral("Lines from ");

QString lineOriginLine(const QString &origin)
{
    return lineOriginPrefix + (origin.isEmpty() ? QStringLiteral("a line source that does not say") : origin);
}

QString partitionSums(KolvexCore &core)
{
    int tables = 0;
    for (const Molecule &molecule : core.params()->molecules())
        tables += int(std::count_if(molecule.isotopologues.begin(), molecule.isotopologues.end(),
                                    [](const Isotopologue &i) { return i.tipsLoaded; }));
    return QStringLiteral("Partition sums: the TIPS tables of %1 isotopologues in %2").arg(tables).arg(core.tipsFolder());
}

} // namespace

QStringList ResultDescription::lines(KolvexCore &core)
{
    const Params &params = *core.params();
    const PathConditions &path = params.pathConditions();
    const XAxis &x = core.calculationAxis();
    const quint8 pathUnit = core.pathLengthUnit()->unit;
    const quint8 temperatureUnit = core.temperatureUnit()->unit;
    const quint8 pressureUnit = core.pressureUnits()->pressureUnit;
    const InstrumentFunction &instrument = *core.instrumentFunction();
    QStringList lines;
    lines << QStringLiteral("Path length %1 %2; temperature %3 %4; total pressure %5 %6")
                 .arg(number(PathLengthUnit::fromMetres(path.pathLength, pathUnit)), PathLengthUnit::label(pathUnit),
                      number(TemperatureUnit::fromKelvin(path.temperature, temperatureUnit)),
                      TemperatureUnit::label(temperatureUnit),
                      number(PressureUnits::fromAtm(path.totalPressure, pressureUnit)),
                      PressureUnits::pressureLabel(pressureUnit));
    lines << concentrations(core);
    lines << QStringLiteral("Spectral range %1 - %2 %3 (%4 - %5 cm⁻¹), %6 points")
                 .arg(number(x.displayStart()), number(x.displayEnd()), XAxis::unitSymbol(x.units()),
                      number(x.minWavenumber()), number(x.maxWavenumber()))
                 .arg(x.numPoints());
    lines << QStringLiteral("Line shape %1, %2 broadening, line shift %3; intensity threshold %4 cm/molecule; "
                            "line wings %5 half-widths, at least %6 cm⁻¹")
                 .arg(lineShapeName(params.lineShapeProfile()), broadeningName(params.broadeningType()),
                      params.lineShiftUsage() != 0 ? QStringLiteral("used") : QStringLiteral("not used"),
                      number(params.intensityThreshold()))
                 .arg(params.lineWingHalfwidths())
                 .arg(number(params.lineWingAbsolute()));
    if (instrument.type() == InstrumentFunction::None) {
        lines << QStringLiteral("Instrument function none");
    } else {
        lines << QStringLiteral("Instrument function %1, resolution %2 cm⁻¹, wing %3 cm⁻¹")
                     .arg(instrumentName(instrument.type()), number(instrument.resolution()), number(instrument.wing()));
    }
    lines << lineOriginLine(core.lineSource() ? core.lineSource()->origin() : QString());
    lines << partitionSums(core);
    const QString molparam = core.dataFolder() + QLatin1String("/molparam.txt");
    lines << (QFileInfo::exists(molparam)
                  ? QStringLiteral("Isotopologue parameters from %1").arg(molparam)
                  : QStringLiteral("Isotopologue parameters from the built-in table (HITRAN2020 values)"));
    return lines;
}

void ResultDescription::setLineOrigin(QStringList &lines, const QString &origin)
{
    for (QString &line : lines) {
        if (line.startsWith(lineOriginPrefix))
            line = lineOriginLine(origin);
    }
}

QString ResultDescription::duration(qint64 milliseconds, const QLocale &locale)
{
    const double seconds = double(milliseconds) / 1000.0;
    return locale.toString(seconds, 'f', seconds < 10.0 ? 2 : 1) + QStringLiteral(" s");
}

QStringList ResultDescription::withProgram(QStringList lines, const QString &duration)
{
    lines << QStringLiteral("Kolvex %1; the calculation took %2").arg(ProgramInfo::version(), duration);
    return lines;
}
