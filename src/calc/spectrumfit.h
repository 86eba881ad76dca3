#pragma once

#include "core/measuredspectrum.h"

#include <QString>

#include <cstddef>
#include <functional>
#include <vector>

// The calculated part of a fitted spectrum, on the calculation grid, each
// array already smoothed with the instrument function as the plot smooths the
// optical-depth total: the optical depth of one ppmv of each varied molecule,
// and the sum of the shown molecules that are not varied. Both are linear in
// the concentrations, so the smoothing of a sum is the sum of the smoothed parts.
struct FitModelSpectra
{
    double gridStart = 0.0;   // cm-1
    double gridStep = 0.0;
    // The points where the instrument function was computed (all of them
    // without one), inclusive.
    std::size_t first = 0;
    std::size_t last = 0;
    std::vector<std::vector<double>> perPpmv;   // by varied molecule, in the order of the parameters
    std::vector<double> fixed;
};

// Least-squares fit of a calculated spectrum to a measured one (Levenberg-
// Marquardt, Eigen's port of MINPACK's lmder): the model at a measured point
// of wavenumber nu is
//     y(nu) = Y(tau(nu - shift)) + b0 + b1 u + b2 u^2,
//     tau = fixed + sum over varied molecules of c_m * perPpmv_m,
// with Y the measured quantity as a function of optical depth, tau read
// between grid points by linear interpolation, and u running from -1 at the
// first measured point to +1 at the last. Temperature and pressure change the
// line shapes and strengths, so varying them calculates the spectra anew
// through `Calculate`; the rest is evaluated from the arrays at hand.
//
// Residuals are weighted by 1/sigma when the measurement gives sigma; the
// 1-sigma uncertainties come from the covariance (J^T J)^-1, scaled by the
// reduced chi-square when it does not.
class SpectrumFit
{
public:
    enum class Kind { Concentration, Temperature, Pressure, Shift, Baseline };
    struct Parameter
    {
        Kind kind;
        int index = 0;    // which varied molecule (Concentration) or power of u (Baseline)
        QString name;     // as reported: "CO2", "T", "P", "shift", "baseline0"
        double start = 0.0;
    };
    struct Result
    {
        bool ok = false;
        QString problem;   // why there is no result
        std::vector<double> values;
        std::vector<double> sigmas;
        double rms = 0.0;               // of the unweighted residuals, in the y unit
        double reducedChiSquare = 0.0;
        std::size_t points = 0;
        int iterations = 0;
        // y - model at every point, in the order of the points.
        std::vector<double> residuals;
    };
    // Fills `model` for a temperature (K) and total pressure (atm); false with
    // the reason in `problem` when it cannot.
    using Calculate = std::function<bool(double temperature, double pressure, FitModelSpectra *model, QString *problem)>;

    // The most model evaluations a fit may take before it is given up.
    static constexpr int maxEvaluations = 400;

    // `model` holds the spectra at `temperature` and `pressure`, the start
    // values of those parameters when they are varied.
    static Result fit(const std::vector<MeasuredSpectrum::Point> &points, bool weighted,
                      MeasuredSpectrum::Quantity quantity, const std::vector<Parameter> &parameters,
                      double temperature, double pressure, const FitModelSpectra &model, const Calculate &calculate);

    // The model's y at every point for parameter values, from spectra
    // calculated at the temperature and pressure among them.
    static std::vector<double> modelValues(const std::vector<MeasuredSpectrum::Point> &points,
                                           MeasuredSpectrum::Quantity quantity,
                                           const std::vector<Parameter> &parameters, const std::vector<double> &values,
                                           const FitModelSpectra &model);
};
