#include "app/kolvexcore.h"
#include "app/spectraresultsqml.h"
#include "calc/instrumentfunction.h"
#include "core/calculationresults.h"
#include "core/params.h"
#include "offlinesettings.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

struct HandOver
{
    int index;
    QString color;
    std::vector<double> values;
    double maximum;
};

const int points = 201;   // 2000 ... 2020 cm-1, step 0.1

} // namespace

class TestSpectraResultsQml : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void crossSectionPerMolecule();
    void transmissionVisibility();
    void absorptionConversion();
    void totalsAndInstrumentTotals_data();
    void totalsAndInstrumentTotals();
    void totalsWithoutUpdate();
    void instrumentTotalOnlyWhereComputed_data();
    void instrumentTotalOnlyWhereComputed();
    void noMoleculeSelected();
    void autoScale_data();
    void autoScale();
    void radiance();
    void axisUpdatesAndShowWriters();
    void displayFollowsTheSettingsItShows();
    void emptyPlotShowsTheRangeSet();

private:
    void fill(int molecule, const std::vector<std::pair<int, double>> &crossSectionPeaks, double columnFactor);
    QStringList titles() const { return m_core->results()->columnTitles(); }
    QList<int> indices() const;

    QTemporaryDir m_folder;
    std::unique_ptr<KolvexCore> m_core;
    std::unique_ptr<SpectraResultsQml> m_results;
    QList<HandOver> m_handOvers;
};

void TestSpectraResultsQml::initTestCase()
{
    QVERIFY(m_folder.isValid());
}

void TestSpectraResultsQml::init()
{
    KolvexCore::Settings settings = offlineSettings(m_folder.path());
    settings.useBundledData = false;
    m_core = std::make_unique<KolvexCore>(settings);
    XAxis *xAxis = m_core->xAxis();
    xAxis->setUnits(XAxis::Wavenumber);
    xAxis->setMinWavenumber(2000.0);
    xAxis->setMaxWavenumber(2020.0);
    xAxis->setNumPoints(points);
    xAxis->buildGrid();
    Params *params = m_core->params();
    SpectraSet *spectra = m_core->spectra();
    spectra->molecules.resize(std::size_t(params->moleculeCount()));
    // Molecules without lines have no values at all (they read as zero).
    for (std::size_t m = 0; m < spectra->molecules.size(); ++m) {
        spectra->molecules[m].crossSection.releaseValues();
        params->molecules()[m].selected = m == 0 || m == 1 || m == 4 || m == 5;
    }
    params->pathConditions().temperature = 296.0;
    // Peaks at different points: CO2 6e-21, CO 1e-21, H2O 1e-25 (cm2); optical
    // depths 2e21 times that (CO2 12, CO 2, H2O 2e-4).
    fill(1, {{50, 6e-21}}, 2e21);
    fill(4, {{100, 1e-21}, {101, 0.5e-21}}, 2e21);
    fill(0, {{150, 1e-25}}, 2e21);
    m_core->instrumentFunction()->setResolution(0.5);
    m_core->instrumentFunction()->setWing(1.0);

    m_results = std::make_unique<SpectraResultsQml>(nullptr, m_core.get());
    m_results->setHeightPoints(100);
    m_handOvers.clear();
    connect(m_results.get(), &SpectraResultsQml::spectrumChanged, m_results.get(), [this] {
        const Spectrum s = m_results->spectrum();
        m_handOvers.append({m_results->currSpecIndex(), m_results->lineColor(),
                            std::vector<double>(s.values.begin(), s.values.end()), s.maximum});
    });
}

void TestSpectraResultsQml::cleanup()
{
    m_results.reset();
    m_core.reset();
}

void TestSpectraResultsQml::fill(int molecule, const std::vector<std::pair<int, double>> &crossSectionPeaks,
                                 double columnFactor)
{
    // As the engine leaves a molecule: its cross-section, column density and maxima.
    MoleculeSpectra &spectra = m_core->spectra()->molecules[std::size_t(molecule)];
    spectra.crossSection.resetValues(points);
    spectra.columnDensity = columnFactor;
    for (const auto &peak : crossSectionPeaks)
        spectra.crossSection.values[std::size_t(peak.first)] = peak.second;
    spectra.crossSection.updateMaximum();
    spectra.opticalDepthMaximum = columnFactor * spectra.crossSection.maximum;
}

QList<int> TestSpectraResultsQml::indices() const
{
    QList<int> list;
    for (const HandOver &h : m_handOvers)
        list.append(h.index);
    return list;
}

// Per-molecule cross-sections: the total sets the scale (6e-21 -> 1e-20), a
// molecule below two plot points (H2O) is not drawn, the others come in order
// with their colours, framed by -1 and -2, and fill the table.
void TestSpectraResultsQml::crossSectionPerMolecule()
{
    YAxisSettings *yAxis = m_core->yAxis();
    yAxis->yUnits = YAxisSettings::CrossSection;

    // The three hand-over signals come in a fixed order.
    QStringList order;
    connect(m_results.get(), &SpectraResultsQml::currSpecIndexChanged, this, [&order] { order << "index"; });
    connect(m_results.get(), &SpectraResultsQml::lineColorChanged, this, [&order] { order << "color"; });
    connect(m_results.get(), &SpectraResultsQml::spectrumChanged, this, [&order] { order << "spectrum"; });
    QSignalSpy maxY(m_results.get(), &SpectraResultsQml::maxYChanged);

    emit m_core->updateSpectra(true, true);
    QCOMPARE(order.mid(0, 3), QStringList({"index", "color", "spectrum"}));
    QCOMPARE(yAxis->crossSectionMax, 1e-20);
    QVERIFY(maxY.count() >= 2);
    QCOMPARE(indices(), QList<int>({-1, 1, 4, -2}));
    // Both keep their shipped colours, so they are drawn in the palette's
    // first two: blue and orange.
    QCOMPARE(m_handOvers.at(1).color, QStringLiteral("#0072b2"));
    QCOMPARE(m_handOvers.at(2).color, QStringLiteral("#e69f00"));
    QCOMPARE(m_handOvers.at(1).maximum, 6e-21);
    const SpectrumValues &co = m_core->spectra()->molecules[4].crossSection.values;
    QCOMPARE(m_handOvers.at(2).values, std::vector<double>(co.begin(), co.end()));
    QCOMPARE(titles(), QStringList({"Wavenumber, cm⁻¹", "Wavenumber, cm⁻¹", "CO2", "CO"}));
    QCOMPARE(m_core->spectra()->crossSectionTotal.values[50], 6e-21);
    QCOMPARE(m_core->spectra()->crossSectionTotal.values[150], 1e-25);
}

// Transmission: a molecule whose deepest point stays within two plot points of
// the top (100 %) is not drawn; the hand-over maximum is the smallest value.
void TestSpectraResultsQml::transmissionVisibility()
{
    YAxisSettings *yAxis = m_core->yAxis();
    yAxis->yUnits = YAxisSettings::Transmission;
    yAxis->absMin = 0.0;
    yAxis->absMax = 100.0;   // two points of 100 are 4 %
    fill(0, {{150, 0.03 / 2e21}}, 2e21);   // 97.04 %: drawn
    fill(4, {{100, 0.01 / 2e21}}, 2e21);   // 99.0 %: not drawn
    emit m_core->updateSpectra(true, true);
    QCOMPARE(indices(), QList<int>({-1, 0, 1, -2}));
    QVERIFY(std::fabs(m_handOvers.at(1).maximum - std::exp(-0.03) * 100.0) < 1e-12);
    QCOMPARE(m_handOvers.at(1).values.at(0), 100.0);
    QCOMPARE(*std::min_element(m_handOvers.at(1).values.begin(), m_handOvers.at(1).values.end()),
             m_handOvers.at(1).maximum);
}

void TestSpectraResultsQml::absorptionConversion()
{
    m_core->yAxis()->yUnits = YAxisSettings::Absorption;
    emit m_core->updateSpectra(true, true);
    QCOMPARE(indices(), QList<int>({-1, 1, 4, -2}));   // H2O: 0.02 % is below 4 %
    const std::vector<double> &co = m_handOvers.at(2).values;
    QVERIFY(std::fabs(co.at(100) - (1.0 - std::exp(-2.0)) * 100.0) < 1e-12);
    QVERIFY(std::fabs(m_handOvers.at(2).maximum - co.at(100)) < 1e-12);
    QCOMPARE(titles().mid(2), QStringList({"CO2", "CO"}));
}

void TestSpectraResultsQml::totalsAndInstrumentTotals_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("plain");
    QTest::addColumn<bool>("instrument");
    QTest::addColumn<QList<int>>("expectedIndices");
    QTest::addColumn<QStringList>("expectedColors");
    QTest::addColumn<QStringList>("expectedTitles");
    QTest::newRow("both") << 3 << true << true << QList<int>({-1, 0, 1, -2}) << QStringList({"black", "red"})
                          << QStringList({"Total", "Instr. funct. Total"});
    QTest::newRow("instrument only") << 3 << false << true << QList<int>({-1, 1, -2}) << QStringList({"red"})
                                     << QStringList({"Instr. funct. Total"});
    QTest::newRow("plain only") << 3 << true << false << QList<int>({-1, 0, -2}) << QStringList({"black"})
                                << QStringList({"Total"});
    QTest::newRow("type None") << 0 << true << true << QList<int>({-1, 0, -2}) << QStringList({"black"})
                               << QStringList({"Total"});
}

// Total display in optical depth: the sums, the convolved total, their colours
// and indices, and the table columns.
void TestSpectraResultsQml::totalsAndInstrumentTotals()
{
    QFETCH(int, type);
    QFETCH(bool, plain);
    QFETCH(bool, instrument);
    QFETCH(QList<int>, expectedIndices);
    QFETCH(QStringList, expectedColors);
    QFETCH(QStringList, expectedTitles);
    m_core->yAxis()->yUnits = YAxisSettings::OpticalDepth;
    m_core->yAxis()->showTotal = true;
    m_core->instrumentFunction()->setType(quint8(type));
    m_results->updateShowPlainTotal(plain);
    m_results->updateShowInstrTotal(instrument);
    emit m_core->updateSpectra(true, true);

    QCOMPARE(indices(), expectedIndices);
    for (int i = 0; i < expectedColors.size(); ++i)
        QCOMPARE(m_handOvers.at(i + 1).color, expectedColors.at(i));
    QCOMPARE(titles().mid(2), expectedTitles);

    const SpectraSet *spectra = m_core->spectra();
    QCOMPARE(spectra->opticalDepthTotal.values.at(50), 12.0);
    QCOMPARE(spectra->opticalDepthTotal.maximum, 12.0);
    if (instrument) {
        const Spectrum &convolved = spectra->instrOpticalDepthTotal;
        double total = 0.0;
        for (double value : convolved.values)
            total += value;
        // The convolution keeps the area (all peaks lie away from the zeroed edges).
        QVERIFY(std::fabs(total - (12.0 + 2.0 + 1.0 + 2e-4)) < 1e-9);
        if (type == 0)
            QCOMPARE(convolved.values, spectra->opticalDepthTotal.values);
        else
            QVERIFY(convolved.maximum < 12.0);
    }
}

void TestSpectraResultsQml::instrumentTotalOnlyWhereComputed_data()
{
    QTest::addColumn<int>("units");
    QTest::addColumn<int>("displayed");
    QTest::addColumn<double>("uncomputed");   // what the table keeps at the ends
    QTest::newRow("transmission") << int(YAxisSettings::Transmission) << 0 << 100.0;
    QTest::newRow("cross-section") << int(YAxisSettings::CrossSection) << 0 << 0.0;
    QTest::newRow("radiance") << int(YAxisSettings::Absorption) << 1 << 0.0;
}

// The instrument-function total has no value where its kernel does not fit:
// the plot gets no point there (NaN) instead of 100 % transmission, the table
// (and so a peer) keeps the values as they are, and the data file's header
// line says where the column is valid.
void TestSpectraResultsQml::instrumentTotalOnlyWhereComputed()
{
    QFETCH(int, units);
    QFETCH(int, displayed);
    QFETCH(double, uncomputed);
    // Step 0.125 cm-1 and a wing of 1 cm-1: the kernel spans 8 steps on each side
    // of its centre, so the first and last 8 points are not computed.
    XAxis *xAxis = m_core->xAxis();
    xAxis->setMaxWavenumber(2025.0);
    xAxis->buildGrid();
    m_core->instrumentFunction()->setType(InstrumentFunction::Gaussian);
    m_core->yAxis()->yUnits = quint8(units);
    m_core->yAxis()->displayedValue = quint8(displayed);
    m_core->yAxis()->showTotal = true;
    CalculationResults *saver = m_core->results();
    saver->setCalculationConditions(296.0, 1.0, 1000.0, {}, {}, m_core->spectra(), *xAxis);
    emit m_core->updateSpectra(true, true);

    QCOMPARE(indices(), QList<int>({-1, 0, 1, -2}));
    const std::vector<double> &shown = m_handOvers.at(2).values;
    QCOMPARE(int(shown.size()), points);
    for (int i = 0; i < points; ++i)
        QVERIFY2(std::isfinite(shown[std::size_t(i)]) == (i >= 8 && i <= 192), qPrintable(QString::number(i)));
    QVERIFY(std::isfinite(m_handOvers.at(2).maximum));
    // The plain total is drawn everywhere.
    for (double value : m_handOvers.at(1).values)
        QVERIFY(std::isfinite(value));

    const int column = saver->columnCount() - 1;
    QVERIFY(saver->columnTitles().at(column).startsWith(QStringLiteral("Instr. funct. ")));
    const std::vector<double> kept = saver->columnValues(column);
    QCOMPARE(kept.front(), uncomputed);
    QCOMPARE(kept.back(), uncomputed);
    for (int i = 8; i <= 192; ++i)
        QCOMPARE(kept[std::size_t(i)], shown[std::size_t(i)]);
    // 2000 + 8 * 0.125 and 2000 + 192 * 0.125.
    // The title line follows the lines beginning with "#" that describe the results.
    QString header;
    for (const QString &line : saver->dataFileText().split(QLatin1Char('\n'))) {
        if (!line.startsWith(QLatin1Char('#'))) {
            header = line;
            break;
        }
    }
    const QString note = QStringLiteral(" (valid from 2001 to 2024 cm⁻¹ only)");
    QVERIFY2(header.endsWith(saver->columnTitles().at(column) + note), qPrintable(header));
    QVERIFY(header.startsWith(QStringLiteral("Wavenumber, cm⁻¹\tWavenumber, cm⁻¹\t")));
}

// With updateTotal false the totals are neither recomputed nor handed over:
// only the closing -2 of the set.
void TestSpectraResultsQml::totalsWithoutUpdate()
{
    m_core->yAxis()->yUnits = YAxisSettings::OpticalDepth;
    m_core->yAxis()->showTotal = true;
    emit m_core->updateSpectra(true, true);
    const QStringList before = titles();
    m_core->spectra()->molecules[1].crossSection.values[50] = 99.0;
    m_handOvers.clear();
    m_results->updatePlotMolsOnlyPreserveScale();
    QCOMPARE(indices(), QList<int>({-2}));
    QCOMPARE(m_core->spectra()->opticalDepthTotal.values.at(50), 12.0);
    QCOMPARE(titles(), before);
}

void TestSpectraResultsQml::noMoleculeSelected()
{
    for (Molecule &molecule : m_core->params()->molecules())
        molecule.selected = false;
    m_core->yAxis()->yUnits = YAxisSettings::CrossSection;
    emit m_core->updateSpectra(true, true);
    QCOMPARE(indices(), QList<int>({-1}));   // nothing drawn yet, so no closing -2
    QCOMPARE(titles().size(), 2);
    QCOMPARE(m_core->spectra()->crossSectionTotal.values, SpectrumValues(points, 0.0));
    QCOMPARE(m_core->spectra()->crossSectionTotal.maximum, std::numeric_limits<double>::min());

    // After an earlier curve the set is closed again.
    m_core->params()->molecules()[1].selected = true;
    emit m_core->updateSpectra(true, true);
    m_core->params()->molecules()[1].selected = false;
    m_handOvers.clear();
    emit m_core->updateSpectra(true, true);
    QCOMPARE(indices(), QList<int>({-1, -2}));
}

void TestSpectraResultsQml::autoScale_data()
{
    QTest::addColumn<double>("maximum");
    QTest::addColumn<double>("expected");
    QTest::newRow("7e-21") << 7e-21 << 1e-20;
    QTest::newRow("2e-21") << 2e-21 << 5e-21;
    QTest::newRow("exactly 1e-20") << 1e-20 << 1e-20;
    QTest::newRow("above 1: never below the curve") << 3.0 << 5.0;
    QTest::newRow("above 1: 70") << 70.0 << 100.0;
}

void TestSpectraResultsQml::autoScale()
{
    QFETCH(double, maximum);
    QFETCH(double, expected);
    QVERIFY(std::fabs(SpectraResultsQml::autoScaleMaximum(maximum) / expected - 1.0) < 1e-12);
    QVERIFY(SpectraResultsQml::autoScaleMaximum(maximum) >= maximum);
}

// Radiance of each molecule from its optical depth with Planck's law at the
// gas temperature, titled with "_R"; the total's radiance sets the scale.
void TestSpectraResultsQml::radiance()
{
    YAxisSettings *yAxis = m_core->yAxis();
    yAxis->displayedValue = YAxisSettings::Radiance;
    m_core->params()->pathConditions().temperature = 300.0;
    emit m_core->updateSpectra(true, true);
    QCOMPARE(indices(), QList<int>({-1, 1, 4, -2}));
    QCOMPARE(titles().mid(2), QStringList({"CO2_R", "CO_R"}));

    // Independently: B(nu, T) = 2 h c^2 nu^3 / (exp(h c nu / k T) - 1), in W.
    const double h = 6.62607015e-27;
    const double c = 2.99792458e10;
    const double k = 1.380649e-16;
    const double nu = 2005.0;   // point 50
    const double planck = 2.0 * h * c * c * nu * nu * nu / std::expm1(h * c * nu / (k * 300.0)) * 1e-7;
    const double expected = planck * (1.0 - std::exp(-12.0));
    const double value = m_handOvers.at(1).values.at(50);
    // The program's Planck constant is of an older edition; through the
    // exponent (h c nu / k T = 9.6) the 2e-5 difference becomes 1.6e-4.
    QVERIFY2(std::fabs(value / expected - 1.0) < 3e-4, qPrintable(QString::number(value / expected)));
    QCOMPARE(m_handOvers.at(1).values.at(0), 0.0);
    // The total's largest radiance is that value, 6.40e-7; the scale ends at the
    // next step above it, 1e-6.
    QVERIFY(std::fabs(m_core->spectra()->radianceTotal.maximum / expected - 1.0) < 3e-4);
    QCOMPARE(yAxis->radianceMax, 1e-6);
}

void TestSpectraResultsQml::axisUpdatesAndShowWriters()
{
    QSignalSpy minX(m_results.get(), &SpectraResultsQml::minXChanged);
    QSignalSpy title(m_results.get(), &SpectraResultsQml::xAxisTitleChanged);
    m_core->xAxis()->setUnits(XAxis::WavelengthMicron);
    m_results->updateXAxis();
    QCOMPARE(minX.count(), 1);
    QCOMPARE(title.count(), 1);
    QCOMPARE(m_results->xAxisTitle(), QStringLiteral("Wavelength, µm"));
    QCOMPARE(m_results->minX(), 10000.0 / 2020.0);
    QCOMPARE(indices(), QList<int>({-2}));

    // The remote control's slot only records the choice...
    m_handOvers.clear();
    m_results->updateShowTotal(true);
    QVERIFY(m_core->yAxis()->showTotal);
    QVERIFY(m_handOvers.isEmpty());
    // ...the property writer re-assembles at once, in micron.
    m_results->setShowTotal(false);
    QVERIFY(!m_core->yAxis()->showTotal);
    QVERIFY(!m_handOvers.isEmpty());
    QCOMPARE(m_results->wnGrid().first(), 5.0);
    QCOMPARE(titles().mid(0, 2), QStringList({"Wavenumber, cm⁻¹", "Wavelength, µm"}));

    // A range edited since the calculation (here one that cannot be calculated)
    // does not move the axis under the spectra in hand.
    m_core->xAxis()->setMaxWavenumber(1000.0);
    m_results->updateXAxis();
    m_results->updatePlot();
    QCOMPARE(m_results->minX(), 10000.0 / 2020.0);
    QCOMPARE(m_results->maxX(), 5.0);
    QCOMPARE(m_results->wnGrid().first(), 5.0);
}

// A change announced from the screens redraws what depends on it, and only that.
void TestSpectraResultsQml::displayFollowsTheSettingsItShows()
{
    fill(1, {{100, 6e-21}}, 1e19);
    m_results->updatePlot();
    QSignalSpy curves(m_results.get(), &SpectraResultsQml::curvesChanged);
    QSignalSpy maximum(m_results.get(), &SpectraResultsQml::maxYChanged);
    m_core->yAxis()->yUnits = YAxisSettings::Transmission;
    m_core->announce(Setting::YUnits);
    QCOMPARE(curves.count(), 1);
    // CO2's curve, in its colour: the transmission of tau = 0.06 at the line
    // centre, in per cent.
    const auto shown = m_results->curves();
    QString co2Color;
    for (const QVariant &entry : m_results->legend()) {
        if (entry.toMap().value(QStringLiteral("name")).toString() == QLatin1String("CO2"))
            co2Color = entry.toMap().value(QStringLiteral("color")).toString();
    }
    const auto co2 = std::find_if(shown->curves.begin(), shown->curves.end(), [&co2Color](const PlotCurves::Curve &c) {
        return c.color == co2Color;
    });
    QVERIFY(co2 != shown->curves.end());
    QCOMPARE((*co2->y)[100], 100.0 * std::exp(-0.06));
    m_core->announce(Setting::InstrumentWing);
    QCOMPARE(curves.count(), 2);
    // A scale of its own is drawn again without the curves being assembled anew.
    m_core->yAxis()->setCurrentAutoRecalc(false);
    maximum.clear();
    m_core->announce(Setting::YScale);
    QCOMPARE(curves.count(), 2);
    QCOMPARE(maximum.count(), 1);
    // Settings the display does not show change nothing in it.
    m_core->announce(Setting::PathLength);
    m_core->announce(Setting::SamplingPeriod);
    QCOMPARE(curves.count(), 2);
}

// Before any calculation the plot's axis is the range the settings hold, in
// the unit shown: a new start or end, or a unit switch, redraws it.
void TestSpectraResultsQml::emptyPlotShowsTheRangeSet()
{
    // A core as the program starts it: no grid built, no results.
    QTemporaryDir folder;
    KolvexCore::Settings settings = offlineSettings(folder.path());
    settings.useBundledData = false;
    KolvexCore core(settings);
    SpectraResultsQml view(nullptr, &core);
    QVERIFY(!core.results()->hasResults());
    QSignalSpy start(&view, &SpectraResultsQml::minXChanged);
    QSignalSpy end(&view, &SpectraResultsQml::maxXChanged);
    XAxis *xAxis = core.xAxis();
    xAxis->setUnits(XAxis::Wavenumber);
    xAxis->setMinWavenumber(2100.0);
    core.announce(Setting::SpectralStart);
    xAxis->setMaxWavenumber(2300.0);
    core.announce(Setting::SpectralEnd);
    QVERIFY(start.count() >= 1 && end.count() >= 1);
    QCOMPARE(view.minX(), 2100.0);
    QCOMPARE(view.maxX(), 2300.0);
    // In micrometres (10^4 / wavenumber) the axis runs from 10^4/2300 to 10^4/2100.
    start.clear();
    xAxis->setUnits(XAxis::WavelengthMicron);
    core.announce(Setting::XUnits);
    QVERIFY(start.count() >= 1);
    QVERIFY(std::fabs(view.minX() - 1e4 / 2300.0) < 1e-9);
    QVERIFY(std::fabs(view.maxX() - 1e4 / 2100.0) < 1e-9);
}

QTEST_GUILESS_MAIN(TestSpectraResultsQml)
#include "tst_spectraresultsqml.moc"
