#pragma once

#include <QByteArray>
#include <QImage>
#include <QSizeF>
#include <QStringList>
#include <QVariantList>

class Plot;
class QPainter;

// The plot as a report: always the same size (not the screen's), with the
// lines that say what the results are above the plot (and, for a zoomed view,
// the range shown beside the range calculated), the curves of the plot's
// visible range, the plot's mark and a legend, neither covering a curve. The
// same drawing serves as a PNG picture and as SVG and PDF figures, whose text
// stays text.
class ReportImage
{
public:
    static constexpr int width = 1600;
    static constexpr int height = 1200;

    // `legend` holds maps with "name" and "color", one per curve.
    static QImage render(const Plot &plot, const QStringList &lines, const QVariantList &legend);
    // The report as an SVG document and as a one-page PDF document; empty
    // when it could not be made.
    static QByteArray svg(const Plot &plot, const QStringList &lines, const QVariantList &legend);
    static QByteArray pdf(const Plot &plot, const QStringList &lines, const QVariantList &legend);

    // What the report says of a zoomed view: the range shown and the range
    // calculated, in the plot's units; empty when the whole range is shown.
    static QString zoomLine(const Plot &plot);

private:
    static void draw(QPainter *painter, const Plot &plot, const QStringList &lines, const QVariantList &legend);
};
