#include "core/spectrum.h"
#include "data/resultssaver.h"
#include "core/calculationresults.h"
#include "ui/plot.h"
#include "ui/reportimage.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QVariantMap>
#include <QXmlStreamReader>
#include <QtTest>

#include <cmath>

namespace {

const QString conditions = QStringLiteral("1000 meters;   296 Kelvin;   1 Atm;");

// A plot of an absorption spectrum over 1000-3500 cm-1 with two molecules.
void setUp(Plot &plot)
{
    plot.setSize(QSizeF(800.0, 500.0));
    plot.setXMinPadding(60);
    plot.setXMaxPadding(20);
    plot.setYMinPadding(30);
    plot.setYMaxPadding(50);
    plot.setMinX(1000.0);
    plot.setMaxX(3500.0);
    plot.setMinY(0.0);
    plot.setMaxY(100.0);
    plot.setXAxisTitle(QStringLiteral("Wavenumber, cm⁻¹"));
    plot.setYAxisTitle(QStringLiteral("Absorption, %"));
    plot.setPlotTitle(QStringLiteral("Sample lines, not the HITRAN database"));
    const int points = 2501;
    QVector<double> grid(points);
    for (int i = 0; i < points; ++i)
        grid[i] = 1000.0 + i;
    plot.setWnGrid(grid);
    plot.setCurrSpecIndex(-1);
    for (int curve = 0; curve < 2; ++curve) {
        plot.setCurrSpecIndex(curve);
        plot.setLineColor(curve == 0 ? QStringLiteral("#0072b2") : QStringLiteral("#e69f00"));
        Spectrum spectrum;
        spectrum.values.resize(points);
        for (int i = 0; i < points; ++i) {
            const double u = (grid[i] - (curve == 0 ? 2350.0 : 1600.0)) / 8.0;
            spectrum.values[std::size_t(i)] = 90.0 / (1.0 + u * u);
        }
        plot.setSpectrum(spectrum);
    }
    plot.setCurrSpecIndex(-2);
}

QVariantList legend()
{
    return {QVariantMap{{"name", "CO2"}, {"color", "#0072b2"}}, QVariantMap{{"name", "H2O"}, {"color", "#e69f00"}}};
}

// The text of every SVG text element, or an error when the document is no XML.
QString svgText(const QByteArray &svg, QString *error)
{
    QXmlStreamReader xml(svg);
    QString text;
    bool root = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && !root) {
            root = true;
            if (xml.name() != QLatin1String("svg"))
                *error = QStringLiteral("root element %1").arg(xml.name().toString());
        }
        if (xml.isCharacters())
            text += xml.text();
    }
    if (xml.hasError())
        *error = xml.errorString();
    return text;
}

// The PDF's title string from its information dictionary: a text string in
// parentheses, UTF-16 with a byte order mark where it is not ASCII.
QString pdfTitle(const QByteArray &pdf)
{
    const int at = pdf.indexOf("/Title");
    if (at < 0)
        return QString();
    const int open = pdf.indexOf('(', at);
    QByteArray raw;
    for (int i = open + 1; i < pdf.size() && pdf.at(i) != ')'; ++i) {
        char c = pdf.at(i);
        if (c == '\\' && i + 1 < pdf.size()) {
            c = pdf.at(++i);
            if (c >= '0' && c <= '7') {
                int value = 0;
                for (int k = 0; k < 3 && i < pdf.size() && pdf.at(i) >= '0' && pdf.at(i) <= '7'; ++k, ++i)
                    value = value * 8 + (pdf.at(i) - '0');
                --i;
                c = char(value);
            }
        }
        raw += c;
    }
    if (raw.startsWith("\xfe\xff")) {
        QString text;
        for (int i = 2; i + 1 < raw.size(); i += 2)
            text += QChar(ushort((uchar(raw.at(i)) << 8) | uchar(raw.at(i + 1))));
        return text;
    }
    return QString::fromLatin1(raw);
}

} // namespace

// The report as a PNG picture and as SVG and PDF figures: each made, each
// readable as what it claims to be, each with the conditions; a zoomed view
// says which part of the calculated range it shows.
class TestReportFigures : public QObject
{
    Q_OBJECT

private slots:
    void allThreeFormsCarryTheReport();
    void zoomedViewIsNamed();
    void figuresAreWrittenBesideTheImage();
};

void TestReportFigures::allThreeFormsCarryTheReport()
{
    Plot plot;
    setUp(plot);
    const QStringList lines{conditions, QStringLiteral("Spectral range 1000 - 3500 cm⁻¹, 2501 points")};

    const QImage image = plot.reportImage(lines, legend());
    QCOMPARE(image.size(), QSize(ReportImage::width, ReportImage::height));
    // The curves reach the picture: its blue and orange are there.
    int blue = 0;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2)
            blue += image.pixel(x, y) == qRgb(0x00, 0x72, 0xb2) ? 1 : 0;
    }
    QVERIFY(blue > 20);

    const QByteArray svg = plot.reportSvg(lines, legend());
    QString error;
    const QString text = svgText(svg, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    // Text stays text: the conditions, the axis title with its superscript, the legend and the mark.
    for (const QString &part : {conditions, QStringLiteral("Wavenumber, cm⁻¹"), QStringLiteral("CO2"),
                                QStringLiteral("Sample lines, not the HITRAN database"), QStringLiteral("3000")})
        QVERIFY2(text.contains(part), qPrintable(part));
    QVERIFY(!text.contains(QLatin1String("Zoomed")));

    const QByteArray pdf = plot.reportPdf(lines, legend());
    QVERIFY(pdf.startsWith("%PDF-1."));
    QVERIFY(pdf.trimmed().endsWith("%%EOF"));
    QVERIFY(pdf.contains("trailer") && pdf.contains("startxref"));
    QVERIFY(pdf.contains("/Type /Page") || pdf.contains("/Type/Page"));
    QCOMPARE(pdfTitle(pdf), conditions);
    // The drawing is vector: a page of text and paths, with fonts, and no picture of the plot.
    QVERIFY(pdf.contains("/Font"));
    QVERIFY(!pdf.contains("/Subtype /Image") && !pdf.contains("/Subtype/Image"));
}

void TestReportFigures::zoomedViewIsNamed()
{
    Plot plot;
    setUp(plot);
    QCOMPARE(ReportImage::zoomLine(plot), QString());
    // A pinch of 2 in the middle of the 720-pixel area: 1625-2875 cm-1 of 1000-3500.
    plot.setIsHorizontalPinch(true);
    plot.setTouchCenterX(60.0 + 360.0);
    plot.setScale(2.0);
    const QString line = ReportImage::zoomLine(plot);
    QCOMPARE(line, QStringLiteral("Zoomed view: 1625 – 2875 cm⁻¹ of the calculated 1000 – 3500 cm⁻¹"));
    QString error;
    const QString text = svgText(plot.reportSvg({conditions}, legend()), &error);
    QVERIFY(error.isEmpty());
    QVERIFY(text.contains(line));
    QVERIFY(text.indexOf(line) > text.indexOf(conditions));
    // A vertical zoom is named too.
    plot.setIsHorizontalPinch(false);
    plot.setTouchCenterY(30.0 + 210.0);
    plot.setScale(1.0);
    plot.setScale(2.0);
    QVERIFY(ReportImage::zoomLine(plot).contains(QStringLiteral("vertical")));
    plot.resetZoom();
    QCOMPARE(ReportImage::zoomLine(plot), QString());
}

void TestReportFigures::figuresAreWrittenBesideTheImage()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    CalculationResults results;
    ResultsSaver saver(&results);
    saver.setOutputFolder(folder.path());
    saver.prepareFileNames(QDateTime(QDate(2026, 12, 7), QTime(23, 5, 9)));
    QCOMPARE(saver.svgFilePath(), folder.path() + QStringLiteral("/kolvex-12_07_2026-23_05_09.svg"));
    QCOMPARE(saver.pdfFilePath(), folder.path() + QStringLiteral("/kolvex-12_07_2026-23_05_09.pdf"));
    Plot plot;
    setUp(plot);
    QVERIFY(saver.writeFigureFile(saver.svgFilePath(), plot.reportSvg({conditions}, legend())));
    QVERIFY(saver.writeFigureFile(saver.pdfFilePath(), plot.reportPdf({conditions}, legend())));
    QFile svg(saver.svgFilePath());
    QVERIFY(svg.open(QIODevice::ReadOnly));
    QVERIFY(svg.readAll().contains("<svg"));
    // An empty document (a figure that could not be drawn) writes nothing.
    QVERIFY(!saver.writeFigureFile(folder.path() + QStringLiteral("/empty.pdf"), QByteArray()));
    QVERIFY(!QFile::exists(folder.path() + QStringLiteral("/empty.pdf")));
}

QTEST_MAIN(TestReportFigures)
#include "tst_reportfigures.moc"
