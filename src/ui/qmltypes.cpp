#include "ui/qmltypes.h"

#include "core/spectrum.h"
#include "ui/colorplot.h"
#include "ui/plot.h"

#include <QQmlEngine>

void registerQmlTypes()
{
    qRegisterMetaType<Spectrum>("Spectrum");
    qmlRegisterType<Plot>("Plot", 1, 0, "Plot");
    qmlRegisterType<ColorPlot>("ColorPlot", 1, 0, "ColorPlot");
}
