#pragma once

#include "core/measuredspectrum.h"
#include "core/spectrumallocator.h"
#include "core/yaxissettings.h"

#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>
#include <vector>

// A measured spectrum as the plot shows it over the calculated one: its rows
// in the plot's x unit and y quantity, and the residuals, measured minus
// calculated (after a fit, minus the fitted model) in the same quantity. Made
// once and never changed, so that a plot may draw from it while the next one
// is made.
//
// The measured y becomes the plot's quantity through its transmission t:
// t = y (transmission), y/100 (transmission%), 1 - y/100 (absorption%),
// exp(-y) (absorbance); the plot shows 100 t (transmission, %), 100 (1 - t)
// (absorption, %) or -ln t (optical depth; the absorbance itself when the file
// gives it). Cross-section and radiance cannot be had from a measured
// transmission: the overlay then holds no rows and says so.
class MeasuredOverlay
{
public:
    // The calculated optical depth at a wavenumber (cm-1); not a number where
    // there is none.
    using OpticalDepthAt = std::function<double(double wavenumber)>;

    // y of quantity q as the plot's quantity; not a number where it has no
    // value (the optical depth of a transmission of 0 or below) or the plot's
    // quantity cannot be had from it.
    static double shownValue(double y, MeasuredSpectrum::Quantity q, const YAxisSettings &axis);
    static bool canShow(const YAxisSettings &axis);

    // `fittedPoints` and `fittedResiduals` (y - model at each) are those of a
    // fit to this spectrum, or empty; without them the residuals are those
    // against `calculated`, which may be empty when there is no calculation.
    static std::shared_ptr<const MeasuredOverlay> make(const MeasuredSpectrum &measured, const YAxisSettings &axis,
                                                       quint8 xUnit, const OpticalDepthAt &calculated,
                                                       const std::vector<MeasuredSpectrum::Point> &fittedPoints,
                                                       const std::vector<double> &fittedResiduals);

    bool shown() const { return m_shown; }
    bool fitted() const { return m_fitted; }
    // Whether a residual has a value anywhere.
    bool hasResiduals() const { return m_hasResiduals; }
    // The x of every row in the plot's unit, in rising wavenumber.
    const std::vector<double> &x() const { return m_x; }
    const SpectrumValues &measured() const { return m_measured; }
    const SpectrumValues &residuals() const { return m_residuals; }
    // The rows' wavenumbers (cm-1).
    const std::vector<double> &wavenumbers() const { return m_wavenumbers; }
    // For a legend (short: a legend takes room from the plot): the measured
    // curve's name, or why it is not drawn.
    const QString &name() const { return m_name; }

    // The measured values and residuals on a grid of `rows` points from
    // `start` cm-1 `step` apart, as columns of a table: each row takes the
    // measured row nearest it within half a step, and is not a number where
    // none lies. `placed` counts the measured rows taken.
    struct GridColumns
    {
        std::vector<double> measured;
        std::vector<double> residuals;
        std::size_t placed = 0;
    };
    GridColumns onGrid(double start, double step, std::size_t rows) const;

private:
    bool m_shown = false;
    bool m_fitted = false;
    bool m_hasResiduals = false;
    std::vector<double> m_x;
    std::vector<double> m_wavenumbers;
    SpectrumValues m_measured;
    SpectrumValues m_residuals;
    QString m_name;
};
