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

const char temperatureComment[] = "Horizontal path temperature, Kelvin";

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
    const PathConditions &path = m_params->pathConditions();
    QStringList lines;
    for (const Entry &entry : entries()) {
        const QStringList values = entry.write(*this);
        for (int i = 0; i < values.size() && i < int(entry.comments.size()); ++i)
            lines << values.at(i) + QLatin1Char('\t') + QLatin1String(entry.comments[std::size_t(i)]);
        if (entry.endsGroup)
            lines << QString();
    }

    lines << ConfigFileReader::concentrationHeader();
    for (int i = 0; i < m_params->moleculeCount(); ++i) {
        double concentration = std::size_t(i) < path.concentrations.size()
            ? path.concentrations[std::size_t(i)] : 0.0;
        if (i == 0)
            concentration = userValue(SensorSettings::Quantity::Humidity, concentration);
        lines << locale.toString(concentration, 'e', 6) + QLatin1Char('\t') + m_params->molecule(i).name;
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

double ConfigFile::userValue(SensorSettings::Quantity quantity, double pathValue) const
{
    // While a sensor supplies the value, the file keeps the user's own.
    return m_sensors && m_sensors->sensorEnabled(quantity) ? m_sensors->manualValue(quantity) : pathValue;
}

bool ConfigFile::sensorOn(SensorSettings::Quantity quantity, bool kept) const
{
    return m_sensors ? m_sensors->sensorEnabled(quantity) : kept;
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
    m_temperatureUnchecked = false;
    m_sensorSwitches.clear();
    for (const Entry &entry : entries())
        entry.read(*this, read);

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
    // The switches act once every value is in place: switching a sensor on
    // keeps the value read as the user's own.
    if (m_sensors) {
        for (const auto &sensorSwitch : qAsConst(m_sensorSwitches))
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

// ---------------------------------------------------------------- the settings of the file

namespace {

using Quantity = SensorSettings::Quantity;

QString real(double value)
{
    return ConfigFileReader::fileLocale().toString(value, 'e', 6);
}

QString whole(int value)
{
    return QString::number(value);
}

QString flagText(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

// Each setting of the file, in file order: its comment (a scale's two), how
// its value is written and how it is read and applied. A value that is
// missing, unreadable or refused by its rule is noted by the reader and
// changes nothing.
const std::vector<ConfigFile::Entry> &ConfigFile::entries()
{
    using Rule = QString (*)(double);
    const auto realEntry = [](const char *comment, double (*get)(const ConfigFile &), void (*set)(ConfigFile &, double),
                              Rule rule) {
        return Entry{{comment}, [get](const ConfigFile &f) { return QStringList{real(get(f))}; },
                     [comment, set, rule](ConfigFile &f, ConfigFileReader &read) {
                         double value = 0.0;
                         if (read.checked(comment, &value, rule))
                             set(f, value);
                     }};
    };
    const auto codeEntry = [](const char *comment, int (*get)(const ConfigFile &), void (*set)(ConfigFile &, int),
                              bool (*valid)(int)) {
        return Entry{{comment}, [get](const ConfigFile &f) { return QStringList{whole(get(f))}; },
                     [comment, set, valid](ConfigFile &f, ConfigFileReader &read) {
                         int value = 0;
                         if (read.code(comment, &value, valid))
                             set(f, value);
                     }};
    };
    const auto optionEntry = [](const char *comment, SettingRules::Option option, int (*get)(const ConfigFile &),
                                void (*set)(ConfigFile &, int)) {
        return Entry{{comment}, [get](const ConfigFile &f) { return QStringList{whole(get(f))}; },
                     [comment, option, set](ConfigFile &f, ConfigFileReader &read) {
                         int value = 0;
                         if (read.option(comment, &value, option))
                             set(f, value);
                     }};
    };
    const auto flagEntry = [](const char *comment, bool (*get)(const ConfigFile &), void (*set)(ConfigFile &, bool)) {
        return Entry{{comment}, [get](const ConfigFile &f) { return QStringList{flagText(get(f))}; },
                     [comment, set](ConfigFile &f, ConfigFileReader &read) {
                         bool value = false;
                         if (read.flag(comment, &value))
                             set(f, value);
                     }};
    };
    // A scale: its minimum and maximum, taken together only when the minimum
    // lies below the maximum.
    const auto scaleEntry = [](const char *minComment, const char *maxComment, double YAxisSettings::*minimum,
                               double YAxisSettings::*maximum) {
        return Entry{{minComment, maxComment},
                     [minimum, maximum](const ConfigFile &f) {
                         return QStringList{real(f.m_yAxis->*minimum), real(f.m_yAxis->*maximum)};
                     },
                     [minComment, maxComment, minimum, maximum](ConfigFile &f, ConfigFileReader &read) {
                         double low = 0.0;
                         double high = 0.0;
                         if (read.range(minComment, maxComment, &low, &high)) {
                             f.m_yAxis->*minimum = low;
                             f.m_yAxis->*maximum = high;
                         }
                     }};
    };
    // A sensor switch acts once every value is in place (applyText()).
    const auto sensorEntry = [](const char *comment, Quantity quantity, bool ExternalSettings::*kept) {
        return Entry{{comment},
                     [quantity, kept](const ConfigFile &f) {
                         return QStringList{flagText(f.sensorOn(quantity, f.m_external.*kept))};
                     },
                     [comment, quantity, kept](ConfigFile &f, ConfigFileReader &read) {
                         bool on = false;
                         if (!read.flag(comment, &on))
                             return;
                         f.m_external.*kept = on;
                         f.m_sensorSwitches.append({quantity, on});
                     }};
    };
    const auto ends = [](Entry entry) {
        entry.endsGroup = true;
        return entry;
    };

    static const std::vector<Entry> table = {
        realEntry("Horizontal path length, meters", [](const ConfigFile &f) { return f.m_params->pathConditions().pathLength; },
                  [](ConfigFile &f, double v) { f.m_params->pathConditions().pathLength = v; }, SettingRules::pathLengthProblem),
        ends(codeEntry("Pathlength units", [](const ConfigFile &f) { return int(f.m_pathLengthUnit->unit); },
                       [](ConfigFile &f, int v) { f.m_pathLengthUnit->unit = quint8(v); }, PathLengthUnit::isValid)),

        realEntry("Total pressure, Atm",
                  [](const ConfigFile &f) { return f.userValue(Quantity::Pressure, f.m_params->pathConditions().totalPressure); },
                  [](ConfigFile &f, double v) { f.m_params->pathConditions().totalPressure = v; },
                  SettingRules::totalPressureProblem),
        codeEntry("Total pressure units", [](const ConfigFile &f) { return int(f.m_pressureUnits->pressureUnit); },
                  [](ConfigFile &f, int v) { f.m_pressureUnits->pressureUnit = quint8(v); },
                  PressureUnits::isValidPressureUnit),
        ends(codeEntry("Concentration/pressure units to display molecular concentrations",
                       [](const ConfigFile &f) { return int(f.m_pressureUnits->concentrationCode()); },
                       [](ConfigFile &f, int v) { f.m_pressureUnits->setConcentrationCode(quint8(v)); },
                       PressureUnits::isValidConcentrationCode)),

        // A temperature is checked against the partition-sum tables; before
        // they are loaded it is checked once they are.
        Entry{{temperatureComment},
              [](const ConfigFile &f) {
                  return QStringList{real(f.userValue(Quantity::Temperature, f.m_params->pathConditions().temperature))};
              },
              [](ConfigFile &f, ConfigFileReader &read) {
                  double value = 0.0;
                  if (!read.number(temperatureComment, &value))
                      return;
                  const QString problem = SettingRules::temperatureProblem(value, *f.m_params);
                  if (!problem.isEmpty()) {
                      read.reject(temperatureComment, problem);
                      return;
                  }
                  double &temperature = f.m_params->pathConditions().temperature;
                  f.m_temperatureUnchecked = !partitionSumsLoaded(*f.m_params);
                  f.m_temperatureBefore = temperature;
                  f.m_temperatureRead = value;
                  temperature = value;
              }},
        ends(codeEntry("Temperature units", [](const ConfigFile &f) { return int(f.m_temperatureUnit->unit); },
                       [](ConfigFile &f, int v) { f.m_temperatureUnit->unit = quint8(v); }, TemperatureUnit::isValid)),

        scaleEntry("Vertical axis minimum scale value as absorption in %", "Vertical axis maximum scale value as absorption in %",
                   &YAxisSettings::absMin, &YAxisSettings::absMax),
        optionEntry("Vertical axis units (0 - Absorption cross-section, 1 - Optical depth, 2 - Absorption, 3 - Transmission)",
                    SettingRules::Option::YUnits, [](const ConfigFile &f) { return int(f.m_yAxis->yUnits); },
                    [](ConfigFile &f, int v) { f.m_yAxis->yUnits = quint8(v); }),
        flagEntry("Enable / Disable rulers on zoom", [](const ConfigFile &f) { return f.m_yAxis->enableRulers; },
                  [](ConfigFile &f, bool v) { f.m_yAxis->enableRulers = v; }),
        scaleEntry("Cross-section minimum scale value", "Cross-section maximum scale value",
                   &YAxisSettings::crossSectionMin, &YAxisSettings::crossSectionMax),
        flagEntry("Enable / Disable cross-section maximum scale value auto-recalculation",
                  [](const ConfigFile &f) { return f.m_yAxis->crossSectionAutoRecalc; },
                  [](ConfigFile &f, bool v) { f.m_yAxis->crossSectionAutoRecalc = v; }),
        scaleEntry("Radiance minimum scale value", "Radiance maximum scale value", &YAxisSettings::radianceMin,
                   &YAxisSettings::radianceMax),
        ends(flagEntry("Enable / Disable radiance maximum scale value auto-recalculation",
                       [](const ConfigFile &f) { return f.m_yAxis->radianceAutoRecalc; },
                       [](ConfigFile &f, bool v) { f.m_yAxis->radianceAutoRecalc = v; })),

        // Each grid number is taken on its own merits; whether the range they
        // make can be calculated is judged when a calculation starts, which
        // explains a start above the end.
        realEntry("Minimum wavenumber, cm-1", [](const ConfigFile &f) { return f.m_xAxis->minWavenumber(); },
                  [](ConfigFile &f, double v) { f.m_xAxis->setMinWavenumber(v); }, SettingRules::wavenumberProblem),
        realEntry("Maximum wavenumber, cm-1", [](const ConfigFile &f) { return f.m_xAxis->maxWavenumber(); },
                  [](ConfigFile &f, double v) { f.m_xAxis->setMaxWavenumber(v); }, SettingRules::wavenumberProblem),
        codeEntry("Number of calculation points (resolution)", [](const ConfigFile &f) { return f.m_xAxis->numPoints(); },
                  [](ConfigFile &f, int v) { f.m_xAxis->setNumPoints(v); },
                  [](int points) { return SettingRules::pointsProblem(points).isEmpty(); }),
        ends(codeEntry("Wavelength units", [](const ConfigFile &f) { return int(f.m_xAxis->units()); },
                       [](ConfigFile &f, int v) { f.m_xAxis->setUnits(quint8(v)); },
                       [](int code) { return code >= 0 && code < XAxis::UnitCount; })),

        ends(optionEntry("HITRAN database access option", SettingRules::Option::AccessOption,
                         [](const ConfigFile &f) { return f.m_downloader ? f.m_downloader->usage() : int(f.m_external.accessOption); },
                         [](ConfigFile &f, int v) {
                             if (f.m_downloader)
                                 f.m_downloader->setUsage(v);
                             else
                                 f.m_external.accessOption = quint8(v);
                         })),

        optionEntry("Lineshape profile", SettingRules::Option::LineShapeProfile,
                    [](const ConfigFile &f) { return f.m_params->lineShapeProfile(); },
                    [](ConfigFile &f, int v) { f.m_params->setLineShapeProfile(v); }),
        realEntry("Intensity threshold", [](const ConfigFile &f) { return f.m_params->intensityThreshold(); },
                  [](ConfigFile &f, double v) { f.m_params->setIntensityThreshold(v); },
                  SettingRules::intensityThresholdProblem),
        Entry{{"Line wing contribution (in saturated halfwidths)"},
              [](const ConfigFile &f) { return QStringList{whole(f.m_params->lineWingHalfwidths())}; },
              [](ConfigFile &f, ConfigFileReader &read) {
                  double value = 0.0;
                  if (read.checked("Line wing contribution (in saturated halfwidths)", &value,
                                   SettingRules::wingHalfwidthsProblem))
                      f.m_params->setLineWingHalfwidths(int(value));
              }},
        realEntry("Line wing contribution (absolute, in cm-1)", [](const ConfigFile &f) { return f.m_params->lineWingAbsolute(); },
                  [](ConfigFile &f, double v) { f.m_params->setLineWingAbsolute(v); }, SettingRules::wingAbsoluteProblem),
        optionEntry("Broadening type", SettingRules::Option::BroadeningType,
                    [](const ConfigFile &f) { return f.m_params->broadeningType(); },
                    [](ConfigFile &f, int v) { f.m_params->setBroadeningType(v); }),
        // Any number: not zero uses the shift.
        ends(Entry{{"Line shift usage"}, [](const ConfigFile &f) { return QStringList{whole(f.m_params->lineShiftUsage())}; },
                   [](ConfigFile &f, ConfigFileReader &read) {
                       double value = 0.0;
                       if (read.number("Line shift usage", &value))
                           f.m_params->setLineShiftUsage(value != 0.0 ? 1 : 0);
                   }}),

        optionEntry("Instrument function type", SettingRules::Option::InstrumentFunction,
                    [](const ConfigFile &f) {
                        return int(f.m_instrumentFunction ? f.m_instrumentFunction->type() : f.m_external.instrumentFunctionType);
                    },
                    [](ConfigFile &f, int v) {
                        f.m_external.instrumentFunctionType = quint8(v);
                        if (f.m_instrumentFunction)
                            f.m_instrumentFunction->setType(quint8(v));
                    }),
        realEntry("Instrument resolution, cm-1",
                  [](const ConfigFile &f) {
                      return f.m_instrumentFunction ? f.m_instrumentFunction->resolution() : f.m_external.instrumentResolution;
                  },
                  [](ConfigFile &f, double v) {
                      f.m_external.instrumentResolution = v;
                      if (f.m_instrumentFunction)
                          f.m_instrumentFunction->setResolution(v);
                  },
                  SettingRules::instrumentResolutionProblem),
        ends(realEntry("Instrument function wing contribution, cm-1",
                       [](const ConfigFile &f) {
                           return f.m_instrumentFunction ? f.m_instrumentFunction->wing() : f.m_external.instrumentWing;
                       },
                       [](ConfigFile &f, double v) {
                           f.m_external.instrumentWing = v;
                           if (f.m_instrumentFunction)
                               f.m_instrumentFunction->setWing(v);
                       },
                       SettingRules::instrumentWingProblem)),

        sensorEntry("Humidity sensor enabled/disabled", Quantity::Humidity, &ExternalSettings::humiditySensorEnabled),
        sensorEntry("Total pressure sensor enabled/disabled", Quantity::Pressure, &ExternalSettings::pressureSensorEnabled),
        ends(sensorEntry("Temperature sensor enabled/disabled", Quantity::Temperature,
                         &ExternalSettings::temperatureSensorEnabled)),

        ends(flagEntry("Calculate for not selected molecules enabled/disabled",
                       [](const ConfigFile &f) { return f.m_params->calcNotSelected(); },
                       [](ConfigFile &f, bool v) { f.m_params->setCalcNotSelected(v); })),
    };
    return table;
}
