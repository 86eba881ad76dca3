#include "ui/plot.h"

#include <QDebug>
#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPen>
#include <QThread>

#include <algorithm>
#include <cmath>

namespace {

// Stores `value` in `member` and emits through `emitter` when it differs.
template <typename T, typename Emit>
bool store(T &member, const T &value, Emit emitter)
{
    if (member == value)
        return false;
    member = value;
    emitter();
    return true;
}

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

} // namespace

Plot::Plot(QQuickItem *parent)
    : QQuickPaintedItem(parent)
{
    setAntialiasing(false);
    setFillColor(Qt::white);
}

QRectF Plot::plotArea() const
{
    return PlotMath::plotArea(width(), height(), m_xMinPadding, m_xMaxPadding, m_yMinPadding,
                              m_yMaxPadding, 0.0);
}

void Plot::paint(QPainter *painter)
{
    if (m_plotInProgress)
        return;
    m_plotInProgress = true;
    announcePaint();

    const double penWidth = painter->pen().widthF() / 2.0;
    const double margin = penWidth >= 1.0 ? penWidth : 0.0;
    const QRectF area = PlotMath::plotArea(width(), height(), m_xMinPadding, m_xMaxPadding,
                                           m_yMinPadding, m_yMaxPadding, margin);
    painter->fillRect(QRectF(0.0, 0.0, width(), height()), Qt::white);

    QFont font = painter->font();
    font.setPointSize(std::max(1, int(m_fontPointSize)));
    painter->setFont(font);
    painter->setPen(solidPen());
    if (m_topStringPending) {
        const QFontMetricsF metrics(font);
        painter->drawText(QPointF(m_xMinPadding, std::trunc((metrics.height() + m_yMinPadding) / 2.0)),
                          m_topString);
        m_topStringPending = false;
    }

    if (area.width() > 0.0 && area.height() > 0.0) {
        if (m_plotInverted)
            drawRotatedAxes(painter, area);
        else
            drawAxes(painter, area);
        drawSpectra(painter, area);
        if (!m_plotInverted)
            drawRuler(painter, area);
    }

    m_plotInProgress = false;
    announcePaint();
}

void Plot::announcePaint()
{
    // A threaded scene graph paints on its render thread; the change then
    // reaches the interface (and the core) on the item's own thread.
    if (QThread::currentThread() == thread())
        emit plotInProgressChanged();
    else
        QMetaObject::invokeMethod(this, &Plot::plotInProgressChanged, Qt::QueuedConnection);
}

namespace {

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

void Plot::drawAxes(QPainter *painter, const QRectF &area)
{
    const QLocale locale = labelLocale();
    drawFrameAndTitles(painter, area, m_xAxisTitle, m_yAxisTitle);
    QStringList xLabels;
    for (int i = 0; m_numMajorXTicks >= 2 && i < m_numMajorXTicks; ++i)
        xLabels << locale.toString(PlotMath::majorTickValue(i, m_numMajorXTicks, m_visibleX, area.width()), 'g', 7);
    drawBottomTicks(painter, area, xLabels, m_numMinorXTicks, false, width());
    QStringList yLabels;
    for (int i = 0; m_numMajorYTicks >= 2 && i < m_numMajorYTicks; ++i)
        yLabels << locale.toString(PlotMath::majorTickValue(i, m_numMajorYTicks, m_visibleY, area.height()), 'g', 3);
    drawSideTicks(painter, area, yLabels, m_numMinorYTicks, false);
}

void Plot::drawRotatedAxes(QPainter *painter, const QRectF &area)
{
    // x runs upward along the left side, y to the right under the plot.
    const QLocale locale = labelLocale();
    drawFrameAndTitles(painter, area, m_yAxisTitle, m_xAxisTitle);
    QStringList upLabels;
    for (int i = 0; m_numMajorXTicks >= 2 && i < m_numMajorXTicks; ++i)
        upLabels << locale.toString(PlotMath::rotatedTickValue(i, m_numMajorXTicks, m_visibleX, area.height()), 'g', 6);
    drawSideTicks(painter, area, upLabels, 0, true);
    QStringList acrossLabels;
    for (int i = 0; m_numMajorYTicks >= 2 && i < m_numMajorYTicks; ++i)
        acrossLabels << locale.toString(PlotMath::rotatedTickValue(i, m_numMajorYTicks, m_visibleY, area.width()), 'g', 6);
    drawBottomTicks(painter, area, acrossLabels, 0, true, width());
}

void Plot::drawSpectra(QPainter *painter, const QRectF &area)
{
    // Mapped points are clamped onto the frame; the clip keeps wide pens and
    // caps on the frame too.
    painter->save();
    painter->setClipRect(QRectF(area.left(), area.top(), area.width() + 1.0, area.height() + 1.0));
    for (std::size_t s = 0; s < m_spectra.size(); ++s) {
        const SpectrumValues &values = m_spectra[s];
        const std::vector<double> &xs = m_ownX[s].empty() ? m_grid : m_ownX[s];
        const auto indices = PlotMath::visibleIndices(xs, m_visibleX);
        if (indices.first > indices.second)
            continue;
        const QString colorName = s < std::size_t(m_colors.size()) ? m_colors.at(int(s)) : QStringLiteral("black");
        QColor color(colorName);
        if (!color.isValid())
            color = Qt::black;
        painter->setPen(QPen(color, std::max(1, m_lineThickness), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
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
        const auto along = [this](const QPointF &point) { return m_plotInverted ? point.y() : point.x(); };
        const auto across = [this](const QPointF &point) { return m_plotInverted ? point.x() : point.y(); };
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
        // A value that is not a finite number (a point an instrument function
        // could not compute) is no data: the curve has a gap there.
        for (int i = indices.first; i <= last; ++i) {
            const double value = values[std::size_t(i)];
            if (!std::isfinite(value)) {
                closeRun();
                drawPoints();
                continue;
            }
            const QPointF point = PlotMath::mapPoint(xs[std::size_t(i)], value, area, m_visibleX, m_visibleY,
                                                     m_plotInverted);
            if (runOpen && along(point) == along(first)) {
                lowest = across(point) < across(lowest) ? point : lowest;
                highest = across(point) > across(highest) ? point : highest;
                latest = point;
                continue;
            }
            closeRun();
            runOpen = true;
            first = lowest = highest = latest = point;
        }
        closeRun();
        drawPoints();
    }
    painter->restore();
}

void Plot::drawRuler(QPainter *painter, const QRectF &area)
{
    if (!PlotMath::rulerShown(m_enableRulers, m_visibleX, m_limitX))
        return;
    const auto indices = PlotMath::visibleIndices(m_grid, m_visibleX);
    if (indices.first > indices.second)
        return;
    const int index = PlotMath::rulerIndex(indices.first, indices.second);
    const double x = m_grid[std::size_t(index)];
    const double column = PlotMath::mapPoint(x, m_visibleY.from, area, m_visibleX, m_visibleY, false).x();
    painter->setPen(QPen(Qt::black, 1.0, Qt::DotLine));
    painter->drawLine(QPointF(column, area.bottom()), QPointF(column, area.top()));
    // The grid value at the ruler, written just inside the top of the plot.
    const QString label = labelLocale().toString(x, 'g', 7);
    const QFontMetricsF metrics(painter->font());
    const double labelWidth = metrics.horizontalAdvance(label);
    const double left = std::min(std::max(area.left() + 2.0, column + 3.0), area.right() - labelWidth - 2.0);
    painter->drawText(QPointF(left, area.top() + metrics.ascent() + 2.0), label);
}

void Plot::geometryChanged(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickPaintedItem::geometryChanged(newGeometry, oldGeometry);
    if (xHeight() != m_lastXHeight) {
        m_lastXHeight = xHeight();
        emit xHeightChanged();
    }
    update();
}

int Plot::xHeight() const
{
    return int(std::trunc(height() - m_xMinPadding - m_xMaxPadding - 1.0));
}

void Plot::setSaveImage(const QString &path)
{
    store(m_saveImage, path, [this] { emit saveImageChanged(); });
}

void Plot::setTopString(const QString &text)
{
    if (store(m_topString, text, [this] { emit topStringChanged(); }))
        update();
}

void Plot::addTopString(const QString &topString)
{
    m_topString = topString;
    m_topStringPending = true;
    emit topStringChanged();
    update();
}

Spectrum Plot::spectrum() const
{
    Spectrum spectrum;
    if (!m_spectra.empty())
        spectrum.values = m_spectra.back();
    spectrum.maximum = m_lastMaximum;
    return spectrum;
}

void Plot::setSpectrum(const Spectrum &spectrum)
{
    // Markers (a set begins or is complete) carry no curve.
    if (m_currSpecIndex < 0)
        return;
    m_spectra.push_back(spectrum.values);
    // A curve with its own x values (a profile over altitude) carries them in auxValues.
    m_ownX.push_back(spectrum.auxValues.size() == spectrum.values.size() ? spectrum.auxValues
                                                                          : std::vector<double>());
    m_lastMaximum = spectrum.maximum;
    emit spectrumChanged();
    update();
}

void Plot::setWnGrid(const QVector<double> &grid)
{
    m_grid.assign(grid.begin(), grid.end());
    emit wnGridChanged();
    update();
}

void Plot::setMinX(double value)
{
    if (store(m_limitX.from, value, [this] { emit minXChanged(); })) {
        m_visibleX = m_limitX;
        update();
    }
}

void Plot::setMaxX(double value)
{
    if (store(m_limitX.to, value, [this] { emit maxXChanged(); })) {
        m_visibleX = m_limitX;
        update();
    }
}

void Plot::setMinY(double value)
{
    if (store(m_limitY.from, value, [this] { emit minYChanged(); })) {
        m_visibleY = m_limitY;
        update();
    }
}

void Plot::setMaxY(double value)
{
    if (store(m_limitY.to, value, [this] { emit maxYChanged(); })) {
        m_visibleY = m_limitY;
        update();
    }
}

void Plot::resetZoom()
{
    m_visibleX = m_limitX;
    m_visibleY = m_limitY;
    update();
}

void Plot::setXMinPadding(int value)
{
    if (store(m_xMinPadding, value, [this] { emit xMinPaddingChanged(); })) {
        emit xHeightChanged();
        update();
    }
}

void Plot::setXMaxPadding(int value)
{
    if (store(m_xMaxPadding, value, [this] { emit xMaxPaddingChanged(); })) {
        emit xHeightChanged();
        update();
    }
}

void Plot::setYMinPadding(int value)
{
    if (store(m_yMinPadding, value, [this] { emit yMinPaddingChanged(); }))
        update();
}

void Plot::setYMaxPadding(int value)
{
    if (store(m_yMaxPadding, value, [this] { emit yMaxPaddingChanged(); }))
        update();
}

void Plot::setXAxisTitle(const QString &title)
{
    if (store(m_xAxisTitle, title, [this] { emit xAxisTitleChanged(); }))
        update();
}

void Plot::setYAxisTitle(const QString &title)
{
    if (store(m_yAxisTitle, title, [this] { emit yAxisTitleChanged(); }))
        update();
}

void Plot::setPlotTitle(const QString &title)
{
    if (store(m_plotTitle, title, [this] { emit plotTitleChanged(); }))
        update();
}

void Plot::setLineColor(const QString &color)
{
    // One colour per curve; markers carry none.
    if (m_currSpecIndex < 0)
        return;
    m_colors.append(color);
    emit lineColorChanged();
}

void Plot::setLineThickness(int value)
{
    if (store(m_lineThickness, value, [this] { emit lineThicknessChanged(); }))
        update();
}

void Plot::setNumMinorXTicks(int value)
{
    if (store(m_numMinorXTicks, std::max(0, value), [this] { emit numMinorXTicksChanged(); }))
        update();
}

void Plot::setNumMajorXTicks(int value)
{
    if (store(m_numMajorXTicks, std::max(0, value), [this] { emit numMajorXTicksChanged(); }))
        update();
}

void Plot::setNumMinorYTicks(int value)
{
    if (store(m_numMinorYTicks, std::max(0, value), [this] { emit numMinorYTicksChanged(); }))
        update();
}

void Plot::setNumMajorYTicks(int value)
{
    if (store(m_numMajorYTicks, std::max(0, value), [this] { emit numMajorYTicksChanged(); }))
        update();
}

void Plot::setPlotInverted(bool inverted)
{
    if (store(m_plotInverted, inverted, [this] { emit plotInvertedChanged(); }))
        update();
}

void Plot::setCurrSpecIndex(int index)
{
    // A new set of curves begins: forget the earlier ones. The set is complete: show it.
    if (index == -1) {
        m_spectra.clear();
        m_ownX.clear();
        m_colors.clear();
    }
    m_currSpecIndex = index;
    emit currSpecIndexChanged();
    if (index == -2)
        update();
}

void Plot::setFileWritingComplete(bool complete)
{
    m_fileWritingComplete = complete;
    emit fileWritingCompleteChanged();
}

void Plot::setTouchCenterX(double value)
{
    m_touchCenterX = value;
    m_startX = m_visibleX;
    m_startY = m_visibleY;
    emit touchCenterXChanged();
}

void Plot::setTouchCenterY(double value)
{
    m_touchCenterY = value;
    m_startX = m_visibleX;
    m_startY = m_visibleY;
    emit touchCenterYChanged();
}

void Plot::setTouchStartX(double value)
{
    // A new drag begins where it starts, so it never jumps by the last drag's end.
    m_touchStartX = value;
    m_touchEndX = value;
    m_startX = m_visibleX;
    m_startY = m_visibleY;
    emit touchStartXChanged();
    panX();
}

void Plot::setTouchStartY(double value)
{
    m_touchStartY = value;
    m_touchEndY = value;
    m_startX = m_visibleX;
    m_startY = m_visibleY;
    emit touchStartYChanged();
    panY();
}

void Plot::setTouchEndX(double value)
{
    m_touchEndX = value;
    emit touchEndXChanged();
    panX();
}

void Plot::setTouchEndY(double value)
{
    m_touchEndY = value;
    emit touchEndYChanged();
    panY();
}

void Plot::panX()
{
    // A drag across the width moves x, or y in rotated mode (whole pixels).
    const QRectF area = plotArea();
    PlotMath::Range &visible = m_plotInverted ? m_visibleY : m_visibleX;
    const PlotMath::Range &start = m_plotInverted ? m_startY : m_startX;
    const PlotMath::Range &limits = m_plotInverted ? m_limitY : m_limitX;
    const double d = PlotMath::xValueAt(std::trunc(m_touchEndX), area, start)
        - PlotMath::xValueAt(std::trunc(m_touchStartX), area, start);
    PlotMath::pan(visible, start, d, limits, &visible);
    update();
}

void Plot::panY()
{
    // A drag along the height moves y, or x in rotated mode.
    const QRectF area = plotArea();
    PlotMath::Range &visible = m_plotInverted ? m_visibleX : m_visibleY;
    const PlotMath::Range &start = m_plotInverted ? m_startX : m_startY;
    const PlotMath::Range &limits = m_plotInverted ? m_limitX : m_limitY;
    const double d = PlotMath::yValueAt(std::trunc(m_touchEndY), area, start)
        - PlotMath::yValueAt(std::trunc(m_touchStartY), area, start);
    PlotMath::pan(visible, start, d, limits, &visible);
    update();
}

void Plot::setScale(double value)
{
    if (m_scale == value)
        return;
    m_scale = value;
    emit scaleChanged();
    qDebug("Finding zoom boundaries.");
    // A pinch across the width acts on what runs along the width: x, or y in rotated mode.
    const QRectF area = plotArea();
    const bool alongWidth = m_isHorizontalPinch;
    const bool actsOnX = alongWidth != m_plotInverted;
    PlotMath::Range &visible = actsOnX ? m_visibleX : m_visibleY;
    const PlotMath::Range &start = actsOnX ? m_startX : m_startY;
    const PlotMath::Range &limits = actsOnX ? m_limitX : m_limitY;
    const double centre = alongWidth ? PlotMath::xValueAt(std::trunc(m_touchCenterX), area, start)
                                     : PlotMath::yValueAt(std::trunc(m_touchCenterY), area, start);
    visible = PlotMath::zoom(start, centre, value, limits);
    update();
}

void Plot::setIsHorizontalPinch(bool horizontal)
{
    store(m_isHorizontalPinch, horizontal, [this] { emit isHorizontalPinchChanged(); });
}

void Plot::setFontPointSize(double size)
{
    const double whole = std::trunc(size);
    if (store(m_fontPointSize, whole, [this] { emit fontPointSizeChanged(); }))
        update();
}

void Plot::setEnableRulers(bool enable)
{
    if (store(m_enableRulers, enable, [this] { emit enableRulersChanged(); }))
        update();
}
