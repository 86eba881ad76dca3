#include "calc/lbl.h"
#include "calc/linebylinerun.h"
#include "calc/lineshapes.h"
#include "core/linefeed.h"
#include "core/params.h"
#include "core/spectraset.h"
#include "core/xaxis.h"
#include "data/parameterfiles.h"
#include "faddeevareference.h"
#include "standinlinesource.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace {

const double tinyMaximum = std::numeric_limits<double>::min();

enum Fixture { Co1, CoSecond, Co13, H2oOutside, N2o, Ph3a, Ph3b, Co2, H2o, No };

const char *const fixturePath = KOLVEX_TEST_DATA "/calc/lines.par";

// The lines as the engine gets them: through the program's record parser.
std::vector<LineRecord> fixtureLines()
{
    return StandInLineSource::readFile(QString::fromLatin1(fixturePath));
}

// The same lines for the expected values, read here by their fixed columns, so
// that a fault of the program's parser cannot cancel out.
struct ReferenceLine
{
    int molecule, isotopologue;
    double wavenumber, intensity, gammaAir, gammaSelf, lowerStateEnergy, nAir, deltaAir;
};

std::vector<ReferenceLine> referenceLines()
{
    QFile file(QString::fromLatin1(fixturePath));
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

double relativeError(double value, double reference)
{
    return std::fabs(value - reference) / std::fabs(reference);
}

// A feed of one batch that, asked for the next (which the calculation does
// while it adds the first part of a batch), sets the cancel flag instead:
// a cancel that comes in the middle of a batch.
class CancellingFeed : public LineFeed
{
public:
    CancellingFeed(LineBatch batch, std::atomic<bool> *cancel)
        : m_batch(std::move(batch))
        , m_cancel(cancel)
    {
    }
    bool next(LineBatch &batch) override
    {
        ++calls;
        batch.clear();
        if (calls == 1) {
            batch = m_batch;
            return true;
        }
        m_cancel->store(true);
        return false;
    }
    qint64 expectedRecordCount() const override { return qint64(m_batch.size()); }

    int calls = 0;

private:
    LineBatch m_batch;
    std::atomic<bool> *m_cancel;
};

// Every record of a batch, once.
class OneBatch : public LineFeed
{
public:
    explicit OneBatch(LineBatch batch)
        : m_batch(std::move(batch))
    {
    }
    bool next(LineBatch &batch) override
    {
        batch.swap(m_batch);
        m_batch.clear();
        return !batch.empty();
    }
    qint64 expectedRecordCount() const override { return 0; }

private:
    LineBatch m_batch;
};

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
    void pressureShift();
    void enrichedIsotopologue();
    void neverNaN_data();
    void neverNaN();
    void batchesAndProgress();
    void immediateSourceAndThreadsGiveSameSums();
    void cancelKeepsPartialResults();
    void cancelInsideABatchStopsAtALine();

private:
    struct Run
    {
        SpectraSet spectra;
        XAxis xAxis{XAxis::Wavenumber, 2000.0, 2300.0, 10000};
        StandInLineSource source;
        Lbl lbl;
        QStringList notes;
        QList<double> fractions;
        int completions = 0;
    };
    std::unique_ptr<Run> newRun(double minWavenumber, double maxWavenumber, int points);
    void calculate(Run &run, std::vector<LineRecord> records, int batchSize = 20000);
    // The cross-section at nu of the given lines, computed here from first principles.
    double expectedCrossSection(const std::vector<ReferenceLine> &lines, double nu, int profile);

    QTemporaryDir m_tips;
    std::unique_ptr<Params> m_params;
};

void TestLbl::initTestCase()
{
    // The shipped tables, read from a copy (reading leaves a compact copy beside them).
    QVERIFY(m_tips.isValid());
    const QString shipped = QStringLiteral(KOLVEX_SOURCE_DIR "/resources/hitran/TIPS");
    for (const QString &name : QDir(shipped).entryList({QStringLiteral("q*.txt")}, QDir::Files))
        QVERIFY(QFile::copy(shipped + QLatin1Char('/') + name, m_tips.filePath(name)));
    m_params = std::make_unique<Params>();
    ParameterFiles files(m_params.get());
    files.setTipsFolder(m_tips.path());
    files.loadAllTipsFiles();
    QVERIFY(m_params->molecule(4).isotopologues.at(0).tipsLoaded);
    QCOMPARE(fixtureLines().size(), std::size_t(10));
    QCOMPARE(referenceLines().size(), std::size_t(10));
}

void TestLbl::init()
{
    Params &p = *m_params;
    p.setLineShapeProfile(2);
    p.setLineWingHalfwidths(50);
    p.setLineWingAbsolute(1.0);
    p.setBroadeningType(2);
    p.setIntensityThreshold(0.0);
    p.setLineShiftUsage(1);
    p.setCalcNotSelected(true);
    p.setCrossSectionOnly(true);
    PathConditions &c = p.pathConditions();
    c.temperature = 296.0;
    c.totalPressure = 1.0;
    c.pathLength = 1000.0;
    c.concentrations.assign(std::size_t(p.moleculeCount()), 0.0);
    c.concentrations[0] = 7750.0;   // H2O
    c.concentrations[1] = 330.0;    // CO2
    c.concentrations[3] = 0.32;     // N2O
    c.concentrations[4] = 0.15;     // CO
    c.concentrations[7] = 3e-4;     // NO
    for (Molecule &molecule : p.molecules()) {
        molecule.selected = true;
        for (Isotopologue &isotopologue : molecule.isotopologues)
            isotopologue.abundance = isotopologue.naturalAbundance;
    }
}

std::unique_ptr<TestLbl::Run> TestLbl::newRun(double minWavenumber, double maxWavenumber, int points)
{
    auto run = std::make_unique<Run>();
    run->xAxis = XAxis(XAxis::Wavenumber, minWavenumber, maxWavenumber, points);
    run->lbl.setSource(&run->source);
    run->lbl.setParams(m_params.get());
    run->lbl.setXAxis(&run->xAxis);
    run->lbl.setSpectra(&run->spectra);
    run->lbl.setThreadCount(1);
    Run *r = run.get();
    connect(&run->lbl, &Lbl::notify, &run->lbl, [r](const QString &text, double fraction) {
        r->notes.append(text);
        r->fractions.append(fraction);
    });
    connect(&run->lbl, &Lbl::calculationComplete, &run->lbl, [r] { ++r->completions; });
    return run;
}

void TestLbl::calculate(Run &run, std::vector<LineRecord> records, int batchSize)
{
    run.source.setRecords(std::move(records));
    run.source.setBatchSize(batchSize);
    run.source.prepareLineData();
    run.lbl.start();
    QTRY_VERIFY_WITH_TIMEOUT(run.completions > 0, 20000);
    QCOMPARE(run.completions, 1);
    QVERIFY(!run.lbl.isRunning());
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
    QTest::newRow("Lorentz, 287.3 K, 0.8 atm") << 1 << 287.3 << 0.8;
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

    auto run = newRun(2010.0, 2310.0, 60001);
    calculate(*run, fixtureLines());
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
    auto run = newRun(line.wavenumber - 1.0, line.wavenumber + 1.0, 2001);
    calculate(*run, {fixtureLines().at(No)});
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
    auto run = newRun(2160.0, 2180.0, 400001);
    calculate(*run, {fixtureLines().at(Co1)});

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
    auto run = newRun(2000.0, 2300.0, 3001);
    calculate(*run, lines);
    const MoleculeSpectra &co = run->spectra.molecules.at(4);
    QCOMPARE(co.crossSection.maximum, tinyMaximum);
    QCOMPARE(co.opticalDepthMaximum, tinyMaximum);
    QVERIFY(!co.hasValues());   // a molecule without lines holds no memory
    QVERIFY(run->spectra.molecules.at(1).crossSection.maximum > 1e-22);

    // Unselected molecules are still calculated when calcNotSelected says so.
    m_params->setCalcNotSelected(true);
    auto included = newRun(2000.0, 2300.0, 3001);
    calculate(*included, lines);
    QVERIFY(included->spectra.molecules.at(4).crossSection.maximum > 1e-20);

    // An isotopologue of zero natural abundance, and records naming no known
    // molecule or isotopologue, are left out.
    m_params->molecule(4).isotopologues[0].naturalAbundance = 0.0;
    std::vector<LineRecord> odd = {lines.at(Co1), lines.at(Co1), lines.at(Co1)};
    odd[1].molecule = 77;
    odd[2].isotopologue = 13;
    auto skipped = newRun(2000.0, 2300.0, 3001);
    calculate(*skipped, odd);
    m_params->molecule(4).isotopologues[0].naturalAbundance = m_params->molecule(4).isotopologues[0].abundance;
    QCOMPARE(skipped->spectra.molecules.at(4).crossSection.maximum, tinyMaximum);
    QCOMPARE(skipped->lbl.recordCounter(), 3);
}

void TestLbl::intensityThreshold()
{
    const std::vector<LineRecord> lines = fixtureLines();
    const std::vector<LineRecord> pair = {lines.at(Co1), lines.at(Co13)};   // 4.4e-19 and 1.9e-21
    m_params->setIntensityThreshold(1e-20);
    auto run = newRun(2090.0, 2180.0, 9001);
    calculate(*run, pair);
    auto strongOnly = newRun(2090.0, 2180.0, 9001);
    m_params->setIntensityThreshold(0.0);
    calculate(*strongOnly, {lines.at(Co1)});
    QCOMPARE(run->spectra.molecules.at(4).crossSection.values, strongOnly->spectra.molecules.at(4).crossSection.values);

    auto both = newRun(2090.0, 2180.0, 9001);
    calculate(*both, pair);
    QVERIFY(both->spectra.molecules.at(4).crossSection.values != strongOnly->spectra.molecules.at(4).crossSection.values);
}

// With the shift in use the centre moves by p * deltaAir; without it the line
// sits at its tabulated position.
void TestLbl::pressureShift()
{
    const ReferenceLine line = referenceLines().at(Co1);
    m_params->setLineShapeProfile(1);
    m_params->pathConditions().totalPressure = 2.0;
    const double start = 2168.0;
    const double step = 0.0001;
    for (int usage : {0, 1}) {
        m_params->setLineShiftUsage(usage);
        auto run = newRun(start, start + 20000 * step, 20001);
        calculate(*run, {fixtureLines().at(Co1)});
        const SpectrumValues &values = run->spectra.molecules.at(4).crossSection.values;
        const auto peak = std::max_element(values.begin(), values.end()) - values.begin();
        const double expectedCentre = line.wavenumber + (usage ? 2.0 * line.deltaAir : 0.0);
        QCOMPARE(int(peak), int(std::lround((expectedCentre - start) / step)));
    }
}

// Twice the natural abundance of an isotopologue doubles its lines. (The path
// length enters through the column, checked against the real lines above.)
void TestLbl::enrichedIsotopologue()
{
    Isotopologue &main = m_params->molecule(4).isotopologues[0];
    main.abundance = 2.0 * main.naturalAbundance;
    auto enriched = newRun(2090.0, 2180.0, 9001);
    calculate(*enriched, {fixtureLines().at(Co1)});
    auto natural = newRun(2090.0, 2180.0, 9001);
    main.abundance = main.naturalAbundance;
    calculate(*natural, {fixtureLines().at(Co1)});
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
    auto run = newRun(0.0, 0.01, 101);
    calculate(*run, lines);
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

// Batches of 20000, each asked for while the one before is added: the
// banner hears of the records added and how far they reach, its fraction only
// grows and ends at 1, and the result equals one big batch.
void TestLbl::batchesAndProgress()
{
    std::vector<LineRecord> lines(25000, fixtureLines().at(Co1));
    for (std::size_t i = 0; i < lines.size(); ++i)
        lines[i].wavenumber = 2001.0 + double(i) * 0.01;
    m_params->setLineShapeProfile(1);
    m_params->setLineWingAbsolute(0.05);
    m_params->setLineWingHalfwidths(1);
    auto run = newRun(2000.0, 2300.0, 3001);
    // Every event loop pass reports, and the second batch comes a while after
    // it is asked for: the progress between the batches is seen.
    run->lbl.setProgressInterval(0);
    QObject delay;
    int requests = 0;
    connect(&run->source, &LineSource::dataAvailable, &delay, [&] { ++requests; });
    calculate(*run, lines, 20000);
    QCOMPARE(run->lbl.recordCounter(), 25000);
    // Two batches and the end: each asked for once.
    QCOMPARE(run->source.requestCount(), 3);
    QCOMPARE(requests, 2);
    QVERIFY(run->notes.size() >= 2);
    QCOMPARE(run->notes.first(), QStringLiteral("Running the line-by-line calculation.\nReading the lines."));
    QCOMPARE(run->notes.last(), QStringLiteral("Found 25000 HITRAN records.\nRunning the line-by-line calculation.\n"
                                               "25000 records added, up to 2250.99 cm-1."));
    QCOMPARE(run->fractions.last(), 1.0);
    for (int i = 1; i < run->fractions.size(); ++i)
        QVERIFY2(run->fractions.at(i) >= run->fractions.at(i - 1), qPrintable(run->notes.at(i)));
    QVERIFY(run->fractions.at(run->fractions.size() - 2) < 1.0);

    auto single = newRun(2000.0, 2300.0, 3001);
    calculate(*single, lines, 30000);
    QCOMPARE(single->spectra.molecules.at(4).crossSection.values, run->spectra.molecules.at(4).crossSection.values);
    QCOMPARE(single->spectra.molecules.at(4).opticalDepthMaximum, run->spectra.molecules.at(4).opticalDepthMaximum);
}

// A source that answers inside requestNextChunk() is served batch after batch
// (not nested), and two threads give the very same sums as one; the fast loops
// agree with the plain ones.
void TestLbl::immediateSourceAndThreadsGiveSameSums()
{
    std::vector<LineRecord> lines;
    for (int k = 0; k < 100; ++k) {
        for (const LineRecord &line : fixtureLines()) {
            LineRecord copy = line;
            copy.wavenumber += 0.15 * k;
            lines.push_back(copy);
        }
    }
    auto queued = newRun(2000.0, 2300.0, 120001);
    calculate(*queued, lines, 20000);

    auto immediate = newRun(2000.0, 2300.0, 120001);
    immediate->source.setImmediate(true);
    calculate(*immediate, lines, 7);
    QCOMPARE(immediate->source.requestCount(), int(lines.size() + 6) / 7 + 1);

    auto threaded = newRun(2000.0, 2300.0, 120001);
    threaded->lbl.setThreadCount(2);
    calculate(*threaded, lines, 20000);
    QCOMPARE(threaded->lbl.threadsUsed(), 2);

    // Threads with a source that reads the next batch while they add one.
    auto overlapped = newRun(2000.0, 2300.0, 120001);
    overlapped->source.setImmediate(true);
    overlapped->lbl.setThreadCount(2);
    calculate(*overlapped, lines, 500);
    QCOMPARE(overlapped->lbl.threadsUsed(), 2);

    auto reference = newRun(2000.0, 2300.0, 120001);
    reference->lbl.setReferenceKernels(true);
    calculate(*reference, lines);

    for (int m : {0, 1, 3, 4, 7}) {
        const SpectrumValues &a = queued->spectra.molecules.at(std::size_t(m)).crossSection.values;
        QCOMPARE(immediate->spectra.molecules.at(std::size_t(m)).crossSection.values, a);
        QCOMPARE(threaded->spectra.molecules.at(std::size_t(m)).crossSection.values, a);
        QCOMPARE(overlapped->spectra.molecules.at(std::size_t(m)).crossSection.values, a);
        QCOMPARE(threaded->spectra.molecules.at(std::size_t(m)).crossSection.maximum,
                 queued->spectra.molecules.at(std::size_t(m)).crossSection.maximum);
        QCOMPARE(threaded->spectra.molecules.at(std::size_t(m)).opticalDepthMaximum,
                 queued->spectra.molecules.at(std::size_t(m)).opticalDepthMaximum);
        const SpectrumValues &r = reference->spectra.molecules.at(std::size_t(m)).crossSection.values;
        for (std::size_t i = 0; i < a.size(); ++i)
            QVERIFY(r[i] == 0.0 ? a[i] == 0.0 : relativeError(a[i], r[i]) < 1e-11);
    }
}

// A cancel while the next batch is awaited (a download that stalls) ends the
// calculation at once: the spectra keep the lines added, the end is announced
// once, and the spectra set held the last results until then.
void TestLbl::cancelKeepsPartialResults()
{
    const std::vector<LineRecord> lines = fixtureLines();
    auto run = newRun(2000.0, 2300.0, 3001);
    run->spectra.molecules.resize(std::size_t(m_params->moleculeCount()));
    run->spectra.molecules.at(4).crossSection.resetValues(17);
    run->source.setStallAfter(1);
    run->source.setRecords(lines);
    run->source.setBatchSize(2);
    run->source.prepareLineData();
    run->lbl.start();
    QTRY_COMPARE(run->source.requestCount(), 2);
    QVERIFY(run->lbl.isRunning());
    // Nothing of the calculation reaches the spectra set while it runs.
    QCOMPARE(run->spectra.molecules.at(4).crossSection.values.size(), std::size_t(17));
    run->lbl.setCancel(true);
    QTRY_COMPARE(run->completions, 1);
    QVERIFY(run->lbl.cancelled());
    QCOMPARE(run->lbl.recordCounter(), 2);
    QCOMPARE(run->lbl.cancelledAt(), lines.at(1).wavenumber);

    auto firstTwo = newRun(2000.0, 2300.0, 3001);
    calculate(*firstTwo, {lines.at(0), lines.at(1)});
    QCOMPARE(run->spectra.molecules.at(4).crossSection.values, firstTwo->spectra.molecules.at(4).crossSection.values);
    QVERIFY(run->spectra.molecules.at(4).crossSection.maximum > 1e-20);

    // A cancel set before the start gives zeroed spectra and asks for nothing.
    auto early = newRun(2000.0, 2300.0, 3001);
    early->lbl.setCancel(true);
    calculate(*early, lines);
    QCOMPARE(early->source.requestCount(), 0);
    QVERIFY(!early->spectra.molecules.at(4).hasValues());
    QCOMPARE(early->spectra.molecules.at(4).crossSection.maximum, tinyMaximum);
}

// A cancel that comes while the lines of a batch are added stops at the end of
// the part in hand, before the next batch is read: the spectra hold exactly the
// lines up to the one reached and none after it.
void TestLbl::cancelInsideABatchStopsAtALine()
{
    LineBatch lines;
    for (int k = 0; k < 40; ++k) {
        for (const LineRecord &line : fixtureLines()) {
            LineRecord copy = line;
            copy.wavenumber += 0.5 * k;
            lines.push_back(copy);
        }
    }
    std::sort(lines.begin(), lines.end(),
              [](const LineRecord &a, const LineRecord &b) { return a.wavenumber < b.wavenumber; });
    XAxis axis(XAxis::Wavenumber, 2000.0, 2300.0, 30001);
    axis.buildGrid();
    const auto setup = [&] {
        LineByLineRun::Setup setup;
        setup.conditions.prepare(*m_params);
        setup.grid = axis.sharedGrid();
        setup.gridStep = axis.step();
        setup.moleculeCount = m_params->moleculeCount();
        // Parts of about 20 lines of some 200 points each.
        setup.partWork = 4000.0;
        return setup;
    };
    std::atomic<bool> cancel{false};
    CancellingFeed feed(lines, &cancel);
    LineByLineRun run(setup());
    run.run(feed, cancel);
    QVERIFY(run.cancelled());
    // The next batch was asked for once (while the first part was added), then never again.
    QCOMPARE(feed.calls, 2);
    const qint64 done = run.progress().recordsDone.load();
    QVERIFY2(done > 0 && done < qint64(lines.size()), qPrintable(QString::number(done)));
    QCOMPARE(run.progress().wavenumberReached.load(), lines[std::size_t(done - 1)].wavenumber);

    std::atomic<bool> never{false};
    OneBatch firstLines(LineBatch(lines.begin(), lines.begin() + done));
    LineByLineRun reference(setup());
    reference.run(firstLines, never);
    QVERIFY(!reference.cancelled());
    const std::vector<MoleculeSpectra> cut = run.takeSpectra();
    const std::vector<MoleculeSpectra> expected = reference.takeSpectra();
    int compared = 0;
    for (std::size_t m = 0; m < expected.size(); ++m) {
        QCOMPARE(cut[m].crossSection.values, expected[m].crossSection.values);
        QCOMPARE(cut[m].crossSection.maximum, expected[m].crossSection.maximum);
        compared += expected[m].hasValues() ? 1 : 0;
    }
    QVERIFY(compared >= 1);
}

QTEST_GUILESS_MAIN(TestLbl)
#include "tst_lbl.moc"
