// A large calculation: every molecule of the sample line list, on a fine grid
// over the whole sample, from the data folder's line file to the assembled
// results, as kolvex-console runs it.
//
//   bench_large [--points N] [--from CM-1] [--to CM-1] [--profile 0-3] [--wing HALF-WIDTHS]
//               [--wing-abs CM-1] [--threads N] [--repeat R]
//
// Defaults: 1 000 000 points, 1000-3500 cm-1, Voigt (2), line wings 50
// half-widths and 1 cm-1, 296 K, 1 atm, every molecule calculated. Prints, for 1 thread and for each count up to --threads
// (default: the cores), the best wall time of R runs, lines per second, grid
// points and profile values per second, the speed-up over one thread, the
// processor time of that run (all threads) and how many cores it kept busy on
// average, and the peak memory of the process (which holds one calculation at a
// time).

#include "app/kolvexcore.h"
#include "calc/lbl.h"
#include "core/params.h"
#include "core/spectraset.h"
#include "offlinesamplecore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QEventLoop>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

long peakMemoryKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Processor time of the process so far, user and system, all threads; seconds.
double processorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

int optionValue(const QCommandLineParser &parser, const QString &name, int fallback)
{
    return parser.isSet(name) ? parser.value(name).toInt() : fallback;
}

double optionValue(const QCommandLineParser &parser, const QString &name, double fallback)
{
    return parser.isSet(name) ? parser.value(name).toDouble() : fallback;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Times one large calculation on the sample lines."));
    parser.addHelpOption();
    parser.addOptions({{QStringLiteral("points"), QStringLiteral("Grid points (1000000)."), QStringLiteral("N")},
                       {QStringLiteral("from"), QStringLiteral("Start, cm-1 (1000)."), QStringLiteral("CM-1")},
                       {QStringLiteral("to"), QStringLiteral("End, cm-1 (3500)."), QStringLiteral("CM-1")},
                       {QStringLiteral("profile"), QStringLiteral("Line shape 0-3 (2, Voigt)."), QStringLiteral("P")},
                       {QStringLiteral("wing"), QStringLiteral("Line wing, half-widths (50)."), QStringLiteral("HALF-WIDTHS")},
                       {QStringLiteral("wing-abs"), QStringLiteral("Line wing at least, cm-1 (1)."), QStringLiteral("CM-1")},
                       {QStringLiteral("threads"), QStringLiteral("Most threads (the cores)."), QStringLiteral("N")},
                       {QStringLiteral("repeat"), QStringLiteral("Runs per thread count (3)."), QStringLiteral("R")}});
    parser.process(app);
    const int points = optionValue(parser, QStringLiteral("points"), 1000000);
    const double from = optionValue(parser, QStringLiteral("from"), 1000.0);
    const double to = optionValue(parser, QStringLiteral("to"), 3500.0);
    const int profile = optionValue(parser, QStringLiteral("profile"), 2);
    const int wing = optionValue(parser, QStringLiteral("wing"), 50);
    const double wingAbsolute = optionValue(parser, QStringLiteral("wing-abs"), 1.0);
    const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    const int maxThreads = std::max(1, optionValue(parser, QStringLiteral("threads"), cores));
    const int repeat = std::max(1, optionValue(parser, QStringLiteral("repeat"), 3));

    // The sample is the data folder's own line file, read in the offline mode.
    OfflineSampleCore offline(QStringLiteral(KOLVEX_SOURCE_DIR "/resources/sample/kolvex-sample.par"), 500);
    KolvexCore &core = offline.core();
    Params &params = *core.params();
    params.setCalcNotSelected(true);
    params.setLineShapeProfile(profile);
    params.setLineWingHalfwidths(wing);
    params.setLineWingAbsolute(wingAbsolute);
    params.pathConditions().temperature = 296.0;
    params.pathConditions().totalPressure = 1.0;
    core.xAxis()->setMinWavenumber(from);
    core.xAxis()->setMaxWavenumber(to);
    core.xAxis()->setNumPoints(points);
    if (!core.xAxis()->validationProblem().isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(core.xAxis()->validationProblem()));
        return 2;
    }

    std::printf("Large calculation: %d points, %g-%g cm-1, profile %d, wings %d half-widths and %g cm-1,\n"
                "every molecule of the sample, 296 K, 1 atm, local line file -> assembled results; best of %d, %d cores\n",
                points, from, to, profile, wing, wingAbsolute, repeat, cores);
    std::printf("  %7s %10s %12s %14s %16s %9s %8s %6s\n", "threads", "wall ms", "lines/s", "grid points/s",
                "profile values/s", "speed-up", "cpu ms", "cores");
    double oneThread = 0.0;
    for (int threads = 1; threads <= maxThreads; ++threads) {
        core.lbl()->setThreadCount(threads);
        double best = 1e30;
        double bestProcessor = 0.0;
        for (int run = 0; run < repeat; ++run) {
            const double processorBefore = processorSeconds();
            const auto start = std::chrono::steady_clock::now();
            core.calculate();
            while (core.calculationIsRunning())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (wall < best) {
                best = wall;
                bestProcessor = processorSeconds() - processorBefore;
            }
        }
        if (threads == 1)
            oneThread = best;
        const double lines = core.lbl()->recordCounter();
        std::printf("  %7d %10.1f %12.3g %14.3g %16.3g %9.2f %8.1f %6.2f\n", threads, best * 1e3, lines / best,
                    points / best, core.lbl()->pointEvaluations() / best, oneThread / best, bestProcessor * 1e3,
                    bestProcessor / best);
    }
    int arrays = 0;
    for (const MoleculeSpectra &molecule : core.spectra()->molecules)
        arrays += molecule.hasValues() ? 1 : 0;
    std::printf("  %.0f lines, %.3g profile values, %d molecules with values; peak memory of the process: %.0f MB\n",
                double(core.lbl()->recordCounter()), core.lbl()->pointEvaluations(), arrays, peakMemoryKb() / 1024.0);
    return 0;
}
