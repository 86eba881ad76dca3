#include "calc/spectrumfit.h"

#include <Eigen/Dense>
#include <unsupported/Eigen/NonLinearOptimization>

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

using Vector = Eigen::VectorXd;
using Matrix = Eigen::MatrixXd;
using Parameter = SpectrumFit::Parameter;
using Kind = SpectrumFit::Kind;
using Point = MeasuredSpectrum::Point;

// Steps of the central differences in temperature and pressure: small against
// the widths and strengths they change, large against the rounding of a
// calculated spectrum.
constexpr double temperatureStep = 0.1;        // K
constexpr double relativePressureStep = 1e-3;
// A trial temperature or pressure that cannot be calculated (outside the
// partition sums, not above zero) gives every residual this value, so that
// the solver takes a shorter step.
constexpr double unusableResidual = 1e10;
// Smallest eigenvalue of the normalised J^T J, against 1, below which two or
// more parameters move the spectrum in the same way.
constexpr double degenerateEigenvalue = 1e-12;

// Which parameter is which: the temperature and pressure (or -1), the rest in
// the order given.
struct Layout
{
    int temperature = -1;
    int pressure = -1;
    explicit Layout(const std::vector<Parameter> &parameters)
    {
        for (std::size_t j = 0; j < parameters.size(); ++j) {
            if (parameters[j].kind == Kind::Temperature)
                temperature = int(j);
            else if (parameters[j].kind == Kind::Pressure)
                pressure = int(j);
        }
    }
};

// The x of the baseline polynomial of every point: -1 at the first point, +1
// at the last (all 0 when they share one wavenumber).
std::vector<double> baselineAbscissae(const std::vector<Point> &points)
{
    std::vector<double> u(points.size(), 0.0);
    if (points.empty())
        return u;
    double low = points.front().wavenumber;
    double high = low;
    for (const Point &p : points) {
        low = std::min(low, p.wavenumber);
        high = std::max(high, p.wavenumber);
    }
    const double half = 0.5 * (high - low);
    const double middle = 0.5 * (high + low);
    if (half > 0.0)
        for (std::size_t k = 0; k < points.size(); ++k)
            u[k] = (points[k].wavenumber - middle) / half;
    return u;
}

// y of the model at every point, and (when `jacobian` is given) its
// derivatives in the parameters that do not need a new calculation; the
// temperature and pressure columns are left as they are.
void evaluate(const std::vector<Point> &points, const std::vector<double> &u, MeasuredSpectrum::Quantity quantity,
              const std::vector<Parameter> &parameters, const double *x, const FitModelSpectra &model, double *y,
              Matrix *jacobian)
{
    double shift = 0.0;
    for (std::size_t j = 0; j < parameters.size(); ++j)
        if (parameters[j].kind == Kind::Shift)
            shift = x[j];
    const double first = double(model.first);
    const double last = double(model.last);
    const std::size_t molecules = model.perPpmv.size();
    for (std::size_t k = 0; k < points.size(); ++k) {
        // The measured spectrum lies `shift` above the calculated one.
        double position = (points[k].wavenumber - shift - model.gridStart) / model.gridStep;
        const bool clamped = !(position >= first && position <= last);
        position = std::clamp(position, first, last);
        const std::size_t i = std::min(std::size_t(position), model.last - 1);
        const double t = position - double(i);
        const auto read = [i, t](const std::vector<double> &values, double *slope) {
            *slope = values[i + 1] - values[i];
            return values[i] + t * *slope;
        };
        double slope = 0.0;
        double tau = read(model.fixed, &slope);
        double tauSlope = slope;
        for (std::size_t j = 0; j < parameters.size(); ++j) {
            if (parameters[j].kind != Kind::Concentration || std::size_t(parameters[j].index) >= molecules)
                continue;
            const double perPpmv = read(model.perPpmv[std::size_t(parameters[j].index)], &slope);
            tau += x[j] * perPpmv;
            tauSlope += x[j] * slope;
        }
        const double dyDtau = MeasuredSpectrum::slopeOverOpticalDepth(tau, quantity);
        double value = MeasuredSpectrum::fromOpticalDepth(tau, quantity);
        for (std::size_t j = 0; j < parameters.size(); ++j) {
            const Parameter &parameter = parameters[j];
            if (parameter.kind == Kind::Baseline) {
                const double term = std::pow(u[k], parameter.index);
                value += x[j] * term;
                if (jacobian)
                    (*jacobian)(Eigen::Index(k), Eigen::Index(j)) = term;
            } else if (jacobian && parameter.kind == Kind::Concentration) {
                double unused = 0.0;
                const double perPpmv = std::size_t(parameter.index) < molecules
                    ? read(model.perPpmv[std::size_t(parameter.index)], &unused)
                    : 0.0;
                (*jacobian)(Eigen::Index(k), Eigen::Index(j)) = dyDtau * perPpmv;
            } else if (jacobian && parameter.kind == Kind::Shift) {
                (*jacobian)(Eigen::Index(k), Eigen::Index(j))
                    = clamped ? 0.0 : -dyDtau * tauSlope / model.gridStep;
            }
        }
        y[k] = value;
    }
}

// The residuals (model - measured) / sigma as MINPACK's lmder asks for them,
// with the model's spectra calculated anew when temperature or pressure move.
struct FitFunctor
{
    using Scalar = double;
    enum { InputsAtCompileTime = Eigen::Dynamic, ValuesAtCompileTime = Eigen::Dynamic };
    using InputType = Vector;
    using ValueType = Vector;
    using JacobianType = Matrix;

    const std::vector<Point> &points;
    std::vector<double> weights;
    std::vector<double> u;
    MeasuredSpectrum::Quantity quantity;
    const std::vector<Parameter> &parameters;
    Layout layout;
    double baseTemperature;
    double basePressure;
    const SpectrumFit::Calculate &calculate;
    // The spectra last calculated and the conditions they are for.
    mutable FitModelSpectra model;
    mutable double modelTemperature;
    mutable double modelPressure;
    mutable QString problem;

    int inputs() const { return int(parameters.size()); }
    int values() const { return int(points.size()); }

    double temperatureOf(const Vector &x) const { return layout.temperature < 0 ? baseTemperature : x[layout.temperature]; }
    double pressureOf(const Vector &x) const { return layout.pressure < 0 ? basePressure : x[layout.pressure]; }

    // The spectra at (t, p): those at hand, or calculated into `spare`.
    const FitModelSpectra *spectraAt(double t, double p, FitModelSpectra &spare) const
    {
        if (t == modelTemperature && p == modelPressure)
            return &model;
        if (!(t > 0.0) || !(p > 0.0) || !std::isfinite(t) || !std::isfinite(p) || !calculate)
            return nullptr;
        QString why;
        if (!calculate(t, p, &spare, &why)) {
            problem = why;
            return nullptr;
        }
        return &spare;
    }

    void residuals(const Vector &x, const FitModelSpectra &spectra, Vector &f, Matrix *jacobian) const
    {
        std::vector<double> y(points.size());
        evaluate(points, u, quantity, parameters, x.data(), spectra, y.data(), jacobian);
        for (std::size_t k = 0; k < points.size(); ++k) {
            f[Eigen::Index(k)] = (y[k] - points[k].y) * weights[k];
            if (jacobian)
                for (std::size_t j = 0; j < parameters.size(); ++j)
                    if (int(j) != layout.temperature && int(j) != layout.pressure)
                        (*jacobian)(Eigen::Index(k), Eigen::Index(j)) *= weights[k];
        }
    }

    int operator()(const Vector &x, Vector &f) const
    {
        const double t = temperatureOf(x);
        const double p = pressureOf(x);
        FitModelSpectra spare;
        const FitModelSpectra *spectra = spectraAt(t, p, spare);
        if (!spectra) {
            f.setConstant(unusableResidual);
            return 0;
        }
        if (spectra == &spare) {
            model = std::move(spare);
            modelTemperature = t;
            modelPressure = p;
        }
        residuals(x, model, f, nullptr);
        return 0;
    }

    int df(const Vector &x, Matrix &jacobian) const
    {
        Vector f(points.size());
        if ((*this)(x, f) != 0)
            return -1;
        jacobian.setZero(Eigen::Index(points.size()), Eigen::Index(parameters.size()));
        residuals(x, model, f, &jacobian);
        // Temperature and pressure: central differences, one-sided where a
        // step leaves the range that can be calculated.
        for (int j : {layout.temperature, layout.pressure}) {
            if (j < 0)
                continue;
            const double h = j == layout.temperature ? temperatureStep : relativePressureStep * std::fabs(x[j]);
            Vector plus = x;
            Vector minus = x;
            plus[j] += h;
            minus[j] -= h;
            Vector fPlus(f.size());
            Vector fMinus(f.size());
            FitModelSpectra sparePlus;
            FitModelSpectra spareMinus;
            const FitModelSpectra *up = spectraAt(temperatureOf(plus), pressureOf(plus), sparePlus);
            const FitModelSpectra *down = spectraAt(temperatureOf(minus), pressureOf(minus), spareMinus);
            if (!up && !down)
                return -1;
            if (up)
                residuals(plus, *up, fPlus, nullptr);
            if (down)
                residuals(minus, *down, fMinus, nullptr);
            if (up && down)
                jacobian.col(j) = (fPlus - fMinus) / (2.0 * h);
            else if (up)
                jacobian.col(j) = (fPlus - f) / h;
            else
                jacobian.col(j) = (f - fMinus) / h;
        }
        return 0;
    }
};

// The parameters that J^T J cannot tell apart, by name; empty when it can.
QStringList degenerateParameters(const Matrix &normal, const std::vector<Parameter> &parameters)
{
    QStringList names;
    const Eigen::Index n = normal.rows();
    Vector scale(n);
    for (Eigen::Index j = 0; j < n; ++j) {
        if (!(normal(j, j) > 0.0) || !std::isfinite(normal(j, j))) {
            names << parameters[std::size_t(j)].name;
            continue;
        }
        scale[j] = 1.0 / std::sqrt(normal(j, j));
    }
    if (!names.isEmpty())
        return names;
    const Matrix scaled = scale.asDiagonal() * normal * scale.asDiagonal();
    const Eigen::SelfAdjointEigenSolver<Matrix> solver(scaled);
    if (solver.info() != Eigen::Success || solver.eigenvalues()[0] < degenerateEigenvalue) {
        const Vector direction = solver.eigenvectors().col(0);
        for (Eigen::Index j = 0; j < n; ++j)
            if (std::fabs(direction[j]) > 0.3)
                names << parameters[std::size_t(j)].name;
    }
    return names;
}

QString unconstrainedText(const QStringList &names)
{
    if (names.size() == 1)
        return QStringLiteral("The fit refuses: %1 is unconstrained (it does not change the calculated spectrum at "
                              "the measured points).")
            .arg(names.front());
    return QStringLiteral("The fit refuses: %1 are unconstrained (they change the calculated spectrum at the measured "
                          "points in the same way, or not at all).")
        .arg(names.join(QStringLiteral(", ")));
}

} // namespace

SpectrumFit::Result SpectrumFit::fit(const std::vector<Point> &points, bool weighted,
                                     MeasuredSpectrum::Quantity quantity, const std::vector<Parameter> &parameters,
                                     double temperature, double pressure, const FitModelSpectra &model,
                                     const Calculate &calculate)
{
    Result result;
    result.points = points.size();
    const auto refuse = [&result](const QString &text) {
        result.ok = false;
        result.problem = text;
        return result;
    };
    if (parameters.empty())
        return refuse(QStringLiteral("The fit refuses: nothing is chosen to vary."));
    if (points.size() <= parameters.size())
        return refuse(QStringLiteral("The fit refuses: %1 measured points within the calculated range cannot "
                                     "determine %2 quantities.")
                          .arg(points.size())
                          .arg(parameters.size()));
    if (!(model.gridStep > 0.0) || model.last <= model.first || model.fixed.size() <= model.last)
        return refuse(QStringLiteral("The fit refuses: the calculated spectrum has fewer than two points."));

    FitFunctor functor{points, {}, baselineAbscissae(points), quantity, parameters, Layout(parameters),
                       temperature, pressure, calculate, model, temperature, pressure, QString()};
    functor.weights.resize(points.size());
    for (std::size_t k = 0; k < points.size(); ++k)
        functor.weights[k] = weighted ? 1.0 / points[k].sigma : 1.0;

    Vector x(Eigen::Index(parameters.size()));
    for (std::size_t j = 0; j < parameters.size(); ++j)
        x[Eigen::Index(j)] = parameters[j].start;

    // A parameter that moves nothing cannot be fitted: say so before trying.
    Matrix jacobian;
    if (functor.df(x, jacobian) != 0)
        return refuse(QStringLiteral("The fit refuses: the spectrum cannot be calculated near the start values (%1).")
                          .arg(functor.problem));
    QStringList flat;
    for (Eigen::Index j = 0; j < jacobian.cols(); ++j)
        if (!(jacobian.col(j).squaredNorm() > 0.0))
            flat << parameters[std::size_t(j)].name;
    if (!flat.isEmpty())
        return refuse(unconstrainedText(flat));

    Eigen::LevenbergMarquardt<FitFunctor> solver(functor);
    solver.parameters.maxfev = maxEvaluations;
    const Eigen::LevenbergMarquardtSpace::Status status = solver.minimize(x);
    result.iterations = int(solver.njev);
    switch (status) {
    case Eigen::LevenbergMarquardtSpace::RelativeReductionTooSmall:
    case Eigen::LevenbergMarquardtSpace::RelativeErrorTooSmall:
    case Eigen::LevenbergMarquardtSpace::RelativeErrorAndReductionTooSmall:
    case Eigen::LevenbergMarquardtSpace::CosinusTooSmall:
    // The tolerances are at the rounding of doubles: no step can do better.
    case Eigen::LevenbergMarquardtSpace::FtolTooSmall:
    case Eigen::LevenbergMarquardtSpace::XtolTooSmall:
    case Eigen::LevenbergMarquardtSpace::GtolTooSmall:
        break;
    case Eigen::LevenbergMarquardtSpace::TooManyFunctionEvaluation:
        return refuse(QStringLiteral("The fit did not converge within %1 model evaluations (%2 iterations).")
                          .arg(maxEvaluations)
                          .arg(result.iterations));
    default:
        return refuse(QStringLiteral("The fit did not converge: %1")
                          .arg(functor.problem.isEmpty() ? QStringLiteral("the solver gave up") : functor.problem));
    }

    if (functor.df(x, jacobian) != 0)
        return refuse(QStringLiteral("The fit did not converge: the spectrum cannot be calculated at the values "
                                     "reached (%1).")
                          .arg(functor.problem));
    Vector f(Eigen::Index(points.size()));
    functor(x, f);
    if (!f.allFinite() || !x.allFinite() || f.cwiseAbs().maxCoeff() >= unusableResidual)
        return refuse(QStringLiteral("The fit did not converge: it reached values where the spectrum cannot be "
                                     "calculated."));
    const Matrix normal = jacobian.transpose() * jacobian;
    const QStringList degenerate = degenerateParameters(normal, parameters);
    if (!degenerate.isEmpty())
        return refuse(unconstrainedText(degenerate));

    const double chiSquare = f.squaredNorm();
    const double dof = double(points.size() - parameters.size());
    result.reducedChiSquare = chiSquare / dof;
    const Matrix covariance = normal.ldlt().solve(Matrix::Identity(normal.rows(), normal.cols()))
        * (weighted ? 1.0 : result.reducedChiSquare);
    result.values.assign(x.data(), x.data() + x.size());
    result.sigmas.resize(parameters.size());
    for (std::size_t j = 0; j < parameters.size(); ++j)
        result.sigmas[j] = std::sqrt(std::max(0.0, covariance(Eigen::Index(j), Eigen::Index(j))));

    result.residuals.resize(points.size());
    double sum = 0.0;
    for (std::size_t k = 0; k < points.size(); ++k) {
        // f = (model - y) w
        result.residuals[k] = -f[Eigen::Index(k)] / functor.weights[k];
        sum += result.residuals[k] * result.residuals[k];
    }
    result.rms = std::sqrt(sum / double(points.size()));
    result.ok = true;
    return result;
}

std::vector<double> SpectrumFit::modelValues(const std::vector<Point> &points, MeasuredSpectrum::Quantity quantity,
                                             const std::vector<Parameter> &parameters,
                                             const std::vector<double> &values, const FitModelSpectra &model)
{
    std::vector<double> y(points.size(), 0.0);
    if (values.size() != parameters.size() || model.last <= model.first || model.fixed.size() <= model.last)
        return y;
    evaluate(points, baselineAbscissae(points), quantity, parameters, values.data(), model, y.data(), nullptr);
    return y;
}
