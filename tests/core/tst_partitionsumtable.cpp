#include "core/isotopologue.h"
#include "core/partitionsumtable.h"

#include <QFile>
#include <QtTest>

#include <cmath>
#include <limits>

// Q(T) between the whole kelvins of a partition-sum table: the 4-point Lagrange
// polynomial through the two entries on each side, the 3-point one in the first
// and the last interval. Expected values are worked by hand from the shipped
// tables (the weights are written beside each), so a wrong weight, a node taken
// from the wrong side or the wrong interval, or the old nearest-kelvin lookup
// fails.
class TestPartitionSumTable : public QObject
{
    Q_OBJECT

private slots:
    void handWorkedValuesOfShippedTables_data();
    void handWorkedValuesOfShippedTables();
    void wholeKelvinsGiveTheEntries();
    void shortAndConstantTables();
    void beyondTheEnds();
};

namespace {

// The shipped table q<globalId>.txt as an isotopologue's table: one "T Q" line
// per kelvin.
Isotopologue shippedTable(int globalId)
{
    Isotopologue isotopologue;
    QFile file(QStringLiteral(KOLVEX_SOURCE_DIR "/resources/hitran/TIPS/q%1.txt").arg(globalId));
    if (!file.open(QIODevice::ReadOnly))
        return isotopologue;
    std::vector<double> values;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() != 2)
            continue;
        if (values.empty())
            isotopologue.partitionSumsFirstTemperature = fields.at(0).toDouble();
        values.push_back(fields.at(1).toDouble());
    }
    isotopologue.partitionSums = PartitionSumTable(std::move(values));
    isotopologue.tipsLoaded = true;
    return isotopologue;
}

bool closeTo(double actual, double expected)
{
    return std::fabs(actual - expected) <= 1e-12 * std::fabs(expected);
}

} // namespace

void TestPartitionSumTable::handWorkedValuesOfShippedTables_data()
{
    QTest::addColumn<int>("globalId");
    QTest::addColumn<double>("kelvin");
    QTest::addColumn<double>("expected");
    // CO (q26.txt, 1 K to 9000 K):
    //   Q(1) 1.01187, Q(2) 1.18997, Q(3) 1.49442, Q(4) 1.83309, Q(5) 2.18241,
    //   Q(249) 90.40433, Q(250) 90.76628, Q(251) 91.12824, Q(252) 91.49019,
    //   Q(8998) 12076.86820, Q(8999) 12079.45170, Q(9000) 12082.03550.
    // Inside, halfway: weights -1/16, 9/16, 9/16, -1/16 on T - 1 ... T + 2 (T the
    // kelvin below): (-90.40433 + 9 x 90.76628 + 9 x 91.12824 - 91.49019) / 16.
    QTest::newRow("CO 250.5 K") << 26 << 250.5 << 90.94726;
    // Where Q bends: (-1.18997 + 9 x 1.49442 + 9 x 1.83309 - 2.18241) / 16.
    QTest::newRow("CO 3.5 K") << 26 << 3.5 << 1.660950625;
    // A quarter of the way: weights -7/128, 105/128, 35/128, -5/128 (not
    // symmetric, so nodes taken from the wrong side show):
    // (-7 x 1.18997 + 105 x 1.49442 + 35 x 1.83309 - 5 x 2.18241) / 128.
    QTest::newRow("CO 3.25 K") << 26 << 3.25 << 1.576800078125;
    // First interval, 3 points on 1, 2, 3 K: halfway 3/8, 3/4, -1/8:
    // 0.375 x 1.01187 + 0.75 x 1.18997 - 0.125 x 1.49442.
    QTest::newRow("CO 1.5 K, first interval") << 26 << 1.5 << 1.08512625;
    // A quarter of the way: 21/32, 14/32, -3/32: (21 x 1.01187 + 14 x 1.18997 - 3 x 1.49442) / 32.
    QTest::newRow("CO 1.25 K, first interval") << 26 << 1.25 << 1.0445496875;
    // Last interval, 3 points on 8998, 8999, 9000 K: halfway -1/8, 3/4, 3/8:
    // -0.125 x 12076.86820 + 0.75 x 12079.45170 + 0.375 x 12082.03550.
    QTest::newRow("CO 8999.5 K, last interval") << 26 << 8999.5 << 12080.7435625;
    // Three quarters of the way: -3/32, 14/32, 21/32:
    // (-3 x 12076.86820 + 14 x 12079.45170 + 21 x 12082.03550) / 32.
    QTest::newRow("CO 8999.75 K, last interval") << 26 << 8999.75 << 12081.389521875;
    // CF4 (q96.txt) starts at 70 K: Q(70) 9606.983906, Q(71) 9813.697355,
    // Q(72) 10021.928083; Q(2998) 893904025026.560059, Q(2999) 896736024330.239990,
    // Q(3000) 899600023552.000000.
    // 0.375 x 9606.983906 + 0.75 x 9813.697355 - 0.125 x 10021.928083.
    QTest::newRow("CF4 70.5 K, first interval") << 96 << 70.5 << 9710.150970625;
    // -0.125 x 893904025026.560059 + 0.75 x 896736024330.239990 + 0.375 x 899600023552
    // (straight between the two entries it would be 898168023941.12).
    QTest::newRow("CF4 2999.5 K, last interval") << 96 << 2999.5 << 898164023951.36;
}

void TestPartitionSumTable::handWorkedValuesOfShippedTables()
{
    QFETCH(int, globalId);
    QFETCH(double, kelvin);
    QFETCH(double, expected);
    const Isotopologue isotopologue = shippedTable(globalId);
    QVERIFY(isotopologue.partitionSums.size() > 1000);
    const double q = isotopologue.partitionSum(kelvin);
    QVERIFY2(closeTo(q, expected), qPrintable(QStringLiteral("%1 instead of %2").arg(q, 0, 'g', 17).arg(expected, 0, 'g', 17)));
}

// At a whole kelvin the table's own entry, bit for bit, at either end too.
void TestPartitionSumTable::wholeKelvinsGiveTheEntries()
{
    const Isotopologue co = shippedTable(26);
    QCOMPARE(co.partitionSumsFirstTemperature, 1.0);
    QCOMPARE(co.partitionSum(1.0), 1.01187);
    QCOMPARE(co.partitionSum(2.0), 1.18997);
    QCOMPARE(co.partitionSum(251.0), 91.12824);
    QCOMPARE(co.partitionSum(296.0), co.partitionSums[295]);
    QCOMPARE(co.partitionSum(9000.0), 12082.03550);
    const Isotopologue cf4 = shippedTable(96);
    QCOMPARE(cf4.partitionSumsFirstTemperature, 70.0);
    QCOMPARE(cf4.partitionSum(70.0), 9606.983906);
    QCOMPARE(cf4.partitionSum(3000.0), 899600023552.0);
}

// Tables too short for four points, and constant ones (what stands in for a
// missing table) that must give their constant back at any temperature.
void TestPartitionSumTable::shortAndConstantTables()
{
    QCOMPARE(PartitionSumTable({4.0}).interpolated(0.3), 4.0);
    QCOMPARE(PartitionSumTable({4.0, 6.0}).interpolated(0.25), 4.5);
    // Three entries: both intervals are end intervals. Through 1, 4, 9 (t + 1)^2:
    // at 0.5 and 1.5 the parabola gives 2.25 and 6.25 exactly.
    const PartitionSumTable square{1.0, 4.0, 9.0};
    QCOMPARE(square.interpolated(0.5), 2.25);
    QCOMPARE(square.interpolated(1.5), 6.25);
    // Four entries of a cubic, (t + 1)^3: the middle interval is 4-point and exact.
    QCOMPARE(PartitionSumTable({1.0, 8.0, 27.0, 64.0}).interpolated(1.5), 15.625);

    Isotopologue constant;
    constant.q296 = 286.09382;
    constant.partitionSums.assign(2931, constant.q296);
    for (double kelvin : {0.7, 1.5, 250.5, 296.25, 1234.567, 2929.9, 2930.5})
        QCOMPARE(constant.partitionSum(kelvin), 286.09382);
    // No table at all: Q(296 K) of the parameter file.
    Isotopologue none;
    none.q296 = 5.0;
    QCOMPARE(none.partitionSum(250.5), 5.0);
}

// A temperature that rounds to an end of the table is accepted (partitionSumCovers):
// there the end polynomial goes on for the half kelvin. Farther out the value half
// a kelvin beyond the end serves, and nothing outside the table is read.
void TestPartitionSumTable::beyondTheEnds()
{
    Isotopologue iso;
    iso.tipsLoaded = true;
    iso.partitionSumsFirstTemperature = 70.0;
    iso.partitionSums = {1.0, 4.0, 9.0, 16.0};   // (T - 69)^2
    QVERIFY(iso.partitionSumCovers(69.6));
    QCOMPARE(iso.partitionSum(69.5), 0.25);
    QCOMPARE(iso.partitionSum(73.5), 20.25);
    QVERIFY(iso.partitionSumCovers(73.4));
    QCOMPARE(iso.partitionSum(0.0), 0.25);
    QCOMPARE(iso.partitionSum(-1e300), 0.25);
    QCOMPARE(iso.partitionSum(1e300), 20.25);
    QCOMPARE(iso.partitionSum(std::numeric_limits<double>::infinity()), 20.25);
    QCOMPARE(iso.partitionSum(-std::numeric_limits<double>::infinity()), 0.25);
    QVERIFY(std::isfinite(iso.partitionSum(std::nan(""))));
    QVERIFY(!iso.partitionSumCovers(std::nan("")));
    QVERIFY(!iso.partitionSumCovers(74.0));
}

QTEST_GUILESS_MAIN(TestPartitionSumTable)
#include "tst_partitionsumtable.moc"
