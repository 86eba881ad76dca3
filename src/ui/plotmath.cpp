#include "ui/plotmath.h"

#include <algorithm>
#include <functional>
#include <cmath>

namespace {

double clampTo(double value, double low, double high)
{
    return std::max(low, std::min(value, high));
}

} // namespace

QRectF PlotMath::plotArea(double itemWidth, double itemHeight, int xMinPadding, int xMaxPadding,
                          int yMinPadding, int yMaxPadding, double margin)
{
    const double left = xMinPadding + margin;
    const double top = yMinPadding + margin;
    const double width = std::max(0.0, itemWidth - xMinPadding - xMaxPadding - 2.0 * margin);
    const double height = std::max(0.0, itemHeight - yMinPadding - yMaxPadding - 2.0 * margin);
    return QRectF(left, top, width, height);
}

double PlotMath::xValueAt(double p, const QRectF &area, const Range &x)
{
    if (area.width() <= 0.0)
        return x.from;
    return (p - area.left()) * (x.to - x.from) / area.width() + x.from;
}

double PlotMath::yValueAt(double q, const QRectF &area, const Range &y)
{
    if (area.height() <= 0.0)
        return y.from;
    return (area.bottom() - q) * (y.to - y.from) / area.height() + y.from;
}

QPointF PlotMath::mapPoint(double x, double y, const QRectF &area, const Range &xRange,
                           const Range &yRange, bool rotated)
{
    // Along the width runs y in rotated mode, x otherwise; along the height the other one.
    const double across = rotated ? y : x;
    const double up = rotated ? x : y;
    const Range &acrossRange = rotated ? yRange : xRange;
    const Range &upRange = rotated ? xRange : yRange;
    const double acrossSpan = acrossRange.to - acrossRange.from;
    const double upSpan = upRange.to - upRange.from;

    double column = area.left();
    if (acrossSpan != 0.0 && std::isfinite(across))
        column = std::trunc(area.left() + (across - acrossRange.from) * area.width() / acrossSpan);
    double row = area.bottom();
    if (upSpan != 0.0 && std::isfinite(up))
        row = std::trunc(area.bottom() - (up - upRange.from) * area.height() / upSpan);
    if (!std::isfinite(column))
        column = area.left();
    if (!std::isfinite(row))
        row = area.bottom();
    return QPointF(clampTo(column, area.left(), area.right()), clampTo(row, area.top(), area.bottom()));
}

PlotMath::Range PlotMath::zoom(const Range &start, double centre, double scale, const Range &limits)
{
    if (!(scale > 0.0) || !std::isfinite(scale) || !std::isfinite(centre))
        return start;
    Range result;
    result.from = std::max(centre - (centre - start.from) / scale, limits.from);
    result.to = std::min(centre + (start.to - centre) / scale, limits.to);
    if (!(result.to > result.from))
        return start;
    return result;
}

bool PlotMath::pan(const Range &start, double d, const Range &limits, Range *result)
{
    if (!std::isfinite(d))
        return false;
    // A drag past an end stops there: the range keeps its width and meets the
    // limit. A range wider than the limits (or without width) cannot move.
    const double width = start.to - start.from;
    const double low = std::min(limits.from, limits.to);
    const double high = std::max(limits.from, limits.to);
    if (!(width > 0.0) || width > high - low)
        return false;
    double from = start.from - d;
    from = std::max(low, std::min(from, high - width));
    *result = Range{from, from + width};
    return true;
}

std::pair<int, int> PlotMath::visibleIndices(const std::vector<double> &grid, const Range &x)
{
    const int size = int(grid.size());
    if (size == 0)
        return {0, -1};
    const bool ascending = size < 2 || grid.front() <= grid.back();
    const double low = ascending ? x.from : x.to;
    const double high = ascending ? x.to : x.from;
    // Bisection: a grid of a million points is searched on every paint.
    const auto begin = grid.begin();
    const auto end = grid.end();
    int first = 0;
    int last = size - 1;
    if (ascending) {
        first = int(std::lower_bound(begin, end, low) - begin);
        last = int(std::upper_bound(begin, end, high) - begin) - 1;
    } else {
        // Descending: the first index with x <= the upper end, the last with x >= the lower end.
        const double upper = std::max(low, high);
        const double lower = std::min(low, high);
        first = int(std::lower_bound(begin, end, upper, std::greater<double>()) - begin);
        last = int(std::upper_bound(begin, end, lower, std::greater<double>()) - begin) - 1;
    }
    return {first, last};
}

bool PlotMath::rulerShown(bool enabled, const Range &visible, const Range &limits)
{
    return enabled && (visible.from > limits.from || visible.to < limits.to);
}

int PlotMath::rulerIndex(int first, int last)
{
    return int(std::lround((first + last) / 2.0));
}
