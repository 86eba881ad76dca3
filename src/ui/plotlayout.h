#pragma once

#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QStringList>

#include <functional>

class QFontMetricsF;
class QPainter;

// Where the boxes that go with a plot are put so that they never cover a
// curve: the legend and the mark (what the curves are not: cancelled, sample
// lines) each go to a corner of the plot area that no curve passes through,
// the legend preferring the top right and the mark the top left; when no
// corner is free the plot area gives up room for the box instead, above it
// for the mark (tried first: a band of a line or two) and at its right for
// the legend. The curves are drawn into a
// mask for each layout tried, so what is free is what is drawn.
class PlotLayout
{
public:
    struct Boxes
    {
        QRectF area;     // the plot area left for the curves
        QRectF legend;   // empty: no legend
        QRectF mark;     // empty: no mark
        bool legendOutside = false;
        bool markOutside = false;
    };

    // Draws the curves of the plot into `painter` as they would be drawn over `area`.
    using CurveDrawer = std::function<void(QPainter *painter, const QRectF &area)>;

    // Places boxes of the given sizes (an empty size: no such box) around and
    // in `area`, `pad` pixels from the frame and from each other.
    static Boxes place(const QRectF &area, const QSizeF &legendSize, const QSizeF &markSize, double pad,
                       const CurveDrawer &drawCurves);

    // The pixels of `mask` (drawn into by a CurveDrawer) that hold a curve
    // inside `box`.
    static int curvePixels(const QImage &mask, const QRectF &box);
    // The curves over `area` as a mask: every pixel a curve touches is opaque.
    static QImage curveMask(const QRectF &area, const CurveDrawer &drawCurves);

    // A mark's lines, each wrapped at spaces to `width` pixels (a word longer
    // than that keeps its own line), and the size of the box that holds them.
    static QStringList wrapMark(const QString &text, const QFontMetricsF &metrics, double width);
    static QSizeF markBoxSize(const QStringList &lines, const QFontMetricsF &metrics);
};
