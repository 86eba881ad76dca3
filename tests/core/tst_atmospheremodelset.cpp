#include "core/atmospheremodelset.h"
#include "core/bundleddata.h"
#include "core/params.h"

#include <QFile>
#include <QtTest>

namespace {

QString resourceText(const QString &path)
{
    BundledData::initialize();
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class TestAtmosphereModelSet : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void groundValues_data();
    void groundValues();
    void profilesFollowTheTables();
    void damagedTablesGiveNoModelToApply_data();
    void damagedTablesGiveNoModelToApply();
    void shorterModelStillSetsEveryMolecule();

private:
    AtmosphereModelSet m_set;
};

void TestAtmosphereModelSet::initTestCase()
{
    m_set.setMoleculeCount(Params::maxMoleculeCount);
    QVERIFY(m_set.buildModels());
    QCOMPARE(m_set.currentIndex(), quint8(AtmosphereModelSet::usStandardIndex));
    QVERIFY(!m_set.setCurrentIndex(6));
    QVERIFY(!m_set.setCurrentIndex(-1));
    const std::vector<double> grid = AtmosphereModelSet::altitudeGrid();
    QCOMPARE(int(grid.size()), 50);
    QCOMPARE(grid[26], 27.5);
    QCOMPARE(grid[36], 55.0);
    QCOMPARE(grid.back(), 120.0);
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

    const AtmosphereModel &model = m_set.model(index);
    QCOMPARE(model.name, name);
    QCOMPARE(model.pressure.values.front(), pressure);
    QCOMPARE(model.temperature.values.front(), temperature);
    QCOMPARE(model.airDensity.values.front(), density);
    const double ground[] = {h2o, 330.0, o3, index == 3 ? 0.31 : 0.32, 0.15, 1.7, 209000.0};
    for (int k = 0; k < 7; ++k)
        QCOMPARE(model.concentrations[std::size_t(k)].values.front(), ground[k]);

    QCOMPARE(int(model.concentrations.size()), Params::maxMoleculeCount);
    std::vector<const AtmosphereProfile *> profiles{&model.pressure, &model.temperature, &model.airDensity};
    for (const AtmosphereProfile &profile : model.concentrations)
        profiles.push_back(&profile);
    for (const AtmosphereProfile *profile : profiles) {
        QCOMPARE(profile->auxValues, AtmosphereModelSet::altitudeGrid());
        QCOMPARE(profile->values.size(), std::size_t(50));
    }
}

void TestAtmosphereModelSet::profilesFollowTheTables()
{
    for (const AtmosphereModel &model : m_set.models()) {
        // CO2 and O2 are constant only up to 75 and 80 km; the top keeps the table's values.
        QCOMPARE(model.concentrations[1].values.back(), 35.0);
        QCOMPARE(model.concentrations[6].values.back(), 72500.0);
        QCOMPARE(model.concentrations[7].values.front(), 0.0003);      // NO
        QCOMPARE(model.concentrations[21].values.front(), 781000.0);   // N2
        QCOMPARE(model.concentrations[21].values.back(), 760000.0);
        QCOMPARE(model.concentrations[27].values.back(), 1e-14);       // PH3
        QCOMPARE(model.concentrations[14].values, m_set.model(0).concentrations[14].values);
        for (std::size_t k = AtmosphereModelSet::profiledMoleculeCount; k < model.concentrations.size(); ++k)
            QCOMPARE(model.concentrations[k].values, SpectrumValues(50, 0.0));
        for (std::size_t i = 1; i < 50; ++i)
            QVERIFY(model.pressure.values[i] < model.pressure.values[i - 1]);
    }
}

void TestAtmosphereModelSet::damagedTablesGiveNoModelToApply_data()
{
    QTest::addColumn<QString>("models");
    QTest::addColumn<QString>("trace");

    const QString models = resourceText(AtmosphereModelSet::modelTableResource());
    const QString trace = resourceText(AtmosphereModelSet::traceTableResource());
    const QString ground = QStringLiteral("0.0       1010        288   2.55e+19       7750");
    QVERIFY(models.contains(ground));
    const auto damaged = [&](const QString &by) { return QString(models).replace(ground, by); };

    QTest::newRow("no tables") << QString() << QString();
    QTest::newRow("missing model") << models.left(models.indexOf(QLatin1String("# MODEL 5"))) << trace;
    QTest::newRow("missing level") << damaged(QString()) << trace;
    QTest::newRow("not a number") << damaged(QString(ground).replace("7750", "nan")) << trace;
    QTest::newRow("short trace row") << models << QString(trace).replace(QLatin1String("1e-14\n"), QLatin1String("\n"));
}

void TestAtmosphereModelSet::damagedTablesGiveNoModelToApply()
{
    QFETCH(QString, models);
    QFETCH(QString, trace);

    AtmosphereModelSet set;
    set.setMoleculeCount(Params::maxMoleculeCount);
    QVERIFY(!set.buildModels(models, trace));
    QCOMPARE(int(set.models().size()), AtmosphereModelSet::modelCount);
    QCOMPARE(set.currentModel().name, QStringLiteral("US Standard"));

    Params params;
    const PathConditions before = params.pathConditions();
    QVERIFY(!params.applyAtmosphereModelToParams(set.currentModel()));
    QCOMPARE(params.pathConditions().temperature, before.temperature);
    QCOMPARE(params.pathConditions().concentrations, before.concentrations);
}

void TestAtmosphereModelSet::shorterModelStillSetsEveryMolecule()
{
    AtmosphereModelSet set;
    set.setMoleculeCount(5);
    QVERIFY(set.buildModels());
    QCOMPARE(int(set.model(0).concentrations.size()), 5);

    Params params;
    params.pathConditions().concentrations.assign(std::size_t(params.moleculeCount()), 7.0);
    QVERIFY(params.applyAtmosphereModelToParams(set.model(0)));
    std::vector<double> expected(std::size_t(params.moleculeCount()), 0.0);
    for (std::size_t k = 0; k < 5; ++k)
        expected[k] = set.model(0).concentrations[k].values.front();
    QCOMPARE(params.pathConditions().concentrations, expected);
}

QTEST_GUILESS_MAIN(TestAtmosphereModelSet)
#include "tst_atmospheremodelset.moc"
