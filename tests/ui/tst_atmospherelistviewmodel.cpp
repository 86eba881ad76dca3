#include "app/kolvexcore.h"
#include "data/atmospheremodelset.h"
#include "data/params.h"
#include "ui/atmospherelistviewmodel.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>
#include <memory>

// The atmosphere screen's list, profile plot and applying a model, on a core
// started in an empty data folder.
class TestAtmosphereListViewModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startUpAppliesUSStandard();
    void rowsNameEveryProfile();
    void plottedProfiles_data();
    void plottedProfiles();
    void plotAnnouncesARedrawEvenForTheSameProfile();
    void choosingAModelDoesNotApplyIt();
    void applyingSubarcticWinter();
    void applyingFromElsewhere();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<KolvexCore> m_core;
};

void TestAtmosphereListViewModel::initTestCase()
{
    QVERIFY(m_dir.isValid());
    KolvexCore::Settings settings;
    settings.dataFolder = m_dir.path();
    m_core = std::make_unique<KolvexCore>(settings);
}

void TestAtmosphereListViewModel::startUpAppliesUSStandard()
{
    QCOMPARE(m_core->atmosphereModels()->currentIndex(), quint8(5));
    const PathConditions &path = m_core->params()->pathConditions();
    QCOMPARE(path.totalPressure, 0.9967892);
    QCOMPARE(path.temperature, 288.0);
    QCOMPARE(path.airDensity, 2.55e19);
    QCOMPARE(path.pathLength, 1000.0);
    QCOMPARE(int(path.concentrations.size()), Params::maxMoleculeCount);
    QCOMPARE(path.concentrations[0], 7750.0);
    QCOMPARE(path.concentrations[1], 330.0);
    QCOMPARE(path.concentrations[6], 209000.0);
    QCOMPARE(path.concentrations[21], 781000.0);
    for (int k = 28; k < Params::maxMoleculeCount; ++k)
        QCOMPARE(path.concentrations[std::size_t(k)], 0.0);
    QVERIFY(m_core->params()->crossSectionOnly());
}

void TestAtmosphereListViewModel::rowsNameEveryProfile()
{
    AtmosphereListViewModel model(nullptr, m_core.get());
    QCOMPARE(model.rowCount(), 3 + Params::maxMoleculeCount);
    QCOMPARE(model.roleNames().value(AtmosphereListViewModel::ItemNameRole), QByteArray("itemName"));
    const auto name = [&model](int row) {
        return model.data(model.index(row), AtmosphereListViewModel::ItemNameRole).toString();
    };
    QCOMPARE(name(0), QStringLiteral("  Press."));
    QCOMPARE(name(1), QStringLiteral("  Temp."));
    QCOMPARE(name(2), QStringLiteral("  Dens."));
    QCOMPARE(name(3), QStringLiteral("  1  H2O"));
    QCOMPARE(name(11), QStringLiteral("  9  SO2"));
    QCOMPARE(name(12), QStringLiteral("10  NO2"));
    QCOMPARE(name(51), QStringLiteral("49  COCl2"));
    QCOMPARE(model.profileIndex(0), 0);
    QCOMPARE(model.profileIndex(51), 51);
    QCOMPARE(model.profileIndex(52), -1);
    QVERIFY(!model.data(model.index(52), AtmosphereListViewModel::ItemNameRole).isValid());
}

void TestAtmosphereListViewModel::plottedProfiles_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("title");
    QTest::addColumn<double>("ground");
    QTest::addColumn<double>("maxY");

    QTest::newRow("pressure") << 0 << "Total pressure, mbar" << 1010.0 << 1010.0;
    QTest::newRow("temperature") << 1 << "Temperature, Kelvin" << 288.0 << 360.0;
    QTest::newRow("air density") << 2 << "Air density, cm-3" << 2.55e19 << 2.55e19;
    QTest::newRow("H2O") << 3 << "Concentration of H2O, ppmv" << 7750.0 << 7750.0;
    QTest::newRow("O2") << 9 << "Concentration of O2, ppmv" << 209000.0 << 209000.0;
    QTest::newRow("COCl2, all zero") << 3 + 48 << "Concentration of COCl2, ppmv" << 0.0
                                     << std::numeric_limits<double>::min();
}

void TestAtmosphereListViewModel::plottedProfiles()
{
    QFETCH(int, item);
    QFETCH(QString, title);
    QFETCH(double, ground);
    QFETCH(double, maxY);

    AtmosphereListViewModel model(nullptr, m_core.get());
    QSignalSpy spectrumChanged(&model, &AtmosphereListViewModel::spectrumChanged);
    model.setSelectedItem(item);
    QCOMPARE(spectrumChanged.count(), item == 0 ? 0 : 1);
    QCOMPARE(model.xAxisTitle(), title);
    QCOMPARE(int(model.spectrum().values.size()), AtmosphereModelSet::levelCount);
    QCOMPARE(model.spectrum().values.front(), ground);
    QCOMPARE(model.spectrum().auxValues, AtmosphereModelSet::altitudeGrid());
    QCOMPARE(model.minX(), 0.0);
    QCOMPARE(model.maxX(), 120.0);
    QCOMPARE(model.minY(), 0.0);
    QCOMPARE(model.maxY(), maxY);
    QCOMPARE(model.lineColor(), QStringLiteral("#ff0000"));
    QCOMPARE(model.property("spectrum").value<AtmosphereProfile>().values, model.spectrum().values);
}

void TestAtmosphereListViewModel::plotAnnouncesARedrawEvenForTheSameProfile()
{
    AtmosphereListViewModel model(nullptr, m_core.get());
    QSignalSpy index(&model, &AtmosphereListViewModel::currSpecIndexChanged);
    QSignalSpy ranges(&model, &AtmosphereListViewModel::maxYChanged);
    model.plotSpectrum();
    QCOMPARE(index.count(), 3);
    QCOMPARE(ranges.count(), 1);
    QCOMPARE(model.currSpecIndex(), -2);

    // A profile beyond the table plots nothing and keeps what is shown.
    const std::vector<double> shown = model.spectrum().values;
    QSignalSpy spectrumChanged(&model, &AtmosphereListViewModel::spectrumChanged);
    model.setSelectedItem(3 + Params::maxMoleculeCount);
    model.setSelectedItem(-4);
    QCOMPARE(spectrumChanged.count(), 0);
    QCOMPARE(model.spectrum().values, shown);
}

void TestAtmosphereListViewModel::choosingAModelDoesNotApplyIt()
{
    AtmosphereListViewModel model(nullptr, m_core.get());
    QSignalSpy modelChanged(&model, &AtmosphereListViewModel::modelNumChanged);
    model.setModelNum(0);
    QCOMPARE(modelChanged.count(), 1);
    QCOMPARE(m_core->atmosphereModels()->currentIndex(), quint8(0));
    QCOMPARE(model.spectrum().values.front(), 1010.0);
    QCOMPARE(model.setProperty("modelNum", 1), true);
    QCOMPARE(m_core->atmosphereModels()->currentIndex(), quint8(1));
    model.setModelNum(9);
    QCOMPARE(model.modelNum(), quint8(1));
    QCOMPARE(modelChanged.count(), 2);
    model.setSelectedItem(1);
    QCOMPARE(model.spectrum().values.front(), 294.0);
    QCOMPARE(m_core->params()->pathConditions().temperature, 288.0);
    model.setModelNum(5);
}

void TestAtmosphereListViewModel::applyingSubarcticWinter()
{
    AtmosphereListViewModel model(nullptr, m_core.get());
    Params *params = m_core->params();
    params->pathConditions().pathLength = 321.0;
    QSignalSpy valuesUpdated(m_core.get(), &KolvexCore::valuesUpdated);
    model.setModelNum(4);
    model.assignNewValues();
    QCOMPARE(valuesUpdated.count(), 1);
    QCOMPARE(params->pathConditions().temperature, 257.0);
    QCOMPARE(params->pathConditions().airDensity, 2.86e19);
    QCOMPARE(params->pathConditions().concentrations[0], 1410.0);
    QCOMPARE(params->pathConditions().pathLength, 321.0);

    model.setModelNum(5);
    model.assignNewValues();
    QCOMPARE(params->pathConditions().temperature, 288.0);
}

void TestAtmosphereListViewModel::applyingFromElsewhere()
{
    AtmosphereListViewModel model(nullptr, m_core.get());
    QSignalSpy modelChanged(&model, &AtmosphereListViewModel::modelNumChanged);
    // The remote control chooses a model in the set and asks for it to be applied.
    QVERIFY(m_core->atmosphereModels()->setCurrentIndex(2));
    emit m_core->applyCurrentAtmModel();
    QCOMPARE(m_core->params()->pathConditions().temperature, 272.0);
    QCOMPARE(m_core->params()->pathConditions().totalPressure, 1020.0 * 0.00098692);
    QCOMPARE(model.modelNum(), quint8(2));
    QCOMPARE(modelChanged.count(), 1);
    QCOMPARE(model.spectrum().values.front(), 1020.0);

    m_core->atmosphereModels()->setCurrentIndex(5);
    emit m_core->applyCurrentAtmModel();
}

QTEST_GUILESS_MAIN(TestAtmosphereListViewModel)
#include "tst_atmospherelistviewmodel.moc"
