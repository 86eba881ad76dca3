#include "ui/plotpainter.h"

#include "ui/axisticks.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace {

QPen solidPen()
{
    return QPen(Qt::black, 1.0, Qt::SolidLine);
}

// The user's locale without digit grouping, like every number of the interface.
QLocale labelLocale()
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

// Left edge of a label centred on x, kept inside the item.
double labelLeft(double x, double labelWidth, double itemWidth)
{
    return std::max(0.0, std::min(x - labelWidth / 2.0, itemWidth - labelWidth));
}

QPen dottedPen()
{
    return QPen(Qt::gray, 1.0, Qt::DotLine);
}

// The frame, a title centred under it and a title along its left side.
void drawFrameAndTitles(QPainter *painter, const QRectF &area, const QString &bottomTitle,
                        const QString &sideTitle)
{
    const double textHeight = QFontMetricsF(painter->font()).height();
    painter->setPen(solidPen());
    painter->drawRect(area);
    painter->drawText(QRectF(area.left(), area.bottom() + 1.5 * textHeight, area.width(), textHeight),
                      Qt::AlignHCenter | Qt::AlignVCenter, bottomTitle);
    painter->save();
    painter->translate(0.8 * textHeight, area.center().y());
    painter->rotate(-90.0);
    painter->drawText(QRectF(-area.height() / 2.0, -textHeight / 2.0 - 0.3 * textHeight, area.height(), textHeight),
                      Qt::AlignCenter, sideTitle);
    painter->restore();
}

// The position of `value` along an axis of `length` pixels showing `range`
// from its start; 0 for a range without width.
double along(double value, const PlotMath::Range &range, double length)
{
    const double span = range.to - range.from;
    return span != 0.0 ? (value - range.from) * length / span : 0.0;
}

// The ticks of `range` along `length` pixels: as many major ticks as their
// labels leave room for, each label with a gap of two letters beside it.
AxisTicks ticksAlong(const PlotMath::Range &range, double length, const QFontMetricsF &metrics)
{
    AxisTicks ticks = AxisTicks::forRange(range.from, range.to);
    for (int attempt = 0; attempt < 3; ++attempt) {
        double widest = 0.0;
        for (const QString &label : ticks.labels())
            widest = std::max(widest, metrics.horizontalAdvance(label));
        const int fitting = AxisTicks::majorCountFor(length, widest + 2.0 * metrics.averageCharWidth());
        if (int(ticks.major().size()) <= fitting)
            break;
        ticks = AxisTicks::forRange(range.from, range.to, fitting);
    }
    return ticks;
}

// Whether a position lies on the frame, where a grid line would only thicken it.
bool onFrame(double position, double length)
{
    return position < 0.5 || position > length - 0.5;
}

// Major ticks with their labels along the bottom edge, a dotted grid line at
// each inside the frame and minor ticks between and beyond them.
void drawBottomTicks(QPainter *painter, const QRectF &area, const PlotMath::Range &range, const AxisTicks &ticks,
                     double itemWidth)
{
    const QFontMetricsF metrics(painter->font());
    const double textHeight = metrics.height();
    for (std::size_t i = 0; i < ticks.major().size(); ++i) {
        const double offset = along(ticks.major()[i], range, area.width());
        if (offset < -0.5 || offset > area.width() + 0.5)
            continue;
        const double x = area.left() + offset;
        const QString &label = ticks.labels().at(int(i));
        const double labelWidth = metrics.horizontalAdvance(label);
        painter->setPen(solidPen());
        painter->drawText(QPointF(labelLeft(x, labelWidth, itemWidth), area.bottom() + 1.3 * textHeight), label);
        painter->drawLine(QPointF(x, area.bottom()), QPointF(x, area.bottom() + 0.5 * textHeight));
        if (!onFrame(offset, area.width())) {
            painter->setPen(dottedPen());
            painter->drawLine(QPointF(x, area.bottom()), QPointF(x, area.top()));
        }
    }
    painter->setPen(solidPen());
    for (double value : ticks.minor()) {
        const double offset = along(value, range, area.width());
        if (offset >= 0.0 && offset <= area.width()) {
            const double x = area.left() + offset;
            painter->drawLine(QPointF(x, area.bottom()), QPointF(x, area.bottom() + 0.3 * textHeight));
        }
    }
}

// The same along the left edge, bottom to top, with the labels turned upright
// along the edge.
void drawSideTicks(QPainter *painter, const QRectF &area, const PlotMath::Range &range, const AxisTicks &ticks)
{
    const QFontMetricsF metrics(painter->font());
    const double textHeight = metrics.height();
    for (std::size_t i = 0; i < ticks.major().size(); ++i) {
        const double offset = along(ticks.major()[i], range, area.height());
        if (offset < -0.5 || offset > area.height() + 0.5)
            continue;
        const double y = area.bottom() - offset;
        const QString &label = ticks.labels().at(int(i));
        const double labelWidth = metrics.horizontalAdvance(label);
        painter->setPen(solidPen());
        painter->save();
        // Kept within the frame's height, so that the end labels stay whole.
        const double centre = std::max(area.top() + labelWidth / 2.0, std::min(y, area.bottom() - labelWidth / 2.0));
        painter->translate(area.left() - 0.7 * textHeight, centre + labelWidth / 2.0);
        painter->rotate(-90.0);
        painter->drawText(QPointF(0.0, 0.0), label);
        painter->restore();
        painter->drawLine(QPointF(area.left(), y), QPointF(area.left() - 0.5 * textHeight, y));
        if (!onFrame(offset, area.height())) {
            painter->setPen(dottedPen());
            painter->drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        }
    }
    painter->setPen(solidPen());
    for (double value : ticks.minor()) {
        const double offset = along(value, range, area.height());
        if (offset >= 0.0 && offset <= area.height()) {
            const double y = area.bottom() - offset;
            painter->drawLine(QPointF(area.left(), y), QPointF(area.left() - 0.3 * textHeight, y));
        }
    }
}

} // namespace

void PlotPainter::paint(QPainter *painter, const Scene &scene)
{
    if (scene.inverted)
        drawRotatedAxes(painter, scene);
    else
        drawAxes(painter, scene);
    drawSpectra(painter, scene);
    if (!scene.inverted)
        drawRuler(painter, scene);
}

void PlotPainter::drawAxes(QPainter *painter, const Scene &scene)
{
    const QRectF &area = scene.area;
    const QFontMetricsF metrics(painter->font());
    const AxisTicks xTicks = ticksAlong(scene.visibleX, area.width(), metrics);
    const AxisTicks yTicks = ticksAlong(scene.visibleY, area.height(), metrics);
    drawFrameAndTitles(painter, area, xTicks.title(scene.xTitle), yTicks.title(scene.yTitle));
    drawBottomTicks(painter, area, scene.visibleX, xTicks, scene.itemWidth);
    drawSideTicks(painter, area, scene.visibleY, yTicks);
}

void PlotPainter::drawRotatedAxes(QPainter *painter, const Scene &scene)
{
    const QRectF &area = scene.area;
    // x runs upward along the left side, y to the right under the plot.
    const QFontMetricsF metrics(painter->font());
    const AxisTicks upTicks = ticksAlong(scene.visibleX, area.height(), metrics);
    const AxisTicks acrossTicks = ticksAlong(scene.visibleY, area.width(), metrics);
    drawFrameAndTitles(painter, area, acrossTicks.title(scene.yTitle), upTicks.title(scene.xTitle));
    drawSideTicks(painter, area, scene.visibleX, upTicks);
    drawBottomTicks(painter, area, scene.visibleY, acrossTicks, scene.itemWidth);
}

void PlotPainter::drawSpectra(QPainter *painter, const Scene &scene)
{
    const QRectF &area = scene.area;
    // Mapped points are clamped onto the frame; the clip keeps wide pens and
    // caps on the frame too.
    painter->save();
    painter->setClipRect(QRectF(area.left(), area.top(), area.width() + 1.0, area.height() + 1.0));
    for (std::size_t s = 0; s < scene.spectra.size(); ++s) {
        const SpectrumValues &values = *scene.spectra[s];
        const std::vector<double> *own = s < scene.ownX.size() ? scene.ownX[s] : nullptr;
        const std::vector<double> &xs = own ? *own : scene.grid;
        const CurveEnvelope *envelope = s < scene.envelopes.size() && !own ? scene.envelopes[s] : nullptr;
        const auto indices = PlotMath::visibleIndices(xs, scene.visibleX);
        if (indices.first > indices.second)
            continue;
        const QString colorName = s < std::size_t(scene.colors.size()) ? scene.colors.at(int(s)) : QStringLiteral("black");
        QColor color(colorName);
        if (!color.isValid())
            color = Qt::black;
        painter->setPen(QPen(color, std::max(1, scene.lineThickness), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const int last = std::min(indices.second, std::min(int(values.size()), int(xs.size())) - 1);
        QVector<QPointF> points;
        const auto drawPoints = [&points, painter] {
            if (points.size() == 1)
                painter->drawPoint(points.first());
            else if (points.size() > 1)
                painter->drawPolyline(points.constData(), points.size());
            points.clear();
        };
        // Consecutive points on one pixel line across the grid's axis (a column,
        // a row when rotated) are drawn as the first, the lowest, the highest and
        // the last of them: the line through those covers the pixels of the line
        // through all, and a curve of a million points costs a few thousand.
        const bool inverted = scene.inverted;
        const auto along = [inverted](const QPointF &point) { return inverted ? point.y() : point.x(); };
        const auto across = [inverted](const QPointF &point) { return inverted ? point.x() : point.y(); };
        const auto map = [&](int i, double value) {
            return PlotMath::mapPoint(xs[std::size_t(i)], value, area, scene.visibleX, scene.visibleY, inverted);
        };
        bool runOpen = false;
        QPointF first;
        QPointF lowest;
        QPointF highest;
        QPointF latest;
        const auto closeRun = [&] {
            if (!runOpen)
                return;
            for (const QPointF &point : {first, lowest, highest, latest}) {
                if (points.isEmpty() || points.last() != point)
                    points.append(point);
            }
            runOpen = false;
        };
        // Adds a stretch of points that share one pixel line, whose first and
        // last are given and whose extremes across are low and high.
        const auto addStretch = [&](const QPointF &start, const QPointF &low, const QPointF &high,
                                    const QPointF &end) {
            if (runOpen && along(start) == along(first)) {
                lowest = across(low) < across(lowest) ? low : lowest;
                highest = across(high) > across(highest) ? high : highest;
                latest = end;
                return;
            }
            closeRun();
            runOpen = true;
            first = start;
            lowest = across(low) < across(start) ? low : start;
            highest = across(high) > across(start) ? high : start;
            latest = end;
        };
        // A value that is not a finite number (a point an instrument function
        // could not compute) is no data: the curve has a gap there.
        const auto addPoint = [&](int i) {
            const double value = values[std::size_t(i)];
            if (!std::isfinite(value)) {
                closeRun();
                drawPoints();
                return;
            }
            const QPointF point = map(i, value);
            addStretch(point, point, point, point);
        };
        if (!envelope) {
            for (int i = indices.first; i <= last; ++i)
                addPoint(i);
        } else {
            // The pixel line of a point depends on its x alone, and the grid is
            // monotone: the points of one line are found by bisection.
            const auto line = [&](int i) { return along(map(i, 0.0)); };
            int i = indices.first;
            while (i <= last) {
                const double here = line(i);
                int step = 1;
                int end = i;
                while (end + step <= last && line(end + step) == here) {
                    end += step;
                    step *= 2;
                }
                for (step /= 2; step >= 1; step /= 2) {
                    if (end + step <= last && line(end + step) == here)
                        end += step;
                }
                if (envelope->hasGap(values, std::size_t(i), std::size_t(end))) {
                    for (int k = i; k <= end; ++k)
                        addPoint(k);
                } else {
                    double smallest = 0.0;
                    double largest = 0.0;
                    envelope->extremes(values, std::size_t(i), std::size_t(end), &smallest, &largest);
                    const QPointF a = map(i, smallest);
                    const QPointF b = map(i, largest);
                    const bool aLower = across(a) < across(b);
                    addStretch(map(i, values[std::size_t(i)]), aLower ? a : b, aLower ? b : a,
                               map(end, values[std::size_t(end)]));
                }
                i = end + 1;
            }
        }
        closeRun();
        drawPoints();
    }
    painter->restore();
}

void PlotPainter::drawRuler(QPainter *painter, const Scene &scene)
{
    const QRectF &area = scene.area;
    if (!PlotMath::rulerShown(scene.rulers, scene.visibleX, scene.limitX))
        return;
    const auto indices = PlotMath::visibleIndices(scene.grid, scene.visibleX);
    if (indices.first > indices.second)
        return;
    const int index = PlotMath::rulerIndex(indices.first, indices.second);
    const double x = scene.grid[std::size_t(index)];
    const double column = PlotMath::mapPoint(x, scene.visibleY.from, area, scene.visibleX, scene.visibleY, false).x();
    painter->save();
    painter->setPen(QPen(Qt::black, 1.0, Qt::DotLine));
    painter->drawLine(QPointF(column, area.bottom()), QPointF(column, area.top()));
    const QString label = labelLocale().toString(x, 'g', 7);
    const QFontMetricsF metrics(painter->font());
    const QRectF box = rulerValueBox(area, column, label, metrics, scene.itemWidth, scene.markBox);
    painter->setPen(QPen(Qt::black, 1.0));
    painter->setBrush(Qt::white);
    painter->drawRect(box);
    painter->drawText(box, Qt::AlignCenter, label);
    painter->restore();
}

QRectF PlotPainter::rulerValueBox(const QRectF &area, double column, const QString &label,
                                  const QFontMetricsF &metrics, double itemWidth, const QRectF &markBox)
{
    const double width = metrics.horizontalAdvance(label) + 0.8 * metrics.height();
    const double height = metrics.height() + 2.0;
    double left = std::max(0.0, std::min(column - width / 2.0, itemWidth - width - 1.0));
    const double top = std::max(0.0, area.top() - height - 1.0);
    QRectF box(left, top, width, height);
    if (!markBox.isEmpty() && box.intersects(markBox)) {
        left = std::min(markBox.right() + 4.0, itemWidth - width - 1.0);
        box.moveLeft(left);
    }
    return box;
}

void PlotPainter::drawMark(QPainter *painter, const QRectF &box, const QStringList &lines)
{
    if (lines.isEmpty() || box.isEmpty())
        return;
    const QFontMetricsF metrics(painter->font());
    const double pad = 0.4 * metrics.height();
    painter->save();
    painter->setPen(QPen(QColor(0xb7, 0x1c, 0x1c), 1.0));
    painter->setBrush(QColor(255, 240, 240));
    painter->drawRect(box);
    for (int i = 0; i < lines.size(); ++i)
        painter->drawText(QPointF(box.left() + pad, box.top() + pad / 2.0 + metrics.ascent() + i * metrics.height()),
                          lines.at(i));
    painter->restore();
}

QSizeF PlotPainter::legendSize(const QFontMetricsF &metrics, const std::vector<LegendEntry> &entries)
{
    if (entries.empty())
        return QSizeF();
    const double line = metrics.height();
    const double pad = 0.4 * line;
    double width = 0.0;
    for (const LegendEntry &entry : entries)
        width = std::max(width, metrics.horizontalAdvance(entry.name));
    return QSizeF(width + 2.0 * line + 3.0 * pad, double(entries.size()) * line + pad);
}

void PlotPainter::drawLegend(QPainter *painter, const QRectF &box, const std::vector<LegendEntry> &entries)
{
    if (entries.empty() || box.isEmpty())
        return;
    const QFontMetricsF metrics(painter->font());
    const double line = metrics.height();
    const double stroke = 2.0 * line;
    const double pad = 0.4 * line;
    painter->save();
    painter->setPen(QPen(QColor(0x90, 0x90, 0x90), 1.0));
    painter->setBrush(Qt::white);
    painter->drawRect(box);
    painter->setClipRect(box);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const double middle = box.top() + pad / 2.0 + (double(i) + 0.5) * line;
        QColor color(entries[i].color);
        if (!color.isValid())
            color = Qt::black;
        painter->setPen(QPen(color, std::max(2.0, line / 5.0), Qt::SolidLine, Qt::RoundCap));
        painter->drawLine(QPointF(box.left() + pad, middle), QPointF(box.left() + pad + stroke, middle));
        painter->setPen(QColor(0x20, 0x20, 0x20));
        painter->drawText(QPointF(box.left() + 2.0 * pad + stroke, middle - line / 2.0 + metrics.ascent()),
                          entries[i].name);
    }
    painter->restore();
}
