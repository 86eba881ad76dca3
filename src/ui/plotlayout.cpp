#include "ui/plotlayout.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

enum Corner { TopRight, TopLeft, BottomRight, BottomLeft };

QRectF cornerBox(const QRectF &area, const QSizeF &size, double pad, Corner corner)
{
    const bool right = corner == TopRight || corner == BottomRight;
    const bool top = corner == TopRight || corner == TopLeft;
    const double left = right ? area.right() - pad - size.width() : area.left() + pad;
    const double upper = top ? area.top() + pad : area.bottom() - pad - size.height();
    return QRectF(left, upper, size.width(), size.height());
}

bool hasSize(const QSizeF &size)
{
    return size.width() > 0.0 && size.height() > 0.0;
}

// The corner box of `size` in `area` that covers no curve of `mask` and does
// not meet `taken`, in the order of `preference`; an empty box when there is none.
QRectF freeCorner(const QImage &mask, const QRectF &area, const QSizeF &size, double pad,
                  const std::array<Corner, 4> &preference, const QRectF &taken)
{
    for (Corner corner : preference) {
        const QRectF box = cornerBox(area, size, pad, corner);
        // A box that does not fit inside the area is no place for it.
        if (box.left() < area.left() || box.top() < area.top() || box.right() > area.right()
            || box.bottom() > area.bottom())
            continue;
        if (!taken.isEmpty() && box.adjusted(-pad, -pad, pad, pad).intersects(taken))
            continue;
        if (PlotLayout::curvePixels(mask, box) == 0)
            return box;
    }
    return QRectF();
}

} // namespace

QImage PlotLayout::curveMask(const QRectF &area, const CurveDrawer &drawCurves)
{
    const int width = std::max(1, int(std::ceil(area.right())) + 2);
    const int height = std::max(1, int(std::ceil(area.bottom())) + 2);
    QImage mask(width, height, QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    QPainter painter(&mask);
    drawCurves(&painter, area);
    return mask;
}

int PlotLayout::curvePixels(const QImage &mask, const QRectF &box)
{
    const QRect pixels = box.toAlignedRect().intersected(mask.rect());
    int count = 0;
    for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(mask.constScanLine(y));
        for (int x = pixels.left(); x <= pixels.right(); ++x)
            count += qAlpha(line[x]) > 0 ? 1 : 0;
    }
    return count;
}

PlotLayout::Boxes PlotLayout::place(const QRectF &area, const QSizeF &legendSize, const QSizeF &markSize,
                                    double pad, const CurveDrawer &drawCurves)
{
    const bool legend = hasSize(legendSize);
    const bool mark = hasSize(markSize);
    // Each layout in turn: both boxes inside, the mark outside (it takes a
    // band of a line or two), the legend outside (it takes a column), both
    // outside; the first in which every box inside is free.
    for (int outside = 0; outside < 4; ++outside) {
        const bool markOut = mark && (outside & 1);
        const bool legendOut = legend && (outside & 2);
        if ((!mark && (outside & 1)) || (!legend && (outside & 2)))
            continue;
        Boxes boxes;
        boxes.area = area;
        if (legendOut)
            boxes.area.setRight(std::max(boxes.area.left() + 1.0, area.right() - legendSize.width() - 2.0 * pad));
        if (markOut)
            boxes.area.setTop(std::min(boxes.area.bottom() - 1.0, area.top() + markSize.height() + pad));
        const bool needsMask = (legend && !legendOut) || (mark && !markOut);
        const QImage mask = needsMask ? curveMask(boxes.area, drawCurves) : QImage();
        if (legend && !legendOut) {
            boxes.legend = freeCorner(mask, boxes.area, legendSize, pad,
                                      {TopRight, TopLeft, BottomRight, BottomLeft}, QRectF());
            if (boxes.legend.isEmpty())
                continue;
        }
        if (mark && !markOut) {
            boxes.mark = freeCorner(mask, boxes.area, markSize, pad, {TopLeft, TopRight, BottomLeft, BottomRight},
                                    boxes.legend);
            if (boxes.mark.isEmpty())
                continue;
        }
        if (legendOut) {
            boxes.legendOutside = true;
            boxes.legend = QRectF(boxes.area.right() + pad, boxes.area.top(), legendSize.width(),
                                  std::min(legendSize.height(), boxes.area.height()));
        }
        if (markOut) {
            boxes.markOutside = true;
            boxes.mark = QRectF(boxes.area.left(), area.top(), markSize.width(), markSize.height());
        }
        return boxes;
    }
    return Boxes{area, QRectF(), QRectF(), false, false};
}

QStringList PlotLayout::wrapMark(const QString &text, const QFontMetricsF &metrics, double width)
{
    QStringList lines;
    if (text.isEmpty())
        return lines;
    for (const QString &given : text.split(QLatin1Char('\n'))) {
        QString line;
        for (const QString &word : given.split(QLatin1Char(' '))) {
            const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
            if (!line.isEmpty() && metrics.horizontalAdvance(longer) > width) {
                lines.append(line);
                line = word;
            } else {
                line = longer;
            }
        }
        lines.append(line);
    }
    return lines;
}

QSizeF PlotLayout::markBoxSize(const QStringList &lines, const QFontMetricsF &metrics)
{
    if (lines.isEmpty())
        return QSizeF();
    const double pad = 0.4 * metrics.height();
    double width = 0.0;
    for (const QString &line : lines)
        width = std::max(width, metrics.horizontalAdvance(line));
    return QSizeF(width + 2.0 * pad, lines.size() * metrics.height() + pad);
}
