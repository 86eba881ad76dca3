#include "app/spectraresultsqml.h"

#include "app/kolvexcore.h"
#include "calc/instrumentfunction.h"
#include "calc/lbl.h"
#include "calc/totalspectra.h"
#include "core/curvepalette.h"
#include "core/params.h"
#include "core/spectraset.h"
#include "remote/remotecontrol.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

SpectraResultsQml::SpectraResultsQml(QObject *parent, KolvexCore *core)
    : QObject(parent)
    , m_core(core)
{
    qRegisterMetaType<Spectrum>("Spectrum");
    if (!m_core)
        return;
    m_showTotal = m_core->yAxis()->showTotal;
    connect(m_core, &KolvexCore::updateSpectra, this, &SpectraResultsQml::setUpdateSpectra);
    connect(m_core, &KolvexCore::settingChanged, this, &SpectraResultsQml::followSetting);
    if (RemoteControl *remote = m_core->remoteControl()) {
        connect(remote, &RemoteControl::showTotalChanged, this, &SpectraResultsQml::updateShowTotal);
        connect(remote, &RemoteControl::showPlainTotalChanged, this, &SpectraResultsQml::updateShowPlainTotal);
        connect(remote, &RemoteControl::showInstrTotalChanged, this, &SpectraResultsQml::updateShowInstrTotal);
    }
}

namespace {

// One end of the x axis in display units. The x limits are those of the grid
// the spectra in hand were calculated on: a range edited since (not necessarily
// one that can be calculated) shows with the next calculation. Before any
// calculation the edited range serves.
double shownEnd(const XAxis &axis, const SpectrumValues &grid, bool start)
{
    if (grid.empty())
        return start ? axis.displayStart() : axis.displayEnd();
    // For wavelengths the start is the wavelength of the highest wavenumber.
    const bool wavelength = axis.units() == XAxis::WavelengthNm || axis.units() == XAxis::WavelengthMicron;
    return axis.fromWavenumber(start != wavelength ? grid.front() : grid.back());
}

} // namespace

Spectrum SpectraResultsQml::spectrum() const
{
    if (!m_spectrumFilled) {
        m_spectrum.values.resize(m_curveRows);
        for (std::size_t i = 0; i < m_curveRows; ++i)
            m_spectrum.values[i] = m_curve(i);
        m_spectrumFilled = true;
    }
    return m_spectrum;
}

QVector<double> SpectraResultsQml::wnGrid() const
{
    if (!m_wnGridFilled) {
        const SpectrumValues &grid = *m_wnGridSource;
        m_wnGrid.resize(int(grid.size()));
        for (std::size_t i = 0; i < grid.size(); ++i)
            m_wnGrid[int(i)] = XAxis::fromWavenumber(grid[i], m_wnGridUnit);
        m_wnGridFilled = true;
    }
    return m_wnGrid;
}

double SpectraResultsQml::minX() const
{
    return m_core ? shownEnd(*m_core->xAxis(), calculatedAxis().grid(), true) : 0.0;
}

double SpectraResultsQml::maxX() const
{
    return m_core ? shownEnd(*m_core->xAxis(), calculatedAxis().grid(), false) : 0.0;
}

const XAxis &SpectraResultsQml::calculatedAxis() const
{
    const CalculationResults *results = m_core->results();
    return results->hasResults() ? results->xAxis() : *m_core->xAxis();
}

std::shared_ptr<const SpectrumValues> SpectraResultsQml::calculatedGrid() const
{
    return calculatedAxis().sharedGrid();
}

double SpectraResultsQml::minY() const
{
    return m_core ? m_core->yAxis()->currentMinimum() : 0.0;
}

double SpectraResultsQml::maxY() const
{
    return m_core ? m_core->yAxis()->currentMaximum() : 0.0;
}

QString SpectraResultsQml::xAxisTitle() const
{
    return m_core ? m_core->xAxis()->title() : m_xAxisTitle;
}

void SpectraResultsQml::setCurrSpecIndex(int index)
{
    if (index == m_currSpecIndex)
        return;
    m_currSpecIndex = index;
    emit currSpecIndexChanged();
}

bool SpectraResultsQml::showTotal() const
{
    return m_core ? m_core->yAxis()->showTotal : m_showTotal;
}

void SpectraResultsQml::setShowTotal(bool show)
{
    if (show == showTotal())
        return;
    m_showTotal = show;
    if (m_core)
        m_core->yAxis()->showTotal = show;
    emit showTotalChanged();
    setUpdateSpectra(false, true);
    if (m_core)
        m_core->announce(Setting::ShowTotal);
}

void SpectraResultsQml::setHeightPoints(int points)
{
    if (points == m_heightPoints)
        return;
    m_heightPoints = points;
    emit heightPointsChanged();
}

void SpectraResultsQml::setShowPlainTotal(bool show)
{
    if (show == m_showPlainTotal)
        return;
    m_showPlainTotal = show;
    emit showPlainTotalChanged();
    setUpdateSpectra(false, true);
}

void SpectraResultsQml::setShowInstrTotal(bool show)
{
    if (show == m_showInstrTotal)
        return;
    m_showInstrTotal = show;
    emit showInstrTotalChanged();
    setUpdateSpectra(false, true);
}

void SpectraResultsQml::updateShowTotal(bool newShowTotal)
{
    m_showTotal = newShowTotal;
    if (m_core)
        m_core->yAxis()->showTotal = newShowTotal;
    emit showTotalChanged();
}

void SpectraResultsQml::updateShowPlainTotal(bool newShowPlainTotal)
{
    m_showPlainTotal = newShowPlainTotal;
    emit showPlainTotalChanged();
}

void SpectraResultsQml::updateShowInstrTotal(bool newShowInstrTotal)
{
    m_showInstrTotal = newShowInstrTotal;
    emit showInstrTotalChanged();
}

void SpectraResultsQml::updateXAxis()
{
    m_minX = minX();
    m_maxX = maxX();
    m_xAxisTitle = xAxisTitle();
    emit minXChanged();
    emit maxXChanged();
    emit xAxisTitleChanged();
    handOverMarker(setComplete);
}

void SpectraResultsQml::updateYAxis()
{
    m_minY = minY();
    m_maxY = maxY();
    m_yAxisTitle = m_core ? m_core->yAxis()->title() : QString();
    emit minYChanged();
    emit maxYChanged();
    emit yAxisTitleChanged();
    handOverMarker(setComplete);
}

void SpectraResultsQml::followSetting(Setting setting)
{
    switch (setting) {
    case Setting::XUnits:
    case Setting::YUnits:
    case Setting::YQuantity:
        updatePlot();
        break;
    case Setting::YScale:
        // A scale of its own stays; an automatic one is fitted anew.
        if (m_core->yAxis()->currentAutoRecalc())
            updatePlot();
        else
            updateYAxis();
        break;
    case Setting::InstrumentFunction:
    case Setting::InstrumentResolution:
    case Setting::InstrumentWing:
        updatePlotAllPreserveScale();
        break;
    case Setting::SpectralStart:
    case Setting::SpectralEnd:
        if (!m_core->results()->hasResults())
            updateXAxis();
        break;
    default:
        break;
    }
}

double SpectraResultsQml::autoScaleMaximum(double maximum)
{
    return YAxisSettings::autoScaleMaximum(maximum);
}

QString SpectraResultsQml::resultMark() const
{
    return m_core ? m_core->results()->marks().join(QLatin1Char('\n')) : QString();
}

void SpectraResultsQml::updateLegend()
{
    // The columns after the two x columns belong to the curves, in order.
    const QStringList titles = m_core->results()->columnTitles().mid(2);
    m_legend.clear();
    for (int i = 0; i < titles.size() && i < m_shownColors.size(); ++i) {
        QString name = titles.at(i);
        if (name.startsWith(QLatin1String("Instr. funct.")))
            name = QStringLiteral("Instrument-function total");
        else if (name == QLatin1String("Total") || name == QLatin1String("XSect_Total") || name == QLatin1String("Radiance"))
            name = QStringLiteral("Total");
        else if (name.endsWith(QLatin1String("_R")))
            name.chop(2);
        m_legend.append(QVariantMap{{QStringLiteral("name"), name}, {QStringLiteral("color"), m_shownColors.at(i)}});
    }
    emit legendChanged();
}

bool SpectraResultsQml::passesRisingTest(double value) const
{
    const double minimum = minY();
    const double maximum = maxY();
    const double step = m_heightPoints > 0 ? (maximum - minimum) / (m_heightPoints * 0.5) : 0.0;
    return value > minimum + step;
}

bool SpectraResultsQml::passesFallingTest(double value) const
{
    const double minimum = minY();
    const double maximum = maxY();
    const double step = m_heightPoints > 0 ? (maximum - minimum) / (m_heightPoints * 0.5) : 0.0;
    return value < maximum - step;
}

QString SpectraResultsQml::curveColor(int molecule) const
{
    // The molecules' curves of a set are the only colours shown so far in it.
    return CurvePalette::curveColor(molecule, m_core->params()->molecule(molecule).color, int(m_shownColors.size()));
}

void SpectraResultsQml::handOver(std::size_t rows, ValueAt valueAt, double maximum, const QString &color,
                                 int index)
{
    m_plotCurves.add(rows, valueAt, color);
    m_curveRows = rows;
    m_curve = std::move(valueAt);
    m_spectrumFilled = false;
    m_spectrum.maximum = maximum;
    m_lineColor = color;
    m_shownColors.append(color);
    m_currSpecIndex = index;
    emit currSpecIndexChanged();
    emit lineColorChanged();
    emit spectrumChanged();
}

void SpectraResultsQml::handOverInstrumentTotal(const Spectrum &computed, bool converted, double maximum,
                                                const QString &color, const QString &title)
{
    const std::size_t rows = computed.values.size();
    const int first = std::max(0, computed.windowStart);
    const int end = std::min(int(rows) - 1, computed.windowEnd);
    const ValueAt values = valuesOf(&computed, converted);
    // A NaN is no point: the plot draws the curve only where it was computed.
    handOver(rows,
             [values, first, end](std::size_t i) {
                 return int(i) >= first && int(i) <= end ? values(i) : std::numeric_limits<double>::quiet_NaN();
             },
             maximum, color, 1);
    // Peers and the data file keep every value; the file says which are data.
    m_core->results()->addColumn(rows, values, title, first, end);
}

void SpectraResultsQml::handOverMarker(int index)
{
    m_currSpecIndex = index;
    emit currSpecIndexChanged();
    emit lineColorChanged();
    emit spectrumChanged();
}

void SpectraResultsQml::startSet()
{
    CalculationResults *saver = m_core->results();
    saver->clearColumns();
    m_plotCurves.begin();
    const std::shared_ptr<const SpectrumValues> grid = calculatedGrid();
    const std::size_t rows = grid ? grid->size() : 0;
    const quint8 unit = m_core->xAxis()->units();
    saver->addGridColumn(rows, [grid](std::size_t i) { return (*grid)[i]; }, XAxis::title(XAxis::Wavenumber));
    saver->addGridColumn(rows, [grid, unit](std::size_t i) { return XAxis::fromWavenumber((*grid)[i], unit); },
                     m_core->xAxis()->title());
    saver->setQuantity(m_core->yAxis()->title());
    m_shownColors.clear();
    handOverMarker(setBegins);
}

std::size_t SpectraResultsQml::gridSize() const
{
    return calculatedAxis().grid().size();
}

CalculationResults::ValueAt SpectraResultsQml::crossSectionOf(std::size_t molecule) const
{
    const SpectraSet *spectra = m_core->spectra();
    return [spectra, molecule](std::size_t i) {
        if (molecule >= spectra->molecules.size())
            return 0.0;
        const SpectrumValues &values = spectra->molecules[molecule].crossSection.values;
        return i < values.size() ? values[i] : 0.0;
    };
}

CalculationResults::ValueAt SpectraResultsQml::opticalDepthShownOf(std::size_t molecule) const
{
    const SpectraSet *spectra = m_core->spectra();
    const YAxisSettings yAxis = *m_core->yAxis();
    return [spectra, molecule, yAxis](std::size_t i) {
        const double tau = molecule < spectra->molecules.size() ? spectra->molecules[molecule].opticalDepth(i) : 0.0;
        return yAxis.fromOpticalDepth(tau);
    };
}

CalculationResults::ValueAt SpectraResultsQml::radianceOf(std::size_t molecule) const
{
    const SpectraSet *spectra = m_core->spectra();
    const std::shared_ptr<const SpectrumValues> grid = calculatedGrid();
    // At the temperature the spectra were calculated for.
    const double temperature = m_core->results()->hasResults() ? m_core->results()->temperature()
                                                               : m_core->params()->pathConditions().temperature;
    return [spectra, molecule, grid, temperature](std::size_t i) {
        const double tau = molecule < spectra->molecules.size() ? spectra->molecules[molecule].opticalDepth(i) : 0.0;
        const double wavenumber = grid && i < grid->size() ? (*grid)[i] : 0.0;
        return RadianceCalculator::radiance(tau, wavenumber, temperature);
    };
}

CalculationResults::ValueAt SpectraResultsQml::valuesOf(const Spectrum *spectrum, bool converted) const
{
    const YAxisSettings yAxis = *m_core->yAxis();
    return [spectrum, converted, yAxis](std::size_t i) {
        const double value = i < spectrum->values.size() ? spectrum->values[i] : 0.0;
        return converted ? yAxis.fromOpticalDepth(value) : value;
    };
}

void SpectraResultsQml::sumCrossSectionTotal()
{
    SpectraSet *spectra = m_core->spectra();
    TotalSpectra::sumShown(spectra->crossSectionTotal, *spectra, *m_core->params(), gridSize(), true);
    if (m_core->yAxis()->crossSectionAutoRecalc)
        autoScale(spectra->crossSectionTotal.maximum);
}

void SpectraResultsQml::sumOpticalDepthTotal()
{
    TotalSpectra::sumShown(m_core->spectra()->opticalDepthTotal, *m_core->spectra(), *m_core->params(), gridSize(),
                           false);
}

void SpectraResultsQml::autoScale(double extreme)
{
    if (!m_core->yAxis()->fitScale(extreme))
        return;
    emit minYChanged();
    emit maxYChanged();
}

void SpectraResultsQml::setUpdateSpectra(bool updateScale, bool updateTotal)
{
    if (!m_core)
        return;
    XAxis *xAxis = m_core->xAxis();
    YAxisSettings *yAxis = m_core->yAxis();
    if (updateScale) {
        m_minY = yAxis->currentMinimum();
        m_maxY = yAxis->currentMaximum();
        m_minX = minX();
        m_maxX = maxX();
    }
    m_yAxisTitle = yAxis->title();
    m_xAxisTitle = xAxis->title();

    // The grid in the displayed unit is announced when it or its unit changed.
    const std::shared_ptr<const SpectrumValues> grid = calculatedGrid();
    const bool gridChanged = grid != m_wnGridSource || xAxis->units() != m_wnGridUnit || !grid;
    if (gridChanged) {
        m_wnGridSource = grid ? grid : std::make_shared<const SpectrumValues>();
        m_wnGridUnit = xAxis->units();
        m_wnGridFilled = false;
        emit wnGridChanged();
    }
    emit yAxisTitleChanged();
    emit xAxisTitleChanged();
    if (updateScale) {
        emit minXChanged();
        emit maxXChanged();
        emit minYChanged();
        emit maxYChanged();
    }

    if (!yAxis->showTotal) {
        showMolecules();
        updateLegend();
    } else if (updateTotal) {
        showTotals();
        updateLegend();
    }
    emit resultMarkChanged();

    if (m_curveRows > 3)
        handOverMarker(setComplete);
    completeSet();
}

// The set handed over becomes the one a plot draws; its values are read when
// the plot asks for them.
void SpectraResultsQml::completeSet()
{
    m_plotCurves.complete();
    emit curvesChanged();
}

std::shared_ptr<const PlotCurves> SpectraResultsQml::curves() const
{
    if (!m_core)
        return nullptr;
    return m_plotCurves.curves(calculatedGrid(), m_core->xAxis()->units());
}

void SpectraResultsQml::showMolecules()
{
    startSet();
    const YAxisSettings *yAxis = m_core->yAxis();
    SpectraSet *spectra = m_core->spectra();
    CalculationResults *saver = m_core->results();
    const Params *params = m_core->params();
    const bool radiance = yAxis->displayedValue == YAxisSettings::Radiance;
    const std::size_t rows = gridSize();

    if (!radiance && yAxis->yUnits == YAxisSettings::CrossSection) {
        sumCrossSectionTotal();
        for (std::size_t i = 0; i < spectra->molecules.size(); ++i) {
            if (!TotalSpectra::moleculeShown(*m_core->params(), i))
                continue;
            const double maximum = spectra->molecules[i].crossSection.maximum;
            if (!passesRisingTest(maximum))
                continue;
            const Molecule &molecule = params->molecule(int(i));
            handOver(rows, crossSectionOf(i), maximum, curveColor(int(i)), int(i));
            saver->addColumn(rows, crossSectionOf(i), molecule.name);
        }
        return;
    }

    if (!radiance) {
        // The scale fits the total of the molecules shown, which reaches
        // highest (for transmission lowest).
        if (yAxis->currentAutoRecalc()) {
            sumOpticalDepthTotal();
            autoScale(yAxis->fromOpticalDepth(spectra->opticalDepthTotal.maximum));
        }
        const bool transmission = yAxis->yUnits == YAxisSettings::Transmission;
        for (std::size_t i = 0; i < spectra->molecules.size(); ++i) {
            if (!TotalSpectra::moleculeShown(*m_core->params(), i))
                continue;
            const double value = yAxis->fromOpticalDepth(spectra->molecules[i].opticalDepthMaximum);
            const bool shown = transmission ? passesFallingTest(value) : passesRisingTest(value);
            if (!shown)
                continue;
            const Molecule &molecule = params->molecule(int(i));
            handOver(rows, opticalDepthShownOf(i), value, curveColor(int(i)), int(i));
            saver->addColumn(rows, opticalDepthShownOf(i), molecule.name);
        }
        return;
    }

    const double temperature = m_core->results()->hasResults() ? m_core->results()->temperature()
                                                               : params->pathConditions().temperature;
    const SpectrumValues &grid = calculatedAxis().grid();
    for (std::size_t i = 0; i < spectra->molecules.size(); ++i) {
        if (!TotalSpectra::moleculeShown(*m_core->params(), i))
            continue;
        // The largest radiance, searched as a filled spectrum would be; without
        // values the radiance is zero throughout.
        const ValueAt molecule = radianceOf(i);
        double value = std::numeric_limits<double>::min();
        for (std::size_t j = 0; spectra->molecules[i].hasValues() && j < rows; ++j) {
            const double radianceValue = molecule(j);
            value = radianceValue > value ? radianceValue : value;
        }
        if (!passesRisingTest(value))
            continue;
        const Molecule &entry = params->molecule(int(i));
        handOver(rows, molecule, value, curveColor(int(i)), int(i));
        saver->addColumn(rows, molecule, entry.name + QLatin1String("_R"));
    }
    sumOpticalDepthTotal();
    m_radianceCalculator.calculate(spectra->opticalDepthTotal, spectra->radianceTotal, grid, temperature);
    spectra->radianceTotal.updateMaximum();
    if (yAxis->radianceAutoRecalc)
        autoScale(spectra->radianceTotal.maximum);
}

void SpectraResultsQml::showTotals()
{
    startSet();
    const YAxisSettings *yAxis = m_core->yAxis();
    SpectraSet *spectra = m_core->spectra();
    const bool radiance = yAxis->displayedValue == YAxisSettings::Radiance;
    const bool crossSection = !radiance && yAxis->yUnits == YAxisSettings::CrossSection;
    m_shownAxis = calculatedAxis();
    TotalSpectra::compute(*spectra, {crossSection, radiance, m_showPlainTotal, m_showInstrTotal}, *m_core->params(),
                          &m_shownAxis, *m_core->instrumentFunction());
    // The automatic scale fits the plain total, or the instrument-function one
    // when it is shown alone.
    if ((m_showPlainTotal || m_showInstrTotal) && yAxis->currentAutoRecalc()) {
        const bool plain = m_showPlainTotal;
        if (radiance)
            autoScale(plain ? spectra->radianceTotal.maximum : spectra->instrRadianceTotal.maximum);
        else if (crossSection)
            autoScale(plain ? spectra->crossSectionTotal.maximum : spectra->instrCrossSectionTotal.maximum);
        else
            autoScale(yAxis->fromOpticalDepth(plain ? spectra->opticalDepthTotal.maximum
                                                    : spectra->instrOpticalDepthTotal.maximum));
    }

    CalculationResults *saver = m_core->results();
    const QString black = QStringLiteral("black");
    if (m_showPlainTotal) {
        const Spectrum *total = radiance ? &spectra->radianceTotal
            : crossSection                ? &spectra->crossSectionTotal
                                          : &spectra->opticalDepthTotal;
        const bool converted = !radiance && !crossSection;
        const QString title = radiance ? QStringLiteral("Radiance")
            : crossSection             ? QStringLiteral("XSect_Total")
                                       : QStringLiteral("Total");
        const double maximum = converted ? yAxis->fromOpticalDepth(total->maximum) : total->maximum;
        handOver(total->values.size(), valuesOf(total, converted), maximum, black, 0);
        saver->addColumn(total->values.size(), valuesOf(total, converted), title);
    }
    if (m_core->instrumentFunction()->type() != InstrumentFunction::None && m_showInstrTotal) {
        // The instrument-function total keeps its colour whether the plain total is shown or not.
        const QString color = QStringLiteral("red");
        if (radiance) {
            const Spectrum &total = spectra->instrRadianceTotal;
            handOverInstrumentTotal(total, false, total.maximum, color, QStringLiteral("Instr. funct. Radiance"));
        } else if (crossSection) {
            const Spectrum &total = spectra->instrCrossSectionTotal;
            handOverInstrumentTotal(total, false, total.maximum, color, QStringLiteral("Instr. funct. XSect_Total"));
        } else {
            const Spectrum &total = spectra->instrOpticalDepthTotal;
            handOverInstrumentTotal(total, true, yAxis->fromOpticalDepth(total.maximum), color,
                                    QStringLiteral("Instr. funct. Total"));
        }
    }
}
