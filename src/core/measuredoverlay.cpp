#include "core/measuredoverlay.h"

#include "core/xaxis.h"

#include <cmath>
#include <limits>

namespace {

constexpr double noValue = std::numeric_limits<double>::quiet_NaN();

double transmissionOf(double y, MeasuredSpectrum::Quantity q)
{
    switch (q) {
    case MeasuredSpectrum::Transmission: return y;
    case MeasuredSpectrum::TransmissionPercent: return y / 100.0;
    case MeasuredSpectrum::AbsorptionPercent: return 1.0 - y / 100.0;
    case MeasuredSpectrum::Absorbance: return std::exp(-y);
    case MeasuredSpectrum::QuantityCount: break;
    }
    return noValue;
}

} // namespace

bool MeasuredOverlay::canShow(const YAxisSettings &axis)
{
    if (axis.displayedValue != YAxisSettings::AbsorptionQuantities)
        return false;
    return axis.yUnits == YAxisSettings::Transmission || axis.yUnits == YAxisSettings::Absorption
        || axis.yUnits == YAxisSettings::OpticalDepth;
}

double MeasuredOverlay::shownValue(double y, MeasuredSpectrum::Quantity q, const YAxisSettings &axis)
{
    if (!canShow(axis))
        return noValue;
    if (axis.yUnits == YAxisSettings::OpticalDepth) {
        if (q == MeasuredSpectrum::Absorbance)
            return y;
        const double t = transmissionOf(y, q);
        return t > 0.0 ? -std::log(t) : noValue;
    }
    // Absorption in % is shown as it was measured, not through 1 - t.
    if (q == MeasuredSpectrum::AbsorptionPercent)
        return axis.yUnits == YAxisSettings::Absorption ? y : 100.0 - y;
    const double t = transmissionOf(y, q);
    return axis.yUnits == YAxisSettings::Transmission ? 100.0 * t : 100.0 * (1.0 - t);
}

std::shared_ptr<const MeasuredOverlay> MeasuredOverlay::make(const MeasuredSpectrum &measured,
                                                             const YAxisSettings &axis, quint8 xUnit,
                                                             const OpticalDepthAt &calculated,
                                                             const std::vector<MeasuredSpectrum::Point> &fittedPoints,
                                                             const std::vector<double> &fittedResiduals)
{
    auto overlay = std::make_shared<MeasuredOverlay>();
    if (measured.isEmpty())
        return overlay;
    if (!canShow(axis)) {
        overlay->m_name = axis.displayedValue == YAxisSettings::Radiance
            ? QStringLiteral("Measured: not shown as radiance")
            : QStringLiteral("Measured: not shown as cross-section");
        return overlay;
    }
    overlay->m_shown = true;
    overlay->m_fitted = !fittedPoints.empty() && fittedPoints.size() == fittedResiduals.size();
    overlay->m_name = QStringLiteral("Measured");
    const MeasuredSpectrum::Quantity q = measured.quantity();
    const std::vector<MeasuredSpectrum::Point> &points = measured.points();
    overlay->m_x.reserve(points.size());
    overlay->m_wavenumbers.reserve(points.size());
    overlay->m_measured.reserve(points.size());
    overlay->m_residuals.reserve(points.size());
    // The fitted rows are those of the spectrum within the fitted range, in
    // the same order: each is found by walking both lists once.
    std::size_t f = 0;
    for (const MeasuredSpectrum::Point &point : points) {
        const double shown = shownValue(point.y, q, axis);
        double residual = noValue;
        if (overlay->m_fitted) {
            while (f < fittedPoints.size() && fittedPoints[f].wavenumber < point.wavenumber)
                ++f;
            if (f < fittedPoints.size() && fittedPoints[f].wavenumber == point.wavenumber
                && fittedPoints[f].y == point.y) {
                residual = shown - shownValue(point.y - fittedResiduals[f], q, axis);
                ++f;
            }
        } else if (calculated) {
            residual = shown - axis.fromOpticalDepth(calculated(point.wavenumber));
        }
        if (std::isfinite(residual))
            overlay->m_hasResiduals = true;
        overlay->m_x.push_back(XAxis::fromWavenumber(point.wavenumber, xUnit));
        overlay->m_wavenumbers.push_back(point.wavenumber);
        overlay->m_measured.push_back(shown);
        overlay->m_residuals.push_back(residual);
    }
    return overlay;
}

MeasuredOverlay::GridColumns MeasuredOverlay::onGrid(double start, double step, std::size_t rows) const
{
    GridColumns columns;
    columns.measured.assign(rows, noValue);
    columns.residuals.assign(rows, noValue);
    if (!m_shown || rows == 0 || !(step > 0.0))
        return columns;
    // The measured row nearest each grid point, by its distance from it.
    std::vector<double> distance(rows, std::numeric_limits<double>::infinity());
    std::vector<std::size_t> taken(rows, m_wavenumbers.size());
    for (std::size_t k = 0; k < m_wavenumbers.size(); ++k) {
        const double position = (m_wavenumbers[k] - start) / step;
        const double nearest = std::round(position);
        if (!(nearest >= 0.0) || nearest > double(rows - 1))
            continue;
        const std::size_t row = std::size_t(nearest);
        const double away = std::fabs(position - nearest);
        if (away <= 0.5 && away < distance[row]) {
            distance[row] = away;
            taken[row] = k;
        }
    }
    for (std::size_t row = 0; row < rows; ++row) {
        if (taken[row] == m_wavenumbers.size())
            continue;
        columns.measured[row] = m_measured[taken[row]];
        columns.residuals[row] = m_residuals[taken[row]];
        ++columns.placed;
    }
    return columns;
}
