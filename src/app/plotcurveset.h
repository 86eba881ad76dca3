#pragma once

#include "core/calculationresults.h"
#include "core/plotcurves.h"
#include "core/spectrumallocator.h"

#include <QString>

#include <memory>
#include <vector>

// The curves handed to the plot since a set began, and the set last completed
// as a plot draws it. A curve is a reader of the calculation's arrays; its
// values are read (converted into the quantity shown) only when a plot asks
// for the completed set, so a set that nobody draws copies no spectrum.
class PlotCurveSet
{
public:
    using ValueAt = CalculationResults::ValueAt;

    // A new set begins: the curves handed over so far are let go.
    void begin() { m_setCurves.clear(); }
    void add(std::size_t rows, ValueAt valueAt, const QString &color);
    // The set handed over becomes the one a plot draws.
    void complete();

    // The completed set over `grid` with x values in `unit`: made on the first
    // call after complete(), then shared and never changed. The x values are
    // shared by every set on the same grid and unit.
    std::shared_ptr<const PlotCurves> curves(const std::shared_ptr<const SpectrumValues> &grid, quint8 unit) const;

private:
    struct CurveSource
    {
        std::size_t rows = 0;
        ValueAt valueAt;
        QString color;
    };

    std::vector<CurveSource> m_setCurves;
    std::vector<CurveSource> m_completeCurves;
    mutable std::shared_ptr<const PlotCurves> m_curves;
    mutable std::shared_ptr<const std::vector<double>> m_curvesX;
    mutable std::shared_ptr<const SpectrumValues> m_curvesXSource;
    mutable quint8 m_curvesXUnit = 0;
};
