#include "app/kolvexcore.h"
#include "core/atmospheremodelset.h"
#include "core/params.h"
#include "offlinesettings.h"
#include "ui/atmospherelistviewmodel.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>
#include <memory>

class TestAtmosphereListViewModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void rowsNameEveryProfile();
    void plottedProfiles_data();
    void plottedProfiles();
    void choosingAModelAppliesItOnlyOnRequest();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<KolvexCore> m_core;
    std::unique_ptr<AtmosphereListViewModel> m_model;
};

void TestAtmosphereListViewModel::initTestCase()
{
    m_core = std::make_unique<KolvexCore>(offlineSettings(m_dir.path()));
    m_model = std::make_unique<AtmosphereListViewModel>(nullptr, m_core.get());
}

void TestAtmosphereListViewModel::rowsNameEveryProfile()
{
    QCOMPARE(m_model->rowCount(), 3 + Params::maxMoleculeCount);
    QCOMPARE(m_model->roleNames().value(Qt::UserRole + 1), QByteArray("itemName"));
    const QStringList expected{"  Press.", "  Temp.", "  Dens.", "  1  H2O", "  9  SO2", "10  NO2", "49  COCl2"};
    const int rows[] = {0, 1, 2, 3, 11, 12, 51};
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(m_model->data(m_model->index(rows[i]), Qt::UserRole + 1).toString(), expected.at(i));
        QCOMPARE(m_model->profileIndex(rows[i]), rows[i]);
    }
    QVERIFY(!m_model->data(m_model->index(52), Qt::UserRole + 1).isValid());
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

    m_model->setSelectedItem(item);
    // The index runs -1, 0, -2 so that the plot redraws even for the same profile.
    QSignalSpy index(m_model.get(), &AtmosphereListViewModel::currSpecIndexChanged);
    m_model->plotSpectrum();
    QCOMPARE(index.count(), 3);
    QCOMPARE(m_model->currSpecIndex(), -2);
    QCOMPARE(m_model->xAxisTitle(), title);
    const AtmosphereProfile spectrum = m_model->property("spectrum").value<AtmosphereProfile>();
    QCOMPARE(spectrum.values.front(), ground);
    QCOMPARE(spectrum.auxValues, AtmosphereModelSet::altitudeGrid());
    QCOMPARE(m_model->minX(), 0.0);
    QCOMPARE(m_model->maxX(), 120.0);
    QCOMPARE(m_model->minY(), 0.0);
    QCOMPARE(m_model->maxY(), maxY);
    QCOMPARE(m_model->lineColor(), QStringLiteral("#ff0000"));

    // A profile beyond the table plots nothing and keeps what is shown.
    QSignalSpy spectrumChanged(m_model.get(), &AtmosphereListViewModel::spectrumChanged);
    m_model->setSelectedItem(3 + Params::maxMoleculeCount);
    QCOMPARE(spectrumChanged.count(), 0);
    QCOMPARE(m_model->spectrum().values, spectrum.values);
}

void TestAtmosphereListViewModel::choosingAModelAppliesItOnlyOnRequest()
{
    PathConditions &path = m_core->params()->pathConditions();
    // Start-up applied the US Standard atmosphere.
    QCOMPARE(path.totalPressure, 0.9967892);
    QCOMPARE(path.temperature, 288.0);
    QCOMPARE(path.airDensity, 2.55e19);
    QCOMPARE(path.concentrations[1], 330.0);
    QCOMPARE(path.concentrations[6], 209000.0);
    QCOMPARE(std::vector<double>(path.concentrations.begin() + 28, path.concentrations.end()),
             std::vector<double>(21, 0.0));

    path.pathLength = 321.0;
    QSignalSpy valuesUpdated(m_core.get(), &KolvexCore::valuesUpdated);
    QSignalSpy modelChanged(m_model.get(), &AtmosphereListViewModel::modelNumChanged);
    m_model->setSelectedItem(1);
    QVERIFY(m_model->setProperty("modelNum", 4));
    m_model->setModelNum(9);
    QCOMPARE(m_model->modelNum(), quint8(4));
    QCOMPARE(modelChanged.count(), 1);
    QCOMPARE(m_model->spectrum().values.front(), 257.0);
    QCOMPARE(path.temperature, 288.0);

    m_model->assignNewValues();
    QCOMPARE(valuesUpdated.count(), 1);
    QCOMPARE(path.temperature, 257.0);
    QCOMPARE(path.airDensity, 2.86e19);
    QCOMPARE(path.concentrations[0], 1410.0);
    QCOMPARE(path.pathLength, 321.0);

    // The remote control chooses a model in the set and asks for it to be applied.
    QVERIFY(m_core->atmosphereModels()->setCurrentIndex(2));
    emit m_core->applyCurrentAtmModel();
    QCOMPARE(path.totalPressure, 1020.0 * 0.00098692);
    QCOMPARE(m_model->modelNum(), quint8(2));
    QCOMPARE(modelChanged.count(), 2);
    QCOMPARE(m_model->spectrum().values.front(), 272.0);
}

QTEST_GUILESS_MAIN(TestAtmosphereListViewModel)
#include "tst_atmospherelistviewmodel.moc"
