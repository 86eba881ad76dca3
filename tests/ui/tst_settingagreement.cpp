#include "app/configfile.h"
#include "app/kolvexcore.h"
#include "calc/instrumentfunction.h"
#include "core/params.h"
#include "faketransport.h"
#include "offlinesettings.h"
#include "remote/remotecontrol.h"
#include "ui/instrumentfunctionqml.h"
#include "ui/lineoptionsqml.h"
#include "ui/mollistviewmodel.h"
#include "ui/pathlengthqml.h"
#include "ui/temperatureqml.h"
#include "ui/totalpressqml.h"
#include "ui/wavelengthqml.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

// One rule for each setting, whoever sets it: the settings screen, a remote
// peer and the configuration file store the same values and refuse the same
// ones, and a refusal leaves the value in use as it was. The screens take the
// value in the base unit (metres, atm, kelvin, cm-1, ppmv; the threshold in
// its shown unit of 1e-25), as the protocol and the file do.
class TestSettingAgreement : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everySetterAgrees_data();
    void everySetterAgrees();

private:
    struct Setting
    {
        QString command;         // "#<command>;<value>"
        QString fileComment;     // the line of config.txt that holds it
        double screenUnit;       // the screen shows value / screenUnit
        std::function<double()> stored;
        std::function<void(double)> store;
        std::function<QString(const QString &)> enter;
    };
    Setting setting(const QString &name);
    QStringList send(const QString &message);
    QStringList loadWith(const QString &comment, const QString &value);

    QTemporaryDir m_folder;
    std::unique_ptr<KolvexCore> m_core;
    FakeTransport m_console;
    std::unique_ptr<LineOptionsQml> m_lineOptions;
    std::unique_ptr<InstrumentFunctionQml> m_instrument;
    std::unique_ptr<MolListViewModel> m_molecules;
    std::unique_ptr<PathlengthQml> m_path;
    std::unique_ptr<TotalPressQml> m_pressure;
    std::unique_ptr<TemperatureQml> m_temperature;
    std::unique_ptr<WavelengthQml> m_wavelength;
};

void TestSettingAgreement::initTestCase()
{
    QLocale::setDefault(QLocale::c());
    m_core = std::make_unique<KolvexCore>(offlineSettings(m_folder.path()));
    // The temperature's rule needs the partition sums.
    QTRY_VERIFY(m_core->tipsLoaded());
    m_core->remoteControl()->setConsole(&m_console);
    m_lineOptions = std::make_unique<LineOptionsQml>(nullptr, m_core.get());
    m_instrument = std::make_unique<InstrumentFunctionQml>(nullptr, m_core.get());
    m_molecules = std::make_unique<MolListViewModel>(nullptr, m_core.get());
    m_molecules->setUnits(PressureUnits::Ppmv);
    m_path = std::make_unique<PathlengthQml>(nullptr, m_core.get());
    m_pressure = std::make_unique<TotalPressQml>(nullptr, m_core.get());
    m_temperature = std::make_unique<TemperatureQml>(nullptr, m_core.get());
    m_wavelength = std::make_unique<WavelengthQml>(nullptr, m_core.get());
    m_wavelength->setUnits(XAxis::Wavenumber);
}

TestSettingAgreement::Setting TestSettingAgreement::setting(const QString &name)
{
    Params *params = m_core->params();
    PathConditions *path = &params->pathConditions();
    InstrumentFunction *instrument = m_core->instrumentFunction();
    XAxis *x = m_core->xAxis();
    if (name == QLatin1String("threshold"))
        return {"LTHRESH", "Intensity threshold", 1e-25, [=] { return params->intensityThreshold(); },
                [=](double v) { params->setIntensityThreshold(v); },
                [this](const QString &t) { return m_lineOptions->enterIntensThresh(t); }};
    if (name == QLatin1String("wing in half-widths"))
        return {"LWINGSAT", "Line wing contribution (in saturated halfwidths)", 1.0,
                [=] { return double(params->lineWingHalfwidths()); },
                [=](double v) { params->setLineWingHalfwidths(int(v)); },
                [this](const QString &t) { return m_lineOptions->enterWingContribSatHw(t); }};
    if (name == QLatin1String("absolute wing"))
        return {"LWINGABS", "Line wing contribution (absolute, in cm-1)", 1.0, [=] { return params->lineWingAbsolute(); },
                [=](double v) { params->setLineWingAbsolute(v); },
                [this](const QString &t) { return m_lineOptions->enterWingContribAbs(t); }};
    if (name == QLatin1String("instrument resolution"))
        return {"INSTRRES", "Instrument resolution, cm-1", 1.0, [=] { return instrument->resolution(); },
                [=](double v) { instrument->setResolution(v); },
                [this](const QString &t) { return m_instrument->enterInstrResol(t); }};
    if (name == QLatin1String("instrument wing"))
        return {"INSTRWING", "Instrument function wing contribution, cm-1", 1.0, [=] { return instrument->wing(); },
                [=](double v) { instrument->setWing(v); },
                [this](const QString &t) { return m_instrument->enterInstrFunctWing(t); }};
    if (name == QLatin1String("CO2 concentration"))
        return {"MCONC;2", "CO2", 1.0, [=] { return path->concentrations[1]; },
                [=](double v) { path->concentrations[1] = v; },
                [this](const QString &t) { return m_molecules->enterConcentration(2, t); }};
    if (name == QLatin1String("path length"))
        return {"PATH", "Horizontal path length, meters", 1.0, [=] { return path->pathLength; },
                [=](double v) { path->pathLength = v; }, [this](const QString &t) { return m_path->enter(t); }};
    if (name == QLatin1String("total pressure"))
        return {"TPRES", "Total pressure, Atm", 1.0, [=] { return path->totalPressure; },
                [=](double v) { path->totalPressure = v; }, [this](const QString &t) { return m_pressure->enter(t); }};
    if (name == QLatin1String("temperature"))
        return {"TEMP", "Horizontal path temperature, Kelvin", 1.0, [=] { return path->temperature; },
                [=](double v) { path->temperature = v; }, [this](const QString &t) { return m_temperature->enter(t); }};
    if (name == QLatin1String("start"))
        return {"SWAVE", "Minimum wavenumber, cm-1", 1.0, [=] { return x->minWavenumber(); },
                [=](double v) { x->setMinWavenumber(v); },
                [this](const QString &t) { return m_wavelength->enterStart(t); }};
    return {"NUMWNPTS", "Number of calculation points (resolution)", 1.0, [=] { return double(x->numPoints()); },
            [=](double v) { x->setNumPoints(int(v)); }, [this](const QString &t) { return m_wavelength->enterNumPoints(t); }};
}

QStringList TestSettingAgreement::send(const QString &message)
{
    m_console.takeReplies();
    m_console.receive(message);
    return m_console.takeReplies();
}

// The configuration file as saved now, with `value` on the line of `comment`,
// loaded back; the problems the reader found.
QStringList TestSettingAgreement::loadWith(const QString &comment, const QString &value)
{
    m_core->saveConfiguration();
    QFile file(m_core->configFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("unreadable")};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    file.close();
    for (QString &line : lines) {
        if (line.endsWith(QLatin1Char('\t') + comment)) {
            line = value + QLatin1Char('\t') + comment;
            break;   // the concentration table comes before the colour table
        }
    }
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {QStringLiteral("unwritable")};
    file.write(lines.join(QLatin1Char('\n')).toUtf8());
    file.close();
    m_core->configFile()->load();
    return m_core->configFile()->lastLoadProblems();
}

void TestSettingAgreement::everySetterAgrees_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("accepted");
    // Lines vanished without a word with a negative wing; a resolution of 0 and
    // a concentration above the whole mixture were taken.
    QTest::newRow("threshold negative") << "threshold" << -1e-25 << false;
    QTest::newRow("threshold zero") << "threshold" << 0.0 << true;
    QTest::newRow("threshold 1e-23") << "threshold" << 1e-23 << true;
    QTest::newRow("wing -5 half-widths") << "wing in half-widths" << -5.0 << false;
    QTest::newRow("wing 0 half-widths") << "wing in half-widths" << 0.0 << true;
    // The largest int is the widest wing that can be stored.
    QTest::newRow("wing 2147483647 half-widths") << "wing in half-widths" << 2147483647.0 << true;
    QTest::newRow("wing 1e12 half-widths") << "wing in half-widths" << 1e12 << false;
    QTest::newRow("absolute wing negative") << "absolute wing" << -1.0 << false;
    QTest::newRow("absolute wing 2.5") << "absolute wing" << 2.5 << true;
    QTest::newRow("resolution -1") << "instrument resolution" << -1.0 << false;
    QTest::newRow("resolution 0") << "instrument resolution" << 0.0 << false;
    QTest::newRow("resolution 0.5") << "instrument resolution" << 0.5 << true;
    QTest::newRow("instrument wing 0") << "instrument wing" << 0.0 << false;
    QTest::newRow("instrument wing 7") << "instrument wing" << 7.0 << true;
    QTest::newRow("concentration negative") << "CO2 concentration" << -1.0 << false;
    QTest::newRow("concentration 1e6 ppmv") << "CO2 concentration" << 1e6 << true;
    QTest::newRow("concentration 2e6 ppmv") << "CO2 concentration" << 2e6 << false;
    QTest::newRow("concentration 1e30 ppmv") << "CO2 concentration" << 1e30 << false;
    QTest::newRow("path 0") << "path length" << 0.0 << false;
    QTest::newRow("path 7") << "path length" << 7.0 << true;
    QTest::newRow("pressure 0") << "total pressure" << 0.0 << false;
    QTest::newRow("temperature below the tables") << "temperature" << 10.0 << false;
    QTest::newRow("temperature 250 K") << "temperature" << 250.0 << true;
    QTest::newRow("start negative") << "start" << -0.5 << false;
    QTest::newRow("start above 50000") << "start" << 60000.0 << false;
    QTest::newRow("start 2100") << "start" << 2100.0 << true;
    QTest::newRow("one point") << "points" << 1.0 << false;
    QTest::newRow("a million points") << "points" << 1e6 << true;
}

void TestSettingAgreement::everySetterAgrees()
{
    QFETCH(QString, name);
    QFETCH(double, value);
    QFETCH(bool, accepted);
    const Setting s = setting(name);
    const double before = s.stored();
    QVERIFY(before != value);
    const QString text = QString::number(value, 'g', 17);

    const QString screenProblem = s.enter(QString::number(value / s.screenUnit, 'g', 17));
    QVERIFY2(screenProblem.isEmpty() == accepted, qPrintable(screenProblem));
    QCOMPARE(s.stored(), accepted ? value : before);
    s.store(before);

    const QStringList replies = send(QStringLiteral("#%1;%2").arg(s.command, text));
    const QString refusal = s.command.section(QLatin1Char(';'), 0, 0) + QStringLiteral(" : Parameter out of range. ");
    if (accepted)
        QCOMPARE(replies, QStringList());
    else
        QVERIFY2(replies.size() == 1 && replies.first().startsWith(refusal), qPrintable(replies.join('|')));
    QCOMPARE(s.stored(), accepted ? value : before);
    s.store(before);

    const QStringList problems = loadWith(s.fileComment, text);
    const bool namedAmongProblems = problems.join(QLatin1Char('\n')).contains(s.fileComment);
    QVERIFY2(namedAmongProblems != accepted, qPrintable(problems.join('\n')));
    QCOMPARE(s.stored(), accepted ? value : before);
    s.store(before);
}

QTEST_GUILESS_MAIN(TestSettingAgreement)
#include "tst_settingagreement.moc"
