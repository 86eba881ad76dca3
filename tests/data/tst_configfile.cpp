#include "data/atmospheremodelset.h"
#include "data/configfile.h"
#include "data/params.h"
#include "data/pathlengthunit.h"
#include "data/pressureunits.h"
#include "data/temperatureunit.h"
#include "data/xaxis.h"
#include "data/yaxissettings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(contents), qint64(contents.size()));
}

QString expectedDefaultFile()
{
    return QStringLiteral(KOLVEX_TEST_DATA "/config/expected-default.txt");
}

// Equal to 7 significant digits, the precision the file keeps.
bool sameToSevenDigits(double a, double b)
{
    return std::fabs(a - b) <= 5e-7 * std::max(std::fabs(a), std::fabs(b));
}

// Everything a configuration file reads and writes, in the state the program
// has after start-up: the built-in molecule table with the US Standard
// atmosphere applied and the core's unit choices.
struct Settings
{
    Settings()
        : xAxis(XAxis::WavelengthMicron, 2000.0, 2300.0, 10000)
        , config(&xAxis, &params, &atmospheres, &temperatureUnit, &pathLengthUnit, &pressureUnits, &yAxis)
    {
        pathLengthUnit.unit = PathLengthUnit::Metre;
        atmospheres.setMoleculeCount(params.moleculeCount());
        atmospheres.buildModels();
        atmospheres.setCurrentIndex(AtmosphereModelSet::usStandardIndex);
        params.applyAtmosphereModelToParams(atmospheres.currentModel());
        config.setMessageHandler([this](const QString &text) { messages.append(text); });
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

// Replaces the value of the line that ends with the comment.
QByteArray withValue(QByteArray text, const QByteArray &comment, const QByteArray &value)
{
    QList<QByteArray> lines = text.split('\n');
    for (QByteArray &line : lines) {
        if (line.endsWith('\t' + comment))
            line = value + '\t' + comment;
    }
    return lines.join('\n');
}

QByteArray withoutLine(const QByteArray &text, int lineIndex)
{
    QList<QByteArray> lines = text.split('\n');
    lines.removeAt(lineIndex);
    return lines.join('\n');
}

} // namespace

// Writing and reading config.txt: layout, round trip, damaged files and saving
// that never loses the previous file.
class TestConfigFile : public QObject
{
    Q_OBJECT

private slots:
    void savedFileMatchesHandCheckedLayout();
    void roundTripKeepsSevenDigits();
    void tablesAreReadByPosition();
    void missingOrExtraLinesShiftNothing();
    void damagedValuesKeepTheirPreviousValues_data();
    void damagedValuesKeepTheirPreviousValues();
    void damagedWholeFilesNeverApplyGarbage_data();
    void damagedWholeFilesNeverApplyGarbage();
    void otherMoleculeCountsReadCommonMolecules_data();
    void otherMoleculeCountsReadCommonMolecules();
    void windowsLineEndsAreRead();
    void unreadableFileIsReported();
    void unwritableFileIsReported();
    void interruptedSaveKeepsOldFile();

private:
    QTemporaryDir m_dir;
};

void TestConfigFile::savedFileMatchesHandCheckedLayout()
{
    Settings settings;
    const QString path = m_dir.filePath(QStringLiteral("layout.txt"));
    settings.config.setFilePath(path);
    QVERIFY(settings.config.save());
    QVERIFY(settings.messages.isEmpty());

    const QByteArray saved = readFile(path);
    const QByteArray expected = readFile(expectedDefaultFile());
    QVERIFY(!expected.isEmpty());
    QCOMPARE(saved.count('\n'), 147);
    if (saved != expected) {
        const QList<QByteArray> savedLines = saved.split('\n');
        const QList<QByteArray> expectedLines = expected.split('\n');
        for (int i = 0; i < std::min(savedLines.size(), expectedLines.size()); ++i)
            QCOMPARE(savedLines.at(i), expectedLines.at(i));
        QCOMPARE(savedLines.size(), expectedLines.size());
    }
}

void TestConfigFile::roundTripKeepsSevenDigits()
{
    Settings before;
    PathConditions &path = before.params.pathConditions();
    path.pathLength = 1234.5678901;
    path.totalPressure = 0.98765432;
    path.temperature = 301.123456;
    before.pathLengthUnit.unit = PathLengthUnit::Mile;
    before.pressureUnits.pressureUnit = PressureUnits::Torr;
    before.pressureUnits.setConcentrationCode(2 + PressureUnits::Psi);
    before.temperatureUnit.unit = TemperatureUnit::Fahrenheit;
    before.yAxis.absMin = 12.3456789;
    before.yAxis.absMax = 87.6543219;
    before.yAxis.yUnits = YAxisSettings::Transmission;
    before.yAxis.enableRulers = false;
    before.yAxis.crossSectionMin = 1.23456789e-25;
    before.yAxis.crossSectionMax = 9.87654321e-21;
    before.yAxis.crossSectionAutoRecalc = false;
    before.yAxis.radianceMin = 2.5e-9;
    before.yAxis.radianceMax = 3.33333333e-5;
    before.yAxis.radianceAutoRecalc = false;
    before.xAxis.setMinWavenumber(1234.56789);
    before.xAxis.setMaxWavenumber(2345.67891);
    before.xAxis.setNumPoints(54321);
    before.xAxis.setUnits(XAxis::FrequencyHz);
    before.params.setLineShapeProfile(3);
    before.params.setIntensityThreshold(3.14159265e-27);
    before.params.setLineWingHalfwidths(123);
    before.params.setLineWingAbsolute(2.7182818);
    before.params.setBroadeningType(0);
    before.params.setLineShiftUsage(0);
    before.params.setCalcNotSelected(false);
    ConfigFile::ExternalSettings &external = before.config.externalSettings();
    external.accessOption = 2;
    external.instrumentFunctionType = 6;
    external.instrumentResolution = 0.123456789;
    external.instrumentWing = 17.7777777;
    external.humiditySensorEnabled = true;
    external.pressureSensorEnabled = true;
    external.temperatureSensorEnabled = true;
    for (int i = 0; i < before.params.moleculeCount(); ++i) {
        path.concentrations[std::size_t(i)] = 1.23456789e-3 * std::pow(10.0, i % 9) + i;
        before.params.molecule(i).color = QStringLiteral("#%1a0b0").arg(i + 10, 2, 16, QLatin1Char('0'));
    }

    const QString file = m_dir.filePath(QStringLiteral("roundtrip.txt"));
    before.config.setFilePath(file);
    QVERIFY(before.config.save());

    Settings after;
    after.config.setFilePath(file);
    QVERIFY(after.config.load());
    QVERIFY2(after.messages.isEmpty(), qPrintable(after.config.lastLoadProblems().join('\n')));
    const PathConditions &read = after.params.pathConditions();
    QVERIFY(sameToSevenDigits(read.pathLength, path.pathLength));
    QVERIFY(sameToSevenDigits(read.totalPressure, path.totalPressure));
    QVERIFY(sameToSevenDigits(read.temperature, path.temperature));
    QCOMPARE(after.pathLengthUnit.unit, quint8(PathLengthUnit::Mile));
    QCOMPARE(after.pressureUnits.pressureUnit, quint8(PressureUnits::Psi));
    QCOMPARE(after.pressureUnits.concentrationMode, quint8(PressureUnits::PartialPressure));
    QCOMPARE(after.temperatureUnit.unit, quint8(TemperatureUnit::Fahrenheit));
    QVERIFY(sameToSevenDigits(after.yAxis.absMin, before.yAxis.absMin));
    QVERIFY(sameToSevenDigits(after.yAxis.absMax, before.yAxis.absMax));
    QCOMPARE(after.yAxis.yUnits, quint8(YAxisSettings::Transmission));
    QCOMPARE(after.yAxis.enableRulers, false);
    QVERIFY(sameToSevenDigits(after.yAxis.crossSectionMin, before.yAxis.crossSectionMin));
    QVERIFY(sameToSevenDigits(after.yAxis.crossSectionMax, before.yAxis.crossSectionMax));
    QCOMPARE(after.yAxis.crossSectionAutoRecalc, false);
    QVERIFY(sameToSevenDigits(after.yAxis.radianceMin, before.yAxis.radianceMin));
    QVERIFY(sameToSevenDigits(after.yAxis.radianceMax, before.yAxis.radianceMax));
    QCOMPARE(after.yAxis.radianceAutoRecalc, false);
    QVERIFY(sameToSevenDigits(after.xAxis.minWavenumber(), 1234.56789));
    QVERIFY(sameToSevenDigits(after.xAxis.maxWavenumber(), 2345.67891));
    QCOMPARE(after.xAxis.numPoints(), 54321);
    QVERIFY(sameToSevenDigits(after.xAxis.step(), (2345.67891 - 1234.56789) / 54320.0));
    QCOMPARE(after.xAxis.units(), quint8(XAxis::FrequencyHz));
    QCOMPARE(after.params.lineShapeProfile(), 3);
    QVERIFY(sameToSevenDigits(after.params.intensityThreshold(), 3.14159265e-27));
    QCOMPARE(after.params.lineWingHalfwidths(), 123);
    QVERIFY(sameToSevenDigits(after.params.lineWingAbsolute(), 2.7182818));
    QCOMPARE(after.params.broadeningType(), 0);
    QCOMPARE(after.params.lineShiftUsage(), 0);
    QCOMPARE(after.params.calcNotSelected(), false);
    const ConfigFile::ExternalSettings &readExternal = after.config.externalSettings();
    QCOMPARE(readExternal.accessOption, quint8(2));
    QCOMPARE(readExternal.instrumentFunctionType, quint8(6));
    QVERIFY(sameToSevenDigits(readExternal.instrumentResolution, 0.123456789));
    QVERIFY(sameToSevenDigits(readExternal.instrumentWing, 17.7777777));
    QVERIFY(readExternal.humiditySensorEnabled && readExternal.pressureSensorEnabled
            && readExternal.temperatureSensorEnabled);
    for (int i = 0; i < before.params.moleculeCount(); ++i) {
        QVERIFY2(sameToSevenDigits(read.concentrations[std::size_t(i)], path.concentrations[std::size_t(i)]),
                 qPrintable(before.params.molecule(i).name));
        QCOMPARE(after.params.molecule(i).color, before.params.molecule(i).color);
    }
    // The same settings give the same file again.
    QCOMPARE(after.config.contents(), readFile(file));
}

void TestConfigFile::tablesAreReadByPosition()
{
    QByteArray text = readFile(expectedDefaultFile());
    text.replace("#3399ff\tH2O", "#FF0000\tH2O");
    text.replace("3.300000e+02\tCO2", "4.000000e+02\tany name");
    const QString file = m_dir.filePath(QStringLiteral("tables.txt"));
    writeFile(file, text);

    Settings settings;
    settings.config.setFilePath(file);
    QVERIFY(settings.config.load());
    QVERIFY(settings.messages.isEmpty());
    QCOMPARE(settings.params.molecule(0).color, QStringLiteral("#ff0000"));
    QCOMPARE(settings.params.pathConditions().concentrations[1], 400.0);
}

// A missing line must not move every later value onto the wrong setting, and
// an extra line must not either.
void TestConfigFile::missingOrExtraLinesShiftNothing()
{
    Settings source;
    source.params.pathConditions().temperature = 250.0;
    source.xAxis.setNumPoints(777);
    source.yAxis.yUnits = YAxisSettings::OpticalDepth;
    QByteArray text = source.config.contents();
    text = withoutLine(text, 0);   // path length
    text.replace("\n\n", "\n\nan unknown line\n1.0\tA setting of another version\n\n");

    const QString file = m_dir.filePath(QStringLiteral("shifted.txt"));
    writeFile(file, text);
    Settings settings;
    settings.params.pathConditions().pathLength = 42.0;
    settings.config.setFilePath(file);
    QVERIFY(settings.config.load());
    QCOMPARE(settings.params.pathConditions().pathLength, 42.0);
    QCOMPARE(settings.params.pathConditions().temperature, 250.0);
    QCOMPARE(settings.xAxis.numPoints(), 777);
    QCOMPARE(settings.yAxis.yUnits, quint8(YAxisSettings::OpticalDepth));
    QCOMPARE(settings.config.lastLoadProblems().size(), 1);
    QCOMPARE(settings.messages, QStringList{ConfigFile::damagedFileMessage()});
}

void TestConfigFile::damagedValuesKeepTheirPreviousValues_data()
{
    QTest::addColumn<QByteArray>("comment");
    QTest::addColumn<QByteArray>("value");

    QTest::newRow("path length garbage") << QByteArray("Horizontal path length, meters") << QByteArray("abc");
    QTest::newRow("path length zero") << QByteArray("Horizontal path length, meters") << QByteArray("0");
    QTest::newRow("path length negative") << QByteArray("Horizontal path length, meters") << QByteArray("-5.0e+02");
    QTest::newRow("path length NaN") << QByteArray("Horizontal path length, meters") << QByteArray("nan");
    QTest::newRow("path length infinite") << QByteArray("Horizontal path length, meters") << QByteArray("inf");
    QTest::newRow("path length empty") << QByteArray("Horizontal path length, meters") << QByteArray("");
    QTest::newRow("path-length unit unknown") << QByteArray("Pathlength units") << QByteArray("6");
    QTest::newRow("path-length unit fraction") << QByteArray("Pathlength units") << QByteArray("1.5");
    QTest::newRow("pressure zero") << QByteArray("Total pressure, Atm") << QByteArray("0.000000e+00");
    QTest::newRow("pressure unit unknown") << QByteArray("Total pressure units") << QByteArray("7");
    QTest::newRow("concentration code unknown")
        << QByteArray("Concentration/pressure units to display molecular concentrations") << QByteArray("9");
    QTest::newRow("temperature zero") << QByteArray("Horizontal path temperature, Kelvin") << QByteArray("0");
    QTest::newRow("temperature negative") << QByteArray("Horizontal path temperature, Kelvin") << QByteArray("-3e2");
    QTest::newRow("temperature unit unknown") << QByteArray("Temperature units") << QByteArray("3");
    QTest::newRow("absorption min above max")
        << QByteArray("Vertical axis minimum scale value as absorption in %") << QByteArray("1.000000e+02");
    QTest::newRow("y units unknown")
        << QByteArray("Vertical axis units (0 - Absorption cross-section, 1 - Optical depth, 2 - Absorption, "
                      "3 - Transmission)")
        << QByteArray("4");
    QTest::newRow("rulers not a switch") << QByteArray("Enable / Disable rulers on zoom") << QByteArray("2");
    QTest::newRow("radiance max negative") << QByteArray("Radiance maximum scale value") << QByteArray("-1");
    QTest::newRow("zero grid points") << QByteArray("Number of calculation points (resolution)") << QByteArray("0");
    QTest::newRow("one grid point") << QByteArray("Number of calculation points (resolution)") << QByteArray("1");
    QTest::newRow("too many grid points")
        << QByteArray("Number of calculation points (resolution)") << QByteArray("2000000000");
    QTest::newRow("minimum above maximum") << QByteArray("Minimum wavenumber, cm-1") << QByteArray("3.0e+03");
    QTest::newRow("maximum beyond range") << QByteArray("Maximum wavenumber, cm-1") << QByteArray("9.0e+05");
    QTest::newRow("x units unknown") << QByteArray("Wavelength units") << QByteArray("4");
    QTest::newRow("access option unknown") << QByteArray("HITRAN database access option") << QByteArray("3");
    QTest::newRow("line shape unknown") << QByteArray("Lineshape profile") << QByteArray("4");
    QTest::newRow("threshold negative") << QByteArray("Intensity threshold") << QByteArray("-1e-25");
    QTest::newRow("wing beyond integers")
        << QByteArray("Line wing contribution (in saturated halfwidths)") << QByteArray("1e300");
    QTest::newRow("absolute wing negative")
        << QByteArray("Line wing contribution (absolute, in cm-1)") << QByteArray("-1");
    QTest::newRow("broadening unknown") << QByteArray("Broadening type") << QByteArray("3");
    QTest::newRow("instrument type unknown") << QByteArray("Instrument function type") << QByteArray("8");
    QTest::newRow("instrument resolution zero") << QByteArray("Instrument resolution, cm-1") << QByteArray("0");
    QTest::newRow("instrument wing NaN")
        << QByteArray("Instrument function wing contribution, cm-1") << QByteArray("NaN");
    QTest::newRow("sensor switch garbage") << QByteArray("Humidity sensor enabled/disabled") << QByteArray("yes");
    QTest::newRow("calculate-all switch negative")
        << QByteArray("Calculate for not selected molecules enabled/disabled") << QByteArray("-1");
}

void TestConfigFile::damagedValuesKeepTheirPreviousValues()
{
    QFETCH(QByteArray, comment);
    QFETCH(QByteArray, value);

    const QByteArray clean = readFile(expectedDefaultFile());
    const QByteArray damaged = withValue(clean, comment, value);
    QVERIFY(damaged != clean);
    const QString file = m_dir.filePath(QStringLiteral("damaged-value.txt"));
    writeFile(file, damaged);

    Settings settings;
    const QByteArray before = settings.config.contents();
    settings.config.setFilePath(file);
    QVERIFY(settings.config.load());
    // The damaged setting keeps its value and every other one is read as
    // written, so the settings give the clean file back; the user hears once.
    QCOMPARE(settings.config.contents(), before);
    QCOMPARE(settings.messages, QStringList{ConfigFile::damagedFileMessage()});
    QCOMPARE(settings.config.lastLoadProblems().size(), 1);
}

void TestConfigFile::damagedWholeFilesNeverApplyGarbage_data()
{
    QTest::addColumn<QByteArray>("contents");

    const QByteArray clean = readFile(expectedDefaultFile());
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("truncated in the settings") << clean.left(300);
    QTest::newRow("truncated in the concentrations") << clean.left(clean.indexOf("CO2"));
    QTest::newRow("binary") << QByteArray("\x00\x01\xff\xfe\t\t\n\x80garbage\n\x00", 16);
    QTest::newRow("negative concentration") << QByteArray(clean).replace("3.300000e+02\tCO2", "-3.3e+02\tCO2");
    QTest::newRow("NaN concentration") << QByteArray(clean).replace("3.300000e+02\tCO2", "nan\tCO2");
    QTest::newRow("colour not a colour") << QByteArray(clean).replace("#3399ff\tH2O", "red\tH2O");
    QTest::newRow("colour too short") << QByteArray(clean).replace("#3399ff\tH2O", "#39f\tH2O");
    QTest::newRow("tables swapped")
        << QByteArray(clean).replace("Molecular concentrations, ppmv", "x").replace("Molecule colors", "y");
}

void TestConfigFile::damagedWholeFilesNeverApplyGarbage()
{
    QFETCH(QByteArray, contents);

    const QString file = m_dir.filePath(QStringLiteral("damaged-file.txt"));
    writeFile(file, contents);
    Settings settings;
    const QByteArray before = settings.config.contents();
    settings.config.setFilePath(file);
    QVERIFY(settings.config.load());
    QCOMPARE(settings.messages, QStringList{ConfigFile::damagedFileMessage()});
    QVERIFY(!settings.config.lastLoadProblems().isEmpty());
    // Whatever was read is a value the clean file also holds.
    QCOMPARE(settings.config.contents(), before);
    QCOMPARE(settings.params.pathConditions().concentrations.size(),
             std::size_t(settings.params.moleculeCount()));
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

    Settings source;
    const QList<QByteArray> lines = source.config.contents().split('\n');
    const int concentrationHeader = lines.indexOf("Molecular concentrations, ppmv");
    const int colourHeader = lines.indexOf("Molecule colors");
    QByteArray text;
    for (int i = 0; i <= concentrationHeader; ++i)
        text += lines.at(i) + '\n';
    for (int i = 0; i < fileMolecules; ++i)
        text += QByteArray::number(i + 1) + ".000000e+00\tM" + QByteArray::number(i + 1) + '\n';
    text += "\nMolecule colors\n";
    for (int i = 0; i < fileMolecules; ++i)
        text += "#0000" + QByteArray::number(10 + i) + "\tM\n";
    text += '\n';
    QVERIFY(colourHeader > concentrationHeader);

    const QString file = m_dir.filePath(QStringLiteral("count.txt"));
    writeFile(file, text);
    Settings settings;
    const double lastConcentration = settings.params.pathConditions().concentrations.back();
    const QString lastColour = settings.params.molecules().back().color;
    settings.config.setFilePath(file);
    QVERIFY(settings.config.load());
    QVERIFY(settings.messages.isEmpty());
    const int common = std::min(fileMolecules, settings.params.moleculeCount());
    for (int i = 0; i < common; ++i) {
        QCOMPARE(settings.params.pathConditions().concentrations[std::size_t(i)], double(i + 1));
        QCOMPARE(settings.params.molecule(i).color, QStringLiteral("#0000%1").arg(10 + i));
    }
    QCOMPARE(settings.params.pathConditions().concentrations.size(), std::size_t(Params::maxMoleculeCount));
    if (fileMolecules < settings.params.moleculeCount()) {
        QCOMPARE(settings.params.pathConditions().concentrations.back(), lastConcentration);
        QCOMPARE(settings.params.molecules().back().color, lastColour);
    }
}

void TestConfigFile::windowsLineEndsAreRead()
{
    Settings source;
    source.params.pathConditions().pathLength = 5.0;
    source.params.molecule(2).color = QStringLiteral("#123456");
    QByteArray text = source.config.contents();
    text.replace("\n", "\r\n");
    const QString file = m_dir.filePath(QStringLiteral("crlf.txt"));
    writeFile(file, text);

    Settings settings;
    settings.config.setFilePath(file);
    QVERIFY(settings.config.load());
    QVERIFY(settings.messages.isEmpty());
    QCOMPARE(settings.params.pathConditions().pathLength, 5.0);
    QCOMPARE(settings.params.molecule(2).color, QStringLiteral("#123456"));
}

void TestConfigFile::unreadableFileIsReported()
{
    Settings settings;
    const QByteArray before = settings.config.contents();
    settings.config.setFilePath(m_dir.filePath(QStringLiteral("absent.txt")));
    QVERIFY(!settings.config.load());
    QCOMPARE(settings.messages, QStringList{ConfigFile::readErrorMessage()});
    QCOMPARE(settings.config.contents(), before);
}

void TestConfigFile::unwritableFileIsReported()
{
    Settings settings;
    settings.config.setFilePath(m_dir.filePath(QStringLiteral("no-such-folder/config.txt")));
    QVERIFY(!settings.config.save());
    QCOMPARE(settings.messages, QStringList{ConfigFile::writeErrorMessage()});
    QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("no-such-folder"))));
}

void TestConfigFile::interruptedSaveKeepsOldFile()
{
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("config.txt"));
    Settings settings;
    settings.config.setFilePath(file);
    QVERIFY(settings.config.save());
    const QByteArray old = readFile(file);

    settings.params.pathConditions().pathLength = 99.0;
    settings.config.m_failWritingAfterLines = 20;
    QVERIFY(!settings.config.save());
    QCOMPARE(settings.messages, QStringList{ConfigFile::writeErrorMessage()});
    QCOMPARE(readFile(file), old);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("config.txt")});

    // The next save that goes through replaces the file completely.
    settings.config.m_failWritingAfterLines = -1;
    QVERIFY(settings.config.save());
    QCOMPARE(readFile(file), settings.config.contents());
    QVERIFY(readFile(file).startsWith("9.900000e+01\t"));
}

QTEST_GUILESS_MAIN(TestConfigFile)
#include "tst_configfile.moc"
