#pragma once

#include <QImage>
#include <QStringList>
#include <QVariantList>

class Plot;

// The plot as a picture for a report: always the same size (not the screen's),
// with the lines that say what the results are above the plot, the curves of
// the plot's visible range, the plot's mark and a legend inside it.
class ReportImage
{
public:
    static constexpr int width = 1600;
    static constexpr int height = 1200;

    // `legend` holds maps with "name" and "color", one per curve.
    static QImage render(const Plot &plot, const QStringList &lines, const QVariantList &legend);
};
