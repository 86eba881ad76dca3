#include "data/atmospheremodelset.h"
#include "data/bundleddata.h"
#include "data/params.h"
#include "data/pressureunits.h"

#include <QFile>
#include <QtTest>

namespace {

QString resourceText(const QString &path)
{
    BundledData::initialize();
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

AtmosphereModelSet builtSet(int molecules = Params::maxMoleculeCount)
{
    AtmosphereModelSet set;
    set.setMoleculeCount(molecules);
    set.buildModels();
    return set;
}

} // namespace

// The six standard atmospheres read from the program's tables and applying
// their ground level to the path.
class TestAtmosphereModelSet : public QObject
{
    Q_OBJECT

private slots:
    void everyProfileLiesOnTheAltitudeGrid();
    void groundValues_data();
    void groundValues();
    void sharedProfilesFollowTheTables();
    void moleculeCountSizesTheConcentrations_data();
    void moleculeCountSizesTheConcentrations();
    void damagedTablesGiveNoModelToApply_data();
    void damagedTablesGiveNoModelToApply();
    void applyingSubarcticWinter();
    void currentIndexRefusesUnknownModels();
};

void TestAtmosphereModelSet::everyProfileLiesOnTheAltitudeGrid()
{
    const std::vector<double> grid = AtmosphereModelSet::altitudeGrid();
    QCOMPARE(int(grid.size()), AtmosphereModelSet::levelCount);
    QCOMPARE(grid[25], 25.0);
    QCOMPARE(grid[26], 27.5);
    QCOMPARE(grid[35], 50.0);
    QCOMPARE(grid[36], 55.0);
    QCOMPARE(grid.back(), 120.0);

    const AtmosphereModelSet set = builtSet();
    QCOMPARE(int(set.models().size()), AtmosphereModelSet::modelCount);
    for (const AtmosphereModel &model : set.models()) {
        std::vector<const AtmosphereProfile *> profiles{&model.pressure, &model.temperature, &model.airDensity};
        for (const AtmosphereProfile &profile : model.concentrations)
            profiles.push_back(&profile);
        QCOMPARE(int(profiles.size()), 3 + Params::maxMoleculeCount);
        for (const AtmosphereProfile *profile : profiles) {
            QCOMPARE(profile->values.size(), grid.size());
            QCOMPARE(profile->auxValues, grid);
        }
        // Pressure and density fall with altitude at every level.
        for (std::size_t i = 1; i < grid.size(); ++i) {
            QVERIFY(model.pressure.values[i] < model.pressure.values[i - 1]);
            QVERIFY(model.airDensity.values[i] < model.airDensity.values[i - 1]);
        }
    }
}

void TestAtmosphereModelSet::groundValues_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("pressure");
    QTest::addColumn<double>("temperature");
    QTest::addColumn<double>("density");
    QTest::addColumn<double>("h2o");
    QTest::addColumn<double>("o3");

    QTest::newRow("0") << 0 << "Tropical" << 1010.0 << 300.0 << 2.45e19 << 25900.0 << 0.0287;
    QTest::newRow("1") << 1 << "Midlatitude summer" << 1010.0 << 294.0 << 2.5e19 << 18800.0 << 0.0302;
    QTest::newRow("2") << 2 << "Midlatitude winter" << 1020.0 << 272.0 << 2.71e19 << 4320.0 << 0.0278;
    QTest::newRow("3") << 3 << "Subarctic summer" << 1010.0 << 287.0 << 2.55e19 << 11900.0 << 0.0241;
    QTest::newRow("4") << 4 << "Subarctic winter" << 1010.0 << 257.0 << 2.86e19 << 1410.0 << 0.018;
    QTest::newRow("5") << 5 << "US Standard" << 1010.0 << 288.0 << 2.55e19 << 7750.0 << 0.0266;
}

void TestAtmosphereModelSet::groundValues()
{
    QFETCH(int, index);
    QFETCH(QString, name);
    QFETCH(double, pressure);
    QFETCH(double, temperature);
    QFETCH(double, density);
    QFETCH(double, h2o);
    QFETCH(double, o3);

    const AtmosphereModelSet set = builtSet();
    const AtmosphereModel &model = set.model(index);
    QCOMPARE(model.name, name);
    QCOMPARE(model.pressure.values.front(), pressure);
    QCOMPARE(model.temperature.values.front(), temperature);
    QCOMPARE(model.airDensity.values.front(), density);
    QCOMPARE(model.concentrations[0].values.front(), h2o);
    QCOMPARE(model.concentrations[1].values.front(), 330.0);
    QCOMPARE(model.concentrations[2].values.front(), o3);
    QCOMPARE(model.concentrations[4].values.front(), 0.15);
    QCOMPARE(model.concentrations[6].values.front(), 209000.0);
}

void TestAtmosphereModelSet::sharedProfilesFollowTheTables()
{
    const AtmosphereModelSet set = builtSet();
    const AtmosphereModel &tropical = set.model(0);
    QCOMPARE(tropical.concentrations[3].values.front(), 0.32);   // N2O
    for (const AtmosphereModel &model : set.models()) {
        // CO2 and O2 are constant only up to 75 and 80 km; the top levels keep the table's values.
        QCOMPARE(model.concentrations[1].values[AtmosphereModelSet::levelCount - 1], 35.0);
        QCOMPARE(model.concentrations[6].values[AtmosphereModelSet::levelCount - 1], 72500.0);
        QCOMPARE(model.concentrations[21].values.front(), 781000.0);   // N2
        QCOMPARE(model.concentrations[21].values.back(), 760000.0);
        QCOMPARE(model.concentrations[7].values.front(), 0.0003);      // NO
        QCOMPARE(model.concentrations[27].values.front(), 1e-14);      // PH3
        QCOMPARE(model.concentrations[27].values.back(), 1e-14);
        for (int k = AtmosphereModelSet::profiledMoleculeCount; k < Params::maxMoleculeCount; ++k) {
            const std::vector<double> &values = model.concentrations[std::size_t(k)].values;
            QVERIFY(std::all_of(values.begin(), values.end(), [](double v) { return v == 0.0; }));
        }
    }
    // The trace gases are the same in every model; the model's own gases are not.
    QCOMPARE(set.model(0).concentrations[14].values, set.model(5).concentrations[14].values);
    QVERIFY(set.model(0).concentrations[0].values != set.model(5).concentrations[0].values);
}

void TestAtmosphereModelSet::moleculeCountSizesTheConcentrations_data()
{
    QTest::addColumn<int>("requested");
    QTest::addColumn<int>("profiles");
    QTest::newRow("none") << 0 << 0;
    QTest::newRow("fewer than the profiled gases") << 5 << 5;
    QTest::newRow("all") << 49 << 49;
    QTest::newRow("beyond the table") << 80 << 49;
    QTest::newRow("negative") << -3 << 0;
}

void TestAtmosphereModelSet::moleculeCountSizesTheConcentrations()
{
    QFETCH(int, requested);
    QFETCH(int, profiles);
    const AtmosphereModelSet set = builtSet(requested);
    QCOMPARE(set.moleculeCount(), profiles);
    for (const AtmosphereModel &model : set.models())
        QCOMPARE(int(model.concentrations.size()), profiles);

    // A shorter model still gives every molecule of the table a concentration.
    Params params;
    params.pathConditions().concentrations.assign(std::size_t(params.moleculeCount()), 7.0);
    QVERIFY(params.applyAtmosphereModelToParams(set.model(0)));
    const std::vector<double> &concentrations = params.pathConditions().concentrations;
    QCOMPARE(int(concentrations.size()), params.moleculeCount());
    for (int k = 0; k < params.moleculeCount(); ++k)
        QCOMPARE(concentrations[std::size_t(k)],
                 k < profiles ? set.model(0).concentrations[std::size_t(k)].values.front() : 0.0);
}

void TestAtmosphereModelSet::damagedTablesGiveNoModelToApply_data()
{
    QTest::addColumn<QString>("models");
    QTest::addColumn<QString>("trace");

    const QString models = resourceText(AtmosphereModelSet::modelTableResource());
    const QString trace = resourceText(AtmosphereModelSet::traceTableResource());
    QVERIFY(!models.isEmpty() && !trace.isEmpty());
    const QString usGround = QStringLiteral("0.0       1010        288   2.55e+19       7750");
    QVERIFY(models.contains(usGround));

    QTest::newRow("no tables") << QString() << QString();
    QTest::newRow("missing model") << models.left(models.indexOf(QLatin1String("# MODEL 5"))) << trace;
    QTest::newRow("repeated model") << QString(models).replace(QLatin1String("# MODEL 5"), QLatin1String("# MODEL 4"))
                                    << trace;
    QTest::newRow("missing level") << QString(models).remove(usGround) << trace;
    QTest::newRow("negative value") << QString(models).replace(usGround, QString(usGround).replace("7750", "-7750"))
                                    << trace;
    QTest::newRow("not a number") << QString(models).replace(usGround, QString(usGround).replace("7750", "nan"))
                                  << trace;
    QTest::newRow("wrong altitude") << QString(models).replace(usGround, QString(usGround).replace("0.0 ", "0.5 "))
                                    << trace;
    QTest::newRow("missing trace level") << models << trace.left(trace.lastIndexOf(QLatin1String("120.0")));
    QTest::newRow("short trace row") << models << QString(trace).replace(QLatin1String("1e-14\n"), QLatin1String("\n"));
}

void TestAtmosphereModelSet::damagedTablesGiveNoModelToApply()
{
    QFETCH(QString, models);
    QFETCH(QString, trace);

    AtmosphereModelSet set;
    set.setMoleculeCount(Params::maxMoleculeCount);
    QVERIFY(set.buildModels(resourceText(AtmosphereModelSet::modelTableResource()),
                            resourceText(AtmosphereModelSet::traceTableResource())));
    QVERIFY(!set.buildModels(models, trace));
    QCOMPARE(int(set.models().size()), AtmosphereModelSet::modelCount);
    QCOMPARE(set.currentModel().name, QStringLiteral("US Standard"));

    Params params;
    const PathConditions before = params.pathConditions();
    QVERIFY(!set.currentModel().hasGroundValues());
    QVERIFY(!params.applyAtmosphereModelToParams(set.currentModel()));
    QCOMPARE(params.pathConditions().totalPressure, before.totalPressure);
    QCOMPARE(params.pathConditions().temperature, before.temperature);
    QCOMPARE(params.pathConditions().concentrations, before.concentrations);
}

void TestAtmosphereModelSet::applyingSubarcticWinter()
{
    AtmosphereModelSet set = builtSet();
    Params params;
    params.pathConditions().pathLength = 12.5;
    params.molecule(3).selected = false;
    QVERIFY(set.setCurrentIndex(4));
    QVERIFY(params.applyAtmosphereModelToParams(set.currentModel()));

    const PathConditions &path = params.pathConditions();
    QCOMPARE(path.temperature, 257.0);
    QCOMPARE(path.totalPressure, 1010.0 * 0.00098692);
    QCOMPARE(path.totalPressure, PressureUnits::toAtm(1010.0, PressureUnits::Mbar));
    QCOMPARE(path.airDensity, 2.86e19);
    QCOMPARE(path.concentrations[0], 1410.0);
    QCOMPARE(path.pathLength, 12.5);
    QVERIFY(!params.molecule(3).selected);
}

void TestAtmosphereModelSet::currentIndexRefusesUnknownModels()
{
    AtmosphereModelSet set = builtSet();
    QCOMPARE(set.currentIndex(), quint8(AtmosphereModelSet::usStandardIndex));
    QVERIFY(!set.setCurrentIndex(6));
    QVERIFY(!set.setCurrentIndex(-1));
    QCOMPARE(set.currentIndex(), quint8(5));
    QVERIFY(set.setCurrentIndex(0));
    QCOMPARE(set.currentModel().name, QStringLiteral("Tropical"));
}

QTEST_GUILESS_MAIN(TestAtmosphereModelSet)
#include "tst_atmospheremodelset.moc"
