#include "app/kolvexcore.h"
#include "app/spectraresultsqml.h"
#include "core/atmospheremodelset.h"
#include "core/calculationresults.h"
#include "core/params.h"
#include "core/spectraset.h"
#include "core/yaxissettings.h"
#include "download/hitranonlinedownloader.h"
#include "faketransport.h"
#include "offlinesettings.h"
#include "remote/remotecontrol.h"
#include "spectrumqueries.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

// The command protocol driving a real core: CALC waits for the calculation on
// the shipped HITRAN sample lines and READY, the RESULT commands then answer
// with its conditions and spectra, a range that cannot be calculated is
// explained without a wait, and the binary CALC returns at once.
class TestRemoteCalculation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void binaryCalcReturnsAtOnce();
    void calcWaitsAndResultsFollow();
    void calcThatCannotStartDoesNotWait();
    void rangeEndsInEitherOrder();

private:
    QStringList send(const QString &message);

    QTemporaryDir m_folder;
    KolvexCore *m_core = nullptr;
    SpectraResultsQml *m_results = nullptr;
    RemoteControl *m_remote = nullptr;
    FakeTransport m_console;
};

void TestRemoteCalculation::initTestCase()
{
    QVERIFY(m_folder.isValid());
    m_core = new KolvexCore(offlineSettings(m_folder.path()));
    QTRY_VERIFY_WITH_TIMEOUT(m_core->tipsLoaded(), 30000);
    m_results = new SpectraResultsQml(nullptr, m_core);
    // Nothing draws in this test: the assembled curves count as the redrawn plot.
    connect(m_core, &KolvexCore::updateSpectra, m_core, [this] { m_core->updatePlotInProgress(false); });
    m_remote = m_core->remoteControl();
    m_remote->setConsole(&m_console);
}

void TestRemoteCalculation::cleanupTestCase()
{
    m_remote->setConsole(nullptr);
    delete m_results;
    delete m_core;
}

void TestRemoteCalculation::init()
{
    XAxis *axis = m_core->xAxis();
    axis->setUnits(XAxis::Wavenumber);
    axis->setMinWavenumber(2000.0);
    axis->setMaxWavenumber(2300.0);
    axis->setNumPoints(1001);
    Params *params = m_core->params();
    params->setReplyFormat('g');
    params->setReplyPrecision(8);
    params->setReplySeparator(QStringLiteral(";"));
    params->pathConditions().pathLength = 1000.0;
    params->pathConditions().temperature = 296.0;
    params->pathConditions().totalPressure = 1.0;
    params->setLineShapeProfile(1);
    params->setBroadeningType(2);
    params->setIntensityThreshold(1e-25);
    params->setCalcNotSelected(true);
    m_core->downloader()->setUsage(0);
    m_core->atmosphereModels()->setCurrentIndex(5);
    m_core->yAxis()->showTotal = false;
    m_core->yAxis()->displayedValue = YAxisSettings::AbsorptionQuantities;
    m_core->yAxis()->yUnits = YAxisSettings::Absorption;
    m_console.takeReplies();
}

QStringList TestRemoteCalculation::send(const QString &message)
{
    m_console.takeReplies();
    m_console.receive(message);
    // CALC and TOTAL wait in the event loop, as the program goes on.
    if (!QTest::qWaitFor([this] { return !m_remote->busy() && !m_core->calculationIsRunning(); }, 60000))
        qWarning("The commands did not end within a minute.");
    return m_console.takeReplies();
}

// CALC_BIN starts a calculation and returns at once: the query behind it is
// answered before the calculation ends with READY.
void TestRemoteCalculation::binaryCalcReturnsAtOnce()
{
    m_console.takeReplies();
    m_console.receive(QStringLiteral("#CALC_BIN;x#PATH;?"));
    QCOMPARE(m_console.takeReplies(), QStringList{"1000"});
    QVERIFY(m_core->calculationIsRunning());
    QStringList replies;
    QTRY_VERIFY_WITH_TIMEOUT((replies += m_console.takeReplies()).contains(QStringLiteral("READY")), 60000);
    QTRY_VERIFY(!m_core->calculationIsRunning() && !m_remote->busy());
    QCOMPARE(send("#CALC_BIN;?"), QStringList{QString()});
    QVERIFY(!m_core->calculationIsRunning());
}

void TestRemoteCalculation::calcWaitsAndResultsFollow()
{
    QCOMPARE(send("#SWAVE;2100#EWAVE;2300#NUMWNPTS;501#PATH;1000#TEMP;280#TPRES;0.9#MCONC;5;0.25#YUNITS;1"
                  "#INSTRFUNCT;3"),
             QStringList());
    // The calculation, READY and a result in one message, in this order.
    QCOMPARE(send("#CALC#RESULT;NUMWNPTS"), (QStringList{"READY", "501"}));
    QVERIFY(!m_core->calculationIsRunning());
    // The results report the calculation's conditions, not the live settings.
    QCOMPARE(send("#SWAVE;2150#EWAVE;2250#NUMWNPTS;301#PATH;7#TEMP;250#TPRES;0.5#MCONC;5;9"), QStringList());
    QCOMPARE(send("#RESULT;NUMWNPTS#RESULT;SWAVE#RESULT;EWAVE#RESULT;PATH#RESULT;TEMP#RESULT;TPRES#RESULT;MCONC;5"),
             (QStringList{"501", "2100", "2300", "1000", "280", "0.9", "0.25"}));

    const QStringList grid = send("#RESULT;WNGRID").value(0).split(QLatin1Char(';'));
    QCOMPARE(grid.size(), 501);
    QCOMPARE(grid.first(), QStringLiteral("2100"));
    QCOMPARE(grid.at(250), QStringLiteral("2200"));

    // CO's spectrum is CO's optical depth, not CO2's, which follows it in the table.
    const QStringList co = send(spectrumQuery(QStringLiteral("CO"))).value(0).split(QLatin1Char(';'));
    QCOMPARE(co.size(), 501);
    const MoleculeSpectra &coSpectra = m_core->spectra()->molecules[4];
    double largest = 0.0;
    for (int i = 0; i < 501; ++i) {
        const double tau = coSpectra.opticalDepth(std::size_t(i));
        QCOMPARE(co.at(i).toDouble(), QString::number(tau, 'g', 8).toDouble());
        largest = std::max(largest, tau);
    }
    QVERIFY(largest > 1e-6);
    const QStringList co2 = send(spectrumQuery(QStringLiteral("2"))).value(0).split(QLatin1Char(';'));
    QCOMPARE(co2.size(), 501);
    QVERIFY(co2 != co);

    // The total needs the total display: the command switches it on and waits.
    QCOMPARE(send("#TOTAL;?"), QStringList{"0"});
    const QStringList total = send(spectrumQuery(QStringLiteral("TOTAL"))).value(0).split(QLatin1Char(';'));
    QCOMPARE(total.size(), 501);
    QCOMPARE(send("#TOTAL;?"), QStringList{"1"});
    const SpectrumValues &totalTau = m_core->spectra()->opticalDepthTotal.values;
    QCOMPARE(total.at(100).toDouble(), QString::number(totalTau[100], 'g', 8).toDouble());
    const QStringList instr = send(spectrumQuery(QStringLiteral("INSTR"))).value(0).split(QLatin1Char(';'));
    QCOMPARE(instr.size(), 501);
    QVERIFY(instr != total);
    // Back to a molecule: the display returns to molecules.
    QCOMPARE(send(spectrumQuery(QStringLiteral("CO"))).value(0).split(QLatin1Char(';')), co);
    QCOMPARE(send("#TOTAL;?"), QStringList{"0"});

    // The cross-section total is found under its own title.
    send("#YUNITS;0");
    const QStringList xsect = send(spectrumQuery(QStringLiteral("0")));
    QCOMPARE(xsect.size(), 1);
    QCOMPARE(xsect.first().split(QLatin1Char(';')).size(), 501);
    // A molecule that was not calculated has no column.
    send("#TOTAL;0#YUNITS;1");
    const QStringList missing = send(spectrumQuery(QStringLiteral("HOCL")));
    QCOMPARE(missing.size(), 2);
    QVERIFY(missing.first().startsWith(QStringLiteral("HOCl : The requested molecular spectrum")));
    QCOMPARE(missing.last(), QString());
}

// A range that cannot be calculated is explained by CALC with both of its
// ends; no calculation starts, and the last results, their grid and the
// engine's spectra stay as they were.
void TestRemoteCalculation::calcThatCannotStartDoesNotWait()
{
    QCOMPARE(send("#SWAVE;2100#EWAVE;2150#NUMWNPTS;201#CALC#RESULT;SWAVE#RESULT;EWAVE"),
             (QStringList{"READY", "2100", "2150"}));
    const SpectrumValues grid = m_core->results()->xAxis().grid();
    const SpectrumValues co = m_core->spectra()->molecules[4].crossSection.values;
    const QString gridText = send("#RESULT;WNGRID").value(0);
    QVERIFY(*std::max_element(co.begin(), co.end()) > 0.0);

    m_core->xAxis()->setMaxWavenumber(1000.0);   // below the start: no grid
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(send("#CALC"),
             QStringList{"CALC : The spectral range from 2100 to 1000 cm-1 cannot be calculated: its end must be "
                         "above its start."});
    QVERIFY(timer.elapsed() < 2000);
    QVERIFY(!m_core->calculationIsRunning());
    QCOMPARE(send("#EWAVE;2100#CALC").value(0),
             QStringLiteral("CALC : The spectral range from 2100 to 2100 cm-1 cannot be calculated: its end must "
                            "be above its start."));
    QCOMPARE(send("#EWAVE;3000#NUMWNPTS;1#NUMWNPTS;?").value(1), QStringLiteral("201"));

    QVERIFY(m_core->results()->xAxis().grid() == grid);
    QVERIFY(m_core->spectra()->molecules[4].crossSection.values == co);
    QCOMPARE(send("#RESULT;SWAVE#RESULT;EWAVE#RESULT;NUMWNPTS"), (QStringList{"2100", "2150", "201"}));
    QCOMPARE(send("#RESULT;WNGRID").value(0), gridText);
}

// The natural script: a start above the old end, then the end, then CALC
// calculates exactly the range sent.
void TestRemoteCalculation::rangeEndsInEitherOrder()
{
    QCOMPARE(send("#NUMWNPTS;201"), QStringList());
    QCOMPARE(send("#SWAVE;2380"), QStringList());
    QCOMPARE(send("#EWAVE;2400"), QStringList());
    QCOMPARE(send("#CALC"), QStringList{"READY"});
    QCOMPARE(send("#RESULT;SWAVE#RESULT;EWAVE"), (QStringList{"2380", "2400"}));
    QCOMPARE(m_core->results()->xAxis().grid().front(), 2380.0);
    QCOMPARE(m_core->results()->xAxis().grid().back(), 2400.0);
    // And the other way round: an end below the old start first.
    QCOMPARE(send("#EWAVE;2050#SWAVE;2010#CALC#RESULT;SWAVE#RESULT;EWAVE"), (QStringList{"READY", "2010", "2050"}));
}

QTEST_GUILESS_MAIN(TestRemoteCalculation)
#include "tst_remotecalculation.moc"
