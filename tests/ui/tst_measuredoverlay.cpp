#include "app/kolvexcore.h"
#include "app/measuredfit.h"
#include "app/spectraresultsqml.h"
#include "calc/instrumentfunction.h"
#include "core/measuredoverlay.h"
#include "core/params.h"
#include "core/xaxis.h"
#include "core/yaxissettings.h"
#include "mainwindowundertest.h"
#include "ui/measuredspectrumqml.h"
#include "ui/plot.h"
#include "ui/shareresultsqml.h"
#include "data/resultssaver.h"

#include <QFile>
#include <QQmlContext>
#include <QtTest>

#include <cmath>

// A measured spectrum over the calculated one in the window's plot: its rows
// in the plot's quantity and x unit, the residuals against the total shown
// (after a fit, against the fitted model), and a faulty file that changes
// nothing of what is drawn.
class TestMeasuredOverlay : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void overlayInThePlotsQuantityAndUnit();
    void residualsAfterAFit();
    void savedDataFileHasTheColumns();
    void reportFigureShowsThem();

private:
    void write(const QString &name, const QByteArray &text);
    void setView(const char *name, const char *property, const QVariant &value);
    // The plot's first curve (the total) at wavenumber x, read between its
    // points as a line.
    double totalAt(double x);
    MainWindowUnderTest m_t;
};

void TestMeasuredOverlay::initTestCase()
{
    m_t.createCore();
    m_t.openWindow();
    KolvexCore *core = m_t.core();
    core->instrumentFunction()->setType(InstrumentFunction::None);
    m_t.views()->results()->setShowTotal(true);
    QSignalSpy ended(core, &KolvexCore::calculationEnded);
    core->calculate();
    QTRY_VERIFY_WITH_TIMEOUT(ended.count() > 0 && !core->calculationIsRunning(), 60000);
    m_t.checkNoProblems();
}

void TestMeasuredOverlay::cleanupTestCase()
{
    m_t.checkNoProblems();
    m_t.close();
}

void TestMeasuredOverlay::write(const QString &name, const QByteArray &text)
{
    QFile file(m_t.filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(text), qint64(text.size()));
}

void TestMeasuredOverlay::setView(const char *name, const char *property, const QVariant &value)
{
    QObject *view = m_t.engine()->rootContext()->contextProperty(QLatin1String(name)).value<QObject *>();
    QVERIFY(view);
    QVERIFY(view->setProperty(property, value));
    QTest::qWait(50);
}

double TestMeasuredOverlay::totalAt(double x)
{
    const std::vector<double> &grid = m_t.plot()->gridValues();
    const SpectrumValues &total = m_t.plot()->spectrumValues(0);
    for (std::size_t i = 0; i + 1 < grid.size(); ++i)
        if (grid[i] <= x && x <= grid[i + 1]) {
            const double t = (x - grid[i]) / (grid[i + 1] - grid[i]);
            return (1.0 - t) * total[i] + t * total[i + 1];
        }
    return std::nan("");
}

void TestMeasuredOverlay::overlayInThePlotsQuantityAndUnit()
{
    write("m.txt", "# x: um\n# y: transmission%\n4.6 80\n4.4 90\n3.0 95\n4.5 50\n");
    write("bad.txt", "# x: um\n# y: transmission%\n4.6 80\n4.4\n");
    setView("wlQml", "units", int(XAxis::Wavenumber));
    setView("yAxisQml", "units", int(YAxisSettings::OpticalDepth));
    QCOMPARE(m_t.core()->xAxis()->units(), quint8(XAxis::Wavenumber));
    QVERIFY(m_t.views()->measuredSpectrum()->load(QStringLiteral("m.txt")));
    QTRY_VERIFY(m_t.plot()->measuredOverlay());
    QCOMPARE(m_t.core()->yAxis()->yUnits, quint8(YAxisSettings::OpticalDepth));

    // In rising wavenumber: 10000/4.6, 10000/4.5, 10000/4.4 and 10000/3 cm-1;
    // the optical depth -ln(T/100): -ln 0.8, -ln 0.5, -ln 0.9, -ln 0.95.
    const double x[4] = {2173.9130434782609, 2222.2222222222222, 2272.7272727272727, 3333.3333333333333};
    const double tau[4] = {0.22314355131420976, 0.69314718055994531, 0.10536051565782630, 0.051293294387550533};
    const MeasuredOverlay *overlay = m_t.plot()->measuredOverlay();
    QVERIFY(overlay->shown());
    QCOMPARE(overlay->x().size(), std::size_t(4));
    for (int k = 0; k < 4; ++k) {
        QVERIFY2(std::fabs(overlay->x()[k] - x[k]) < 1e-9, qPrintable(QString::number(overlay->x()[k], 'g', 17)));
        QVERIFY2(std::fabs(overlay->measured()[k] - tau[k]) < 1e-12,
                 qPrintable(QString::number(overlay->measured()[k], 'g', 17)));
    }
    // The residuals: measured minus the plotted total at the same x; none
    // beyond the calculated range (2000-2300 cm-1).
    for (int k = 0; k < 3; ++k) {
        const double expected = tau[k] - totalAt(x[k]);
        QVERIFY2(std::isfinite(expected), qPrintable(QString::number(k)));
        QVERIFY2(std::fabs(overlay->residuals()[k] - expected) < 1e-9 * (1.0 + std::fabs(expected)),
                 qPrintable(QString("%1: %2 against %3").arg(k).arg(overlay->residuals()[k]).arg(expected)));
    }
    QVERIFY(std::isnan(overlay->residuals()[3]));
    const QVariantList legend = m_t.views()->measuredSpectrum()->legend();
    QCOMPARE(legend.size(), 2);
    // The window's legend lists them after the calculated curves.
    QQuickItem *legendList = MainWindowUnderTest::findItem(m_t.window()->contentItem(), QStringLiteral("legendList"));
    QVERIFY(legendList);
    QTRY_COMPARE(legendList->property("count").toInt(), m_t.views()->results()->legend().size() + 2);
    QCOMPARE(legend[0].toMap().value("name").toString(), QStringLiteral("Measured"));
    QCOMPARE(legend[1].toMap().value("name").toString(), QStringLiteral("Residual"));

    // A faulty file changes nothing of what is drawn.
    const std::vector<double> before(overlay->measured().begin(), overlay->measured().end());
    QVERIFY(!m_t.views()->measuredSpectrum()->load(QStringLiteral("bad.txt")));
    QTest::qWait(50);
    overlay = m_t.plot()->measuredOverlay();
    QVERIFY(overlay);
    QCOMPARE(std::vector<double>(overlay->measured().begin(), overlay->measured().end()), before);

    // In micrometres the rows lie where the file put them.
    setView("wlQml", "units", int(XAxis::WavelengthMicron));
    QTRY_VERIFY(m_t.plot()->measuredOverlay() && std::fabs(m_t.plot()->measuredOverlay()->x()[0] - 4.6) < 1e-12);
    overlay = m_t.plot()->measuredOverlay();
    const double um[4] = {4.6, 4.5, 4.4, 3.0};
    for (int k = 0; k < 4; ++k)
        QVERIFY2(std::fabs(overlay->x()[k] - um[k]) < 1e-12, qPrintable(QString::number(overlay->x()[k], 'g', 17)));
    m_t.shoot(QStringLiteral("Main-measured-overlay"));
    setView("wlQml", "units", int(XAxis::Wavenumber));

    // A cross-section cannot be had from a transmission: nothing is drawn,
    // and the legend says so.
    setView("yAxisQml", "units", int(YAxisSettings::CrossSection));
    QTRY_VERIFY(!m_t.plot()->measuredOverlay() || !m_t.plot()->measuredOverlay()->shown());
    const QVariantList note = m_t.views()->measuredSpectrum()->legend();
    QCOMPARE(note.size(), 1);
    QCOMPARE(note[0].toMap().value("name").toString(), QStringLiteral("Measured: not shown as cross-section"));
    setView("yAxisQml", "units", int(YAxisSettings::OpticalDepth));
}

void TestMeasuredOverlay::residualsAfterAFit()
{
    // The program's own total optical depth at every tenth point, 0.01 higher
    // (absorbance): before a fit every residual is 0.01; after a fit of CO2
    // they are the fit's own, y minus the fitted model.
    const std::vector<double> &grid = m_t.plot()->gridValues();
    const SpectrumValues &total = m_t.plot()->spectrumValues(0);
    QByteArray text = "# y: absorbance\n";
    for (std::size_t i = 5; i + 5 < grid.size(); i += 10)
        text += QByteArray::number(grid[i], 'g', 17) + ' ' + QByteArray::number(total[i] + 0.01, 'g', 17) + '\n';
    write("offset.txt", text);
    MeasuredFit *fit = m_t.core()->measuredFit();
    QVERIFY(m_t.views()->measuredSpectrum()->load(QStringLiteral("offset.txt")));
    QTRY_VERIFY(m_t.plot()->measuredOverlay());
    const MeasuredOverlay *overlay = m_t.plot()->measuredOverlay();
    for (std::size_t k = 0; k < overlay->residuals().size(); ++k)
        QVERIFY2(std::fabs(overlay->residuals()[k] - 0.01) < 1e-9, qPrintable(QString::number(k)));

    QString problem;
    QVERIFY2(fit->setVaried(QStringLiteral("CO2"), &problem), qPrintable(problem));
    QVERIFY2(fit->run(&problem), qPrintable(problem));
    QTRY_VERIFY(m_t.plot()->measuredOverlay() && m_t.plot()->measuredOverlay()->fitted());
    overlay = m_t.plot()->measuredOverlay();
    const std::vector<double> &residuals = fit->result().residuals;
    QCOMPARE(overlay->residuals().size(), residuals.size());
    double largest = 0.0;
    for (std::size_t k = 0; k < residuals.size(); ++k) {
        QVERIFY2(std::fabs(overlay->residuals()[k] - residuals[k]) < 1e-12, qPrintable(QString::number(k)));
        largest = std::max(largest, std::fabs(residuals[k] - 0.01));
    }
    // The fitted CO2 took up some of the offset: the residuals moved.
    QVERIFY(largest > 1e-4);
    QCOMPARE(m_t.views()->measuredSpectrum()->legend().value(1).toMap().value("name").toString(),
             QStringLiteral("Residual (fit)"));
}

void TestMeasuredOverlay::savedDataFileHasTheColumns()
{
    // Two rows on grid points 100 and 200, transmission 0.5 and 0.25: in the
    // optical depth the plot shows, ln 2 and ln 4; the other rows hold nan.
    const std::vector<double> &grid = m_t.plot()->gridValues();
    const SpectrumValues &total = m_t.plot()->spectrumValues(0);
    write("two.txt", "# y: transmission\n" + QByteArray::number(grid[200], 'g', 17) + " 0.25\n"
                         + QByteArray::number(grid[100], 'g', 17) + " 0.5\n");
    QVERIFY(m_t.views()->measuredSpectrum()->load(QStringLiteral("two.txt")));
    const QStringList calculated = m_t.core()->results()->columnTitles();
    ShareResultsQml *share = m_t.views()->shareResults();
    share->saveToDocuments(QString());
    QTRY_VERIFY_WITH_TIMEOUT(!share->saving(), 20000);
    QFile file(m_t.core()->resultsSaver()->dataFilePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    int titleLine = 0;
    while (titleLine < lines.size() && lines[titleLine].startsWith(QLatin1Char('#')))
        ++titleLine;
    QVERIFY(titleLine < lines.size());
    // The calculated columns stay first and as they were; the two come last.
    const QStringList titles = lines[titleLine].split(QLatin1Char('\t'));
    QCOMPARE(titles.size(), calculated.size() + 2);
    QCOMPARE(titles.mid(0, calculated.size()), calculated);
    QCOMPARE(titles.mid(calculated.size()), (QStringList{"Measured", "Residual"}));
    const QString header = lines.mid(0, titleLine).join(QLatin1Char('\n'));
    QVERIFY2(header.contains(QStringLiteral("Measured 2, Residual 2")),
             qPrintable(lines.filter(QStringLiteral("Valid points")).join(' ')));
    QVERIFY2(header.contains(QStringLiteral("Measured (two.txt): 2 of its 2 rows")),
             qPrintable(header));
    const int m = calculated.size();
    const double tau[2] = {0.69314718055994531, 1.3862943611198906};
    for (int k = 0; k < 2; ++k) {
        const std::size_t row = std::size_t(100 * (k + 1));
        const QStringList fields = lines[titleLine + 1 + int(row)].split(QLatin1Char('\t'));
        QCOMPARE(fields.size(), m + 2);
        QVERIFY2(std::fabs(fields[m].toDouble() - tau[k]) < 1e-7 * tau[k], qPrintable(fields.join(' ')));
        const double residual = tau[k] - total[row];
        QVERIFY2(std::fabs(fields[m + 1].toDouble() - residual) < 1e-7 * (std::fabs(residual) + 1e-6),
                 qPrintable(fields.join(' ')));
    }
    const QStringList other = lines[titleLine + 1 + 150].split(QLatin1Char('\t'));
    QCOMPARE(other.mid(m), (QStringList{"nan", "nan"}));
}

// The report picture draws the measured curve and the residual panel in
// their colours, and neither once the spectrum is removed.
void TestMeasuredOverlay::reportFigureShowsThem()
{
    QVERIFY(m_t.plot()->measuredOverlay());
    const auto pixelsOf = [](const QImage &image, const QColor &color) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                if (std::abs(pixel.red() - color.red()) < 8 && std::abs(pixel.green() - color.green()) < 8
                    && std::abs(pixel.blue() - color.blue()) < 8)
                    ++count;
            }
        return count;
    };
    const QColor measured(QString::fromLatin1(MeasuredSpectrumQml::measuredColor()));
    const QColor residual(QString::fromLatin1(MeasuredSpectrumQml::residualColor()));
    QImage image = m_t.plot()->reportImage({QStringLiteral("report")}, QVariantList());
    QVERIFY(pixelsOf(image, measured) > 20);
    QVERIFY(pixelsOf(image, residual) > 20);
    m_t.views()->measuredSpectrum()->remove();
    QTRY_VERIFY(!m_t.plot()->measuredOverlay());
    image = m_t.plot()->reportImage({QStringLiteral("report")}, QVariantList());
    QCOMPARE(pixelsOf(image, residual), 0);
}

QTEST_MAIN(TestMeasuredOverlay)
#include "tst_measuredoverlay.moc"
