#include "app/configfile.h"
#include "core/atmospheremodelset.h"
#include "core/params.h"
#include "core/pathlengthunit.h"
#include "core/pressureunits.h"
#include "core/temperatureunit.h"
#include "core/xaxis.h"
#include "core/yaxissettings.h"
#include "download/hitranonlinedownloader.h"
#include "failingfilewriter.h"
#include "fakeiiotree.h"
#include "sensors/sensehat.h"
#include "sensors/sensors.h"

#include "testfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <sys/stat.h>
#include <memory>

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QByteArray cleanFile = readFile(QStringLiteral(KOLVEX_TEST_DATA "/config/expected-default.txt"));

// The objects a configuration file reads and writes, as the program has them
// after start-up: the built-in molecule table with the US Standard atmosphere
// applied and the core's unit choices.
struct Settings
{
    Settings()
        : xAxis(XAxis::WavelengthMicron, 2000.0, 2300.0, 10000)
        , config(&xAxis, &params, &atmospheres, nullptr, &temperatureUnit, &pathLengthUnit, &pressureUnits, &yAxis)
    {
        atmospheres.setMoleculeCount(params.moleculeCount());
        atmospheres.buildModels();
        params.applyAtmosphereModelToParams(atmospheres.currentModel());
        config.setMessageHandler([this](const QString &text) { messages.append(text); });
    }

    bool loadText(const QByteArray &text)
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("config.txt")));
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            return false;
        file.close();
        config.setFilePath(file.fileName());
        return config.load();
    }

    Params params;
    AtmosphereModelSet atmospheres;
    XAxis xAxis;
    TemperatureUnit temperatureUnit;
    PathLengthUnit pathLengthUnit;
    PressureUnits pressureUnits;
    YAxisSettings yAxis;
    ConfigFile config;
    QStringList messages;
};

// The clean file with the value of the line that ends with the comment replaced.
QByteArray withValue(const char *comment, const QByteArray &value)
{
    QList<QByteArray> lines = cleanFile.split('\n');
    for (QByteArray &line : lines) {
        if (line.endsWith(QByteArray("\t") + comment))
            line = value + '\t' + comment;
    }
    return lines.join('\n');
}

} // namespace

class TestConfigFile : public QObject
{
    Q_OBJECT

private slots:
    void savedFileMatchesHandCheckedLayout();
    void roundTripKeepsSevenDigits();
    void tablesAreReadByPosition();
    void damagedFilesKeepPreviousValues_data();
    void damagedFilesKeepPreviousValues();
    void otherMoleculeCountsReadCommonMolecules_data();
    void otherMoleculeCountsReadCommonMolecules();
    void temperatureIsCheckedOncePartitionSumsAreLoaded();
    void accessOptionGoesToTheDownloader();
    void unreadableAndUnwritableFilesAreReported();
    void interruptedSaveKeepsOldFile();
    void sensorSwitchesKeepTheTypedValues();
};

void TestConfigFile::savedFileMatchesHandCheckedLayout()
{
    QTemporaryDir dir;
    Settings settings;
    settings.config.setFilePath(dir.filePath(QStringLiteral("config.txt")));
    QVERIFY(settings.config.save());
    const QByteArray saved = readFile(settings.config.filePath());
    QCOMPARE(saved.count('\n'), 147);
    QCOMPARE(saved, cleanFile);
    QVERIFY(settings.messages.isEmpty());
}

void TestConfigFile::roundTripKeepsSevenDigits()
{
    // Every setting away from its default, with more digits than the file keeps.
    Settings before;
    PathConditions &path = before.params.pathConditions();
    path.pathLength = 1234.5678901;
    path.totalPressure = 0.98765432;
    path.temperature = 301.123456;
    before.pathLengthUnit.unit = PathLengthUnit::Mile;
    before.pressureUnits.setConcentrationCode(2 + PressureUnits::Psi);
    before.temperatureUnit.unit = TemperatureUnit::Fahrenheit;
    YAxisSettings &y = before.yAxis;
    y = {YAxisSettings::Radiance, 12.3456789, 87.6543219, YAxisSettings::Transmission, 1.23456789e-25, 9.87654321e-21,
         false, 2.5e-9, 3.33333333e-5, false, false, false};
    before.xAxis = XAxis(XAxis::FrequencyHz, 1234.56789, 2345.67891, 54321);
    before.params.setLineShapeProfile(3);
    before.params.setIntensityThreshold(3.14159265e-27);
    before.params.setLineWingHalfwidths(123);
    before.params.setLineWingAbsolute(2.7182818);
    before.params.setBroadeningType(0);
    before.params.setLineShiftUsage(0);
    before.params.setCalcNotSelected(false);
    before.config.externalSettings() = {6, 0.123456789, 17.7777777, 2, true, true, true};
    for (int i = 0; i < before.params.moleculeCount(); ++i) {
        path.concentrations[std::size_t(i)] = 1.23456789e-3 * std::pow(10.0, i % 9) + i;
        before.params.molecule(i).color = QStringLiteral("#%1a0b0").arg(i + 10, 2, 16, QLatin1Char('0'));
    }

    Settings after;
    QVERIFY(after.loadText(before.config.contents()));
    QVERIFY2(after.messages.isEmpty(), qPrintable(after.config.lastLoadProblems().join('\n')));
    // Writing prints every value to 7 significant digits, so the settings read
    // back give the same text exactly when each value survived to 7 digits.
    QCOMPARE(after.config.contents(), before.config.contents());
    QVERIFY(std::fabs(after.params.pathConditions().temperature / path.temperature - 1.0) < 5e-7);
    QVERIFY(std::fabs(after.xAxis.step() / before.xAxis.step() - 1.0) < 5e-7);
    QCOMPARE(after.pressureUnits.pressureUnit, quint8(PressureUnits::Psi));
}

void TestConfigFile::tablesAreReadByPosition()
{
    Settings settings;
    QVERIFY(settings.loadText(QByteArray(cleanFile)
                                  .replace("#3399ff\tH2O", "#FF0000\tH2O")
                                  .replace("3.300000e+02\tCO2", "4.000000e+02\tany name")));
    QVERIFY(settings.messages.isEmpty());
    QCOMPARE(settings.params.molecule(0).color, QStringLiteral("#ff0000"));
    QCOMPARE(settings.params.pathConditions().concentrations[1], 400.0);
}

void TestConfigFile::damagedFilesKeepPreviousValues_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<bool>("damaged");

    const char *pathLength = "Horizontal path length, meters";
    const char *points = "Number of calculation points (resolution)";
    QTest::newRow("garbage number") << withValue(pathLength, "abc") << true;
    QTest::newRow("empty number") << withValue(pathLength, "") << true;
    QTest::newRow("NaN") << withValue(pathLength, "nan") << true;
    QTest::newRow("negative length") << withValue(pathLength, "-5.0e+02") << true;
    QTest::newRow("temperature below 0 K") << withValue("Horizontal path temperature, Kelvin", "-3e2") << true;
    QTest::newRow("unknown path-length unit") << withValue("Pathlength units", "6") << true;
    QTest::newRow("fractional unit") << withValue("Pathlength units", "1.5") << true;
    QTest::newRow("unknown pressure unit") << withValue("Total pressure units", "7") << true;
    QTest::newRow("unknown concentration code")
        << withValue("Concentration/pressure units to display molecular concentrations", "9") << true;
    QTest::newRow("unknown temperature unit") << withValue("Temperature units", "3") << true;
    QTest::newRow("scale minimum at maximum")
        << withValue("Vertical axis minimum scale value as absorption in %", "1.0e+02") << true;
    QTest::newRow("switch neither 0 nor 1") << withValue("Enable / Disable rulers on zoom", "2") << true;
    QTest::newRow("too many grid points") << withValue(points, "2000000000") << true;
    // A start above the end is kept (a calculation explains it); a bound beyond
    // the program's limits is not.
    QTest::newRow("negative range end") << withValue("Maximum wavenumber, cm-1", "-1.0e+00") << true;
    QTest::newRow("unknown x unit") << withValue("Wavelength units", "4") << true;
    QTest::newRow("unknown access option") << withValue("HITRAN database access option", "3") << true;
    QTest::newRow("unknown line shape") << withValue("Lineshape profile", "4") << true;
    QTest::newRow("unknown broadening") << withValue("Broadening type", "3") << true;
    QTest::newRow("unknown instrument function") << withValue("Instrument function type", "8") << true;
    QTest::newRow("colour that is none") << QByteArray(cleanFile).replace("#3399ff\tH2O", "#39f\tH2O") << true;
    QTest::newRow("empty file") << QByteArray() << true;
    QTest::newRow("truncated") << cleanFile.left(cleanFile.indexOf("CO2")) << true;
    QTest::newRow("binary") << QByteArray("\x00\x01\xff\xfe\t\t\n\x80garbage\n\x00", 16) << true;
    QTest::newRow("tables without headers")
        << QByteArray(cleanFile).replace("Molecular concentrations, ppmv", "x").replace("Molecule colors", "y")
        << true;
    // A missing line must not move every later value onto the next setting.
    QTest::newRow("line missing") << cleanFile.mid(cleanFile.indexOf('\n') + 1) << true;
    QTest::newRow("unknown extra lines")
        << QByteArray(cleanFile).replace("\n\n", "\n\nnoise\n1.0\tA setting of another version\n\n") << false;
    QTest::newRow("Windows line ends") << QByteArray(cleanFile).replace("\n", "\r\n") << false;
}

void TestConfigFile::damagedFilesKeepPreviousValues()
{
    QFETCH(QByteArray, contents);
    QFETCH(bool, damaged);

    Settings settings;
    QVERIFY(settings.loadText(contents));
    // Only the damaged setting keeps its value; every other one is read as
    // written, so the settings give the clean file back. The user hears once.
    QCOMPARE(settings.config.contents(), cleanFile);
    QCOMPARE(settings.messages.size(), damaged ? 1 : 0);
    QCOMPARE(settings.config.lastLoadProblems().isEmpty(), !damaged);
    if (damaged)
        QCOMPARE(settings.messages.front(), ConfigFile::damagedFileMessage());
}

void TestConfigFile::otherMoleculeCountsReadCommonMolecules_data()
{
    QTest::addColumn<int>("fileMolecules");
    QTest::newRow("older program, 47 molecules") << 47;
    QTest::newRow("newer program, 55 molecules") << 55;
}

void TestConfigFile::otherMoleculeCountsReadCommonMolecules()
{
    QFETCH(int, fileMolecules);
    QByteArray text = cleanFile.left(cleanFile.indexOf("Molecular concentrations, ppmv\n") + 31);
    for (int i = 0; i < fileMolecules; ++i)
        text += QByteArray::number(i + 1) + ".0\tM\n";
    text += "\nMolecule colors\n";
    for (int i = 0; i < fileMolecules; ++i)
        text += "#0000" + QByteArray::number(10 + i) + "\tM\n";

    Settings settings;
    QVERIFY(settings.loadText(text + '\n'));
    QVERIFY(settings.messages.isEmpty());
    const std::vector<double> &concentrations = settings.params.pathConditions().concentrations;
    QCOMPARE(int(concentrations.size()), Params::maxMoleculeCount);
    for (int i = 0; i < Params::maxMoleculeCount; ++i) {
        const bool inFile = i < fileMolecules;
        QCOMPARE(concentrations[std::size_t(i)], inFile ? double(i + 1) : 0.0);
        QCOMPARE(settings.params.molecule(i).color == QStringLiteral("#0000%1").arg(10 + i), inFile);
    }
}

void TestConfigFile::temperatureIsCheckedOncePartitionSumsAreLoaded()
{
    // Tables from 1 K to 300 K: 500 K can never be calculated.
    const auto loadTables = [](Params &params) {
        for (Molecule &molecule : params.molecules()) {
            for (Isotopologue &isotopologue : molecule.isotopologues) {
                isotopologue.partitionSums.assign(300, 1.0);
                isotopologue.tipsLoaded = true;
            }
        }
    };
    const QByteArray hot = withValue("Horizontal path temperature, Kelvin", "5.000000e+02");
    Settings settings;
    QVERIFY(settings.loadText(hot));
    QCOMPARE(settings.params.pathConditions().temperature, 500.0);
    QVERIFY(settings.config.checkTemperatureAgainstPartitionSums());   // no tables read yet
    loadTables(settings.params);
    QVERIFY(!settings.config.checkTemperatureAgainstPartitionSums());
    QCOMPARE(settings.params.pathConditions().temperature, 288.0);
    QVERIFY(settings.config.checkTemperatureAgainstPartitionSums());
    QCOMPARE(settings.messages, QStringList{ConfigFile::damagedFileMessage()});

    // A temperature the user has set in between is not the file's to take back.
    Settings edited;
    QVERIFY(edited.loadText(hot));
    edited.params.pathConditions().temperature = 250.0;
    loadTables(edited.params);
    QVERIFY(edited.config.checkTemperatureAgainstPartitionSums());
    QCOMPARE(edited.params.pathConditions().temperature, 250.0);
    QVERIFY(edited.messages.isEmpty());
}

void TestConfigFile::accessOptionGoesToTheDownloader()
{
    const char *comment = "HITRAN database access option";
    Settings settings;
    HitranOnlineDownloader downloader;
    ConfigFile config(&settings.xAxis, &settings.params, &settings.atmospheres, &downloader,
                      &settings.temperatureUnit, &settings.pathLengthUnit, &settings.pressureUnits, &settings.yAxis);
    QVERIFY(settings.loadText(withValue(comment, "2")));
    QCOMPARE(settings.config.externalSettings().accessOption, quint8(2));
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("config.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(withValue(comment, "2")) > 0);
    file.close();
    config.setFilePath(file.fileName());
    QVERIFY(config.load());
    QCOMPARE(downloader.usage(), 2);
    QCOMPARE(config.externalSettings().accessOption, quint8(0));
    QVERIFY(downloader.setUsage(HitranOnlineDownloader::CompleteUsage));
    QCOMPARE(config.contents(), withValue(comment, "1"));
}

// A file that is not there or cannot be written is reported. A FIFO or an endless
// device node in its place is no configuration file: the load returns at once
// (it neither waits for a writer nor reads without end) and says so.
void TestConfigFile::unreadableAndUnwritableFilesAreReported()
{
    QTemporaryDir dir;
    Settings settings;
    settings.config.setFilePath(dir.filePath(QStringLiteral("absent.txt")));
    QVERIFY(!settings.config.load());
    settings.config.setFilePath(dir.filePath(QStringLiteral("no-such-folder/config.txt")));
    QVERIFY(!settings.config.save());
    QCOMPARE(settings.messages, (QStringList{ConfigFile::readErrorMessage(), ConfigFile::writeErrorMessage()}));
    QCOMPARE(settings.config.contents(), cleanFile);

    settings.messages.clear();
    QCOMPARE(mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("fifo.txt"))).constData(), 0600), 0);
    QVERIFY(TestFile::makeEndlessNode(dir.filePath(QStringLiteral("zero.txt"))));
    for (const QString &name : {QStringLiteral("fifo.txt"), QStringLiteral("zero.txt")}) {
        settings.config.setFilePath(dir.filePath(name));
        QVERIFY(settings.config.load());
    }
    QCOMPARE(settings.messages, (QStringList{ConfigFile::damagedFileMessage(), ConfigFile::damagedFileMessage()}));
    QCOMPARE(settings.config.contents(), cleanFile);
}

void TestConfigFile::interruptedSaveKeepsOldFile()
{
    QTemporaryDir dir;
    Settings settings;
    settings.config.setFilePath(dir.filePath(QStringLiteral("config.txt")));
    QVERIFY(settings.config.save());

    settings.params.pathConditions().pathLength = 99.0;
    // The disk fills up in the middle of the line of the pressure unit.
    FailingFileWriter fullDisk(cleanFile.indexOf("Total pressure units") + 5);
    settings.config.setFileWriter(&fullDisk);
    QVERIFY(!settings.config.save());
    QCOMPARE(settings.messages, QStringList{ConfigFile::writeErrorMessage()});
    QCOMPARE(readFile(settings.config.filePath()), cleanFile);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("config.txt")});

    settings.config.setFileWriter(nullptr);
    QVERIFY(settings.config.save());
    QVERIFY(readFile(settings.config.filePath()).startsWith("9.900000e+01\t"));
}

void TestConfigFile::sensorSwitchesKeepTheTypedValues()
{
    // A Sense HAT barometer (fake Industrial I/O tree) of 4150272 x 0.000024414
    // kPa = 101324.740608 Pa; no hygrometer, no thermometer of its own beyond
    // the pressure chip's.
    FakeIioTree iio;
    QVERIFY(iio.isValid());
    iio.addPressureChip(0, 4150272, 1200);
    qputenv("QT_SENSORS_LOAD_PLUGINS", "0");
    const QByteArray iioRoot = qgetenv("KOLVEX_IIO_ROOT");
    qputenv("KOLVEX_IIO_ROOT", iio.path().toUtf8());
    Settings before;
    auto hub = std::make_unique<Sensors>(nullptr, &before.params);
    hub->stopSampling();
    hub->setNumSamplesToAverage(1);
    before.config.setSensors(hub.get());
    before.params.pathConditions().totalPressure = 0.75;
    hub->setPressureSensorEnabled(true);
    // The board is read off the main thread; its first reading comes soon.
    hub->senseHat()->startReading();
    QTRY_VERIFY(hub->senseHat()->pressure());
    hub->getUpdatedReadings();
    hub->getUpdatedReadings();
    QCOMPARE(before.params.pathConditions().totalPressure, 101324.740608 * 9.8692e-6);

    // The file keeps the switch and the typed value, not the reading.
    QTemporaryDir dir;
    before.config.setFilePath(dir.filePath(QStringLiteral("config.txt")));
    QVERIFY(before.config.save());
    const QByteArray saved = readFile(before.config.filePath());
    QVERIFY(saved.contains("7.500000e-01\tTotal pressure, Atm\n"));
    QVERIFY(saved.contains("1\tTotal pressure sensor enabled/disabled\n"));
    QVERIFY(saved.contains("0\tHumidity sensor enabled/disabled\n"));

    // Read back: the pressure follows the board again, the typed value waits.
    Settings after;
    auto hubAfter = std::make_unique<Sensors>(nullptr, &after.params);
    hubAfter->stopSampling();
    after.config.setSensors(hubAfter.get());
    QVERIFY(after.loadText(saved));
    QVERIFY(hubAfter->pressureSensorEnabled());
    QCOMPARE(hubAfter->manualValue(SensorSettings::Quantity::Pressure), 0.75);
    hubAfter->setPressureSensorEnabled(false);
    QCOMPARE(after.params.pathConditions().totalPressure, 0.75);

    // Without any barometer the switch cannot hold: the typed value stays.
    qputenv("KOLVEX_IIO_ROOT", dir.path().toUtf8());
    Settings bare;
    auto hubBare = std::make_unique<Sensors>(nullptr, &bare.params);
    bare.config.setSensors(hubBare.get());
    QVERIFY(bare.loadText(saved));
    QVERIFY(!hubBare->pressureSensorEnabled());
    QCOMPARE(bare.params.pathConditions().totalPressure, 0.75);
    qputenv("KOLVEX_IIO_ROOT", iioRoot);
}

QTEST_GUILESS_MAIN(TestConfigFile)
#include "tst_configfile.moc"
