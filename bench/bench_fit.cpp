// Speed of the fit of a measured spectrum: the default case (2000-2300 cm-1,
// 10000 points, the sample lines as the data folder's line file, the default
// instrument function), measured as the program calculates it, as
// transmission with Gaussian noise of sigma 0.005 on a constant baseline of
// 0.01; fitted for CO2, H2O and a constant baseline, starting from 0.75 times
// the CO2 and 1.5 times the H2O. Prints the values found and the time of each
// fit from the command to the result (lines read, spectra calculated and
// smoothed, solved).

#include "app/kolvexcore.h"
#include "app/measuredfit.h"
#include "calc/totalspectra.h"
#include "core/params.h"
#include "core/spectraset.h"
#include "offlinesamplecore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    OfflineSampleCore offline(QStringLiteral(KOLVEX_SOURCE_DIR "/resources/sample/kolvex-sample.par"), 500);
    KolvexCore &core = offline.core();

    // The "measurement": the program's own instrument-function total.
    core.calculate();
    while (core.calculationIsRunning())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    XAxis axis = core.calculationAxis();
    axis.buildGrid();
    SpectraSet &spectra = *core.spectra();
    TotalSpectra::compute(spectra, {false, false, false, true}, *core.params(), &axis, *core.instrumentFunction());
    const Spectrum &tau = spectra.instrOpticalDepthTotal;
    std::mt19937 generator(2024);
    std::normal_distribution<double> noise(0.0, 0.005);
    const QString file = core.dataFolder() + QStringLiteral("/measured.txt");
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return 1;
    out.write("# y: transmission\n");
    for (int i = tau.windowStart; i <= tau.windowEnd; ++i) {
        const double y = std::exp(-tau.values[std::size_t(i)]) + 0.01 + noise(generator);
        out.write(QByteArray::number(axis.grid()[std::size_t(i)], 'f', 6) + ' ' + QByteArray::number(y, 'g', 8)
                  + '\n');
    }
    out.close();
    std::vector<double> &concentrations = core.params()->pathConditions().concentrations;
    std::printf("made at CO2 %.6g ppmv, H2O %.6g ppmv, baseline 0.01, noise 0.005, %d points\n", concentrations[1],
                concentrations[0], tau.windowEnd - tau.windowStart + 1);
    // The fit starts away from the values the spectrum was made for.
    concentrations[1] *= 0.75;
    concentrations[0] *= 1.5;
    std::printf("fitted from CO2 %.6g ppmv, H2O %.6g ppmv\n", concentrations[1], concentrations[0]);

    MeasuredFit fit(&core);
    QString problem;
    if (!fit.load(file, &problem) || !fit.setVaried(QStringLiteral("CO2,H2O,baseline=0"), &problem)) {
        std::fprintf(stderr, "%s\n", qPrintable(problem));
        return 1;
    }
    std::vector<double> times;
    for (int repeat = 0; repeat < 5; ++repeat) {
        QElapsedTimer timer;
        timer.start();
        if (!fit.run(&problem)) {
            std::fprintf(stderr, "%s\n", qPrintable(problem));
            return 1;
        }
        times.push_back(double(timer.nsecsElapsed()) * 1e-6);
    }
    for (const QString &line : fit.resultLines())
        std::printf("%s\n", qPrintable(line));
    std::printf("iterations %d\n", fit.result().iterations);
    std::sort(times.begin(), times.end());
    std::printf("fit of CO2, H2O and a constant baseline, default case: best %.1f ms, median %.1f ms, worst %.1f ms "
                "(5 runs)\n",
                times.front(), times[times.size() / 2], times.back());
    return 0;
}
