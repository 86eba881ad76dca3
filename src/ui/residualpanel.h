#pragma once

#include "ui/plotmath.h"

#include <QRectF>
#include <QString>

#include <utility>

class MeasuredOverlay;
class QPainter;

// The panel of residuals (measured minus calculated) under a plot with a
// measured spectrum: the plot's x range and zoom, a y axis of its own that is
// symmetric about zero and a zero line. The plot gives up the bottom of its
// area for it, with the room its x labels need between the two.
class ResidualPanel
{
public:
    // The share of the area's height the panel takes.
    static constexpr double share = 0.25;

    // Whether a panel is drawn for `overlay` (null: none).
    static bool shownFor(const MeasuredOverlay *overlay);
    // The plot's area above and the panel below, `gap` pixels apart.
    static std::pair<QRectF, QRectF> split(const QRectF &area, double gap);
    // The panel's y range: plus and minus the largest residual within the
    // visible x range, a tenth more; +-1 when there is none.
    static PlotMath::Range range(const MeasuredOverlay &overlay, const PlotMath::Range &visibleX);
    // The panel's y title: "Residual" in the unit of the plot's y title
    // ("Absorption, %" gives "Residual, %"; "Optical depth" none).
    static QString yTitle(const QString &plotYTitle);
    // Draws the panel (axes, zero line, residuals) into `panel`.
    static void paint(QPainter *painter, const MeasuredOverlay &overlay, const QRectF &panel, double itemWidth,
                      const QString &xTitle, const QString &plotYTitle, const PlotMath::Range &visibleX,
                      const PlotMath::Range &limitX, int lineThickness);
};
