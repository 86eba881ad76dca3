#include "calc/spectrumfit.h"

#include "lblundertest.h"

#include <QtTest>

#include <cmath>
#include <random>

// The fit of calculated spectra to measured ones, on spectra the engine made
// for known conditions with Gaussian noise of known sigma from fixed seeds:
// the values it finds against those conditions, its uncertainties against the
// spread of repeated noise draws, and its refusals.
class TestSpectrumFit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void concentrationsAndTheirSpread();
    void givenUncertaintiesAreNotRescaled();
    void shiftedGridAndSlopedBaseline();
    void temperature();
    void refusals();
    void slowConvergenceIsRefused();

private:
    using Kind = SpectrumFit::Kind;
    // The engine's optical depth of every molecule at the standard conditions
    // with temperature t, on `points` from `start` to `end`.
    std::vector<std::vector<double>> opticalDepths(double t, double start, double end, int points);
    // The fit's model at temperature t: per ppmv of CO and (when varied) of
    // N2O, the rest fixed.
    FitModelSpectra modelAt(double t, bool n2oVaried = true);
    // The engine's total optical depth at t on the model grid's points
    // (offset by `offset` grid steps), as transmission with noise of `sigma`.
    std::vector<MeasuredSpectrum::Point> measured(double t, double sigma, unsigned seed, double offset = 0.0);

    LblUnderTest m_engine;
    // The conditions the spectra are made for: CO 0.15 ppmv and N2O 0.32 ppmv
    // over 1 km at 1 atm; lines of CO at 2169.2 and 2172.8 cm-1, N2O at 2200.7.
    static constexpr double start = 2150.0;
    static constexpr double end = 2220.0;
    static constexpr int gridPoints = 3501;   // 0.02 cm-1 apart
    static constexpr int co = 4;
    static constexpr int n2o = 3;
    static constexpr double coPpmv = 0.15;
    static constexpr double n2oPpmv = 0.32;
    static constexpr double noise = 0.01;
};

void TestSpectrumFit::initTestCase()
{
    QVERIFY(m_engine.loadShippedPartitionSums());
    m_engine.setStandardConditions();
}

std::vector<std::vector<double>> TestSpectrumFit::opticalDepths(double t, double from, double to, int points)
{
    m_engine.params().pathConditions().temperature = t;
    auto run = m_engine.newRun(from, to, points);
    const bool done = m_engine.calculate(*run, fixtureLines());
    m_engine.params().pathConditions().temperature = 296.0;
    std::vector<std::vector<double>> tau;
    if (!done)
        return tau;
    tau.assign(std::size_t(m_engine.params().moleculeCount()), std::vector<double>(std::size_t(points), 0.0));
    for (std::size_t m = 0; m < run->spectra.molecules.size() && m < tau.size(); ++m)
        for (std::size_t i = 0; i < std::size_t(points); ++i)
            tau[m][i] = run->spectra.molecules[m].opticalDepth(i);
    return tau;
}

FitModelSpectra TestSpectrumFit::modelAt(double t, bool n2oVaried)
{
    const auto tau = opticalDepths(t, start, end, gridPoints);
    FitModelSpectra model;
    model.gridStart = start;
    model.gridStep = (end - start) / (gridPoints - 1);
    model.first = 0;
    model.last = gridPoints - 1;
    model.fixed.assign(gridPoints, 0.0);
    model.perPpmv.assign(n2oVaried ? 2 : 1, std::vector<double>(gridPoints, 0.0));
    for (std::size_t m = 0; m < tau.size(); ++m)
        for (std::size_t i = 0; i < std::size_t(gridPoints); ++i) {
            if (m == co)
                model.perPpmv[0][i] = tau[m][i] / coPpmv;
            else if (m == n2o && n2oVaried)
                model.perPpmv[1][i] = tau[m][i] / n2oPpmv;
            else
                model.fixed[i] += tau[m][i];
        }
    return model;
}

std::vector<MeasuredSpectrum::Point> TestSpectrumFit::measured(double t, double sigma, unsigned seed, double offset)
{
    // A grid of its own, offset by a fraction of a step from the model's,
    // so that the fit reads the model between its points.
    const double step = (end - start) / (gridPoints - 1);
    const double from = start + offset * step;
    const auto tau = opticalDepths(t, from, end + offset * step, gridPoints);
    std::mt19937 generator(seed);
    std::normal_distribution<double> gaussian(0.0, sigma);
    std::vector<MeasuredSpectrum::Point> points;
    // Every second point, away from the ends the offset may leave uncovered.
    for (std::size_t i = 2; i + 2 < std::size_t(gridPoints); i += 2) {
        double total = 0.0;
        for (const auto &molecule : tau)
            total += molecule[i];
        points.push_back({from + double(i) * step, std::exp(-total) + gaussian(generator), sigma});
    }
    return points;
}

void TestSpectrumFit::concentrationsAndTheirSpread()
{
    const FitModelSpectra model = modelAt(296.0);
    // Start away from the truth; a constant baseline besides.
    const std::vector<SpectrumFit::Parameter> parameters = {
        {Kind::Concentration, 0, "CO", 0.1}, {Kind::Concentration, 1, "N2O", 0.5}, {Kind::Baseline, 0, "baseline0", 0}};
    const double truth[3] = {coPpmv, n2oPpmv, 0.0};
    std::vector<std::vector<double>> values(3);
    double meanSigma[3] = {0, 0, 0};
    const int draws = 20;
    for (int draw = 0; draw < draws; ++draw) {
        const auto points = measured(296.0, noise, 1000u + unsigned(draw));
        const SpectrumFit::Result result = SpectrumFit::fit(points, false, MeasuredSpectrum::Transmission, parameters,
                                                            296.0, 1.0, model, nullptr);
        QVERIFY2(result.ok, qPrintable(result.problem));
        QCOMPARE(result.points, points.size());
        QVERIFY(result.iterations >= 1);
        // The residuals are the noise: their RMS is its sigma.
        QVERIFY2(std::fabs(result.rms - noise) < 0.1 * noise, qPrintable(QString::number(result.rms)));
        for (int j = 0; j < 3; ++j) {
            QVERIFY2(std::fabs(result.values[j] - truth[j]) < 3.0 * result.sigmas[j],
                     qPrintable(QString("%1: %2 +- %3").arg(parameters[j].name).arg(result.values[j])
                                    .arg(result.sigmas[j])));
            values[j].push_back(result.values[j]);
            meanSigma[j] += result.sigmas[j] / draws;
        }
    }
    for (int j = 0; j < 3; ++j) {
        double mean = 0.0;
        for (double v : values[j])
            mean += v / draws;
        double variance = 0.0;
        for (double v : values[j])
            variance += (v - mean) * (v - mean) / (draws - 1);
        const double ratio = std::sqrt(variance) / meanSigma[j];
        QVERIFY2(ratio > 1.0 / 1.5 && ratio < 1.5,
                 qPrintable(QString("%1: spread %2, reported %3").arg(parameters[j].name).arg(std::sqrt(variance))
                                .arg(meanSigma[j])));
    }
}

void TestSpectrumFit::givenUncertaintiesAreNotRescaled()
{
    // The same noisy spectrum, once with sigma as the noise and once with
    // twice that: weighted fits report uncertainties that follow the sigma
    // given (the covariance is not scaled), while an unweighted fit finds
    // the noise from its residuals.
    const FitModelSpectra model = modelAt(296.0, false);
    const std::vector<SpectrumFit::Parameter> parameters = {{Kind::Concentration, 0, "CO", 0.1}};
    auto points = measured(296.0, noise, 7u);
    const auto asGiven = SpectrumFit::fit(points, true, MeasuredSpectrum::Transmission, parameters, 296, 1, model, {});
    const auto unweighted = SpectrumFit::fit(points, false, MeasuredSpectrum::Transmission, parameters, 296, 1, model,
                                             {});
    for (auto &point : points)
        point.sigma = 2.0 * noise;
    const auto doubled = SpectrumFit::fit(points, true, MeasuredSpectrum::Transmission, parameters, 296, 1, model, {});
    QVERIFY(asGiven.ok && unweighted.ok && doubled.ok);
    QVERIFY(std::fabs(doubled.sigmas[0] / asGiven.sigmas[0] - 2.0) < 1e-6);
    // With the right sigma the reduced chi-square is about 1, so the weighted
    // and the unweighted uncertainties agree.
    QVERIFY(std::fabs(asGiven.reducedChiSquare - 1.0) < 0.15);
    QVERIFY(std::fabs(unweighted.sigmas[0] / asGiven.sigmas[0] - 1.0) < 0.1);
    QVERIFY(std::fabs(doubled.values[0] - asGiven.values[0]) < 1e-9);
}

void TestSpectrumFit::shiftedGridAndSlopedBaseline()
{
    // The measured spectrum lies 0.0137 cm-1 above the calculated one (its
    // points are the engine's on a grid offset by 0.37 steps, labelled 0.0137
    // cm-1 higher), on a baseline 0.02 + 0.01 u.
    const FitModelSpectra model = modelAt(296.0);
    const double shift = 0.0137;
    auto points = measured(296.0, noise, 42u, 0.37);
    const double low = points.front().wavenumber;
    const double high = points.back().wavenumber;
    for (auto &point : points) {
        const double u = (2.0 * point.wavenumber - low - high) / (high - low);
        point.y += 0.02 + 0.01 * u;
        point.wavenumber += shift;
    }
    const std::vector<SpectrumFit::Parameter> parameters = {{Kind::Concentration, 0, "CO", 0.1},
                                                            {Kind::Concentration, 1, "N2O", 0.5},
                                                            {Kind::Shift, 0, "shift", 0.0},
                                                            {Kind::Baseline, 0, "baseline0", 0.0},
                                                            {Kind::Baseline, 1, "baseline1", 0.0}};
    const double truth[5] = {coPpmv, n2oPpmv, shift, 0.02, 0.01};
    const auto result = SpectrumFit::fit(points, false, MeasuredSpectrum::Transmission, parameters, 296, 1, model, {});
    QVERIFY2(result.ok, qPrintable(result.problem));
    for (int j = 0; j < 5; ++j)
        QVERIFY2(std::fabs(result.values[j] - truth[j]) < 3.0 * result.sigmas[j] && result.sigmas[j] > 0.0,
                 qPrintable(QString("%1: %2 +- %3").arg(parameters[j].name).arg(result.values[j])
                                .arg(result.sigmas[j])));
    // The shift is found to a small part of the grid step.
    QVERIFY(result.sigmas[2] < 0.005);
}

void TestSpectrumFit::temperature()
{
    // Made at 270 K, fitted from 296 K: the temperature changes the lines'
    // strengths and widths, so each trial value is calculated anew.
    const FitModelSpectra model = modelAt(296.0, false);
    const auto points = measured(270.0, noise, 5u);
    int calculations = 0;
    const SpectrumFit::Calculate calculate = [this, &calculations](double t, double, FitModelSpectra *spectra,
                                                                   QString *) {
        ++calculations;
        *spectra = modelAt(t, false);
        return true;
    };
    const std::vector<SpectrumFit::Parameter> parameters = {{Kind::Temperature, 0, "T", 296.0},
                                                            {Kind::Concentration, 0, "CO", 0.1}};
    const auto result = SpectrumFit::fit(points, false, MeasuredSpectrum::Transmission, parameters, 296.0, 1.0, model,
                                         calculate);
    QVERIFY2(result.ok, qPrintable(result.problem));
    QVERIFY2(std::fabs(result.values[0] - 270.0) < 3.0 * result.sigmas[0],
             qPrintable(QString("T %1 +- %2").arg(result.values[0]).arg(result.sigmas[0])));
    QVERIFY2(std::fabs(result.values[1] - coPpmv) < 3.0 * result.sigmas[1],
             qPrintable(QString("CO %1 +- %2").arg(result.values[1]).arg(result.sigmas[1])));
    QVERIFY(calculations > 0);
}

void TestSpectrumFit::refusals()
{
    FitModelSpectra model = modelAt(296.0);
    const auto points = measured(296.0, noise, 3u);
    const auto fit = [&](const std::vector<SpectrumFit::Parameter> &parameters,
                         const std::vector<MeasuredSpectrum::Point> &at, const SpectrumFit::Calculate &calculate) {
        return SpectrumFit::fit(at, false, MeasuredSpectrum::Transmission, parameters, 296.0, 1.0, model, calculate);
    };
    // A molecule without lines in the range moves nothing.
    model.perPpmv.push_back(std::vector<double>(gridPoints, 0.0));
    auto result = fit({{Kind::Concentration, 0, "CO", 0.1}, {Kind::Concentration, 2, "NO", 1.0}}, points, {});
    QVERIFY(!result.ok);
    QVERIFY2(result.problem.contains("NO is unconstrained"), qPrintable(result.problem));
    // Two parameters that move the spectrum alike cannot be told apart.
    result = fit({{Kind::Concentration, 0, "CO", 0.1}, {Kind::Concentration, 0, "CO again", 0.2}}, points, {});
    QVERIFY(!result.ok);
    QVERIFY2(result.problem.contains("CO, CO again are unconstrained"), qPrintable(result.problem));
    // As many points as parameters determine nothing.
    const std::vector<MeasuredSpectrum::Point> two(points.begin(), points.begin() + 2);
    result = fit({{Kind::Concentration, 0, "CO", 0.1}, {Kind::Baseline, 0, "baseline0", 0}}, two, {});
    QVERIFY(!result.ok);
    QVERIFY2(result.problem.contains("2 measured points"), qPrintable(result.problem));
    // A temperature that cannot be calculated on either side of the start.
    result = fit({{Kind::Temperature, 0, "T", 296.0}}, points,
                 [](double, double, FitModelSpectra *, QString *problem) {
                     *problem = "no partition sums";
                     return false;
                 });
    QVERIFY(!result.ok);
    QVERIFY2(result.problem.contains("no partition sums"), qPrintable(result.problem));
    QVERIFY(!fit({}, points, {}).ok);
}

void TestSpectrumFit::slowConvergenceIsRefused()
{
    // Two residuals that run on a circle of radius 1 around a centre at
    // distance d from zero as the temperature turns the angle (1 K per
    // radian, 0 at 296 K):
    //     r1 = cos(theta) - d,   r2 = sin(theta),   |r|^2 = 1 + d^2 - 2 d cos(theta),
    // least at 296 K. A Gauss-Newton step takes theta to theta - d sin(theta),
    // so the angle shrinks by (1 - d) per step: with d = 0.5 a few steps
    // reach 296 K, with d = 0.001 (0.999 per step, 400 steps leave 0.67 of
    // the start) the solver cannot get there within its evaluations, while
    // each step still lowers the sum by far more than the rounding of doubles.
    const auto fitFrom = [](double d, int *calculations) {
        constexpr double measuredY = 10.0;   // the residuals are y - 10 in transmission
        const double step = 1.0;
        const auto modelAtT = [d, step](double t) {
            FitModelSpectra model;
            model.gridStart = 2000.0;
            model.gridStep = step;
            model.first = 0;
            model.last = 3;
            const double theta = t - 296.0;
            model.fixed = {0.0, -std::log(measuredY + std::cos(theta) - d), -std::log(measuredY + std::sin(theta)),
                           0.0};
            return model;
        };
        const SpectrumFit::Calculate calculate = [&modelAtT, calculations](double t, double, FitModelSpectra *spectra,
                                                                           QString *) {
            ++*calculations;
            *spectra = modelAtT(t);
            return true;
        };
        const std::vector<MeasuredSpectrum::Point> points = {{2001.0, measuredY, 0.0}, {2002.0, measuredY, 0.0}};
        return SpectrumFit::fit(points, false, MeasuredSpectrum::Transmission, {{Kind::Temperature, 0, "T", 297.0}},
                                297.0, 1.0, modelAtT(297.0), calculate);
    };
    int calculations = 0;
    auto result = fitFrom(0.5, &calculations);
    QVERIFY2(result.ok, qPrintable(result.problem));
    QVERIFY2(std::fabs(result.values[0] - 296.0) < 1e-3, qPrintable(QString::number(result.values[0], 'g', 10)));
    QVERIFY(calculations < 100);

    calculations = 0;
    result = fitFrom(0.001, &calculations);
    QVERIFY(!result.ok);
    QVERIFY2(result.problem.contains(QString("did not converge within %1 model evaluations")
                                         .arg(SpectrumFit::maxEvaluations)),
             qPrintable(result.problem));
    QVERIFY(result.values.empty());
    QVERIFY2(calculations >= SpectrumFit::maxEvaluations, qPrintable(QString::number(calculations)));
}

QTEST_GUILESS_MAIN(TestSpectrumFit)
#include "tst_spectrumfit.moc"
