#include "app/kolvexcore.h"
#include "calc/lbl.h"
#include "core/params.h"
#include "core/spectraset.h"
#include "download/hitranonlinedownloader.h"
#include "download/linesourcechain.h"
#include "download/userlinefile.h"
#include "offlinesettings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

QString edgeLines()
{
    return QStringLiteral(KOLVEX_TEST_DATA "/calc/edge-lines.par");
}

// The narrow range and a wider one on the same grid: the step is 100 / 1800 =
// 200 / 3600 cm-1 in both (1/18, not a round decimal, so that no line edge
// falls exactly on a grid point), and point j of the narrow grid is point
// j + 900 of the wide one. The ends are binary fractions (x + 35/128), so that
// both ranges are exactly 100 and 200 cm-1 long. The narrow range starts just
// above the CO line P(10) at 2103.269747 cm-1, whose centre lies 0.0108 cm-1
// (about 4 Doppler half-widths) below the start at 2 atm (shift 2 x -0.00357):
// even the Doppler profile of that line adds to the first points.
constexpr double narrowStart = 2103.2734375;
constexpr double narrowEnd = 2203.2734375;
constexpr int narrowPoints = 1801;
constexpr double wideStart = 2053.2734375;
constexpr double wideEnd = 2253.2734375;
constexpr int widePoints = 3601;
constexpr int offset = 900;

constexpr int h2o = 0;   // molecule indices (HITRAN number - 1)
constexpr int co = 4;

} // namespace

// A spectrum must not change with the range it is calculated on: every point of
// a spectrum on [a, b] equals that point of a spectrum on a wider range with the
// same step. The lines come from a line file on the device through the
// program's own line source, so that the lines it hands the engine for each
// range are part of what is compared.
class TestRangeInvariance : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void spectrumEqualsPartOfAWiderOne_data();
    void spectrumEqualsPartOfAWiderOne();
    void lineBeyondTheWidthBoundsIsCutAtTheReach();
    void reachFollowsTheOptions_data();
    void reachFollowsTheOptions();

private:
    // Runs one calculation on [start, end] and returns the cross-sections of H2O
    // and CO.
    std::pair<std::vector<double>, std::vector<double>> calculate(KolvexCore &core, double start, double end,
                                                                  int points);
    // Fails the test where the narrow spectrum and its part of the wide one differ
    // by more than 1e-9 of the narrow spectrum's peak.
    void compare(const std::vector<double> &part, const std::vector<double> &whole);
    // A core on a data folder holding `lineFile` as the user's own line file, used offline.
    std::unique_ptr<KolvexCore> startCore(const QTemporaryDir &folder, const QString &lineFile);

    QTemporaryDir m_realLines;
    std::unique_ptr<KolvexCore> m_core;
};

std::unique_ptr<KolvexCore> TestRangeInvariance::startCore(const QTemporaryDir &folder, const QString &lineFile)
{
    auto core = std::make_unique<KolvexCore>(offlineSettings(folder.path()));
    if (!QTest::qWaitFor([&] { return core->tipsLoaded(); }, 60000))
        return nullptr;
    if (core->lineSources()->userLineFile()->path() != lineFile)
        return nullptr;
    core->downloader()->setUsage(HitranOnlineDownloader::CompleteUsage);
    core->xAxis()->setUnits(XAxis::Wavenumber);
    Params *params = core->params();
    params->pathConditions().totalPressure = 2.0;
    params->pathConditions().temperature = 296.0;
    params->pathConditions().pathLength = 1.0;
    params->pathConditions().concentrations[h2o] = 10000.0;
    params->pathConditions().concentrations[co] = 1000.0;
    params->setIntensityThreshold(0.0);
    params->setBroadeningType(2);
    params->setLineShiftUsage(1);
    return core;
}

void TestRangeInvariance::initTestCase()
{
    QVERIFY(m_realLines.isValid());
    const QString lineFile = m_realLines.filePath(QStringLiteral("edge-lines.par"));
    QVERIFY(QFile::copy(edgeLines(), lineFile));
    m_core = startCore(m_realLines, lineFile);
    QVERIFY(m_core);
}

std::pair<std::vector<double>, std::vector<double>> TestRangeInvariance::calculate(KolvexCore &core, double start,
                                                                                   double end, int points)
{
    core.xAxis()->setMinWavenumber(start);
    core.xAxis()->setMaxWavenumber(end);
    core.xAxis()->setNumPoints(points);
    core.setOkDialogText(QString());
    core.calculate();
    if (!QTest::qWaitFor([&] { return !core.calculationIsRunning(); }, 120000))
        return {};
    // A molecule that no line reached has no values: zeros.
    const auto values = [&core, points](int molecule) {
        const SpectrumValues &held = core.spectra()->molecules.at(std::size_t(molecule)).crossSection.values;
        return held.empty() ? std::vector<double>(std::size_t(points), 0.0)
                            : std::vector<double>(held.begin(), held.end());
    };
    return {values(h2o), values(co)};
}

void TestRangeInvariance::spectrumEqualsPartOfAWiderOne_data()
{
    QTest::addColumn<int>("profile");
    QTest::addColumn<int>("halfwidths");
    QTest::addColumn<double>("absolute");
    const char *names[] = {"Doppler", "Lorentz", "Voigt", "Voigt higher precision"};
    for (int profile = 0; profile < 4; ++profile) {
        // The absolute wing decides (25 cm-1 around every line), then the wing in
        // half-widths (50 of them: about 5 cm-1 for the Lorentz and Voigt lines
        // at 2 atm, much less for the Doppler ones).
        QTest::addRow("%s, absolute wing", names[profile]) << profile << 0 << 25.0;
        QTest::addRow("%s, wing in half-widths", names[profile]) << profile << 50 << 0.0;
    }
}

void TestRangeInvariance::spectrumEqualsPartOfAWiderOne()
{
    QFETCH(int, profile);
    QFETCH(int, halfwidths);
    QFETCH(double, absolute);
    Params *params = m_core->params();
    params->setLineShapeProfile(profile);
    params->setLineWingHalfwidths(halfwidths);
    params->setLineWingAbsolute(absolute);

    const auto narrow = calculate(*m_core, narrowStart, narrowEnd, narrowPoints);
    QCOMPARE(m_core->okDialogText(), QString());
    const auto wide = calculate(*m_core, wideStart, wideEnd, widePoints);
    QCOMPARE(m_core->okDialogText(), QString());
    QCOMPARE(int(narrow.first.size()), narrowPoints);
    QCOMPARE(int(wide.first.size()), widePoints);

    compare(narrow.first, wide.first);
    compare(narrow.second, wide.second);
}

// A record whose width lies beyond every bound of HITRAN (an air-broadened
// width of 9.999 cm-1/atm, damaged or hand-made) would reach about 1000 cm-1 at
// 2 atm. Placed just beyond the line reach of the narrow range, it is read for
// the wider range only; it must still not make the spectra differ.
void TestRangeInvariance::lineBeyondTheWidthBoundsIsCutAtTheReach()
{
    Params *params = m_core->params();
    params->setLineShapeProfile(1);
    params->setLineWingHalfwidths(50);
    params->setLineWingAbsolute(0.0);
    const double reach = Lbl::lineReach(*params);
    const double position = narrowEnd + reach + 10.0;
    QVERIFY(position > 2310.0 && position < wideEnd + reach && reach < 900.0);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QFile real(edgeLines());
    QVERIFY(real.open(QIODevice::ReadOnly));
    QByteArray lines = real.readAll();
    // The strongest CO line of the file (R(7), 2172.76 cm-1), moved beyond the
    // last line of the file, with the width changed.
    const int at = lines.indexOf(" 51 2172.758825");
    QVERIFY(at >= 0);
    QByteArray damaged = lines.mid(at, 161);
    damaged.replace(3, 12, QString::number(position, 'f', 6).rightJustified(12).toLatin1());
    damaged.replace(35, 5, "9.999");
    QCOMPARE(damaged.size(), 161);
    lines += damaged;
    const QString lineFile = folder.filePath(QStringLiteral("edge-lines.par"));
    QFile file(lineFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(lines), qint64(lines.size()));
    file.close();

    std::unique_ptr<KolvexCore> core = startCore(folder, lineFile);
    QVERIFY(core);
    core->params()->setLineShapeProfile(1);
    core->params()->setLineWingHalfwidths(50);
    core->params()->setLineWingAbsolute(0.0);
    QCOMPARE(Lbl::lineReach(*core->params()), reach);

    const auto narrow = calculate(*core, narrowStart, narrowEnd, narrowPoints);
    const auto wide = calculate(*core, wideStart, wideEnd, widePoints);
    QCOMPARE(int(narrow.second.size()), narrowPoints);
    QCOMPARE(int(wide.second.size()), widePoints);
    compare(narrow.second, wide.second);
}

void TestRangeInvariance::reachFollowsTheOptions_data()
{
    QTest::addColumn<int>("profile");
    QTest::addColumn<double>("temperature");
    QTest::addColumn<double>("absolute");
    QTest::addColumn<int>("shift");
    QTest::addColumn<double>("reach");
    // CO alone at 10000 ppmv (x = 0.01), 2 atm, 50 half-widths. The widest Lorentz
    // width is (0.99 x 0.5 + 0.01 x 2.0) x 2 atm = 1.03 cm-1 at 296 K, the shift 2 x 0.5.
    QTest::newRow("Lorentz, 296 K") << 1 << 296.0 << 1.0 << 1 << 50.0 * 1.03 + 1.0;
    QTest::newRow("without the shift") << 1 << 296.0 << 1.0 << 0 << 50.0 * 1.03;
    QTest::newRow("absolute wing wider") << 1 << 296.0 << 80.0 << 1 << 81.0;
    // At 148 K the width grows by at most 2^1.5; at 592 K by at most 2^1.
    QTest::newRow("Voigt, 148 K") << 2 << 148.0 << 1.0 << 1 << 50.0 * 1.03 * std::pow(2.0, 1.5) + 1.0;
    QTest::newRow("Voigt, 592 K") << 3 << 592.0 << 1.0 << 1 << 50.0 * 1.03 * 2.0 + 1.0;
}

// How far beyond the range lines are read, worked out by hand from the bounds
// (air-broadened width 0.5, self-broadened 2.0 cm-1/atm, temperature exponent
// -1 to 1.5, shift 0.5 cm-1/atm).
void TestRangeInvariance::reachFollowsTheOptions()
{
    QFETCH(int, profile);
    QFETCH(double, temperature);
    QFETCH(double, absolute);
    QFETCH(int, shift);
    QFETCH(double, reach);
    Params params;
    params.pathConditions().concentrations.assign(std::size_t(params.moleculeCount()), 0.0);
    params.pathConditions().concentrations[co] = 10000.0;
    params.pathConditions().concentrations[h2o] = 20000.0;   // not calculated
    for (int m = 0; m < params.moleculeCount(); ++m)
        params.molecule(m).selected = m == co;
    params.setCalcNotSelected(false);
    params.pathConditions().totalPressure = 2.0;
    params.pathConditions().temperature = temperature;
    params.setLineShapeProfile(profile);
    params.setBroadeningType(2);
    params.setLineWingHalfwidths(50);
    params.setLineWingAbsolute(absolute);
    params.setLineShiftUsage(shift);
    QVERIFY(std::fabs(Lbl::lineReach(params) - reach) < 1e-9 * reach);

    // Not a number anywhere: every line.
    params.pathConditions().totalPressure = qQNaN();
    QCOMPARE(Lbl::lineReach(params), 50000.0);
}

void TestRangeInvariance::compare(const std::vector<double> &part, const std::vector<double> &whole)
{
    const double peak = *std::max_element(part.begin(), part.end());
    QVERIFY(peak > 0.0);
    for (int j = 0; j < narrowPoints; ++j) {
        const double difference = std::fabs(part[std::size_t(j)] - whole[std::size_t(j + offset)]);
        if (difference > 1e-9 * peak)
            QFAIL(qPrintable(QStringLiteral("point %1 (%2 cm-1): %3 on the range, %4 in the wider range")
                                 .arg(j)
                                 .arg(narrowStart + j * (narrowEnd - narrowStart) / (narrowPoints - 1))
                                 .arg(part[std::size_t(j)], 0, 'g', 12)
                                 .arg(whole[std::size_t(j + offset)], 0, 'g', 12)));
    }
}

QTEST_GUILESS_MAIN(TestRangeInvariance)
#include "tst_rangeinvariance.moc"
