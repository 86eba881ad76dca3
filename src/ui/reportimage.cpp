#include "ui/reportimage.h"

#include "core/measuredoverlay.h"
#include "ui/measuredspectrumqml.h"
#include "ui/residualpanel.h"

#include "ui/plot.h"
#include "ui/plotlayout.h"
#include "ui/plotpainter.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QLocale>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <QVariantMap>

#include <cmath>
#include <vector>

namespace {

// Pixels per inch of the report's drawing: 1600 x 1200 pixels make a page of
// 16.7 x 12.5 inches in the figures.
constexpr int reportResolution = 96;

// The unit of an axis title ("Wavenumber, cm⁻¹" gives "cm⁻¹"), empty when it names none.
QString unitOf(const QString &title)
{
    const int at = title.indexOf(QLatin1String(", "));
    return at < 0 ? QString() : title.mid(at + 2);
}

QString rangeText(const PlotMath::Range &range, const QString &unit)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    QString text = locale.toString(std::min(range.from, range.to), 'g', 7) + QStringLiteral(" – ")
        + locale.toString(std::max(range.from, range.to), 'g', 7);
    if (!unit.isEmpty())
        text += QLatin1Char(' ') + unit;
    return text;
}

bool zoomed(const PlotMath::Range &visible, const PlotMath::Range &limits)
{
    return visible.from != limits.from || visible.to != limits.to;
}

} // namespace

QString ReportImage::zoomLine(const Plot &plot)
{
    const PlotMath::Range limitX{plot.minX(), plot.maxX()};
    const PlotMath::Range limitY{plot.minY(), plot.maxY()};
    QStringList parts;
    if (zoomed(plot.visibleX(), limitX)) {
        const QString unit = unitOf(plot.xAxisTitle());
        parts << QStringLiteral("%1 of the calculated %2").arg(rangeText(plot.visibleX(), unit), rangeText(limitX, unit));
    }
    if (zoomed(plot.visibleY(), limitY)) {
        const QString unit = unitOf(plot.yAxisTitle());
        parts << QStringLiteral("vertical %1 of %2").arg(rangeText(plot.visibleY(), unit), rangeText(limitY, unit));
    }
    if (parts.isEmpty())
        return QString();
    return QStringLiteral("Zoomed view: ") + parts.join(QStringLiteral("; "));
}

void ReportImage::draw(QPainter *painter, const Plot &plot, const QStringList &givenLines, const QVariantList &legend)
{
    painter->fillRect(QRectF(0, 0, width, height), Qt::white);
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setRenderHint(QPainter::TextAntialiasing, true);
    QFont font = painter->font();
    font.setPixelSize(20);
    painter->setFont(font);
    const QFontMetricsF metrics(font);
    const double line = metrics.height();

    // The text above the plot, wrapped to the width of the picture.
    QStringList lines = givenLines;
    const QString zoom = zoomLine(plot);
    if (!zoom.isEmpty())
        lines.insert(std::min(1, int(lines.size())), zoom);
    const double margin = 24.0;
    double top = margin;
    painter->setPen(Qt::black);
    for (const QString &text : lines) {
        const QRectF bounds = painter->boundingRect(QRectF(margin, top, width - 2.0 * margin, height),
                                                    Qt::TextWordWrap, text);
        painter->drawText(QRectF(margin, top, width - 2.0 * margin, bounds.height()), Qt::TextWordWrap, text);
        top += bounds.height();
    }
    top += 2.0 * line;

    const QRectF whole(7.0 * line, top, width - 7.0 * line - 2.0 * margin, height - top - 4.0 * line);
    // A measured spectrum's residuals take the bottom of the area, below the
    // plot's x labels.
    const MeasuredOverlay *overlay = plot.measuredOverlay();
    const bool residuals = ResidualPanel::shownFor(overlay);
    const auto [area, panel] = residuals ? ResidualPanel::split(whole, 4.0 * line) : std::pair{whole, QRectF()};
    // The plot's own curves, read where they lie, and the measured one.
    std::vector<const SpectrumValues *> spectra;
    std::vector<const CurveEnvelope *> envelopes;
    for (int i = 0; i < plot.spectrumCount(); ++i) {
        spectra.push_back(&plot.spectrumValues(i));
        envelopes.push_back(plot.curveEnvelope(i));
    }
    std::vector<const std::vector<double> *> ownX(spectra.size(), nullptr);
    QStringList colors = plot.lineColors();
    if (overlay && overlay->shown()) {
        spectra.push_back(&overlay->measured());
        envelopes.push_back(nullptr);
        ownX.push_back(&overlay->x());
        colors.append(QString::fromLatin1(MeasuredSpectrumQml::measuredColor()));
    }
    const std::vector<double> &grid = plot.gridValues();
    const QString xTitle = residuals ? QString() : plot.xAxisTitle();
    const QString yTitle = plot.yAxisTitle();
    PlotPainter::Scene scene{area, double(width), xTitle, yTitle, plot.visibleX(), plot.visibleY(),
                             PlotMath::Range{plot.minX(), plot.maxX()}, spectra, ownX, envelopes, grid, colors, 2,
                             false, false};

    std::vector<PlotPainter::LegendEntry> entries;
    for (const QVariant &entry : legend) {
        const QVariantMap map = entry.toMap();
        entries.push_back({map.value(QStringLiteral("name")).toString(), map.value(QStringLiteral("color")).toString()});
    }
    const QStringList markLines = PlotLayout::wrapMark(plot.plotTitle(), metrics, area.width() / 2.0);
    const PlotLayout::Boxes boxes = PlotLayout::place(
        area, PlotPainter::legendSize(metrics, entries), PlotLayout::markBoxSize(markLines, metrics), 0.4 * line,
        [&scene](QPainter *maskPainter, const QRectF &maskArea) {
            PlotPainter::Scene masked = scene;
            masked.area = maskArea;
            PlotPainter::drawSpectra(maskPainter, masked);
        });
    scene.area = boxes.area;
    PlotPainter::paint(painter, scene);
    PlotPainter::drawLegend(painter, boxes.legend, entries);
    PlotPainter::drawMark(painter, boxes.mark, markLines);
    if (residuals)
        ResidualPanel::paint(painter, *overlay, QRectF(boxes.area.left(), panel.top(), boxes.area.width(), panel.height()),
                             double(width), plot.xAxisTitle(), plot.yAxisTitle(), plot.visibleX(),
                             PlotMath::Range{plot.minX(), plot.maxX()},
                             2);
}

QImage ReportImage::render(const Plot &plot, const QStringList &lines, const QVariantList &legend)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    draw(&painter, plot, lines, legend);
    return image;
}

QByteArray ReportImage::svg(const Plot &plot, const QStringList &lines, const QVariantList &legend)
{
    QByteArray document;
    QBuffer buffer(&document);
    if (!buffer.open(QIODevice::WriteOnly))
        return QByteArray();
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(QSize(width, height));
    generator.setViewBox(QRect(0, 0, width, height));
    generator.setResolution(reportResolution);
    generator.setTitle(QStringLiteral("Kolvex spectra"));
    generator.setDescription(lines.join(QLatin1Char('\n')));
    QPainter painter;
    if (!painter.begin(&generator))
        return QByteArray();
    draw(&painter, plot, lines, legend);
    painter.end();
    return document;
}

QByteArray ReportImage::pdf(const Plot &plot, const QStringList &lines, const QVariantList &legend)
{
    QByteArray document;
    QBuffer buffer(&document);
    if (!buffer.open(QIODevice::WriteOnly))
        return QByteArray();
    QPdfWriter writer(&buffer);
    writer.setResolution(reportResolution);
    // One page the size of the drawing: 1600 x 1200 pixels at 96 per inch are 1200 x 900 points.
    writer.setPageSize(QPageSize(QSizeF(width * 72.0 / reportResolution, height * 72.0 / reportResolution),
                                 QPageSize::Point, QString(), QPageSize::ExactMatch));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setTitle(lines.isEmpty() ? QStringLiteral("Kolvex spectra") : lines.first());
    writer.setCreator(QStringLiteral("Kolvex"));
    QPainter painter;
    if (!painter.begin(&writer))
        return QByteArray();
    // The page may be a pixel or two off the drawing after rounding to points.
    painter.scale(writer.width() / double(width), writer.height() / double(height));
    draw(&painter, plot, lines, legend);
    painter.end();
    return document;
}
