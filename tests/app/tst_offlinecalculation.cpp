#include "app/kolvexcore.h"
#include "calc/spectraset.h"
#include "data/params.h"
#include "offlinesettings.h"

#include <QTemporaryDir>
#include <QtTest>

// A device without network: the default calculation runs from the shipped sample
// lines, and the user is told where the lines came from.
class TestOfflineCalculation : public QObject
{
    Q_OBJECT

private slots:
    void defaultCalculationUsesTheSampleLines();
};

void TestOfflineCalculation::defaultCalculationUsesTheSampleLines()
{
    QTemporaryDir dir;
    KolvexCore core(offlineSettings(dir.path()));
    QTRY_VERIFY(core.tipsLoaded());
    core.setOkDialogText(QString());

    core.calculate();
    QTRY_VERIFY_WITH_TIMEOUT(!core.calculationIsRunning(), 60000);
    QVERIFY2(core.okDialogText().contains(QStringLiteral("sample")), qPrintable(core.okDialogText()));

    const Params &params = *core.params();
    const SpectraSet &spectra = *core.spectra();
    auto strongest = [&](const char *name) {
        for (int m = 0; m < params.moleculeCount(); ++m) {
            if (params.molecule(m).name == QLatin1String(name))
                return spectra.molecules.at(std::size_t(m)).opticalDepth.maximum;
        }
        return -1.0;
    };
    // The 4.3 micron CO2 band saturates a kilometre of air; CO and N2O show;
    // ozone and methane are not in the sample at all.
    QVERIFY(strongest("CO2") > 100.0);
    QVERIFY(strongest("CO") > 0.01);
    QVERIFY(strongest("N2O") > 0.1);
    QVERIFY(strongest("O3") < 1e-300);
    QVERIFY(strongest("CH4") < 1e-300);
    for (const MoleculeSpectra &molecule : spectra.molecules) {
        for (double value : molecule.opticalDepth.values)
            QVERIFY(std::isfinite(value));
    }
}

QTEST_GUILESS_MAIN(TestOfflineCalculation)
#include "tst_offlinecalculation.moc"
