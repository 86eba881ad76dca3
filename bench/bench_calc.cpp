// Speed of the line-shape loops and of a whole calculation on real HITRAN data.
//
// Prints, for each profile, the time per evaluated grid point and the lines per
// second of the per-point loops (fast and plain) and of the engine, then the wall
// time and peak memory of the default calculation: 2000-2300 cm-1, 10000 points,
// every molecule of the sample line list, US Standard ground conditions, from
// the start of the calculation to the assembled results.

#include "app/kolvexcore.h"
#include "calc/lbl.h"
#include "calc/lineshapes.h"
#include "calc/profilekernels.h"
#include "core/calculationresults.h"
#include "core/linesource.h"
#include "core/params.h"
#include "core/spectraset.h"
#include "download/hitranonlinedownloader.h"
#include "download/linefilestore.h"
#include "offlinesamplecore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

const double rangeStart = 2000.0;
const double rangeEnd = 2300.0;
const int gridPoints = 10000;

// Ground concentrations (ppmv) of the US Standard atmosphere for the molecules
// of the sample line list.
void setUsStandard(Params &params)
{
    PathConditions &c = params.pathConditions();
    c.temperature = 288.2;
    c.totalPressure = 1.0;
    c.pathLength = 1000.0;
    c.concentrations.assign(std::size_t(params.moleculeCount()), 0.0);
    const std::pair<int, double> ground[] = {{1, 7745.0}, {2, 330.0}, {3, 0.0266}, {4, 0.32}, {5, 0.15},
                                             {6, 1.7}, {7, 2.09e5}, {8, 3e-4}, {10, 2.3e-5}, {16, 1.7e-6},
                                             {17, 3e-6}, {22, 7.81e5}, {23, 1.7e-4}, {26, 3e-4}, {28, 1e-14}};
    for (const auto &entry : ground)
        c.concentrations[std::size_t(entry.first - 1)] = entry.second;
}

std::vector<LineRecord> readLines(const QString &path, double from, double to)
{
    std::vector<LineRecord> records;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return records;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (line.size() < 67)
            continue;
        LineRecord record;
        if (LineFileStore::parseRecord(line.constData(), line.size(), record) && record.wavenumber >= from
            && record.wavenumber <= to)
            records.push_back(record);
    }
    return records;
}

// Hands the records out in batches of 20000, read from memory on the
// calculation's thread.
class MemoryFeed : public LineFeed
{
public:
    explicit MemoryFeed(const std::vector<LineRecord> &records)
        : m_records(records)
    {
    }
    bool next(LineBatch &batch) override
    {
        const std::size_t count = std::min<std::size_t>(20000, m_records.size() - m_next);
        batch.assign(m_records.begin() + std::ptrdiff_t(m_next), m_records.begin() + std::ptrdiff_t(m_next + count));
        m_next += count;
        return count > 0;
    }
    qint64 expectedRecordCount() const override { return qint64(m_records.size()); }

private:
    const std::vector<LineRecord> &m_records;
    std::size_t m_next = 0;
};

// The records held in memory as the program's line source.
class MemoryLineSource : public LineSource
{
public:
    explicit MemoryLineSource(std::vector<LineRecord> records)
        : m_records(std::move(records))
    {
    }
    void prepare(const LineRequest &) override
    {
        QTimer::singleShot(0, this, [this] { emit ready(); });
    }
    std::unique_ptr<LineFeed> takeFeed() override { return std::make_unique<MemoryFeed>(m_records); }
    QString origin() const override { return QStringLiteral("memory"); }

private:
    std::vector<LineRecord> m_records;
};

double seconds(const std::chrono::steady_clock::time_point &start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

long peakMemoryKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

const char *profileName(int profile)
{
    static const char *names[] = {"Doppler", "Lorentz", "Voigt standard", "Voigt higher"};
    return names[profile];
}

// The lines as the engine prepares them (US Standard ground conditions, 50
// half-widths or 1 cm-1 of wing), for timing the per-point loops alone.
std::vector<LineJob> prepareJobs(const std::vector<LineRecord> &records, const Params &params,
                                 LineShape::Profile profile, const SpectrumValues &grid)
{
    const PathConditions &c = params.pathConditions();
    const double step = grid[1] - grid[0];
    std::vector<LineJob> jobs;
    for (const LineRecord &r : records) {
        const Molecule &molecule = params.molecule(r.molecule - 1);
        if (r.isotopologue < 1 || r.isotopologue > int(molecule.isotopologues.size()))
            continue;
        const Isotopologue &isotopologue = molecule.isotopologues[std::size_t(r.isotopologue - 1)];
        LineJob job;
        job.center = r.wavenumber + c.totalPressure * r.deltaAir;
        job.amplitude = r.intensity;
        job.gammaD = LineShape::dopplerHalfWidth(r.wavenumber, c.temperature, isotopologue.molarMass);
        job.gammaL = LineShape::lorentzHalfWidth(2, 296.0 / c.temperature, c.totalPressure, r.nAir, r.gammaAir,
                                                 r.gammaSelf, c.concentrations[std::size_t(r.molecule - 1)] * 1e-6);
        const double wing = LineShape::wingExtent(profile, job.gammaD, job.gammaL, 50, 1.0);
        job.start = std::max(0, int((job.center - wing - grid.front()) / step));
        job.end = std::min(int(grid.size()) - 1, int((job.center + wing - grid.front()) / step));
        job.molecule = r.molecule - 1;
        if (job.start <= job.end && job.gammaD > 0.0 && job.gammaL > 0.0)
            jobs.push_back(job);
    }
    return jobs;
}

void benchmarkLoops(const std::vector<LineRecord> &records, Params &params)
{
    XAxis xAxis(XAxis::Wavenumber, rangeStart, rangeEnd, gridPoints);
    xAxis.buildGrid();
    const SpectrumValues &grid = xAxis.grid();
    std::vector<std::vector<double>> spectra(std::size_t(params.moleculeCount()), std::vector<double>(grid.size(), 0.0));
    std::vector<double *> pointers;
    for (auto &s : spectra)
        pointers.push_back(s.data());

    std::printf("\nPer-point loops, one core (%zu lines of 2000-2300 cm-1, %d points, 288.2 K, 1 atm):\n",
                records.size(), gridPoints);
    std::printf("  %-16s %10s %12s %14s %12s %14s\n", "profile", "points", "fast ns/pt", "fast lines/s",
                "plain ns/pt", "plain lines/s");
    for (int p = 0; p < 4; ++p) {
        const auto profile = LineShape::Profile(p);
        const std::vector<LineJob> jobs = prepareJobs(records, params, profile, grid);
        double points = 0.0;
        for (const LineJob &job : jobs)
            points += double(job.end - job.start + 1);
        double best[2] = {1e30, 1e30};
        for (int variant = 0; variant < 2; ++variant) {
            const auto kernel = variant == 0 ? ProfileKernels::addLines : ProfileKernels::addLinesReference;
            for (int repeat = 0; repeat < 5; ++repeat) {
                const auto start = std::chrono::steady_clock::now();
                kernel(profile, jobs.data(), jobs.size(), grid.data(), pointers.data(), 0, int(grid.size()));
                best[variant] = std::min(best[variant], seconds(start));
            }
        }
        std::printf("  %-16s %10.3g %12.2f %14.3g %12.2f %14.3g\n", profileName(p), points, best[0] / points * 1e9,
                    double(jobs.size()) / best[0], best[1] / points * 1e9, double(jobs.size()) / best[1]);
    }
}

void benchmarkEngine(const std::vector<LineRecord> &records, Params &params)
{
    std::printf("\nEngine (lines prepared, added, optical depths per batch; batches of 20000):\n");
    std::printf("  %-16s %12s %14s %12s %14s %9s\n", "profile", "1 thread ms", "lines/s", "2 threads ms",
                "lines/s", "speed-up");
    for (int p = 0; p < 4; ++p) {
        params.setLineShapeProfile(p);
        double best[2] = {1e30, 1e30};
        // One engine and spectra set for all runs, as in the program: the spectra
        // keep their memory from one calculation to the next.
        XAxis xAxis(XAxis::Wavenumber, rangeStart, rangeEnd, gridPoints);
        SpectraSet spectra;
        Lbl lbl;
        lbl.setParams(&params);
        lbl.setXAxis(&xAxis);
        lbl.setSpectra(&spectra);
        for (int threads = 1; threads <= 2; ++threads) {
            lbl.setThreadCount(threads);
            for (int repeat = 0; repeat < 5; ++repeat) {
                QEventLoop loop;
                QObject::connect(&lbl, &Lbl::calculationComplete, &loop, &QEventLoop::quit);
                const auto start = std::chrono::steady_clock::now();
                lbl.start(std::make_unique<MemoryFeed>(records));
                if (lbl.isRunning())
                    loop.exec();
                best[threads - 1] = std::min(best[threads - 1], seconds(start));
            }
        }
        std::printf("  %-16s %12.1f %14.3g %12.1f %14.3g %9.2f\n", profileName(p), best[0] * 1e3,
                    double(records.size()) / best[0], best[1] * 1e3, double(records.size()) / best[1],
                    best[0] / best[1]);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString sample = QStringLiteral(KOLVEX_SOURCE_DIR "/resources/sample/kolvex-sample.par");

    unsigned cores = std::thread::hardware_concurrency();
    std::printf("Kolvex calculation benchmark - %u logical cores, fast loops: %s\n", cores,
                ProfileKernels::instructionSet());

    // The default calculation first, so that the peak memory is its own: the
    // sample is the data folder's line file, read in the offline mode.
    OfflineSampleCore offline(sample, 400);
    KolvexCore &core = offline.core();
    setUsStandard(*core.params());

    const auto timeCalculation = [&core](int profile) {
        core.params()->setLineShapeProfile(profile);
        double best = 1e30;
        for (int repeat = 0; repeat < 3; ++repeat) {
            QEventLoop loop;
            const auto start = std::chrono::steady_clock::now();
            core.calculate();
            while (core.calculationIsRunning())
                loop.processEvents(QEventLoop::WaitForMoreEvents);
            best = std::min(best, seconds(start));
        }
        return best;
    };
    std::printf("\nDefault calculation: 2000-2300 cm-1, all molecules of the sample, %d points,\n"
                "US Standard ground conditions (288.2 K, 1 atm, 1 km), results assembled after every batch:\n",
                core.xAxis()->numPoints());
    for (int profile : {1, 2})
        std::printf("  %-16s local line file -> assembled results: %.1f ms wall (best of 3)\n",
                    profileName(profile), timeCalculation(profile) * 1e3);

    QElapsedTimer loading;
    loading.start();
    const std::vector<LineRecord> records = readLines(sample, rangeStart, rangeEnd);
    const double loadingSeconds = loading.nsecsElapsed() * 1e-9;
    MemoryLineSource source(records);
    core.setLineSource(&source);
    std::printf("  the same %zu lines held in memory (read by a simple loader in %.1f ms):\n", records.size(),
                loadingSeconds * 1e3);
    for (int profile : {1, 2})
        std::printf("  %-16s calculate -> assembled results: %.1f ms wall (best of 3)\n", profileName(profile),
                    timeCalculation(profile) * 1e3);
    std::printf("  peak memory (resident) of the whole program: %.1f MB\n", peakMemoryKb() / 1024.0);
    const double co2 = core.spectra()->molecules.at(1).opticalDepthMaximum;
    std::printf("  check: CO2 optical depth maximum %.4g, results columns %d\n", co2,
                core.results()->columnCount());

    Params &params = *core.params();
    params.setLineShapeProfile(2);
    benchmarkLoops(records, params);
    benchmarkEngine(records, params);
    return 0;
}
