#include "app/configfile.h"

#include "app/configfilereader.h"
#include "calc/instrumentfunction.h"
#include "core/params.h"
#include "core/pathlengthunit.h"
#include "core/pressureunits.h"
#include "core/regularfile.h"
#include "core/sensorsettings.h"
#include "core/settingrules.h"
#include "core/temperatureunit.h"
#include "core/xaxis.h"
#include "core/yaxissettings.h"
#include "download/hitranonlinedownloader.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QPair>
#include <QRegularExpression>
#include <QVector>

#include <algorithm>
#include <cmath>

namespace {

// Comments that name each setting in the file, in file order.
const char pathLengthComment[] = "Horizontal path length, meters";
const char pathLengthUnitComment[] = "Pathlength units";
const char totalPressureComment[] = "Total pressure, Atm";
const char pressureUnitComment[] = "Total pressure units";
const char concentrationCodeComment[] = "Concentration/pressure units to display molecular concentrations";
const char temperatureComment[] = "Horizontal path temperature, Kelvin";
const char temperatureUnitComment[] = "Temperature units";
const char absMinComment[] = "Vertical axis minimum scale value as absorption in %";
const char absMaxComment[] = "Vertical axis maximum scale value as absorption in %";
const char yUnitsComment[] = "Vertical axis units (0 - Absorption cross-section, 1 - Optical depth, "
                             "2 - Absorption, 3 - Transmission)";
const char rulersComment[] = "Enable / Disable rulers on zoom";
const char crossSectionMinComment[] = "Cross-section minimum scale value";
const char crossSectionMaxComment[] = "Cross-section maximum scale value";
const char crossSectionAutoComment[] = "Enable / Disable cross-section maximum scale value auto-recalculation";
const char radianceMinComment[] = "Radiance minimum scale value";
const char radianceMaxComment[] = "Radiance maximum scale value";
const char radianceAutoComment[] = "Enable / Disable radiance maximum scale value auto-recalculation";
const char minWavenumberComment[] = "Minimum wavenumber, cm-1";
const char maxWavenumberComment[] = "Maximum wavenumber, cm-1";
const char numPointsComment[] = "Number of calculation points (resolution)";
const char xUnitsComment[] = "Wavelength units";
const char accessOptionComment[] = "HITRAN database access option";
const char lineShapeComment[] = "Lineshape profile";
const char intensityThresholdComment[] = "Intensity threshold";
const char wingHalfwidthsComment[] = "Line wing contribution (in saturated halfwidths)";
const char wingAbsoluteComment[] = "Line wing contribution (absolute, in cm-1)";
const char broadeningComment[] = "Broadening type";
const char lineShiftComment[] = "Line shift usage";
const char instrumentTypeComment[] = "Instrument function type";
const char instrumentResolutionComment[] = "Instrument resolution, cm-1";
const char instrumentWingComment[] = "Instrument function wing contribution, cm-1";
const char humiditySensorComment[] = "Humidity sensor enabled/disabled";
const char pressureSensorComment[] = "Total pressure sensor enabled/disabled";
const char temperatureSensorComment[] = "Temperature sensor enabled/disabled";
const char calcNotSelectedComment[] = "Calculate for not selected molecules enabled/disabled";

bool partitionSumsLoaded(const Params &params)
{
    for (const Molecule &molecule : params.molecules()) {
        for (const Isotopologue &isotopologue : molecule.isotopologues) {
            if (isotopologue.tipsLoaded)
                return true;
        }
    }
    return false;
}

QString entry(const QString &value, const char *comment)
{
    return value + QLatin1Char('\t') + QLatin1String(comment);
}

bool isColour(const QString &text)
{
    static const QRegularExpression colour(QStringLiteral("^#[0-9a-fA-F]{6}$"));
    return colour.match(text).hasMatch();
}

} // namespace

ConfigFile::ConfigFile(XAxis *xAxis, Params *params, AtmosphereModelSet *atmosphereModels,
                       HitranOnlineDownloader *downloader, TemperatureUnit *temperatureUnit,
                       PathLengthUnit *pathLengthUnit, PressureUnits *pressureUnits, YAxisSettings *yAxis)
    : m_xAxis(xAxis)
    , m_params(params)
    , m_atmosphereModels(atmosphereModels)
    , m_downloader(downloader)
    , m_temperatureUnit(temperatureUnit)
    , m_pathLengthUnit(pathLengthUnit)
    , m_pressureUnits(pressureUnits)
    , m_yAxis(yAxis)
{
}

QByteArray ConfigFile::contents() const
{
    const QLocale locale = ConfigFileReader::fileLocale();
    const auto real = [&locale](double value) { return locale.toString(value, 'e', 6); };
    const auto integer = [](int value) { return QString::number(value); };
    const auto flag = [](bool value) { return value ? QStringLiteral("1") : QStringLiteral("0"); };
    const PathConditions &path = m_params->pathConditions();
    using Quantity = SensorSettings::Quantity;
    const auto sensorOn = [this](Quantity quantity, bool kept) {
        return m_sensors ? m_sensors->sensorEnabled(quantity) : kept;
    };
    const auto userValue = [this](Quantity quantity, double pathValue) {
        return m_sensors && m_sensors->sensorEnabled(quantity) ? m_sensors->manualValue(quantity) : pathValue;
    };

    QStringList lines;
    lines << entry(real(path.pathLength), pathLengthComment)
          << entry(integer(m_pathLengthUnit->unit), pathLengthUnitComment) << QString();
    lines << entry(real(userValue(Quantity::Pressure, path.totalPressure)), totalPressureComment)
          << entry(integer(m_pressureUnits->pressureUnit), pressureUnitComment)
          << entry(integer(m_pressureUnits->concentrationCode()), concentrationCodeComment) << QString();
    lines << entry(real(userValue(Quantity::Temperature, path.temperature)), temperatureComment)
          << entry(integer(m_temperatureUnit->unit), temperatureUnitComment) << QString();
    lines << entry(real(m_yAxis->absMin), absMinComment) << entry(real(m_yAxis->absMax), absMaxComment)
          << entry(integer(m_yAxis->yUnits), yUnitsComment) << entry(flag(m_yAxis->enableRulers), rulersComment)
          << entry(real(m_yAxis->crossSectionMin), crossSectionMinComment)
          << entry(real(m_yAxis->crossSectionMax), crossSectionMaxComment)
          << entry(flag(m_yAxis->crossSectionAutoRecalc), crossSectionAutoComment)
          << entry(real(m_yAxis->radianceMin), radianceMinComment)
          << entry(real(m_yAxis->radianceMax), radianceMaxComment)
          << entry(flag(m_yAxis->radianceAutoRecalc), radianceAutoComment) << QString();
    lines << entry(real(m_xAxis->minWavenumber()), minWavenumberComment)
          << entry(real(m_xAxis->maxWavenumber()), maxWavenumberComment)
          << entry(integer(m_xAxis->numPoints()), numPointsComment)
          << entry(integer(m_xAxis->units()), xUnitsComment) << QString();
    const int accessOption = m_downloader ? m_downloader->usage() : m_external.accessOption;
    lines << entry(integer(accessOption), accessOptionComment) << QString();
    lines << entry(integer(m_params->lineShapeProfile()), lineShapeComment)
          << entry(real(m_params->intensityThreshold()), intensityThresholdComment)
          << entry(integer(m_params->lineWingHalfwidths()), wingHalfwidthsComment)
          << entry(real(m_params->lineWingAbsolute()), wingAbsoluteComment)
          << entry(integer(m_params->broadeningType()), broadeningComment)
          << entry(integer(m_params->lineShiftUsage()), lineShiftComment) << QString();
    const InstrumentFunction *instrument = m_instrumentFunction;
    lines << entry(integer(instrument ? instrument->type() : m_external.instrumentFunctionType),
                   instrumentTypeComment)
          << entry(real(instrument ? instrument->resolution() : m_external.instrumentResolution),
                   instrumentResolutionComment)
          << entry(real(instrument ? instrument->wing() : m_external.instrumentWing), instrumentWingComment)
          << QString();
    lines << entry(flag(sensorOn(Quantity::Humidity, m_external.humiditySensorEnabled)), humiditySensorComment)
          << entry(flag(sensorOn(Quantity::Pressure, m_external.pressureSensorEnabled)), pressureSensorComment)
          << entry(flag(sensorOn(Quantity::Temperature, m_external.temperatureSensorEnabled)),
                   temperatureSensorComment)
          << QString();
    lines << entry(flag(m_params->calcNotSelected()), calcNotSelectedComment) << QString();

    lines << ConfigFileReader::concentrationHeader();
    for (int i = 0; i < m_params->moleculeCount(); ++i) {
        double concentration = std::size_t(i) < path.concentrations.size()
            ? path.concentrations[std::size_t(i)] : 0.0;
        if (i == 0)
            concentration = userValue(Quantity::Humidity, concentration);
        lines << real(concentration) + QLatin1Char('\t') + m_params->molecule(i).name;
    }
    lines << QString() << ConfigFileReader::colourHeader();
    for (const Molecule &molecule : m_params->molecules())
        lines << molecule.color + QLatin1Char('\t') + molecule.name;
    lines << QString();

    QByteArray text;
    for (const QString &line : qAsConst(lines))
        text += line.toUtf8() + '\n';
    return text;
}

bool ConfigFile::save()
{
    // The writer replaces the old file only once the new text is complete, so
    // the previous settings survive any failure on the way.
    FileWriter &writer = m_writer ? *m_writer : m_ownWriter;
    if (!writer.open(m_filePath) || !writer.write(contents())) {
        qWarning() << "Cannot write" << m_filePath << ":" << writer.errorString();
        writer.cancel();
        showMessage(writeErrorMessage());
        return false;
    }
    if (!writer.commit()) {
        qWarning() << "Cannot write" << m_filePath << ":" << writer.errorString();
        showMessage(writeErrorMessage());
        return false;
    }
    return true;
}

bool ConfigFile::load()
{
    // Only a regular file is read, and no more of it than a configuration file
    // can be: a FIFO, a device or a huge file is no configuration file at all.
    QByteArray text;
    QString problem;
    if (!RegularFile::read(m_filePath, maxFileSize, &text, &problem)) {
        qWarning() << "Cannot read" << m_filePath << ":" << problem;
        const QFileInfo entry(m_filePath);
        if (!entry.exists() || (entry.isFile() && entry.size() <= maxFileSize)) {
            showMessage(readErrorMessage());
            return false;
        }
        m_lastLoadProblems = QStringList{problem};
        showMessage(damagedFileMessage());
        return true;
    }
    applyText(QString::fromUtf8(text));
    if (!m_lastLoadProblems.isEmpty()) {
        for (const QString &problem : qAsConst(m_lastLoadProblems))
            qWarning().noquote() << "Configuration file" << m_filePath << ":" << problem;
        showMessage(damagedFileMessage());
    }
    return true;
}

void ConfigFile::applyText(const QString &text)
{
    ConfigFileReader read(text);
    PathConditions &path = m_params->pathConditions();
    double real = 0.0;
    double second = 0.0;
    int code = 0;
    bool on = false;

    if (read.checked(pathLengthComment, &real, SettingRules::pathLengthProblem))
        path.pathLength = real;
    if (read.code(pathLengthUnitComment, &code, PathLengthUnit::isValid))
        m_pathLengthUnit->unit = quint8(code);

    if (read.checked(totalPressureComment, &real, SettingRules::totalPressureProblem))
        path.totalPressure = real;
    if (read.code(pressureUnitComment, &code, PressureUnits::isValidPressureUnit))
        m_pressureUnits->pressureUnit = quint8(code);
    if (read.code(concentrationCodeComment, &code, PressureUnits::isValidConcentrationCode))
        m_pressureUnits->setConcentrationCode(quint8(code));

    m_temperatureUnchecked = false;
    if (read.number(temperatureComment, &real)) {
        const QString problem = SettingRules::temperatureProblem(real, *m_params);
        if (problem.isEmpty()) {
            m_temperatureUnchecked = !partitionSumsLoaded(*m_params);
            m_temperatureBefore = path.temperature;
            m_temperatureRead = real;
            path.temperature = real;
        } else {
            read.reject(temperatureComment, problem);
        }
    }
    if (read.code(temperatureUnitComment, &code, TemperatureUnit::isValid))
        m_temperatureUnit->unit = quint8(code);

    if (read.range(absMinComment, absMaxComment, &real, &second)) {
        m_yAxis->absMin = real;
        m_yAxis->absMax = second;
    }
    if (read.option(yUnitsComment, &code, SettingRules::Option::YUnits))
        m_yAxis->yUnits = quint8(code);
    if (read.flag(rulersComment, &on))
        m_yAxis->enableRulers = on;
    if (read.range(crossSectionMinComment, crossSectionMaxComment, &real, &second)) {
        m_yAxis->crossSectionMin = real;
        m_yAxis->crossSectionMax = second;
    }
    if (read.flag(crossSectionAutoComment, &on))
        m_yAxis->crossSectionAutoRecalc = on;
    if (read.range(radianceMinComment, radianceMaxComment, &real, &second)) {
        m_yAxis->radianceMin = real;
        m_yAxis->radianceMax = second;
    }
    if (read.flag(radianceAutoComment, &on))
        m_yAxis->radianceAutoRecalc = on;

    // Each grid number is taken on its own merits; whether the range they make
    // can be calculated is judged when a calculation starts, which explains a
    // start above the end.
    if (read.checked(minWavenumberComment, &real, SettingRules::wavenumberProblem))
        m_xAxis->setMinWavenumber(real);
    if (read.checked(maxWavenumberComment, &real, SettingRules::wavenumberProblem))
        m_xAxis->setMaxWavenumber(real);
    if (read.code(numPointsComment, &code, [](int points) { return SettingRules::pointsProblem(points).isEmpty(); }))
        m_xAxis->setNumPoints(code);
    if (read.codeBelow(xUnitsComment, &code, XAxis::UnitCount))
        m_xAxis->setUnits(quint8(code));

    if (read.option(accessOptionComment, &code, SettingRules::Option::AccessOption)) {
        if (m_downloader)
            m_downloader->setUsage(code);
        else
            m_external.accessOption = quint8(code);
    }

    if (read.option(lineShapeComment, &code, SettingRules::Option::LineShapeProfile))
        m_params->setLineShapeProfile(code);
    if (read.checked(intensityThresholdComment, &real, SettingRules::intensityThresholdProblem))
        m_params->setIntensityThreshold(real);
    if (read.checked(wingHalfwidthsComment, &real, SettingRules::wingHalfwidthsProblem))
        m_params->setLineWingHalfwidths(int(real));
    if (read.checked(wingAbsoluteComment, &real, SettingRules::wingAbsoluteProblem))
        m_params->setLineWingAbsolute(real);
    if (read.option(broadeningComment, &code, SettingRules::Option::BroadeningType))
        m_params->setBroadeningType(code);
    if (read.number(lineShiftComment, &real))
        m_params->setLineShiftUsage(real != 0.0 ? 1 : 0);

    if (read.option(instrumentTypeComment, &code, SettingRules::Option::InstrumentFunction)) {
        m_external.instrumentFunctionType = quint8(code);
        if (m_instrumentFunction)
            m_instrumentFunction->setType(quint8(code));
    }
    if (read.checked(instrumentResolutionComment, &real, SettingRules::instrumentResolutionProblem)) {
        m_external.instrumentResolution = real;
        if (m_instrumentFunction)
            m_instrumentFunction->setResolution(real);
    }
    if (read.checked(instrumentWingComment, &real, SettingRules::instrumentWingProblem)) {
        m_external.instrumentWing = real;
        if (m_instrumentFunction)
            m_instrumentFunction->setWing(real);
    }

    // The switches act once every value is in place: switching a sensor on
    // keeps the value read as the user's own.
    using Quantity = SensorSettings::Quantity;
    QVector<QPair<Quantity, bool>> sensorSwitches;
    if (read.flag(humiditySensorComment, &on)) {
        m_external.humiditySensorEnabled = on;
        sensorSwitches.append({Quantity::Humidity, on});
    }
    if (read.flag(pressureSensorComment, &on)) {
        m_external.pressureSensorEnabled = on;
        sensorSwitches.append({Quantity::Pressure, on});
    }
    if (read.flag(temperatureSensorComment, &on)) {
        m_external.temperatureSensorEnabled = on;
        sensorSwitches.append({Quantity::Temperature, on});
    }

    if (read.flag(calcNotSelectedComment, &on))
        m_params->setCalcNotSelected(on);

    // The tables are read for the molecules both this program and the file know.
    const int molecules = m_params->moleculeCount();
    path.concentrations.resize(std::size_t(molecules), 0.0);
    if (!read.hasConcentrationTable()) {
        read.addProblem(QStringLiteral("the concentration table is missing"));
    } else {
        const int count = std::min(molecules, int(read.concentrations().size()));
        for (int i = 0; i < count; ++i) {
            bool ok = false;
            const double value = read.tableNumber(read.concentrations().at(i), &ok);
            if (ok && SettingRules::concentrationProblem(value).isEmpty())
                path.concentrations[std::size_t(i)] = value;
            else
                read.addProblem(QStringLiteral("concentration of %1: \"%2\"")
                                    .arg(m_params->molecule(i).name, read.concentrations().at(i).left(40)));
        }
    }
    if (!read.hasColourTable()) {
        read.addProblem(QStringLiteral("the colour table is missing"));
    } else {
        const int count = std::min(molecules, int(read.colours().size()));
        for (int i = 0; i < count; ++i) {
            const QString &colour = read.colours().at(i);
            if (isColour(colour))
                m_params->molecule(i).color = colour.toLower();
            else
                read.addProblem(QStringLiteral("colour of %1: \"%2\"")
                                    .arg(m_params->molecule(i).name, colour.left(40)));
        }
    }
    m_lastLoadProblems = read.problems();
    if (m_sensors) {
        for (const auto &sensorSwitch : qAsConst(sensorSwitches))
            m_sensors->setSensorEnabled(sensorSwitch.first, sensorSwitch.second);
    }
}

bool ConfigFile::checkTemperatureAgainstPartitionSums()
{
    if (!m_temperatureUnchecked || !partitionSumsLoaded(*m_params))
        return true;
    m_temperatureUnchecked = false;
    double &temperature = m_params->pathConditions().temperature;
    // A temperature set since the file was read is the user's, not the file's.
    if (temperature != m_temperatureRead)
        return true;
    const QString problem = SettingRules::temperatureProblem(temperature, *m_params);
    if (problem.isEmpty())
        return true;
    temperature = m_temperatureBefore;
    // The user hears of a damaged file once, whether at reading or now.
    const bool alreadyTold = !m_lastLoadProblems.isEmpty();
    m_lastLoadProblems.append(QStringLiteral("\"%1\": %2").arg(QLatin1String(temperatureComment), problem));
    qWarning().noquote() << "Configuration file" << m_filePath << ":" << m_lastLoadProblems.last();
    if (!alreadyTold)
        showMessage(damagedFileMessage());
    return false;
}

void ConfigFile::showMessage(const QString &text) const
{
    if (m_messageHandler) {
        m_messageHandler(text);
        return;
    }
    qWarning().noquote() << text;
}
