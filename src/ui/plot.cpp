#include "ui/plot.h"

#include "app/spectraresultsqml.h"
#include "core/measuredoverlay.h"
#include "ui/measuredspectrumqml.h"
#include "ui/plotpainter.h"
#include "ui/reportimage.h"
#include "ui/residualpanel.h"

#include <QDebug>
#include <QFontMetricsF>
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

} // namespace

Plot::Plot(QQuickItem *parent)
    : QQuickPaintedItem(parent)
{
    setAntialiasing(false);
    setFillColor(Qt::white);
}

QRectF Plot::plotArea() const
{
    // The area the last paint left for the curves, as long as the item has
    // kept its size and paddings.
    const QRectF base = PlotMath::plotArea(width(), height(), m_xMinPadding, m_xMaxPadding, m_yMinPadding,
                                           m_yMaxPadding, 0.0);
    return base == m_layoutBase && !m_layout.area.isEmpty() ? m_layout.area : base;
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

    // The residuals take the bottom of the area, below the plot's x labels.
    const bool residuals = !m_plotInverted && ResidualPanel::shownFor(m_overlay.get());
    const auto [plotPart, panel] = residuals ? ResidualPanel::split(area, m_yMaxPadding) : std::pair{area, QRectF()};
    if (plotPart.width() > 0.0 && plotPart.height() > 0.0) {
        std::vector<const SpectrumValues *> spectra;
        std::vector<const std::vector<double> *> ownX;
        std::vector<const CurveEnvelope *> envelopes;
        for (int i = 0; i < spectrumCount(); ++i) {
            spectra.push_back(&spectrumValues(i));
            ownX.push_back(!m_curves && !m_ownX[std::size_t(i)].empty() ? &m_ownX[std::size_t(i)] : nullptr);
            envelopes.push_back(curveEnvelope(i));
        }
        QStringList colors = lineColors();
        if (m_overlay && m_overlay->shown()) {
            spectra.push_back(&m_overlay->measured());
            ownX.push_back(&m_overlay->x());
            envelopes.push_back(nullptr);
            colors.append(QString::fromLatin1(MeasuredSpectrumQml::measuredColor()));
        }
        // With the panel under it the x title goes there.
        const QString xTitle = residuals ? QString() : m_xAxisTitle;
        PlotPainter::Scene scene{plotPart, width(), xTitle, m_yAxisTitle, m_visibleX, m_visibleY, m_limitX,
                                 spectra, ownX, envelopes, gridValues(), colors, m_lineThickness, m_plotInverted,
                                 m_enableRulers};
        const QFontMetricsF metrics(font);
        const QStringList markLines = PlotLayout::wrapMark(m_plotTitle, metrics, area.width() / 2.0);
        const PlotLayout::Boxes boxes = PlotLayout::place(
            plotPart, m_legendSize, PlotLayout::markBoxSize(markLines, metrics), 0.4 * metrics.height(),
            [&scene](QPainter *maskPainter, const QRectF &maskArea) {
                PlotPainter::Scene masked = scene;
                masked.area = maskArea;
                PlotPainter::drawSpectra(maskPainter, masked);
            });
        scene.area = boxes.area;
        scene.markBox = boxes.mark;
        PlotPainter::paint(painter, scene);
        PlotPainter::drawMark(painter, boxes.mark, markLines);
        if (residuals)
            ResidualPanel::paint(painter, *m_overlay, QRectF(boxes.area.left(), panel.top(), boxes.area.width(),
                                                             panel.height()),
                                 width(), m_xAxisTitle, m_yAxisTitle, m_visibleX, m_limitX, m_lineThickness);
        const bool moved = boxes.legend != m_layout.legend || boxes.mark != m_layout.mark
            || boxes.area != m_layout.area;
        m_layout = boxes;
        m_layoutBase = PlotMath::plotArea(width(), height(), m_xMinPadding, m_xMaxPadding, m_yMinPadding,
                                          m_yMaxPadding, 0.0);
        if (moved)
            announceLayout();
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

void Plot::announceLayout()
{
    if (QThread::currentThread() == thread())
        emit layoutChanged();
    else
        QMetaObject::invokeMethod(this, &Plot::layoutChanged, Qt::QueuedConnection);
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

QObject *Plot::curveSource() const
{
    return m_curveSource.data();
}

void Plot::setCurveSource(QObject *source)
{
    auto *results = qobject_cast<SpectraResultsQml *>(source);
    if (results == m_curveSource)
        return;
    if (m_curveSource)
        disconnect(m_curveSource, nullptr, this, nullptr);
    m_curveSource = results;
    if (results)
        connect(results, &SpectraResultsQml::curvesChanged, this, &Plot::takeCurves);
    emit curveSourceChanged();
    takeCurves();
}

QObject *Plot::overlaySource() const
{
    return m_overlaySource.data();
}

void Plot::setOverlaySource(QObject *source)
{
    auto *measured = qobject_cast<MeasuredSpectrumQml *>(source);
    if (measured == m_overlaySource)
        return;
    if (m_overlaySource)
        disconnect(m_overlaySource, nullptr, this, nullptr);
    m_overlaySource = measured;
    if (measured)
        connect(measured, &MeasuredSpectrumQml::overlayChanged, this, &Plot::takeOverlay);
    emit overlaySourceChanged();
    takeOverlay();
}

void Plot::takeOverlay()
{
    const std::shared_ptr<const MeasuredOverlay> overlay = m_overlaySource ? m_overlaySource->overlay() : nullptr;
    m_overlay = overlay && !overlay->x().empty() ? overlay : nullptr;
    update();
}

// The set just completed replaces the one drawn; the one drawn before goes
// unless something else still holds it.
void Plot::takeCurves()
{
    m_curves = m_curveSource ? m_curveSource->curves() : nullptr;
    m_curveColors.clear();
    if (m_curves) {
        for (const PlotCurves::Curve &curve : m_curves->curves)
            m_curveColors.append(curve.color);
    }
    update();
}

int Plot::spectrumCount() const
{
    return m_curves ? int(m_curves->curves.size()) : int(m_spectra.size());
}

const SpectrumValues &Plot::spectrumValues(int index) const
{
    return m_curves ? *m_curves->curves[std::size_t(index)].y : m_spectra[std::size_t(index)];
}

const CurveEnvelope *Plot::curveEnvelope(int index) const
{
    return m_curves ? m_curves->curves[std::size_t(index)].envelope.get() : nullptr;
}

QStringList Plot::lineColors() const
{
    return m_curves ? m_curveColors : m_colors;
}

const std::vector<double> &Plot::gridValues() const
{
    static const std::vector<double> none;
    if (m_curves)
        return m_curves->x ? *m_curves->x : none;
    return m_grid;
}

QVector<double> Plot::wnGrid() const
{
    const std::vector<double> &grid = gridValues();
    return QVector<double>(grid.begin(), grid.end());
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

QImage Plot::reportImage(const QStringList &lines, const QVariantList &legend) const
{
    return ReportImage::render(*this, lines, legend);
}

QByteArray Plot::reportSvg(const QStringList &lines, const QVariantList &legend) const
{
    return ReportImage::svg(*this, lines, legend);
}

QByteArray Plot::reportPdf(const QStringList &lines, const QVariantList &legend) const
{
    return ReportImage::pdf(*this, lines, legend);
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

void Plot::setLegendSize(const QSizeF &size)
{
    const QSizeF kept = size.isValid() ? size : QSizeF();
    if (store(m_legendSize, kept, [this] { emit legendSizeChanged(); }))
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
    PlotMath::pan(start, d, limits, &visible);
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
    PlotMath::pan(start, d, limits, &visible);
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
