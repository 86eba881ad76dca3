#include "ui/residualpanel.h"

#include "core/measuredoverlay.h"
#include "ui/measuredspectrumqml.h"
#include "ui/plotpainter.h"

#include <QPainter>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <vector>

bool ResidualPanel::shownFor(const MeasuredOverlay *overlay)
{
    return overlay && overlay->shown() && overlay->hasResiduals();
}

std::pair<QRectF, QRectF> ResidualPanel::split(const QRectF &area, double gap)
{
    const double height = std::floor(area.height() * share);
    const QRectF panel(area.left(), area.bottom() - height, area.width(), height);
    const QRectF above(area.left(), area.top(), area.width(), std::max(0.0, area.height() - height - gap));
    return {above, panel};
}

PlotMath::Range ResidualPanel::range(const MeasuredOverlay &overlay, const PlotMath::Range &visibleX)
{
    const auto indices = PlotMath::visibleIndices(overlay.x(), visibleX);
    double largest = 0.0;
    for (int i = indices.first; i <= indices.second; ++i) {
        const double value = overlay.residuals()[std::size_t(i)];
        if (std::isfinite(value))
            largest = std::max(largest, std::fabs(value));
    }
    const double half = largest > 0.0 ? 1.1 * largest : 1.0;
    return {-half, half};
}

QString ResidualPanel::yTitle(const QString &plotYTitle)
{
    const int comma = plotYTitle.lastIndexOf(QLatin1String(", "));
    return comma < 0 ? QStringLiteral("Residual") : QStringLiteral("Residual") + plotYTitle.mid(comma);
}

void ResidualPanel::paint(QPainter *painter, const MeasuredOverlay &overlay, const QRectF &panel, double itemWidth,
                          const QString &xTitle, const QString &plotYTitle, const PlotMath::Range &visibleX,
                          const PlotMath::Range &limitX, int lineThickness)
{
    if (!(panel.width() > 0.0 && panel.height() > 0.0))
        return;
    // The zero line runs over the whole x range the residuals may be zoomed to.
    const std::vector<double> zeroX = {limitX.from, limitX.to};
    const SpectrumValues zeros(2, 0.0);
    const std::vector<const SpectrumValues *> spectra = {&zeros, &overlay.residuals()};
    const std::vector<const std::vector<double> *> ownX = {&zeroX, &overlay.x()};
    const std::vector<const CurveEnvelope *> envelopes = {nullptr, nullptr};
    const std::vector<double> noGrid;
    const QStringList colors = {QStringLiteral("#909090"), QString::fromLatin1(MeasuredSpectrumQml::residualColor())};
    const PlotPainter::Scene scene{panel,  itemWidth, xTitle, yTitle(plotYTitle), visibleX, range(overlay, visibleX),
                                   limitX, spectra,   ownX,   envelopes,          noGrid,   colors,
                                   lineThickness, false, false};
    PlotPainter::paint(painter, scene);
}
