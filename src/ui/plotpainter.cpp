#include "ui/plotpainter.h"

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

// Major ticks with their labels along the bottom edge, left to right, a dotted
// grid line at each (or only at the inner ones) and minor ticks between them.
void drawBottomTicks(QPainter *painter, const QRectF &area, const QStringList &labels, int minorTicks,
                     bool gridAtEnds, double itemWidth)
{
    const QFontMetricsF metrics(painter->font());
    const double textHeight = metrics.height();
    const int count = labels.size();
    for (int i = 0; count >= 2 && i < count; ++i) {
        const double x = area.left() + area.width() * i / (count - 1);
        const double labelWidth = metrics.horizontalAdvance(labels.at(i));
        painter->setPen(solidPen());
        painter->drawText(QPointF(labelLeft(x, labelWidth, itemWidth), area.bottom() + 1.3 * textHeight), labels.at(i));
        painter->drawLine(QPointF(x, area.bottom()), QPointF(x, area.bottom() + 0.5 * textHeight));
        const bool inner = i > 0 && i < count - 1;
        if (inner || gridAtEnds) {
            painter->setPen(dottedPen());
            painter->drawLine(QPointF(x, area.bottom()), QPointF(x, area.top()));
        }
        painter->setPen(solidPen());
        for (int j = 1; inner && j < minorTicks; ++j) {
            const double minor = x + area.width() * j / (double(count - 1) * minorTicks);
            painter->drawLine(QPointF(minor, area.bottom()), QPointF(minor, area.bottom() + 0.3 * textHeight));
        }
    }
}

// The same along the left edge, bottom to top, with the labels turned upright
// along the edge.
void drawSideTicks(QPainter *painter, const QRectF &area, const QStringList &labels, int minorTicks,
                   bool gridAtEnds)
{
    const QFontMetricsF metrics(painter->font());
    const double textHeight = metrics.height();
    const int count = labels.size();
    for (int i = 0; count >= 2 && i < count; ++i) {
        const double y = area.bottom() - area.height() * i / (count - 1);
        const double labelWidth = metrics.horizontalAdvance(labels.at(i));
        painter->setPen(solidPen());
        painter->save();
        painter->translate(area.left() - 0.7 * textHeight, y + labelWidth / 2.0);
        painter->rotate(-90.0);
        painter->drawText(QPointF(0.0, 0.0), labels.at(i));
        painter->restore();
        painter->drawLine(QPointF(area.left(), y), QPointF(area.left() - 0.5 * textHeight, y));
        const bool inner = i > 0 && i < count - 1;
        if (inner || gridAtEnds) {
            painter->setPen(dottedPen());
            painter->drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        }
        painter->setPen(solidPen());
        for (int j = 1; inner && j < minorTicks; ++j) {
            const double minor = y - area.height() * j / (double(count - 1) * minorTicks);
            painter->drawLine(QPointF(area.left(), minor), QPointF(area.left() - 0.3 * textHeight, minor));
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
    const QLocale locale = labelLocale();
    drawFrameAndTitles(painter, area, scene.xTitle, scene.yTitle);
    QStringList xLabels;
    for (int i = 0; scene.majorXTicks >= 2 && i < scene.majorXTicks; ++i)
        xLabels << locale.toString(PlotMath::majorTickValue(i, scene.majorXTicks, scene.visibleX, area.width()), 'g', 7);
    drawBottomTicks(painter, area, xLabels, scene.minorXTicks, false, scene.itemWidth);
    QStringList yLabels;
    for (int i = 0; scene.majorYTicks >= 2 && i < scene.majorYTicks; ++i)
        yLabels << locale.toString(PlotMath::majorTickValue(i, scene.majorYTicks, scene.visibleY, area.height()), 'g', 3);
    drawSideTicks(painter, area, yLabels, scene.minorYTicks, false);
}

void PlotPainter::drawRotatedAxes(QPainter *painter, const Scene &scene)
{
    const QRectF &area = scene.area;
    // x runs upward along the left side, y to the right under the plot.
    const QLocale locale = labelLocale();
    drawFrameAndTitles(painter, area, scene.yTitle, scene.xTitle);
    QStringList upLabels;
    for (int i = 0; scene.majorXTicks >= 2 && i < scene.majorXTicks; ++i)
        upLabels << locale.toString(PlotMath::rotatedTickValue(i, scene.majorXTicks, scene.visibleX, area.height()), 'g', 6);
    drawSideTicks(painter, area, upLabels, 0, true);
    QStringList acrossLabels;
    for (int i = 0; scene.majorYTicks >= 2 && i < scene.majorYTicks; ++i)
        acrossLabels << locale.toString(PlotMath::rotatedTickValue(i, scene.majorYTicks, scene.visibleY, area.width()), 'g', 6);
    drawBottomTicks(painter, area, acrossLabels, 0, true, scene.itemWidth);
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
    painter->setPen(QPen(Qt::black, 1.0, Qt::DotLine));
    painter->drawLine(QPointF(column, area.bottom()), QPointF(column, area.top()));
    // The grid value at the ruler, written just inside the top of the plot.
    const QString label = labelLocale().toString(x, 'g', 7);
    const QFontMetricsF metrics(painter->font());
    const double labelWidth = metrics.horizontalAdvance(label);
    const double left = std::min(std::max(area.left() + 2.0, column + 3.0), area.right() - labelWidth - 2.0);
    painter->drawText(QPointF(left, area.top() + metrics.ascent() + 2.0), label);
}

void PlotPainter::drawMark(QPainter *painter, const QRectF &area, const QString &text, double legendWidth)
{
    if (text.isEmpty())
        return;
    const QFontMetricsF metrics(painter->font());
    const double pad = 0.4 * metrics.height();
    const double available = std::max(area.width() / 3.0, area.width() - legendWidth - 4.0 * pad);
    QStringList lines;
    for (const QString &given : text.split(QLatin1Char('\n'))) {
        QString line;
        for (const QString &word : given.split(QLatin1Char(' '))) {
            const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
            if (!line.isEmpty() && metrics.horizontalAdvance(longer) > available) {
                lines.append(line);
                line = word;
            } else {
                line = longer;
            }
        }
        lines.append(line);
    }
    double width = 0.0;
    for (const QString &line : lines)
        width = std::max(width, metrics.horizontalAdvance(line));
    const QRectF box(area.left() + pad, area.top() + pad, width + 2.0 * pad, lines.size() * metrics.height() + pad);
    painter->save();
    painter->setPen(QPen(QColor(0xb7, 0x1c, 0x1c), 1.0));
    painter->setBrush(QColor(255, 240, 240, 235));
    painter->drawRect(box);
    for (int i = 0; i < lines.size(); ++i)
        painter->drawText(QPointF(box.left() + pad, box.top() + pad / 2.0 + metrics.ascent() + i * metrics.height()),
                          lines.at(i));
    painter->restore();
}

void PlotPainter::drawLegend(QPainter *painter, const QRectF &area, const std::vector<LegendEntry> &entries)
{
    if (entries.empty())
        return;
    const QFontMetricsF metrics(painter->font());
    const double line = metrics.height();
    const double stroke = 2.0 * line;
    double width = 0.0;
    for (const LegendEntry &entry : entries)
        width = std::max(width, metrics.horizontalAdvance(entry.name));
    const double pad = 0.4 * line;
    const QRectF box(area.right() - width - stroke - 4.0 * pad, area.top() + pad, width + stroke + 3.0 * pad,
                     double(entries.size()) * line + pad);
    painter->save();
    painter->setPen(QPen(QColor(0x90, 0x90, 0x90), 1.0));
    painter->setBrush(QColor(255, 255, 255, 235));
    painter->drawRect(box);
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
