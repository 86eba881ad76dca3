#include "core/curveenvelope.h"

#include <QtTest>

#include <cmath>
#include <limits>
#include <random>

// The extremes and the gaps of any stretch of a curve, from its blocks, are
// those of its points one by one.
class TestCurveEnvelope : public QObject
{
    Q_OBJECT

private slots:
    void stretchesAgreeWithEveryPoint();
};

void TestCurveEnvelope::stretchesAgreeWithEveryPoint()
{
    std::mt19937 random(11);
    std::uniform_real_distribution<double> value(-5.0, 5.0);
    const int size = 10 * int(CurveEnvelope::block) + 13;
    SpectrumValues values(std::size_t(size), 0.0);
    for (double &v : values)
        v = value(random);
    values[3 * CurveEnvelope::block + 5] = std::numeric_limits<double>::quiet_NaN();
    values[std::size_t(size) - 1] = std::numeric_limits<double>::infinity();
    const CurveEnvelope envelope(values);
    std::uniform_int_distribution<int> index(0, size - 1);
    int stretchesWithoutGap = 0;
    for (int trial = 0; trial < 20000; ++trial) {
        int from = index(random);
        int to = index(random);
        if (from > to)
            std::swap(from, to);
        bool gap = false;
        double smallest = std::numeric_limits<double>::infinity();
        double largest = -std::numeric_limits<double>::infinity();
        for (int i = from; i <= to; ++i) {
            const double v = values[std::size_t(i)];
            gap = gap || !std::isfinite(v);
            smallest = std::min(smallest, v);
            largest = std::max(largest, v);
        }
        QCOMPARE(envelope.hasGap(values, std::size_t(from), std::size_t(to)), gap);
        if (gap)
            continue;
        ++stretchesWithoutGap;
        double low = 0.0;
        double high = 0.0;
        envelope.extremes(values, std::size_t(from), std::size_t(to), &low, &high);
        QCOMPARE(low, smallest);
        QCOMPARE(high, largest);
    }
    QVERIFY(stretchesWithoutGap > 1000);
}

QTEST_GUILESS_MAIN(TestCurveEnvelope)
#include "tst_curveenvelope.moc"
