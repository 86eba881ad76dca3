#include "ui/spectraresultsqml.h"

#include "app/kolvexcore.h"
#include "calc/instrumentfunction.h"
#include "calc/totalspectra.h"
#include "core/params.h"
#include "core/spectraset.h"
#include "remote/remotecontrol.h"

#include <algorithm>
#include <cmath>
#include <limits>

SpectraResultsQml::SpectraResultsQml(QObject *parent, KolvexCore *core)
    : QObject(parent)
    , m_core(core)
{
    qRegisterMetaType<Spectrum>("Spectrum");
    if (!m_core)
        return;
    m_showTotal = m_core->yAxis()->showTotal;
    connect(m_core, &KolvexCore::updateSpectra, this, &SpectraResultsQml::setUpdateSpectra);
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
double shownEnd(const XAxis &axis, bool start)
{
    const std::vector<double> &grid = axis.grid();
    if (grid.empty())
        return start ? axis.displayStart() : axis.displayEnd();
    // For wavelengths the start is the wavelength of the highest wavenumber.
    const bool wavelength = axis.units() == XAxis::WavelengthNm || axis.units() == XAxis::WavelengthMicron;
    return axis.fromWavenumber(start != wavelength ? grid.front() : grid.back());
}

} // namespace

double SpectraResultsQml::minX() const
{
    return m_core ? shownEnd(*m_core->xAxis(), true) : 0.0;
}

double SpectraResultsQml::maxX() const
{
    return m_core ? shownEnd(*m_core->xAxis(), false) : 0.0;
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

void SpectraResultsQml::handOver(const std::vector<double> &values, double maximum, const QString &color, int index)
{
    m_spectrum.values = values;
    m_spectrum.maximum = maximum;
    m_lineColor = color;
    m_shownColors.append(color);
    m_currSpecIndex = index;
    emit currSpecIndexChanged();
    emit lineColorChanged();
    emit spectrumChanged();
}

void SpectraResultsQml::handOverInstrumentTotal(const std::vector<double> &values, const Spectrum &computed,
                                                double maximum, const QString &color, const QString &title)
{
    const int last = int(values.size()) - 1;
    const int first = std::max(0, computed.windowStart);
    const int end = std::min(last, computed.windowEnd);
    // A NaN is no point: the plot draws the curve only where it was computed.
    std::vector<double> shown(values.size(), std::numeric_limits<double>::quiet_NaN());
    for (int i = first; i <= end; ++i)
        shown[std::size_t(i)] = values[std::size_t(i)];
    handOver(shown, maximum, color, 1);
    // Peers and the data file keep every value; the file says which are data.
    m_core->results()->addColumn(values, title, first, end);
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
    saver->addColumn(m_core->xAxis()->grid(), XAxis::title(XAxis::Wavenumber));
    saver->addColumn(std::vector<double>(m_wnGrid.begin(), m_wnGrid.end()), m_core->xAxis()->title());
    saver->setQuantity(m_core->yAxis()->title());
    m_shownColors.clear();
    handOverMarker(setBegins);
}

void SpectraResultsQml::sumCrossSectionTotal()
{
    SpectraSet *spectra = m_core->spectra();
    TotalSpectra::sumShown(spectra->crossSectionTotal, *spectra, *m_core->params(), m_core->xAxis()->grid().size(),
                           true);
    if (m_core->yAxis()->crossSectionAutoRecalc)
        autoScale(spectra->crossSectionTotal.maximum);
}

void SpectraResultsQml::sumOpticalDepthTotal()
{
    TotalSpectra::sumShown(m_core->spectra()->opticalDepthTotal, *m_core->spectra(), *m_core->params(),
                           m_core->xAxis()->grid().size(), false);
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

    const std::vector<double> &grid = xAxis->grid();
    m_wnGrid.resize(int(grid.size()));
    for (std::size_t i = 0; i < grid.size(); ++i)
        m_wnGrid[int(i)] = xAxis->fromWavenumber(grid[i]);

    emit wnGridChanged();
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

    if (m_spectrum.values.size() > 3)
        handOverMarker(setComplete);
}

void SpectraResultsQml::showMolecules()
{
    startSet();
    const YAxisSettings *yAxis = m_core->yAxis();
    SpectraSet *spectra = m_core->spectra();
    CalculationResults *saver = m_core->results();
    const Params *params = m_core->params();
    const bool radiance = yAxis->displayedValue == YAxisSettings::Radiance;

    if (!radiance && yAxis->yUnits == YAxisSettings::CrossSection) {
        sumCrossSectionTotal();
        for (std::size_t i = 0; i < spectra->molecules.size(); ++i) {
            if (!TotalSpectra::moleculeShown(*m_core->params(), i))
                continue;
            const Spectrum &crossSection = spectra->molecules[i].crossSection;
            const double maximum = Spectrum::maximumOf(crossSection.values);
            if (!passesRisingTest(maximum))
                continue;
            const Molecule &molecule = params->molecule(int(i));
            handOver(crossSection.values, maximum, molecule.color, int(i));
            saver->addColumn(crossSection.values, molecule.name);
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
            const Spectrum &opticalDepth = spectra->molecules[i].opticalDepth;
            const double value = yAxis->fromOpticalDepth(Spectrum::maximumOf(opticalDepth.values));
            const bool shown = transmission ? passesFallingTest(value) : passesRisingTest(value);
            if (!shown)
                continue;
            const Molecule &molecule = params->molecule(int(i));
            const std::vector<double> values = yAxis->fromOpticalDepth(opticalDepth.values);
            handOver(values, value, molecule.color, int(i));
            saver->addColumn(values, molecule.name);
        }
        return;
    }

    const double temperature = params->pathConditions().temperature;
    const std::vector<double> &grid = m_core->xAxis()->grid();
    for (std::size_t i = 0; i < spectra->molecules.size(); ++i) {
        if (!TotalSpectra::moleculeShown(*m_core->params(), i))
            continue;
        MoleculeSpectra &molecule = spectra->molecules[i];
        m_radianceCalculator.calculate(molecule.opticalDepth, molecule.radiance, grid, temperature);
        molecule.radiance.updateMaximum();
        const double value = molecule.radiance.maximum;
        if (!passesRisingTest(value))
            continue;
        const Molecule &entry = params->molecule(int(i));
        handOver(molecule.radiance.values, value, entry.color, int(i));
        saver->addColumn(molecule.radiance.values, entry.name + QLatin1String("_R"));
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
    CalculationResults *saver = m_core->results();
    const bool radiance = yAxis->displayedValue == YAxisSettings::Radiance;
    const bool crossSection = !radiance && yAxis->yUnits == YAxisSettings::CrossSection;
    TotalSpectra::compute(*spectra, {crossSection, radiance, m_showPlainTotal, m_showInstrTotal}, *m_core->params(),
                          m_core->xAxis(), *m_core->instrumentFunction());
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

    const QString black = QStringLiteral("black");
    if (m_showPlainTotal) {
        if (radiance) {
            handOver(spectra->radianceTotal.values, spectra->radianceTotal.maximum, black, 0);
            saver->addColumn(spectra->radianceTotal.values, QStringLiteral("Radiance"));
        } else if (crossSection) {
            handOver(spectra->crossSectionTotal.values, spectra->crossSectionTotal.maximum, black, 0);
            saver->addColumn(spectra->crossSectionTotal.values, QStringLiteral("XSect_Total"));
        } else {
            const std::vector<double> values = yAxis->fromOpticalDepth(spectra->opticalDepthTotal.values);
            handOver(values, yAxis->fromOpticalDepth(spectra->opticalDepthTotal.maximum), black, 0);
            saver->addColumn(values, QStringLiteral("Total"));
        }
    }
    if (m_core->instrumentFunction()->type() != InstrumentFunction::None && m_showInstrTotal) {
        const QString color = m_showPlainTotal ? QStringLiteral("red") : black;
        if (radiance) {
            const Spectrum &total = spectra->instrRadianceTotal;
            handOverInstrumentTotal(total.values, total, total.maximum, color,
                                    QStringLiteral("Instr. funct. Radiance"));
        } else if (crossSection) {
            const Spectrum &total = spectra->instrCrossSectionTotal;
            handOverInstrumentTotal(total.values, total, total.maximum, color,
                                    QStringLiteral("Instr. funct. XSect_Total"));
        } else {
            const Spectrum &total = spectra->instrOpticalDepthTotal;
            handOverInstrumentTotal(yAxis->fromOpticalDepth(total.values), total, yAxis->fromOpticalDepth(total.maximum),
                                    color, QStringLiteral("Instr. funct. Total"));
        }
    }
}
