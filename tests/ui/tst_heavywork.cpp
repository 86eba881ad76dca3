#include "app/kolvexcore.h"
#include "app/spectraresultsqml.h"
#include "calc/lbl.h"
#include "core/params.h"
#include "core/spectraset.h"
#include "core/spectrumallocator.h"
#include "download/hitranonlinedownloader.h"
#include "offlinesettings.h"
#include "ui/plot.h"
#include "ui/qmltypes.h"
#include "ui/viewobjects.h"

#include <QFile>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

// The window while a long calculation runs: the real core, results model and
// main window (offscreen) on the sample lines, read from the data folder's own
// line file. The calculation must leave the window's thread free, never write
// into what the plot draws, and leave memory as it found it.
class TestHeavyWork : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void windowThreadStaysFreeAndThePlotKeepsItsCurves();
    void repeatedCalculationsKeepTheirMemory();

private:
    // Runs one calculation to its end from the event loop; false when it did
    // not end within the time.
    bool calculate();
    // Lets the window take and draw what the end of a calculation left.
    void settle();

    QTemporaryDir m_dir;
    std::unique_ptr<KolvexCore> m_core;
    std::unique_ptr<ViewObjects> m_views;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow *m_window = nullptr;
    Plot *m_plot = nullptr;
};

void TestHeavyWork::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.filePath(QStringLiteral("settings")));
    QVERIFY(QFile::copy(QStringLiteral(KOLVEX_SOURCE_DIR "/resources/sample/kolvex-sample.par"),
                        m_dir.filePath(QStringLiteral("HITRAN2012.par"))));
    registerQmlTypes();
    m_core = std::make_unique<KolvexCore>(offlineSettings(m_dir.path()));
    m_views = std::make_unique<ViewObjects>(m_core.get());
    m_engine = std::make_unique<QQmlApplicationEngine>();
    m_views->publish(m_engine->rootContext());
    m_engine->load(QUrl::fromLocalFile(QStringLiteral(KOLVEX_SOURCE_DIR "/qml/main.qml")));
    QCOMPARE(m_engine->rootObjects().size(), 1);
    m_window = qobject_cast<QQuickWindow *>(m_engine->rootObjects().first());
    QVERIFY(m_window);
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    QTRY_VERIFY_WITH_TIMEOUT(m_core->tipsLoaded(), 30000);
    m_plot = m_window->findChild<Plot *>(QStringLiteral("spectrumPlot"));
    QVERIFY(m_plot);

    // Every molecule of the sample over most of its range, with wide wings:
    // about a second of line work in this build.
    m_core->downloader()->setUsage(HitranOnlineDownloader::CompleteUsage);
    Params &params = *m_core->params();
    for (Molecule &molecule : params.molecules())
        molecule.selected = true;
    params.setCalcNotSelected(true);
    params.setLineShapeProfile(2);
    params.setLineWingHalfwidths(100);
    params.setLineWingAbsolute(2.0);
    XAxis &axis = *m_core->xAxis();
    axis.setUnits(XAxis::Wavenumber);
    axis.setMinWavenumber(1500.0);
    axis.setMaxWavenumber(3000.0);
    axis.setNumPoints(60000);
    emit m_core->valuesUpdated();
}

void TestHeavyWork::cleanupTestCase()
{
    m_engine.reset();
    m_views.reset();
    m_core.reset();
}

bool TestHeavyWork::calculate()
{
    QTimer::singleShot(0, m_core.get(), [this] { m_core->calculate(); });
    QTest::qWait(1);
    return QTest::qWaitFor([this] { return !m_core->calculationIsRunning(); }, 240000);
}

void TestHeavyWork::settle()
{
    QTest::qWait(100);
    m_window->grabWindow();
}

// While the lines are added: a timer of the window's thread keeps firing, the
// banner hears of the progress with a fraction that only grows, and the
// curves the plot draws are those of the last calculation, untouched, until
// the new ones take their place.
void TestHeavyWork::windowThreadStaysFreeAndThePlotKeepsItsCurves()
{
    QVERIFY(calculate());
    settle();
    QVERIFY(m_plot->spectrumCount() > 3);
    const SpectrumValues *drawn = &m_plot->spectrumValues(0);
    const SpectrumValues before = *drawn;
    const QStringList colours = m_plot->lineColors();
    const MoleculeSpectra &co2 = m_core->spectra()->molecules.at(1);
    const double *held = co2.crossSection.values.data();
    const SpectrumValues heldBefore = co2.crossSection.values;
    QVERIFY(!heldBefore.empty());

    int ticksWhileRunning = 0;
    bool curvesKept = true;
    QTimer ticker;
    ticker.setInterval(10);
    connect(&ticker, &QTimer::timeout, this, [&] {
        if (!m_core->calculationIsRunning())
            return;
        ++ticksWhileRunning;
        curvesKept = curvesKept && &m_plot->spectrumValues(0) == drawn && *drawn == before
            && m_plot->lineColors() == colours && co2.crossSection.values.data() == held
            && co2.crossSection.values == heldBefore;
    });
    QList<double> fractions;
    const QMetaObject::Connection progress = connect(
        m_core.get(), &KolvexCore::notify, this, [&fractions](const QString &message, double fraction, bool visible) {
            if (visible && message.contains(QLatin1String("line-by-line")))
                fractions.append(fraction);
        });
    // Parameters changed meanwhile are the next calculation's: the plot shows
    // the curves of the temperature they were calculated at.
    const double temperature = m_core->params()->pathConditions().temperature;
    ticker.start();
    QTimer::singleShot(0, m_core.get(), [this] { m_core->calculate(); });
    QTRY_VERIFY(m_core->calculationIsRunning());
    m_core->params()->pathConditions().temperature = temperature + 10.0;
    QVERIFY(QTest::qWaitFor([this] { return !m_core->calculationIsRunning(); }, 240000));
    ticker.stop();
    disconnect(progress);
    m_core->params()->pathConditions().temperature = temperature;
    QVERIFY2(ticksWhileRunning >= 3, qPrintable(QString::number(ticksWhileRunning)));
    QVERIFY(curvesKept);
    QVERIFY(fractions.size() >= 3);
    for (int i = 1; i < fractions.size(); ++i)
        QVERIFY(fractions.at(i) >= fractions.at(i - 1));
    QCOMPARE(fractions.last(), 1.0);
    // The results describe the calculation that ran, not the values edited since.
    QCOMPARE(m_core->results()->temperature(), temperature);
    settle();
    QVERIFY(m_plot->spectrumCount() > 3);
}

// Ten calculations of the same case: after each the spectra, grids, totals
// and curves held take as much memory as after the first; nothing of an
// earlier calculation is kept.
void TestHeavyWork::repeatedCalculationsKeepTheirMemory()
{
    QVERIFY(calculate());
    settle();
    const long long blocks = SpectrumMemory::liveBlocks();
    const long long bytes = SpectrumMemory::liveBytes();
    // Spectra of the molecules, the grid, the curves drawn: megabytes.
    QVERIFY2(bytes > 10 * 60000 * 8, qPrintable(QString::number(bytes)));
    for (int run = 2; run <= 10; ++run) {
        QVERIFY(calculate());
        settle();
        QCOMPARE(SpectrumMemory::liveBlocks(), blocks);
        QCOMPARE(SpectrumMemory::liveBytes(), bytes);
    }
}

QTEST_MAIN(TestHeavyWork)
#include "tst_heavywork.moc"
