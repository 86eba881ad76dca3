#include "app/configfile.h"
#include "app/programsettings.h"
#include "core/atmospheremodelset.h"
#include "app/kolvexcore.h"
#include "core/params.h"
#include "core/settingrules.h"
#include "offlinesettings.h"
#include "remote/serialport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

std::unique_ptr<KolvexCore> startCore(const QTemporaryDir &dir)
{
    return std::make_unique<KolvexCore>(offlineSettings(dir.path()));
}

QString fixture(const QString &name)
{
    return QStringLiteral(KOLVEX_TEST_DATA "/config/") + name;
}

} // namespace

// Settings survive a restart of the program, and a damaged config.txt never
// stops it from starting in a state it can calculate from.
class TestSettingsPersistence : public QObject
{
    Q_OBJECT

private slots:
    void settingsSurviveARestart();
    void damagedConfigurationStillStarts_data();
    void damagedConfigurationStillStarts();
    void reversedRangeLoadsAndCalcExplains();
    void selectionAndModelSurviveARestart();
    void serialSettingsFileOfAnEarlierVersion();
    void serialSettingsInThePlaceOfNoFile_data();
    void serialSettingsInThePlaceOfNoFile();
};

void TestSettingsPersistence::settingsSurviveARestart()
{
    QTemporaryDir dir;
    {
        std::unique_ptr<KolvexCore> core = startCore(dir);
        QVERIFY(!QFile::exists(core->configFilePath()));
        QCOMPARE(core->configFile()->filePath(), dir.filePath(QStringLiteral("config.txt")));
        Params *params = core->params();
        params->pathConditions().pathLength = 25.5;
        params->pathConditions().concentrations[5] = 1.85;
        params->molecule(5).color = QStringLiteral("#abcdef");
        // The serial line's settings keep a file of their own.
        QCOMPARE(core->serialPort()->baudRate(), 115200);
        core->serialPort()->setPortName(QStringLiteral("/dev/ttyUSB3"));
        QVERIFY(core->serialPort()->setBaudRate(9600));
        QVERIFY(core->serialPort()->setDataBits(7));
        QVERIFY(core->serialPort()->setParity(2));
        QVERIFY(core->serialPort()->setStopBits(2));
        core->saveConfiguration();
        QVERIFY(QFile::exists(core->configFilePath()));
    }

    std::unique_ptr<KolvexCore> core = startCore(dir);
    const Params *params = core->params();
    QCOMPARE(params->pathConditions().pathLength, 25.5);
    QCOMPARE(params->pathConditions().concentrations[5], 1.85);
    QCOMPARE(params->molecule(5).color, QStringLiteral("#abcdef"));
    QVERIFY(core->configFile()->lastLoadProblems().isEmpty());
    const SerialPort *serial = core->serialPort();
    QCOMPARE(serial->portName(), QStringLiteral("/dev/ttyUSB3"));
    QCOMPARE(serial->baudRate(), 9600);
    QCOMPARE(serial->dataBits(), 7);
    QCOMPARE(serial->parity(), 2);
    QCOMPARE(serial->stopBits(), 2);
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("serial-port.ini"))));
}

void TestSettingsPersistence::damagedConfigurationStillStarts_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<double>("pathLength");

    // Temperature beyond every partition-sum table, no grid points, NaN pressure,
    // unknown unit codes, a negative wing and concentration, a colour that is none.
    QTest::newRow("damaged values") << fixture(QStringLiteral("damaged-values.txt")) << 250.0;
    QTest::newRow("a line missing") << fixture(QStringLiteral("missing-line.txt")) << 1000.0;
    QTest::newRow("truncated") << fixture(QStringLiteral("truncated.txt")) << 1000.0;
    QTest::newRow("random bytes") << fixture(QStringLiteral("garbage.txt")) << 1000.0;
}

void TestSettingsPersistence::damagedConfigurationStillStarts()
{
    QFETCH(QString, file);
    QFETCH(double, pathLength);

    QTemporaryDir dir;
    QVERIFY(QFile::copy(file, dir.filePath(QStringLiteral("config.txt"))));
    std::unique_ptr<KolvexCore> core = startCore(dir);
    // The partition sums are read once events run; only then is a temperature
    // read from the file checked against their tables.
    QTRY_VERIFY(core->tipsLoaded());
    QVERIFY(!core->configFile()->lastLoadProblems().isEmpty());

    const Params *params = core->params();
    const PathConditions &path = params->pathConditions();
    QCOMPARE(path.pathLength, pathLength);
    // What could not be read keeps the US Standard atmosphere and the defaults.
    QCOMPARE(path.totalPressure, 0.9967892);
    QCOMPARE(path.temperature, 288.0);
    QCOMPARE(path.concentrations[1], 330.0);
    QCOMPARE(params->molecule(0).color, QStringLiteral("#3399ff"));
    QCOMPARE(params->lineWingHalfwidths(), 50);
    QCOMPARE(core->temperatureUnit()->unit, quint8(TemperatureUnit::Kelvin));
    // ... so that a calculation can be set up from it.
    QCOMPARE(core->xAxis()->numPoints(), 10000);
    QCOMPARE(core->xAxis()->validationProblem(), QString());
    QCOMPARE(SettingRules::temperatureProblem(path.temperature, *params), QString());
    QCOMPARE(int(path.concentrations.size()), params->moleculeCount());
}

// A file whose range starts above its end (the settings as a user left them,
// mid-way through a change) loads as written; a calculation then explains the
// range in the file's unit (micron) and does not start.
void TestSettingsPersistence::reversedRangeLoadsAndCalcExplains()
{
    QTemporaryDir dir;
    QVERIFY(QFile::copy(fixture(QStringLiteral("range-reversed.txt")), dir.filePath(QStringLiteral("config.txt"))));
    std::unique_ptr<KolvexCore> core = startCore(dir);
    QTRY_VERIFY(core->tipsLoaded());
    QCOMPARE(core->configFile()->lastLoadProblems(), QStringList());
    QCOMPARE(core->xAxis()->minWavenumber(), 2400.0);
    QCOMPARE(core->xAxis()->maxWavenumber(), 2300.0);
    QCOMPARE(core->xAxis()->units(), quint8(XAxis::WavelengthMicron));

    core->setOkDialogText(QString());
    core->calculate();
    // 10000 / 2300 and 10000 / 2400 micron, to six digits.
    QCOMPARE(core->okDialogText(), QStringLiteral("The spectral range from 4.34783 to 4.16667 micron cannot be "
                                                  "calculated: its end must be above its start."));
    QVERIFY(!core->calculationIsRunning());
    QVERIFY(!core->lblRequested());
}

// The molecule selection and the model atmosphere have no place in config.txt:
// the program's own settings keep them, and a fresh start without those
// settings keeps its defaults.
void TestSettingsPersistence::selectionAndModelSurviveARestart()
{
    QTemporaryDir dir;
    const QString programFile = dir.filePath(QStringLiteral("kolvex.ini"));
    KolvexCore::Settings settings = offlineSettings(dir.path());
    settings.useProgramSettings = true;
    settings.programSettingsFile = programFile;
    std::vector<bool> defaults;
    int defaultModel = 0;
    {
        KolvexCore core(settings);
        Params *params = core.params();
        for (int m = 0; m < params->moleculeCount(); ++m)
            defaults.push_back(params->molecule(m).selected);
        defaultModel = core.atmosphereModels()->currentIndex();
        // CO2 (2) and CH4 (6) only, and another model.
        for (int m = 0; m < params->moleculeCount(); ++m)
            params->molecule(m).selected = m == 1 || m == 5;
        QVERIFY(core.atmosphereModels()->setCurrentIndex(defaultModel == 3 ? 2 : 3));
        core.saveConfiguration();
    }
    {
        KolvexCore core(settings);
        for (int m = 0; m < core.params()->moleculeCount(); ++m)
            QCOMPARE(core.params()->molecule(m).selected, m == 1 || m == 5);
        QCOMPARE(int(core.atmosphereModels()->currentIndex()), defaultModel == 3 ? 2 : 3);
    }
    QFile::remove(programFile);
    {
        KolvexCore core(settings);
        for (int m = 0; m < core.params()->moleculeCount(); ++m)
            QCOMPARE(core.params()->molecule(m).selected, bool(defaults[std::size_t(m)]));
        QCOMPARE(int(core.atmosphereModels()->currentIndex()), defaultModel);
    }
}

// serial-port.ini as QSettings wrote it before the file went through the
// program's writer: it is read as it was.
void TestSettingsPersistence::serialSettingsFileOfAnEarlierVersion()
{
    QTemporaryDir dir;
    {
        QFile file(dir.filePath(QStringLiteral("serial-port.ini")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[SerialPort]\nbaudRate=57600\ndataBits=7\nparity=3\nport=/dev/ttyACM1\nstopBits=2\n");
    }
    std::unique_ptr<KolvexCore> core = startCore(dir);
    const SerialPort *serial = core->serialPort();
    QCOMPARE(serial->portName(), QStringLiteral("/dev/ttyACM1"));
    QCOMPARE(serial->baudRate(), 57600);
    QCOMPARE(serial->dataBits(), 7);
    QCOMPARE(serial->parity(), 3);
    QCOMPARE(serial->stopBits(), 2);
}

void TestSettingsPersistence::serialSettingsInThePlaceOfNoFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("link to a device node") << "device";
}

// serial-port.ini replaced by a FIFO that nothing writes, or by a link to a
// device node: the start neither waits for the FIFO nor reads the device (the
// defaults serve), and saving the settings replaces neither; the warning
// names the file.
void TestSettingsPersistence::serialSettingsInThePlaceOfNoFile()
{
    QFETCH(QString, kind);
    if (kind == QLatin1String("device") && ::geteuid() != 0)
        QSKIP("Making a device node (mknod) needs root; the FIFO row covers the rule.");
    QTemporaryDir dir;
    QTemporaryDir nodes;
    const QString path = dir.filePath(QStringLiteral("serial-port.ini"));
    const QString node = kind == QLatin1String("fifo") ? path : nodes.filePath(QStringLiteral("null"));
    const QByteArray name = QFile::encodeName(node);
    if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(name.constData(), 0600), 0);
    } else {
        QCOMPARE(::mknod(name.constData(), S_IFCHR | 0600, makedev(1, 3)), 0);
        QVERIFY(QFile::link(node, path));
    }
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Cannot read .*serial-port.ini")));
    std::unique_ptr<KolvexCore> core = startCore(dir);
    QCOMPARE(core->serialPort()->baudRate(), 115200);
    QTRY_VERIFY(core->tipsLoaded());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(
                                           "^Cannot write the serial settings to .*serial-port.ini.*not a regular file")));
    core->saveConfiguration();
    struct stat entry;
    QCOMPARE(::lstat(name.constData(), &entry), 0);
    QCOMPARE(entry.st_mode & S_IFMT, kind == QLatin1String("fifo") ? mode_t(S_IFIFO) : mode_t(S_IFCHR));
    QCOMPARE(::lstat(QFile::encodeName(path).constData(), &entry), 0);
    QCOMPARE(entry.st_mode & S_IFMT, kind == QLatin1String("fifo") ? mode_t(S_IFIFO) : mode_t(S_IFLNK));
    // config.txt, a regular file, was written all the same.
    QVERIFY(QFile::exists(core->configFilePath()));
}

QTEST_GUILESS_MAIN(TestSettingsPersistence)
#include "tst_settingspersistence.moc"
