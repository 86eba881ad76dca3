#include "ui/reportimage.h"

#include "ui/plot.h"
#include "ui/plotpainter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QVariantMap>

#include <vector>

QImage ReportImage::render(const Plot &plot, const QStringList &lines, const QVariantList &legend)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    QFont font = painter.font();
    font.setPixelSize(20);
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    const double line = metrics.height();

    // The text above the plot, wrapped to the width of the picture.
    const double margin = 24.0;
    double top = margin;
    painter.setPen(Qt::black);
    for (const QString &text : lines) {
        const QRectF bounds = painter.boundingRect(QRectF(margin, top, width - 2.0 * margin, height),
                                                   Qt::TextWordWrap, text);
        painter.drawText(QRectF(margin, top, width - 2.0 * margin, bounds.height()), Qt::TextWordWrap, text);
        top += bounds.height();
    }
    top += line;

    const QRectF area(7.0 * line, top, width - 7.0 * line - 2.0 * margin, height - top - 4.0 * line);
    // The plot's own curves, read where they lie.
    std::vector<const SpectrumValues *> spectra;
    std::vector<const CurveEnvelope *> envelopes;
    for (int i = 0; i < plot.spectrumCount(); ++i) {
        spectra.push_back(&plot.spectrumValues(i));
        envelopes.push_back(plot.curveEnvelope(i));
    }
    const std::vector<const std::vector<double> *> ownX(spectra.size(), nullptr);
    const std::vector<double> &grid = plot.gridValues();
    const QStringList colors = plot.lineColors();
    const QString xTitle = plot.xAxisTitle();
    const QString yTitle = plot.yAxisTitle();
    const PlotPainter::Scene scene{area, double(width), xTitle, yTitle, 6, 5, 5, 5, plot.visibleX(), plot.visibleY(),
                                   PlotMath::Range{plot.minX(), plot.maxX()}, spectra, ownX, envelopes, grid, colors, 2,
                                   false, false};
    PlotPainter::paint(&painter, scene);

    std::vector<PlotPainter::LegendEntry> entries;
    for (const QVariant &entry : legend) {
        const QVariantMap map = entry.toMap();
        entries.push_back({map.value(QStringLiteral("name")).toString(), map.value(QStringLiteral("color")).toString()});
    }
    PlotPainter::drawLegend(&painter, area, entries);
    PlotPainter::drawMark(&painter, area, plot.plotTitle());
    return image;
}
