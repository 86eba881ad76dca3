#include "core/spectrum.h"
#include "ui/colorplot.h"
#include "ui/plot.h"
#include "ui/plotpainter.h"
#include "ui/plotmath.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

#include <random>

#include <cmath>
#include <limits>

using Range = PlotMath::Range;
Q_DECLARE_METATYPE(Range)

namespace {

// Hands one set of curves to the plot the way the results model does.
void handOverSet(Plot &plot, const std::vector<std::vector<double>> &curves, const QStringList &colors)
{
    plot.setCurrSpecIndex(-1);
    plot.setLineColor(QStringLiteral("green"));   // markers carry no colour...
    plot.setSpectrum(Spectrum());                 // ...and no curve
    for (std::size_t i = 0; i < curves.size(); ++i) {
        plot.setCurrSpecIndex(int(i));
        plot.setLineColor(colors.at(int(i)));
        Spectrum spectrum;
        spectrum.values.assign(curves[i].begin(), curves[i].end());
        plot.setSpectrum(spectrum);
    }
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

bool isPureRed(QRgb pixel)
{
    return qRed(pixel) > 200 && qGreen(pixel) < 60 && qBlue(pixel) < 60;
}

} // namespace

class TestPlot : public QObject
{
    Q_OBJECT

private slots:
    void pixelMapping_data();
    void pixelMapping();
    void zoom_data();
    void zoom();
    void pan_data();
    void pan();
    void visibleIndices_data();
    void visibleIndices();
    void ruler();
    void degenerateAreas();
    void handOverKeepsCurvesAndColours();
    void pinchAndDragOnTheItem();
    void curvesStayInsideThePlotArea_data();
    void curvesStayInsideThePlotArea();
    void rotatedModeDrawsUpward();
    void noPointWhereAValueIsMissing();
    void envelopeDrawsWhatEveryPointDraws_data();
    void envelopeDrawsWhatEveryPointDraws();
    void colorPicker();
};

void TestPlot::pixelMapping_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    QTest::addColumn<bool>("rotated");
    QTest::addColumn<QPointF>("pixel");
    // Area: left 10, top 20, width 100, height 50 (bottom 70); x 0..10, y 0..1.
    QTest::newRow("origin") << 0.0 << 0.0 << false << QPointF(10, 70);
    QTest::newRow("far corner") << 10.0 << 1.0 << false << QPointF(110, 20);
    QTest::newRow("middle, truncated") << 5.05 << 0.51 << false << QPointF(60, 44);
    QTest::newRow("beyond right and top clamp") << 50.0 << 7.0 << false << QPointF(110, 20);
    QTest::newRow("left of left and below bottom clamp") << -3.0 << -2.0 << false << QPointF(10, 70);
    QTest::newRow("not a number stays inside") << qQNaN() << qInf() << false << QPointF(10, 70);
    QTest::newRow("rotated: x upward") << 10.0 << 0.0 << true << QPointF(10, 20);
    QTest::newRow("rotated: y to the right") << 0.0 << 1.0 << true << QPointF(110, 70);
}

void TestPlot::pixelMapping()
{
    QFETCH(double, x);
    QFETCH(double, y);
    QFETCH(bool, rotated);
    QFETCH(QPointF, pixel);
    const QRectF area(10, 20, 100, 50);
    QCOMPARE(PlotMath::mapPoint(x, y, area, {0.0, 10.0}, {0.0, 1.0}, rotated), pixel);
    if (!rotated && std::isfinite(x) && x >= 0.0 && x <= 10.0) {
        // Pixel to value is the inverse on whole columns.
        QCOMPARE(PlotMath::xValueAt(pixel.x(), area, {0.0, 10.0}), std::trunc(x * 10.0) / 10.0);
    }
}

void TestPlot::zoom_data()
{
    QTest::addColumn<Range>("start");
    QTest::addColumn<double>("centre");
    QTest::addColumn<double>("scale");
    QTest::addColumn<Range>("expected");
    const Range full{1000.0, 3000.0};
    QTest::newRow("scale 2 at the middle halves the width") << full << 2000.0 << 2.0 << Range{1500.0, 2500.0};
    QTest::newRow("scale 4 near the left end") << full << 1200.0 << 4.0 << Range{1150.0, 1650.0};
    QTest::newRow("zoom out stops at the limits") << Range{1500.0, 2500.0} << 1600.0 << 0.25 << Range{1200.0, 3000.0};
    QTest::newRow("zero scale is ignored") << Range{1500.0, 2500.0} << 2000.0 << 0.0 << Range{1500.0, 2500.0};
    QTest::newRow("negative scale is ignored") << full << 2000.0 << -1.0 << full;
    QTest::newRow("centre beyond the limit gives no width") << full << 5000.0 << 2.0 << full;
}

void TestPlot::zoom()
{
    QFETCH(Range, start);
    QFETCH(double, centre);
    QFETCH(double, scale);
    QFETCH(Range, expected);
    const Range result = PlotMath::zoom(start, centre, scale, {1000.0, 3000.0});
    QCOMPARE(result.from, expected.from);
    QCOMPARE(result.to, expected.to);
}

void TestPlot::pan_data()
{
    QTest::addColumn<double>("d");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<double>("from");
    QTest::newRow("inside") << 100.0 << true << 1400.0;
    QTest::newRow("to the lower limit exactly") << 500.0 << true << 1000.0;
    QTest::newRow("past the lower limit: stops at it") << 501.0 << true << 1000.0;
    QTest::newRow("far past the upper limit: stops at it") << -5000.0 << true << 2000.0;
    QTest::newRow("not a number") << qQNaN() << false << 1500.0;
}

void TestPlot::pan()
{
    QFETCH(double, d);
    QFETCH(bool, accepted);
    QFETCH(double, from);
    Range result{1500.0, 2500.0};
    QCOMPARE(PlotMath::pan(result, d, {1000.0, 3000.0}, &result), accepted);
    QCOMPARE(result.from, from);
    QCOMPARE(result.to - result.from, 1000.0);
    // A range as wide as the limits cannot move; one wider is left as it is.
    Range whole{1000.0, 3000.0};
    QVERIFY(PlotMath::pan(whole, 300.0, {1000.0, 3000.0}, &whole));
    QCOMPARE(whole.from, 1000.0);
    Range wider{0.0, 4000.0};
    QVERIFY(!PlotMath::pan(wider, 300.0, {1000.0, 3000.0}, &wider));
}

void TestPlot::visibleIndices_data()
{
    QTest::addColumn<std::vector<double>>("grid");
    QTest::addColumn<Range>("range");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    const std::vector<double> up{1, 2, 3, 4, 5, 6};
    const std::vector<double> down{6, 5, 4, 3, 2, 1};
    QTest::newRow("ascending, inner") << up << Range{2.5, 4.0} << 2 << 3;
    QTest::newRow("ascending, all") << up << Range{0.0, 10.0} << 0 << 5;
    QTest::newRow("descending, inner") << down << Range{2.5, 4.0} << 2 << 3;
    QTest::newRow("nothing visible") << up << Range{7.0, 9.0} << 6 << 5;
    QTest::newRow("one point") << std::vector<double>{3.0} << Range{3.0, 3.0} << 0 << 0;
    QTest::newRow("empty grid") << std::vector<double>{} << Range{0.0, 1.0} << 0 << -1;
}

void TestPlot::visibleIndices()
{
    QFETCH(std::vector<double>, grid);
    QFETCH(Range, range);
    QFETCH(int, first);
    QFETCH(int, last);
    const auto indices = PlotMath::visibleIndices(grid, range);
    QCOMPARE(indices.first, first);
    QCOMPARE(indices.second, last);
}

void TestPlot::ruler()
{
    const Range limits{1000.0, 3000.0};
    QVERIFY(!PlotMath::rulerShown(true, limits, limits));
    QVERIFY(!PlotMath::rulerShown(false, {1500.0, 2500.0}, limits));
    QVERIFY(PlotMath::rulerShown(true, {1000.0, 2500.0}, limits));
    QVERIFY(PlotMath::rulerShown(true, {1500.0, 3000.0}, limits));
    QCOMPARE(PlotMath::rulerIndex(10, 21), 16);
    QCOMPARE(PlotMath::rulerIndex(4, 4), 4);
}

void TestPlot::degenerateAreas()
{
    // Paddings wider than the item leave an empty area, never a negative one.
    const QRectF area = PlotMath::plotArea(50.0, 40.0, 40, 40, 30, 30, 1.0);
    QCOMPARE(area.width(), 0.0);
    QCOMPARE(area.height(), 0.0);
    QCOMPARE(PlotMath::xValueAt(12.0, area, {1.0, 2.0}), 1.0);
    QCOMPARE(PlotMath::yValueAt(12.0, area, {1.0, 2.0}), 1.0);
    const QPointF point = PlotMath::mapPoint(1.5, 1.5, area, {1.0, 2.0}, {1.0, 1.0}, false);
    QVERIFY(area.contains(point) || point == area.topLeft());

    // Painting such a plot with curves on one grid point does not fail.
    Plot plot;
    plot.setSize(QSizeF(50.0, 40.0));
    plot.setXMinPadding(40);
    plot.setXMaxPadding(40);
    plot.setWnGrid({1.0});
    handOverSet(plot, {{1.0}}, {QStringLiteral("red")});
    const QImage image = render(plot);
    QVERIFY(!image.isNull());
    QVERIFY(!plot.plotInProgress());
}

void TestPlot::handOverKeepsCurvesAndColours()
{
    Plot plot;
    handOverSet(plot, {{1, 2}, {3, 4}}, {QStringLiteral("red"), QStringLiteral("blue")});
    QCOMPARE(plot.spectrumCount(), 2);
    QCOMPARE(plot.lineColors(), (QStringList{QStringLiteral("red"), QStringLiteral("blue")}));
    QCOMPARE(plot.spectrumValues(1), (SpectrumValues{3, 4}));
    // The next set replaces the curves.
    handOverSet(plot, {{5, 6}}, {QStringLiteral("black")});
    QCOMPARE(plot.spectrumCount(), 1);
    QCOMPARE(plot.lineColors(), QStringList{QStringLiteral("black")});
}

void TestPlot::pinchAndDragOnTheItem()
{
    Plot plot;
    plot.setSize(QSizeF(1101.0, 300.0));
    plot.setXMinPadding(50);
    plot.setXMaxPadding(50);   // plot area 1001 pixels wide from column 50
    plot.setMinX(1000.0);
    plot.setMaxX(3000.0);
    QSignalSpy scaleSpy(&plot, &Plot::scaleChanged);

    plot.setIsHorizontalPinch(true);
    plot.setTouchCenterX(550.7);   // whole pixel 550: the middle of the range
    plot.setScale(2.0);
    QCOMPARE(scaleSpy.count(), 1);
    QVERIFY(std::fabs(plot.visibleX().from - 1500.0) < 1.0);
    QVERIFY(std::fabs(plot.visibleX().to - plot.visibleX().from - 1000.0) < 1e-9);

    // A drag to the right by 100 pixels (about 100 units now) moves the view left.
    const double zoomedFrom = plot.visibleX().from;
    plot.setTouchStartX(300.0);
    plot.setTouchEndX(400.0);
    QVERIFY(std::fabs(zoomedFrom - plot.visibleX().from - 100.0) < 0.2);
    // Pinching out again stops at the limits.
    plot.setTouchCenterX(550.0);
    plot.setScale(0.1);
    QCOMPARE(plot.visibleX().from, 1000.0);
    QCOMPARE(plot.visibleX().to, 3000.0);
    plot.setTouchCenterX(550.0);
    plot.setScale(2.0);
    // A drag that would pass the lower limit stops there, at the view's width.
    const Range before = plot.visibleX();
    plot.setTouchStartX(100.0);
    plot.setTouchEndX(1000.0);
    QCOMPARE(plot.visibleX().from, 1000.0);
    QVERIFY(std::fabs(plot.visibleX().to - plot.visibleX().from - (before.to - before.from)) < 1e-9);
    // New limits show the whole range again.
    plot.setMaxX(4000.0);
    QCOMPARE(plot.visibleX().from, 1000.0);
    QCOMPARE(plot.visibleX().to, 4000.0);
}

void TestPlot::curvesStayInsideThePlotArea_data()
{
    QTest::addColumn<bool>("rotated");
    QTest::addColumn<bool>("zoomed");
    QTest::newRow("normal") << false << false;
    QTest::newRow("normal, zoomed with ruler") << false << true;
    QTest::newRow("rotated") << true << false;
}

void TestPlot::curvesStayInsideThePlotArea()
{
    QFETCH(bool, rotated);
    QFETCH(bool, zoomed);
    Plot plot;
    plot.setSize(QSizeF(400.0, 300.0));
    plot.setXMinPadding(60);
    plot.setXMaxPadding(20);
    plot.setYMinPadding(30);
    plot.setYMaxPadding(50);
    plot.setMinX(0.0);
    plot.setMaxX(10.0);
    plot.setMinY(0.0);
    plot.setMaxY(1.0);
    plot.setPlotInverted(rotated);
    plot.setEnableRulers(true);
    QVector<double> grid;
    std::vector<double> values;
    for (int i = 0; i <= 200; ++i) {
        grid.append(i * 0.05);
        values.push_back(i % 2 ? 5.0 : -5.0);   // far above and below the axis
    }
    plot.setWnGrid(grid);
    handOverSet(plot, {values}, {QStringLiteral("red")});
    if (zoomed) {
        plot.setTouchCenterX(200.0);
        plot.setScale(3.0);
    }
    const QImage image = render(plot);
    const QRect area = plot.plotArea().toAlignedRect();
    int inside = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (!isPureRed(image.pixel(x, y)))
                continue;
            QVERIFY2(area.adjusted(-1, -1, 1, 1).contains(x, y), qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
            ++inside;
        }
    }
    QVERIFY(inside > 100);
}

void TestPlot::rotatedModeDrawsUpward()
{
    Plot plot;
    plot.setSize(QSizeF(300.0, 300.0));
    plot.setXMinPadding(50);
    plot.setYMaxPadding(50);
    plot.setMinX(0.0);
    plot.setMaxX(10.0);
    plot.setMinY(0.0);
    plot.setMaxY(1.0);
    plot.setPlotInverted(true);
    QVector<double> grid;
    std::vector<double> values;
    for (int i = 0; i <= 10; ++i) {
        grid.append(i);
        values.push_back(i < 5 ? 0.2 : 0.8);   // small values low, large ones high
    }
    plot.setWnGrid(grid);
    handOverSet(plot, {values}, {QStringLiteral("red")});
    const QImage image = render(plot);
    const QRectF area = plot.plotArea();
    // Small wavenumbers at the bottom (y value 0.2 at column 20 %), large at the top (80 %).
    const int lowColumn = int(area.left() + 0.2 * area.width());
    const int highColumn = int(area.left() + 0.8 * area.width());
    auto redRowsIn = [&](int column) {
        QVector<int> rows;
        for (int y = 0; y < image.height(); ++y) {
            for (int dx = -1; dx <= 1; ++dx) {
                if (isPureRed(image.pixel(column + dx, y))) {
                    rows.append(y);
                    break;
                }
            }
        }
        return rows;
    };
    const QVector<int> low = redRowsIn(lowColumn);
    const QVector<int> high = redRowsIn(highColumn);
    QVERIFY(!low.isEmpty() && !high.isEmpty());
    // Drawn the normal way, these columns would hold the curve at 80 % and 20 % of the height.
    QVERIFY(low.last() > area.bottom() - 0.1 * area.height());
    QVERIFY(high.first() < area.top() + 0.1 * area.height());
}

// Points without a value (NaN: an instrument-function total where its kernel
// does not fit) leave the curve out there: nothing is drawn left of x = 2 or
// right of x = 8, nor in the gap around x = 5.
void TestPlot::noPointWhereAValueIsMissing()
{
    Plot plot;
    plot.setSize(QSizeF(400.0, 300.0));
    plot.setXMinPadding(40);
    plot.setYMaxPadding(40);
    plot.setMinX(0.0);
    plot.setMaxX(10.0);
    plot.setMinY(0.0);
    plot.setMaxY(1.0);
    QVector<double> grid;
    std::vector<double> values;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int i = 0; i <= 200; ++i) {
        const double x = i * 0.05;
        grid.append(x);
        values.push_back(x < 2.0 || x > 8.0 || std::fabs(x - 5.0) < 0.5 ? nan : 0.5);
    }
    plot.setWnGrid(grid);
    handOverSet(plot, {values}, {QStringLiteral("red")});
    const QImage image = render(plot);
    const QRectF area = plot.plotArea();
    auto column = [&area](double x) { return area.left() + x / 10.0 * area.width(); };
    int drawn = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (!isPureRed(image.pixel(x, y)))
                continue;
            ++drawn;
            const bool left = x >= column(2.0) - 2.0 && x <= column(4.55) + 2.0;
            const bool right = x >= column(5.45) - 2.0 && x <= column(8.0) + 2.0;
            QVERIFY2(left || right, qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
        }
    }
    QVERIFY(drawn > 100);
}

void TestPlot::envelopeDrawsWhatEveryPointDraws_data()
{
    QTest::addColumn<bool>("descending");
    QTest::addColumn<bool>("rotated");
    QTest::addColumn<Range>("visibleX");
    QTest::newRow("whole curve") << false << false << Range{0.0, 1000.0};
    QTest::newRow("zoomed") << false << false << Range{310.0, 335.5};
    QTest::newRow("wavelengths, descending x") << true << false << Range{0.0, 1000.0};
    QTest::newRow("rotated") << false << true << Range{120.0, 880.0};
    QTest::newRow("a few points per column") << false << false << Range{500.0, 503.0};
}

// The fast way of drawing a long curve (extremes from blocks of points) gives
// the picture of the plain way (every point), pixel for pixel: with noise,
// single missing values and runs of them, in every direction.
void TestPlot::envelopeDrawsWhatEveryPointDraws()
{
    QFETCH(bool, descending);
    QFETCH(bool, rotated);
    QFETCH(Range, visibleX);
    const int points = 200001;
    std::vector<double> grid(points);
    SpectrumValues values(points);
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 0.05);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int i = 0; i < points; ++i) {
        const double x = 1000.0 * i / (points - 1);
        grid[std::size_t(i)] = descending ? 1000.0 - x : x;
        values[std::size_t(i)] = 0.5 + 0.4 * std::sin(x / 37.0) * std::exp(-std::fmod(x, 53.0) / 9.0) + noise(random);
        if (i % 7919 == 0 || (i > 60000 && i < 60500) || (i > 100003 && i < 100011))
            values[std::size_t(i)] = nan;
    }
    const CurveEnvelope envelope(values);
    const auto draw = [&](const CurveEnvelope *withEnvelope) {
        QImage image(640, 480, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        const QString xTitle = QStringLiteral("x");
        const QString yTitle = QStringLiteral("y");
        const std::vector<const SpectrumValues *> spectra{&values};
        const std::vector<const std::vector<double> *> ownX{nullptr};
        const std::vector<const CurveEnvelope *> envelopes{withEnvelope};
        const QStringList colors{QStringLiteral("blue")};
        const PlotPainter::Scene scene{QRectF(60.0, 20.0, 560.0, 400.0), 640.0, xTitle, yTitle,
                                       visibleX, Range{-0.2, 1.2}, Range{0.0, 1000.0}, spectra, ownX, envelopes,
                                       grid, colors, 1, rotated, false};
        PlotPainter::paint(&painter, scene);
        return image;
    };
    const QImage plain = draw(nullptr);
    const QImage fast = draw(&envelope);
    int blue = 0;
    for (int y = 0; y < plain.height(); ++y) {
        for (int x = 0; x < plain.width(); ++x)
            blue += qBlue(plain.pixel(x, y)) > 200 && qRed(plain.pixel(x, y)) < 60 ? 1 : 0;
    }
    QVERIFY(blue > 500);
    QCOMPARE(fast, plain);
}

void TestPlot::colorPicker()
{
    ColorPlot picker;
    picker.setSize(QSizeF(200.0, 145.0));
    picker.setColorBarHeight(40);   // field: rows 0..100
    QCOMPARE(picker.fieldRect().height(), 100.0);
    picker.setColor(QStringLiteral("#0000ff"));
    QCOMPARE(int(picker.hueValue()), 240);

    // A touch at the very top gives lightness 128 on both halves.
    for (int x : {10, 150}) {
        picker.setTouchX(x);
        picker.setTouchY(x == 10 ? 0 : 1);
        picker.setTouchY(0);
        QVERIFY(std::abs(QColor(picker.color()).lightness() - 128) <= 1);
    }
    // Lower rows: lighter on the left, darker on the right.
    picker.setTouchX(10);
    picker.setTouchY(90);
    QVERIFY(QColor(picker.color()).lightness() > 220);
    picker.setTouchX(150);
    picker.setTouchY(91);
    QVERIFY(QColor(picker.color()).lightness() < 40);

    // A touch outside the field changes nothing.
    const QString before = picker.color();
    QSignalSpy colorSpy(&picker, &ColorPlot::colorChanged);
    picker.setTouchY(120);
    picker.setTouchX(500);
    QCOMPARE(picker.color(), before);
    QCOMPARE(colorSpy.count(), 0);

    // Hue 0 turns the colour grey at the same lightness.
    picker.setHueValue(120.0);
    const int lightness = QColor(picker.color()).lightness();
    picker.setHueValue(0.0);
    QCOMPARE(QColor(picker.color()).hslSaturation(), 0);
    QVERIFY(std::abs(QColor(picker.color()).lightness() - lightness) <= 1);

    // It paints without touching anything outside its size.
    QImage image(200, 145, QImage::Format_RGB32);
    QPainter painter(&image);
    picker.paint(&painter);
}

QTEST_MAIN(TestPlot)
#include "tst_plot.moc"
