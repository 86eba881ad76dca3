#pragma once

#include "core/curveenvelope.h"
#include "core/spectrumallocator.h"
#include "ui/plotmath.h"

#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <vector>

class QFontMetricsF;
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
        QRectF markBox = QRectF();   // the ruler's value keeps clear of it
    };

    static void paint(QPainter *painter, const Scene &scene);
    // The curves alone, as paint() draws them.
    static void drawSpectra(QPainter *painter, const Scene &scene);

    // A warning about what the plot shows ("Cancelled at ... cm⁻¹"), a line
    // each, in dark red on an opaque pale box.
    static void drawMark(QPainter *painter, const QRectF &box, const QStringList &lines);
    // The names of the curves, each beside a stroke of its colour, in dark text
    // on an opaque white box, so that pale colours stay readable.
    struct LegendEntry
    {
        QString name;
        QString color;
    };
    static QSizeF legendSize(const QFontMetricsF &metrics, const std::vector<LegendEntry> &entries);
    static void drawLegend(QPainter *painter, const QRectF &box, const std::vector<LegendEntry> &entries);
    // The ruler's value: in an opaque box with a dark frame, just above the
    // plot area over the ruler's column (right of `markBox` when that is
    // there), so that it covers no curve.
    static QRectF rulerValueBox(const QRectF &area, double column, const QString &label,
                                const QFontMetricsF &metrics, double itemWidth, const QRectF &markBox);

private:
    static void drawAxes(QPainter *painter, const Scene &scene);
    static void drawRotatedAxes(QPainter *painter, const Scene &scene);
    static void drawRuler(QPainter *painter, const Scene &scene);
};
