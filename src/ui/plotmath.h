#pragma once

#include <QPointF>
#include <QRectF>

#include <utility>
#include <vector>

// The arithmetic of the spectrum plot, kept apart from the painting so that it
// can be checked on its own: pixel mapping, zoom and pan limits,
// the visible part of the grid and the ruler. Every function copes with a range
// of zero width, a grid of one point and a plot area without width or height:
// nothing here divides by zero, and mapped points never leave the plot area.
class PlotMath
{
public:
    struct Range
    {
        double from = 0.0;
        double to = 0.0;
    };

    // The plot area inside an item of the given size with the four paddings,
    // shrunk by `margin` on every side. Width and height never go below zero.
    static QRectF plotArea(double itemWidth, double itemHeight, int xMinPadding, int xMaxPadding,
                           int yMinPadding, int yMaxPadding, double margin);

    // The x value of pixel column p and the y value of pixel row q. A plot
    // without width (height) gives the start of the range.
    static double xValueAt(double p, const QRectF &area, const Range &x);
    static double yValueAt(double q, const QRectF &area, const Range &y);

    // The pixel of the point (x, y), truncated toward zero and clamped into the
    // plot area. In rotated mode x runs upward along the height and y to the
    // right along the width. A range of zero width maps onto the area's start.
    static QPointF mapPoint(double x, double y, const QRectF &area, const Range &xRange,
                            const Range &yRange, bool rotated);

    // The visible range after a pinch of `scale` around the value `centre`,
    // starting from the gesture-start range and kept inside the limits. A scale
    // that is not a positive finite number, or a result without width, leaves
    // the start range.
    static Range zoom(const Range &start, double centre, double scale, const Range &limits);

    // A pan by d (the value under the end point minus the value under the start
    // point): the start range moved by -d, stopped at a limit that it would
    // pass. False (and `result` untouched) when d is no number or the range
    // cannot move within the limits.
    static bool pan(const Range &start, double d, const Range &limits, Range *result);

    // First and last grid index inside the visible x range, for an ascending
    // or descending grid; first > last when no point is visible.
    static std::pair<int, int> visibleIndices(const std::vector<double> &grid, const Range &x);

    // Whether the ruler is drawn (enabled and the x range zoomed in) and at
    // which grid index.
    static bool rulerShown(bool enabled, const Range &visible, const Range &limits);
    static int rulerIndex(int first, int last);
};
