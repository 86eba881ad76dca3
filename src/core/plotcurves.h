#pragma once

#include "core/curveenvelope.h"
#include "core/spectrumallocator.h"

#include <QString>

#include <memory>
#include <vector>

// The curves of one display of the results, as a plot draws them: the x value
// of every point in the unit shown and, per curve, its y values (not a number
// where a curve has no value), their envelope and colour. Made once and never changed, so that
// whoever holds it may draw from it while the next results are calculated.
struct PlotCurves
{
    struct Curve
    {
        std::shared_ptr<const SpectrumValues> y;
        std::shared_ptr<const CurveEnvelope> envelope;
        QString color;
    };

    std::shared_ptr<const std::vector<double>> x;
    std::vector<Curve> curves;
};
