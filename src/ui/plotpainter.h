#pragma once

#include "core/curveenvelope.h"
#include "core/spectrumallocator.h"
#include "ui/plotmath.h"

#include <QRectF>
#include <QString>
#include <QStringList>

#include <vector>

class QPainter;

// Draws the picture of a plot inside its frame: the frame and the axis titles,
// the ticks with their labels and dotted grid lines (x up the left side and y
// along the bottom when the plot is turned round), the curves, with a gap
// where a value is no number, and the ruler of a zoomed plot. The points of a
// curve that fall on one pixel line across the grid's axis are drawn as the
// first, lowest, highest and last of them; a curve with an envelope finds the
// lowest and highest from its blocks, so that a paint costs a few operations
// per pixel line rather than per point.
class PlotPainter
{
public:
    // What the plot shows, as Plot holds it.
    struct Scene
    {
        QRectF area;
        double itemWidth;
        const QString &xTitle;
        const QString &yTitle;
        int majorXTicks;
        int minorXTicks;
        int majorYTicks;
        int minorYTicks;
        PlotMath::Range visibleX;
        PlotMath::Range visibleY;
        PlotMath::Range limitX;
        const std::vector<const SpectrumValues *> &spectra;
        const std::vector<const std::vector<double> *> &ownX;   // per curve; null: the curve lies on grid
        const std::vector<const CurveEnvelope *> &envelopes;      // per curve; null: none
        const std::vector<double> &grid;
        const QStringList &colors;
        int lineThickness;
        bool inverted;
        bool rulers;
    };

    static void paint(QPainter *painter, const Scene &scene);

    // A warning about what the plot shows ("Cancelled at ... cm-1"), a line
    // each, in dark red on a pale box at the top left of the plot area.
    // The mark at the top left of the area, its lines wrapped at spaces to keep
    // clear of the legendWidth pixels at the area's top right (though never
    // narrower than a third of the area).
    static void drawMark(QPainter *painter, const QRectF &area, const QString &text, double legendWidth = 0.0);
    // The names of the curves, each beside a stroke of its colour, in dark text
    // on a white box at the top right of the plot area, so that pale colours
    // stay readable.
    struct LegendEntry
    {
        QString name;
        QString color;
    };
    static void drawLegend(QPainter *painter, const QRectF &area, const std::vector<LegendEntry> &entries);

private:
    static void drawAxes(QPainter *painter, const Scene &scene);
    static void drawRotatedAxes(QPainter *painter, const Scene &scene);
    static void drawSpectra(QPainter *painter, const Scene &scene);
    static void drawRuler(QPainter *painter, const Scene &scene);
};
