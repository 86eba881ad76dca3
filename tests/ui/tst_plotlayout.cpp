#include "core/spectrum.h"
#include "ui/plot.h"
#include "ui/plotlayout.h"
#include "ui/plotpainter.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QtTest>

#include <cmath>
#include <functional>
#include <random>

namespace {

constexpr int points = 1001;   // x from 0 to 100 in steps of 0.1

std::vector<double> curveOf(const std::function<double(double)> &shape)
{
    std::vector<double> values(points);
    for (int i = 0; i < points; ++i)
        values[std::size_t(i)] = shape(i * 0.1);
    return values;
}

double peak(double x, double centre, double height, double halfWidth)
{
    const double u = (x - centre) / halfWidth;
    return height / (1.0 + u * u);
}

// A plot of 600 x 400 pixels showing x 0-100 and y 0-100, its curves in pure red.
void setUp(Plot &plot, const std::vector<double> &curve, int xMaxPadding = 20, int yMinPadding = 30)
{
    plot.setSize(QSizeF(600.0, 400.0));
    plot.setXMinPadding(60);
    plot.setXMaxPadding(xMaxPadding);
    plot.setYMinPadding(yMinPadding);
    plot.setYMaxPadding(50);
    plot.setFontPointSize(9.0);
    plot.setMinX(0.0);
    plot.setMaxX(100.0);
    plot.setMinY(0.0);
    plot.setMaxY(100.0);
    QVector<double> grid(points);
    for (int i = 0; i < points; ++i)
        grid[i] = i * 0.1;
    plot.setWnGrid(grid);
    plot.setCurrSpecIndex(-1);
    plot.setCurrSpecIndex(0);
    plot.setLineColor(QStringLiteral("#ff0000"));
    Spectrum spectrum;
    spectrum.values.assign(curve.begin(), curve.end());
    plot.setSpectrum(spectrum);
    plot.setCurrSpecIndex(-2);
}

QImage render(Plot &plot)
{
    QImage image(int(plot.width()), int(plot.height()), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    plot.paint(&painter);
    return image;
}

bool isCurve(QRgb pixel)
{
    return qRed(pixel) > 200 && qGreen(pixel) < 80 && qBlue(pixel) < 80;
}

int curvePixelsIn(const QImage &image, const QRectF &box)
{
    const QRect pixels = box.toAlignedRect().intersected(image.rect());
    int count = 0;
    for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
        for (int x = pixels.left(); x <= pixels.right(); ++x)
            count += isCurve(image.pixel(x, y)) ? 1 : 0;
    }
    return count;
}

// The curve alone over the plot area the boxes left: drawn by a plot without
// legend or mark whose paddings give it that area.
QImage curveAloneOver(const QRectF &area, const std::vector<double> &curve)
{
    Plot bare;
    setUp(bare, curve, int(std::lround(600.0 - area.right())), int(std::lround(area.top())));
    bare.setXMinPadding(int(std::lround(area.left())));
    bare.setYMaxPadding(int(std::lround(400.0 - area.bottom())));
    return render(bare);
}

} // namespace

// The legend and the mark go where no curve is: a corner the curves leave
// free, or outside the plot area when none is.
class TestPlotLayout : public QObject
{
    Q_OBJECT

private slots:
    void legendAndMarkCoverNoCurve_data();
    void legendAndMarkCoverNoCurve();
    void rulerValueStaysAboveThePlot();
    void placementOfGivenBoxes();
};

void TestPlotLayout::legendAndMarkCoverNoCurve_data()
{
    QTest::addColumn<std::vector<double>>("curve");
    QTest::addColumn<QString>("legendWhere");
    QTest::addColumn<QString>("markWhere");

    // Absorption: low everywhere but for a strong line at x = 88 under the
    // legend's usual top right corner: the legend takes the top left, the
    // mark finds no free corner (the baseline runs along the bottom).
    QTest::newRow("absorption, line at the top right")
        << curveOf([](double x) { return 3.0 + peak(x, 88.0, 94.0, 0.6) + peak(x, 40.0, 60.0, 1.0); })
        << "top left" << "above";
    // Absorption with its lines right of the middle: both top corners are free
    // (the mark, one line of 250 pixels, reaches x = 48).
    QTest::newRow("absorption, lines in the middle")
        << curveOf([](double x) { return 2.0 + peak(x, 55.0, 96.0, 0.8) + peak(x, 62.0, 70.0, 0.5); })
        << "top right" << "top left";
    // Transmission: near 100 % with dips; the top is taken, the bottom free.
    QTest::newRow("transmission, dips in the middle")
        << curveOf([](double x) { return 98.0 - peak(x, 50.0, 90.0, 0.8) - peak(x, 62.0, 40.0, 0.5); })
        << "bottom right" << "bottom left";
    // Transmission whose deepest dip reaches the bottom right corner.
    QTest::newRow("transmission, dip at the bottom right")
        << curveOf([](double x) { return 97.0 - peak(x, 92.0, 96.0, 3.0); })
        << "bottom left" << "above";
    // Lines everywhere, from the bottom to the top: no corner is free.
    QTest::newRow("forest of lines") << curveOf([](double x) {
        return 50.0 + 49.0 * std::sin(x * 3.7);
    }) << "beside" << "above";
}

void TestPlotLayout::legendAndMarkCoverNoCurve()
{
    QFETCH(std::vector<double>, curve);
    QFETCH(QString, legendWhere);
    QFETCH(QString, markWhere);
    Plot plot;
    setUp(plot, curve);
    plot.setLegendSize(QSizeF(110.0, 70.0));
    plot.setPlotTitle(QStringLiteral("Sample lines, not the HITRAN database"));
    QSignalSpy layoutSpy(&plot, &Plot::layoutChanged);
    const QRectF fullArea = plot.plotArea();
    const QImage image = render(plot);
    QVERIFY(layoutSpy.count() >= 1);
    const QRectF area = plot.plotArea();
    const QRectF legend = plot.legendBox();
    const QRectF mark = plot.markBox();
    QVERIFY(!legend.isEmpty());
    QVERIFY(!mark.isEmpty());
    QVERIFY(!legend.intersects(mark));

    // No curve pixel under either box, counted on the curve drawn alone over
    // the area they left.
    const QImage bare = curveAloneOver(area, curve);
    QVERIFY(curvePixelsIn(bare, area) > 200);
    QCOMPARE(curvePixelsIn(bare, legend), 0);
    QCOMPARE(curvePixelsIn(bare, mark), 0);
    // The window draws the legend: nothing of the plot's is under it.
    QCOMPARE(curvePixelsIn(image, legend), 0);

    const auto where = [&area](const QRectF &box) {
        if (box.left() >= area.right())
            return QStringLiteral("beside");
        if (box.bottom() <= area.top())
            return QStringLiteral("above");
        const bool top = box.center().y() < area.center().y();
        const bool right = box.center().x() > area.center().x();
        return QString(top ? "top " : "bottom ") + (right ? "right" : "left");
    };
    QCOMPARE(where(legend), legendWhere);
    QCOMPARE(where(mark), markWhere);
    // The area gives up room only for a box that goes outside it.
    QCOMPARE(area.right() < fullArea.right(), legendWhere == QLatin1String("beside"));
    QCOMPARE(area.top() > fullArea.top(), markWhere == QLatin1String("above"));
    QVERIFY(legend.right() <= plot.width() && mark.top() >= 0.0);
}

void TestPlotLayout::rulerValueStaysAboveThePlot()
{
    const QFont font;
    const QFontMetricsF metrics(font);
    const QRectF area(60.0, 40.0, 500.0, 300.0);
    // Over the ruler's column, above the plot area.
    const QRectF box = PlotPainter::rulerValueBox(area, 300.0, QStringLiteral("2150.25"), metrics, 600.0, QRectF());
    QVERIFY(box.bottom() <= area.top());
    QVERIFY(box.left() < 300.0 && box.right() > 300.0);
    // Kept inside the item at its right edge, and right of a mark in its way.
    const QRectF atEdge = PlotPainter::rulerValueBox(area, 598.0, QStringLiteral("2150.25"), metrics, 600.0, QRectF());
    QVERIFY(atEdge.right() <= 600.0);
    const QRectF mark(60.0, 10.0, 280.0, 28.0);
    const QRectF moved = PlotPainter::rulerValueBox(area, 300.0, QStringLiteral("2150.25"), metrics, 600.0, mark);
    QVERIFY(!moved.intersects(mark));
}

// The placement alone, with boxes of given sizes over curves drawn by the test.
void TestPlotLayout::placementOfGivenBoxes()
{
    const QRectF area(50.0, 20.0, 400.0, 300.0);
    // A curve along the top edge only: both boxes go to the bottom corners.
    const auto topLine = [](QPainter *painter, const QRectF &a) {
        painter->setPen(QPen(Qt::black, 2.0));
        painter->drawLine(QPointF(a.left(), a.top() + 10.0), QPointF(a.right(), a.top() + 10.0));
    };
    PlotLayout::Boxes boxes = PlotLayout::place(area, QSizeF(100, 50), QSizeF(150, 30), 4.0, topLine);
    QCOMPARE(boxes.area, area);
    QCOMPARE(boxes.legend, QRectF(346.0, 266.0, 100.0, 50.0));   // 450 - 4 - 100, 320 - 4 - 50
    QCOMPARE(boxes.mark, QRectF(54.0, 286.0, 150.0, 30.0));
    // A box wider than the area cannot go in a corner: the area makes room.
    boxes = PlotLayout::place(area, QSizeF(500, 50), QSizeF(), 4.0, topLine);
    QVERIFY(boxes.legendOutside);
    QCOMPARE(boxes.area.right(), area.right() - 508.0 < area.left() ? area.left() + 1.0 : area.right() - 508.0);
    QVERIFY(boxes.mark.isEmpty());
    // Nothing to place: nothing changes.
    boxes = PlotLayout::place(area, QSizeF(), QSizeF(), 4.0, topLine);
    QCOMPARE(boxes.area, area);
    QVERIFY(boxes.legend.isEmpty() && boxes.mark.isEmpty());
}

QTEST_MAIN(TestPlotLayout)
#include "tst_plotlayout.moc"
