#pragma once

#include "core/savefilewriter.h"
#include "core/sensorsettings.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <QPair>
#include <QVector>

#include <functional>
#include <vector>

class AtmosphereModelSet;
class HitranOnlineDownloader;
class InstrumentFunction;
class ConfigFileReader;
class Params;
class XAxis;
struct PathLengthUnit;
struct PressureUnits;
struct TemperatureUnit;
struct YAxisSettings;

// The user's settings in "config.txt": one setting a line (value, tab, a fixed
// comment naming it), groups separated by empty lines, then the concentration
// and colour tables. Reals are written in exponent format with 6 digits after
// the point, in the English/United States locale.
//
// Saving writes the complete new file beside the old one and then replaces it,
// so an interrupted or failed save never costs the previous settings. Reading
// finds every setting by its comment, so a missing or extra line shifts
// nothing; a value that is missing, unreadable or out of range keeps the value
// already in place, and the user is told once.
class ConfigFile
{
public:
    // Settings of the instrument function and the sensors, and the line database
    // access option where no downloader is given. The file carries them in this
    // record; the core hands them to their owning objects after load() and takes
    // them back before save().
    struct ExternalSettings
    {
        quint8 instrumentFunctionType = 3;   // 0-7
        double instrumentResolution = 3.0;   // cm-1
        double instrumentWing = 10.0;        // cm-1
        quint8 accessOption = 0;             // line database access option 0-2, without a downloader
        bool humiditySensorEnabled = false;
        bool pressureSensorEnabled = false;
        bool temperatureSensorEnabled = false;
    };

    // The downloader may be null; its access option is then kept in externalSettings().
    ConfigFile(XAxis *xAxis, Params *params, AtmosphereModelSet *atmosphereModels,
               HitranOnlineDownloader *downloader, TemperatureUnit *temperatureUnit,
               PathLengthUnit *pathLengthUnit, PressureUnits *pressureUnits, YAxisSettings *yAxis);

    void setFilePath(const QString &filePath) { m_filePath = filePath; }
    QString filePath() const { return m_filePath; }

    // The instrument function whose settings the file keeps; until one is given
    // they are kept in externalSettings().
    void setInstrumentFunction(InstrumentFunction *instrumentFunction) { m_instrumentFunction = instrumentFunction; }
    // The sensor hub whose switches the file keeps; until one is given they
    // are kept in externalSettings(). While a quantity follows the sensors the
    // file keeps the user's own value for it, not the last reading, so that
    // it comes back after a restart as it does when the sensor is switched off.
    void setSensors(SensorSettings *sensors) { m_sensors = sensors; }

    ExternalSettings &externalSettings() { return m_external; }
    const ExternalSettings &externalSettings() const { return m_external; }

    // The complete file text for the current settings.
    QByteArray contents() const;

    // Writes the file; false, after telling the user, when it cannot be written.
    bool save();
    // Reads the file and applies every readable setting; false, after telling
    // the user, when the file cannot be opened.
    bool load();
    // What the last load() could not read; empty after a clean file.
    QStringList lastLoadProblems() const { return m_lastLoadProblems; }

    // A temperature read before the partition sums are loaded cannot yet be
    // checked against their tables. Once they are, this puts back the previous
    // temperature if the one read lies outside them, tells the user, and returns
    // false; true when there was nothing to refuse.
    bool checkTemperatureAgainstPartitionSums();

    // Where messages for the user go; by default only to the log.
    void setMessageHandler(std::function<void(const QString &)> handler) { m_messageHandler = std::move(handler); }

    static QString writeErrorMessage() { return QStringLiteral("Error opening the configuration file for writing."); }
    static QString readErrorMessage() { return QStringLiteral("Error loading configuration from the configuration file."); }
    static QString damagedFileMessage()
    {
        return QStringLiteral("Some settings in the configuration file could not be read.\n"
                              "They keep their previous values.");
    }

    // A configuration file is a few kilobytes; anything this large is not one.
    static constexpr qint64 maxFileSize = 1 << 20;

    // Seam for tests and for other ways of writing: the writer save() uses (not
    // owned); null puts the program's own back. A test gives one that fails
    // part-way to see that the old file survives.
    void setFileWriter(FileWriter *writer) { m_writer = writer; }

private:
    // One setting of the file, or the two lines of a scale: its comments, its
    // values as written (one per comment), how it is read and applied, and
    // whether an empty line ends its group.
    struct Entry
    {
        std::vector<const char *> comments;
        std::function<QStringList(const ConfigFile &)> write;
        std::function<void(ConfigFile &, ConfigFileReader &)> read;
        bool endsGroup = false;
    };
    static const std::vector<Entry> &entries();

    void showMessage(const QString &text) const;
    void applyText(const QString &text);
    double userValue(SensorSettings::Quantity quantity, double pathValue) const;
    bool sensorOn(SensorSettings::Quantity quantity, bool kept) const;

    XAxis *m_xAxis;
    Params *m_params;
    AtmosphereModelSet *m_atmosphereModels;
    HitranOnlineDownloader *m_downloader;
    TemperatureUnit *m_temperatureUnit;
    PathLengthUnit *m_pathLengthUnit;
    PressureUnits *m_pressureUnits;
    YAxisSettings *m_yAxis;
    ExternalSettings m_external;
    InstrumentFunction *m_instrumentFunction = nullptr;
    SensorSettings *m_sensors = nullptr;
    QString m_filePath;
    QStringList m_lastLoadProblems;
    // The temperature the last load() took without the partition-sum tables, and
    // the one it replaced; cleared once checked.
    bool m_temperatureUnchecked = false;
    double m_temperatureRead = 0.0;
    double m_temperatureBefore = 0.0;
    // The sensor switches the last load() read, set once every value is in place.
    QVector<QPair<SensorSettings::Quantity, bool>> m_sensorSwitches;
    std::function<void(const QString &)> m_messageHandler;
    SaveFileWriter m_ownWriter;
    FileWriter *m_writer = nullptr;
};
