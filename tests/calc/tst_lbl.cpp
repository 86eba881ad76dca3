#include "calc/lbl.h"
#include "calc/linebylinerun.h"
#include "calc/lineshapes.h"
#include "core/linefeed.h"
#include "core/params.h"
#include "core/spectraset.h"
#include "core/xaxis.h"
#include "data/parameterfiles.h"
#include "faddeevareference.h"
#include "lblundertest.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// The same lines for the expected values, read here by their fixed columns, so
// that a fault of the program's parser cannot cancel out.
struct ReferenceLine
{
    int molecule, isotopologue;
    double wavenumber, intensity, gammaAir, gammaSelf, lowerStateEnergy, nAir, deltaAir;
};

std::vector<ReferenceLine> referenceLines()
{
    QFile file(QString::fromLatin1(LblUnderTest::fixturePath()));
    file.open(QIODevice::ReadOnly);
    std::vector<ReferenceLine> lines;
    for (const QByteArray &text : file.readAll().split('\n')) {
        const auto column = [&text](int position, int width) { return text.mid(position, width).trimmed().toDouble(); };
        if (text.size() >= 160)
            lines.push_back({int(column(0, 2)), int(column(2, 1)), column(3, 12), column(15, 10), column(35, 5),
                             column(40, 5), column(45, 10), column(55, 4), column(59, 8)});
    }
    return lines;
}

// Q(T) from a partition-sum file of the program's shipped tables: the entry at
// a whole kelvin, between entries the Lagrange polynomial through the four
// nearest ones (the three at the end in a table's first and last interval),
// evaluated in product form.
double tabulatedQ(int globalId, double temperature)
{
    static QHash<int, QVector<QPair<double, double>>> tables;
    if (!tables.contains(globalId)) {
        QVector<QPair<double, double>> &table = tables[globalId];
        QFile file(QStringLiteral(KOLVEX_SOURCE_DIR "/resources/hitran/TIPS/q%1.txt").arg(globalId));
        if (!file.open(QIODevice::ReadOnly))
            return 0.0;
        while (!file.atEnd()) {
            const QStringList fields = QString::fromLatin1(file.readLine()).simplified().split(QLatin1Char(' '));
            if (fields.size() >= 2)
                table.append({fields.at(0).toDouble(), fields.at(1).toDouble()});
        }
    }
    const QVector<QPair<double, double>> &table = tables[globalId];
    if (table.size() < 3)
        return 0.0;
    // The entry at or below the temperature (the tables have one line per kelvin).
    const int below = std::clamp(int(std::floor(temperature - table.front().first)), 0, table.size() - 1);
    if (table.at(below).first == temperature)
        return table.at(below).second;
    const int first = below == 0 ? 0 : below + 2 >= table.size() ? table.size() - 3 : below - 1;
    const int last = below == 0 ? 2 : below + 2 >= table.size() ? table.size() - 1 : below + 2;
    double q = 0.0;
    for (int j = first; j <= last; ++j) {
        double weight = 1.0;
        for (int k = first; k <= last; ++k) {
            if (k != j)
                weight *= (temperature - table.at(k).first) / (table.at(j).first - table.at(k).first);
        }
        q += weight * table.at(j).second;
    }
    return q;
}

bool allFinite(const SpectrumValues &values)
{
    for (double value : values) {
        if (!std::isfinite(value))
            return false;
    }
    return true;
}

} // namespace

class TestLbl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void realLinesMatchIndependentCalculation_data();
    void realLinesMatchIndependentCalculation();
    void intensityAt296ReproducesTable_data();
    void intensityAt296ReproducesTable();
    void lorentzAreaIsConserved();
    void selectionRules();
    void intensityThreshold();
    void enrichedIsotopologue();
    void neverNaN_data();
    void neverNaN();

private:
    // The cross-section at nu of the given lines, computed here from first principles.
    double expectedCrossSection(const std::vector<ReferenceLine> &lines, double nu, int profile);

    LblUnderTest m_engine;
    Params *m_params = &m_engine.params();
};

void TestLbl::initTestCase()
{
    QVERIFY(m_engine.loadShippedPartitionSums());
    QCOMPARE(fixtureLines().size(), std::size_t(10));
    QCOMPARE(referenceLines().size(), std::size_t(10));
}

void TestLbl::init()
{
    m_engine.setStandardConditions();
}

double TestLbl::expectedCrossSection(const std::vector<ReferenceLine> &lines, double nu, int profile)
{
    const PathConditions &c = m_params->pathConditions();
    const double t = c.temperature;
    const double c2 = 1.4388028496642258;
    double sum = 0.0;
    for (const ReferenceLine &line : lines) {
        const Molecule &molecule = m_params->molecule(line.molecule - 1);
        const Isotopologue &isotopologue = molecule.isotopologues.at(std::size_t(line.isotopologue - 1));
        const double q296 = tabulatedQ(isotopologue.globalId, 296.0);
        const double q = tabulatedQ(isotopologue.globalId, t);
        const double intensity = line.intensity * q296 / q
            * std::exp(-c2 * line.lowerStateEnergy / t) / std::exp(-c2 * line.lowerStateEnergy / 296.0)
            * (1.0 - std::exp(-c2 * line.wavenumber / t)) / (1.0 - std::exp(-c2 * line.wavenumber / 296.0));
        const double fraction = c.concentrations.at(std::size_t(line.molecule - 1)) * 1e-6;
        const double gammaL = std::pow(296.0 / t, line.nAir)
            * ((1.0 - fraction) * line.gammaAir + fraction * line.gammaSelf) * c.totalPressure;
        const double gammaD = line.wavenumber / 2.99792458e10
            * std::sqrt(2.0 * 6.02214076e23 * 1.380649e-16 * t * std::log(2.0) / isotopologue.molarMass);
        const double center = line.wavenumber + c.totalPressure * line.deltaAir;
        const double delta = nu - center;
        const double width = profile == 0 ? gammaD : profile == 1 ? gammaL : std::max(gammaD, gammaL);
        if (std::fabs(delta) > std::max(1.0, 50.0 * width))
            continue;
        double shape = 0.0;
        if (profile == 0)
            shape = std::sqrt(std::log(2.0) / M_PI) / gammaD * std::exp(-std::log(2.0) * delta * delta / (gammaD * gammaD));
        else if (profile == 1)
            shape = gammaL / (M_PI * (gammaL * gammaL + delta * delta));
        else
            shape = FaddeevaReference::voigtProfile(delta, gammaD, gammaL);
        sum += intensity * isotopologue.abundance / isotopologue.naturalAbundance * shape;
    }
    return sum;
}

void TestLbl::realLinesMatchIndependentCalculation_data()
{
    QTest::addColumn<int>("profile");
    QTest::addColumn<double>("temperature");
    QTest::addColumn<double>("pressure");
    QTest::newRow("Doppler, 250 K, 0.8 atm") << 0 << 250.0 << 0.8;
    QTest::newRow("Lorentz, 250 K, 0.8 atm") << 1 << 250.0 << 0.8;
    QTest::newRow("Voigt standard, 250 K, 0.8 atm") << 2 << 250.0 << 0.8;
    QTest::newRow("Voigt higher, 250 K, 0.8 atm") << 3 << 250.0 << 0.8;
    QTest::newRow("Voigt standard, 320 K, 0.05 atm") << 2 << 320.0 << 0.05;
    // Between whole kelvins Q(T) is interpolated, not taken at 251 K (0.2 % off for CO).
    QTest::newRow("Voigt standard, 250.5 K, 0.8 atm") << 2 << 250.5 << 0.8;
}

// Real lines of five molecules through the engine, compared point by point with
// cross-sections and optical depths computed here from the physics (partition
// sums read from the tables, Doppler width from the gas constants).
void TestLbl::realLinesMatchIndependentCalculation()
{
    QFETCH(int, profile);
    QFETCH(double, temperature);
    QFETCH(double, pressure);
    m_params->setLineShapeProfile(profile);
    m_params->pathConditions().temperature = temperature;
    m_params->pathConditions().totalPressure = pressure;

    auto run = m_engine.newRun(2010.0, 2310.0, 60001);
    QVERIFY(m_engine.calculate(*run, fixtureLines()));
    const std::vector<ReferenceLine> lines = referenceLines();

    const SpectrumValues &grid = run->lbl.calculatedAxis().grid();
    const double step = run->lbl.calculatedAxis().step();
    const PathConditions &c = m_params->pathConditions();
    int compared = 0;
    for (int m : {0, 1, 3, 4}) {
        std::vector<ReferenceLine> own;
        for (const ReferenceLine &line : lines) {
            if (line.molecule == m + 1)
                own.push_back(line);
        }
        const MoleculeSpectra &spectra = run->spectra.molecules.at(std::size_t(m));
        const double column = c.concentrations[std::size_t(m)] * 1e-6 * pressure * 1.01325e6
            / (1.380649e-16 * temperature) * c.pathLength * 100.0;
        double largest = 0.0;
        double largestOpticalDepth = 0.0;
        for (std::size_t i = 0; i < grid.size(); ++i) {
            largest = std::max(largest, spectra.crossSection.values[i]);
            largestOpticalDepth = std::max(largestOpticalDepth, spectra.opticalDepth(i));
            QVERIFY(relativeError(spectra.opticalDepth(i), column * spectra.crossSection.values[i]) < 1e-6
                    || spectra.crossSection.values[i] == 0.0);
        }
        // The maxima kept as the batches were added are those of the values.
        QCOMPARE(spectra.crossSection.maximum, largest);
        QCOMPARE(spectra.opticalDepthMaximum, largestOpticalDepth);
        QVERIFY(largest > 0.0);
        // Every 37th point, and every point near a line centre.
        std::vector<std::size_t> indices;
        for (std::size_t i = 0; i < grid.size(); i += 37)
            indices.push_back(i);
        for (const ReferenceLine &line : own) {
            const long centre = std::lround((line.wavenumber - grid.front()) / step);
            for (long i = std::max(0L, centre - 20); i <= std::min(long(grid.size()) - 1, centre + 20); ++i)
                indices.push_back(std::size_t(i));
        }
        for (std::size_t i : indices) {
            // Points right at a wing cut belong to one side or the other by rounding.
            bool nearCut = false;
            for (const ReferenceLine &line : own) {
                const double distance = std::fabs(grid[i] - line.wavenumber - pressure * line.deltaAir);
                for (double cut : {1.0, 50.0 * 0.2})
                    nearCut = nearCut || std::fabs(distance - cut) < 2.0 * step;
            }
            const double expected = expectedCrossSection(own, grid[i], profile);
            const double actual = spectra.crossSection.values[i];
            if (nearCut || expected < 1e-8 * largest)
                continue;
            ++compared;
            // The Doppler constant of the program and the one derived here from the
            // gas constants differ in the seventh digit, which the far Gaussian
            // wing magnifies: there the tolerance is a part of the peak.
            QVERIFY2(std::fabs(actual - expected) < 2e-6 * expected + 1e-7 * largest,
                     qPrintable(QStringLiteral("molecule %1 at %2: %3 instead of %4")
                                    .arg(m + 1).arg(grid[i], 0, 'f', 4).arg(actual).arg(expected)));
        }
    }
    QVERIFY(compared > 20);
    // The H2O line at 3030 cm-1 lies outside; the PH3 lines near 0 are far below the grid.
    QCOMPARE(run->spectra.molecules.at(27).crossSection.maximum, tinyMaximum);
}

void TestLbl::intensityAt296ReproducesTable_data()
{
    QTest::addColumn<bool>("tableLoaded");
    QTest::addColumn<double>("factor");
    QTest::newRow("table loaded: Q(296 K) from the table") << true << 1.0;
    // Without a table the parameter file's Q(296 K) is the reference; here the
    // constant stand-in table holds twice that value.
    QTest::newRow("no table: Q(296 K) from the parameter file") << false << 0.5;
}

// At 296 K a line's tabulated intensity comes back exactly: the NO table's
// Q(296 K) differs from the parameter file's, so mixing the two would not.
void TestLbl::intensityAt296ReproducesTable()
{
    QFETCH(bool, tableLoaded);
    QFETCH(double, factor);
    m_params->setLineShapeProfile(1);
    m_params->setLineShiftUsage(0);
    Isotopologue &no = m_params->molecule(7).isotopologues[0];
    const Isotopologue saved = no;
    if (!tableLoaded) {
        no.tipsLoaded = false;
        no.partitionSums.assign(3000, 2.0 * no.q296);
        no.partitionSumsFirstTemperature = 1.0;
    }
    QVERIFY(std::fabs(tabulatedQ(no.globalId, 296.0) / no.q296 - 1.0) > 5e-4);

    const ReferenceLine line = referenceLines().at(No);
    auto run = m_engine.newRun(line.wavenumber - 1.0, line.wavenumber + 1.0, 2001);
    QVERIFY(m_engine.calculate(*run, {fixtureLines().at(No)}));
    no = saved;

    const double fraction = 3e-4 * 1e-6;
    const double gammaL = (1.0 - fraction) * line.gammaAir + fraction * line.gammaSelf;
    const double peak = run->spectra.molecules.at(7).crossSection.values.at(1000);
    QVERIFY2(relativeError(peak, factor * line.intensity / (M_PI * gammaL)) < 1e-12,
             qPrintable(QString::number(peak / (line.intensity / (M_PI * gammaL)), 'g', 15)));
}

// An isolated Lorentz line: the integral of its cross-section is its intensity
// times the part of the Lorentzian inside the window, (1/pi)[atan] between the
// window ends (taken half a step beyond the outermost points).
void TestLbl::lorentzAreaIsConserved()
{
    m_params->setLineShapeProfile(1);
    m_params->setLineShiftUsage(0);
    m_params->setLineWingAbsolute(0.0);
    m_params->setLineWingHalfwidths(40);
    const ReferenceLine line = referenceLines().at(Co1);
    auto run = m_engine.newRun(2160.0, 2180.0, 400001);
    QVERIFY(m_engine.calculate(*run, {fixtureLines().at(Co1)}));

    const SpectrumValues &values = run->spectra.molecules.at(4).crossSection.values;
    const SpectrumValues &grid = run->lbl.calculatedAxis().grid();
    const double step = run->lbl.calculatedAxis().step();
    double area = 0.0;
    int first = -1;
    int last = -1;
    for (std::size_t i = 0; i < values.size(); ++i) {
        area += values[i] * step;
        if (values[i] != 0.0) {
            last = int(i);
            if (first < 0)
                first = int(i);
        }
    }
    const double fraction = 0.15e-6;
    const double gammaL = (1.0 - fraction) * line.gammaAir + fraction * line.gammaSelf;
    QVERIFY(std::fabs(grid[std::size_t(last)] - line.wavenumber - 40.0 * gammaL) < step);
    const double inside = (std::atan((grid[std::size_t(last)] + step / 2 - line.wavenumber) / gammaL)
                           - std::atan((grid[std::size_t(first)] - step / 2 - line.wavenumber) / gammaL))
        / M_PI;
    QVERIFY(inside < 0.9921);   // about 1.6 % lies beyond 40 half-widths
    QVERIFY2(relativeError(area, line.intensity * inside) < 1e-7,
             qPrintable(QString::number(area / (line.intensity * inside) - 1.0)));
}

void TestLbl::selectionRules()
{
    const std::vector<LineRecord> lines = fixtureLines();
    m_params->molecule(4).selected = false;
    m_params->setCalcNotSelected(false);
    auto run = m_engine.newRun(2000.0, 2300.0, 3001);
    QVERIFY(m_engine.calculate(*run, lines));
    const MoleculeSpectra &co = run->spectra.molecules.at(4);
    QCOMPARE(co.crossSection.maximum, tinyMaximum);
    QCOMPARE(co.opticalDepthMaximum, tinyMaximum);
    QVERIFY(!co.hasValues());   // a molecule without lines holds no memory
    QVERIFY(run->spectra.molecules.at(1).crossSection.maximum > 1e-22);

    // Unselected molecules are still calculated when calcNotSelected says so.
    m_params->setCalcNotSelected(true);
    auto included = m_engine.newRun(2000.0, 2300.0, 3001);
    QVERIFY(m_engine.calculate(*included, lines));
    QVERIFY(included->spectra.molecules.at(4).crossSection.maximum > 1e-20);

    // An isotopologue of zero natural abundance, and records naming no known
    // molecule or isotopologue, are left out.
    m_params->molecule(4).isotopologues[0].naturalAbundance = 0.0;
    std::vector<LineRecord> odd = {lines.at(Co1), lines.at(Co1), lines.at(Co1)};
    odd[1].molecule = 77;
    odd[2].isotopologue = 13;
    auto skipped = m_engine.newRun(2000.0, 2300.0, 3001);
    QVERIFY(m_engine.calculate(*skipped, odd));
    m_params->molecule(4).isotopologues[0].naturalAbundance = m_params->molecule(4).isotopologues[0].abundance;
    QCOMPARE(skipped->spectra.molecules.at(4).crossSection.maximum, tinyMaximum);
    QCOMPARE(skipped->lbl.recordCounter(), 3);
}

void TestLbl::intensityThreshold()
{
    const std::vector<LineRecord> lines = fixtureLines();
    const std::vector<LineRecord> pair = {lines.at(Co1), lines.at(Co13)};   // 4.4e-19 and 1.9e-21
    m_params->setIntensityThreshold(1e-20);
    auto run = m_engine.newRun(2090.0, 2180.0, 9001);
    QVERIFY(m_engine.calculate(*run, pair));
    auto strongOnly = m_engine.newRun(2090.0, 2180.0, 9001);
    m_params->setIntensityThreshold(0.0);
    QVERIFY(m_engine.calculate(*strongOnly, {lines.at(Co1)}));
    QCOMPARE(run->spectra.molecules.at(4).crossSection.values, strongOnly->spectra.molecules.at(4).crossSection.values);

    auto both = m_engine.newRun(2090.0, 2180.0, 9001);
    QVERIFY(m_engine.calculate(*both, pair));
    QVERIFY(both->spectra.molecules.at(4).crossSection.values != strongOnly->spectra.molecules.at(4).crossSection.values);
}

// Twice the natural abundance of an isotopologue doubles its lines. (The path
// length enters through the column, checked against the real lines above.)
void TestLbl::enrichedIsotopologue()
{
    Isotopologue &main = m_params->molecule(4).isotopologues[0];
    main.abundance = 2.0 * main.naturalAbundance;
    auto enriched = m_engine.newRun(2090.0, 2180.0, 9001);
    QVERIFY(m_engine.calculate(*enriched, {fixtureLines().at(Co1)}));
    auto natural = m_engine.newRun(2090.0, 2180.0, 9001);
    main.abundance = main.naturalAbundance;
    QVERIFY(m_engine.calculate(*natural, {fixtureLines().at(Co1)}));
    const SpectrumValues &a = enriched->spectra.molecules.at(4).crossSection.values;
    const SpectrumValues &b = natural->spectra.molecules.at(4).crossSection.values;
    for (std::size_t i = 0; i < a.size(); ++i)
        QVERIFY(a[i] == 2.0 * b[i]);
}

void TestLbl::neverNaN_data()
{
    QTest::addColumn<int>("profile");
    QTest::addColumn<int>("broadening");
    QTest::newRow("Doppler") << 0 << 2;
    QTest::newRow("Lorentz, self broadening at zero concentration") << 1 << 1;
    QTest::newRow("Voigt standard, self broadening at zero concentration") << 2 << 1;
    QTest::newRow("Voigt higher") << 3 << 2;
}

// Lines at and next to wavenumber 0 (PH3 has some at 2e-6 cm-1, and a record
// may say 0), and zero Lorentz widths, never put NaN or infinity into a spectrum.
void TestLbl::neverNaN()
{
    QFETCH(int, profile);
    QFETCH(int, broadening);
    m_params->setLineShapeProfile(profile);
    m_params->setBroadeningType(broadening);
    m_params->pathConditions().temperature = 200.0;
    m_params->pathConditions().concentrations[27] = broadening == 1 ? 0.0 : 1.0;
    std::vector<LineRecord> lines = {fixtureLines().at(Ph3a), fixtureLines().at(Ph3b), fixtureLines().at(Ph3b)};
    lines[2].wavenumber = 0.0;
    lines[2].intensity = 1e-30;
    auto run = m_engine.newRun(0.0, 0.01, 101);
    QVERIFY(m_engine.calculate(*run, lines));
    const MoleculeSpectra &ph3 = run->spectra.molecules.at(27);
    QVERIFY(allFinite(ph3.crossSection.values));
    for (std::size_t i = 0; i < ph3.crossSection.values.size(); ++i)
        QVERIFY(std::isfinite(ph3.opticalDepth(i)));
    QVERIFY(std::isfinite(ph3.crossSection.maximum));
    // Without a Lorentz width the lines are Gaussians far narrower than the grid
    // step: nothing of them falls on a grid point. A zero-width Lorentz line is left out.
    if (profile == 0 || broadening == 1)
        QCOMPARE(ph3.crossSection.maximum, tinyMaximum);
    else
        QVERIFY(ph3.crossSection.maximum > tinyMaximum);
}

QTEST_GUILESS_MAIN(TestLbl)
#include "tst_lbl.moc"
