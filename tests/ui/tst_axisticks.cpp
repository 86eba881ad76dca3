#include "ui/axisticks.h"

#include <QtTest>

#include <cmath>
#include <random>

// The ticks of the plot's axes over ranges a user meets, worked out by hand:
// the step is the smallest of 1, 2 or 5 times a power of ten that gives four
// to eight major ticks inside the range.
class TestAxisTicks : public QObject
{
    Q_OBJECT

private slots:
    void handWorkedRanges_data();
    void handWorkedRanges();
    void minorTicksFillTheSteps();
    void titleCarriesTheSharedPower_data();
    void titleCarriesTheSharedPower();
    void everyRangeGetsRoundReadableTicks();
    void narrowAxesTakeFewerTicks();
    void rangeWithoutWidth();
};

void TestAxisTicks::handWorkedRanges_data()
{
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::addColumn<int>("maxMajor");
    QTest::addColumn<double>("step");
    QTest::addColumn<int>("exponent");
    QTest::addColumn<QStringList>("labels");

    // 2500 cm-1 wide: steps of 200 give 13 ticks, of 500 six.
    QTest::newRow("cm-1, 1000-3500") << 1000.0 << 3500.0 << 8 << 500.0 << 0
                                     << QStringList{"1000", "1500", "2000", "2500", "3000", "3500"};
    // 300 wide: 20 gives 16 ticks, 50 gives seven.
    QTest::newRow("cm-1, 2000-2300") << 2000.0 << 2300.0 << 8 << 50.0 << 0
                                     << QStringList{"2000", "2050", "2100", "2150", "2200", "2250", "2300"};
    // The same on a narrow axis that holds four labels: steps of 100.
    QTest::newRow("cm-1, 2000-2300, narrow") << 2000.0 << 2300.0 << 4 << 100.0 << 0
                                             << QStringList{"2000", "2100", "2200", "2300"};
    // The view 2068-2600: 50 would give 11 ticks, 100 gives six (2100-2600).
    QTest::newRow("cm-1, 2068-2600") << 2068.0 << 2600.0 << 8 << 100.0 << 0
                                     << QStringList{"2100", "2200", "2300", "2400", "2500", "2600"};
    // A deep zoom: 0.6 wide, tenths give seven ticks with one decimal each.
    QTest::newRow("cm-1, zoomed to 2100.3-2100.9") << 2100.3 << 2100.9 << 8 << 0.1 << 0
        << QStringList{"2100.3", "2100.4", "2100.5", "2100.6", "2100.7", "2100.8", "2100.9"};
    // 1000-3500 cm-1 in um: 2.857-10; halves give 15 ticks, whole um eight.
    QTest::newRow("um, 2.857-10") << 10000.0 / 3500.0 << 10.0 << 8 << 1.0 << 0
                                  << QStringList{"3", "4", "5", "6", "7", "8", "9", "10"};
    // 2000-2300 cm-1 in nm: 4347.8-5000; 100 nm gives seven ticks (4400-5000).
    QTest::newRow("nm, 4347.8-5000") << 1e7 / 2300.0 << 5000.0 << 8 << 100.0 << 0
        << QStringList{"4400", "4500", "4600", "4700", "4800", "4900", "5000"};
    // 1000-3500 cm-1 in Hz: 2.998e13-1.049e14; steps of 1e13 give eight ticks,
    // labelled in the shared power 10^13.
    QTest::newRow("Hz, 3.0e13-1.05e14") << 1000.0 * 29979245800.0 << 3500.0 * 29979245800.0 << 8 << 1e13 << 13
                                        << QStringList{"3", "4", "5", "6", "7", "8", "9", "10"};
    // 2000-2300 cm-1 in Hz: 5.996e13-6.895e13; steps of 1e12 would give 9, 2e12 five.
    QTest::newRow("Hz, 6.0e13-6.9e13") << 2000.0 * 29979245800.0 << 2300.0 * 29979245800.0 << 8 << 2e12 << 12
                                       << QStringList{"60", "62", "64", "66", "68"};
    // Optical depth 0-1e-6: 1e-7 gives 11 ticks, 2e-7 six, in the power 10^-7.
    QTest::newRow("optical depth 0-1e-6") << 0.0 << 1e-6 << 8 << 2e-7 << -7
                                          << QStringList{"0", "2", "4", "6", "8", "10"};
    // 0-0.01: steps of 0.002 need three decimals, which stay plain.
    QTest::newRow("optical depth 0-0.01") << 0.0 << 0.01 << 8 << 0.002 << 0
        << QStringList{"0.000", "0.002", "0.004", "0.006", "0.008", "0.010"};
    QTest::newRow("transmission 0-100 %") << 0.0 << 100.0 << 8 << 20.0 << 0
                                          << QStringList{"0", "20", "40", "60", "80", "100"};
    // A fitted transmission scale 37.5-100: tens give seven ticks from 40.
    QTest::newRow("transmission 37.5-100 %") << 37.5 << 100.0 << 8 << 10.0 << 0
                                             << QStringList{"40", "50", "60", "70", "80", "90", "100"};
    // Around zero the labels keep one decimal and zero carries no sign.
    QTest::newRow("-1 to 1") << -1.0 << 1.0 << 8 << 0.5 << 0 << QStringList{"-1.0", "-0.5", "0.0", "0.5", "1.0"};
    // A range given from its larger end comes out the same.
    QTest::newRow("given in reverse") << 3500.0 << 1000.0 << 8 << 500.0 << 0
                                      << QStringList{"1000", "1500", "2000", "2500", "3000", "3500"};
    // 0.1-19.9: steps of 2 give nine ticks, of 5 three; the three within
    // eight are taken rather than too many to read.
    QTest::newRow("no step gives four to eight") << 0.1 << 19.9 << 8 << 5.0 << 0 << QStringList{"5", "10", "15"};
}

void TestAxisTicks::handWorkedRanges()
{
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(int, maxMajor);
    QFETCH(double, step);
    QFETCH(int, exponent);
    QFETCH(QStringList, labels);
    const AxisTicks ticks = AxisTicks::forRange(from, to, maxMajor);
    QVERIFY2(std::fabs(ticks.step() - step) <= 1e-9 * step, qPrintable(QString::number(ticks.step(), 'g', 17)));
    QCOMPARE(ticks.exponent(), exponent);
    QCOMPARE(ticks.labels(), labels);
    QCOMPARE(int(ticks.major().size()), labels.size());
    // Each tick lies in the range and is a whole multiple of the step.
    for (double value : ticks.major()) {
        QVERIFY(value >= std::min(from, to) - 1e-9 * std::fabs(step) && value <= std::max(from, to) + 1e-9 * std::fabs(step));
        QVERIFY(std::fabs(value / step - std::round(value / step)) < 1e-6);
    }
}

void TestAxisTicks::minorTicksFillTheSteps()
{
    // 1000-3500 by 500: minor ticks every 100, 26 multiples of 100 minus the six majors.
    const AxisTicks wide = AxisTicks::forRange(1000.0, 3500.0);
    QCOMPARE(wide.minorStep(), 100.0);
    QCOMPARE(int(wide.minor().size()), 20);
    QCOMPARE(wide.minor().front(), 1100.0);
    // Steps of 2 are cut in quarters: 0-1e-6 by 2e-7 has minor ticks every
    // 5e-8, 21 multiples minus six majors; steps of 1 in fifths.
    const AxisTicks quarters = AxisTicks::forRange(0.0, 1e-6);
    QCOMPARE(int(quarters.minor().size()), 15);
    QVERIFY(std::fabs(quarters.minor().front() - 5e-8) < 1e-20);
    // Before the first major tick and after the last, up to the ends.
    const AxisTicks fitted = AxisTicks::forRange(37.5, 100.0);
    QCOMPARE(fitted.minorStep(), 2.0);
    QCOMPARE(fitted.minor().front(), 38.0);
}

void TestAxisTicks::titleCarriesTheSharedPower_data()
{
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::addColumn<QString>("plainTitle");
    QTest::addColumn<QString>("title");
    QTest::newRow("Hz") << 3e13 << 1.04e14 << QStringLiteral("Frequency, Hz") << QStringLiteral("Frequency, 10¹³ Hz");
    QTest::newRow("cross-section") << 0.0 << 1e-20 << QStringLiteral("Cross-section, cm²/molecule")
                                   << QStringLiteral("Cross-section, 10⁻²¹ cm²/molecule");
    QTest::newRow("no unit") << 0.0 << 1e-6 << QStringLiteral("Optical depth") << QStringLiteral("Optical depth, ×10⁻⁷");
    QTest::newRow("plain labels leave the title") << 1000.0 << 3500.0 << QStringLiteral("Wavenumber, cm⁻¹")
                                                  << QStringLiteral("Wavenumber, cm⁻¹");
}

void TestAxisTicks::titleCarriesTheSharedPower()
{
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(QString, plainTitle);
    QFETCH(QString, title);
    QCOMPARE(AxisTicks::forRange(from, to).title(plainTitle), title);
}

// Ranges of every size and place: never more than eight major ticks, rarely
// fewer than four, each a whole multiple of a step of 1, 2 or 5 times a power
// of ten, and the labels along an axis all different with the same number of
// decimals.
void TestAxisTicks::everyRangeGetsRoundReadableTicks()
{
    std::mt19937 random(28);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    std::uniform_int_distribution<int> power(-25, 15);
    std::uniform_real_distribution<double> offset(-3.0, 3.0);
    int fewerThanFour = 0;
    const int ranges = 5000;
    for (int n = 0; n < ranges; ++n) {
        const double span = mantissa(random) * std::pow(10.0, power(random));
        const double from = offset(random) * span;
        const AxisTicks ticks = AxisTicks::forRange(from, from + span);
        const int count = int(ticks.major().size());
        const QString context = QStringLiteral("%1 to %2").arg(from, 0, 'g', 17).arg(from + span, 0, 'g', 17);
        QVERIFY2(count >= 3 && count <= 8, qPrintable(context));
        fewerThanFour += count < 4 ? 1 : 0;
        const double decade = std::pow(10.0, std::floor(std::log10(ticks.step())));
        const double multiple = ticks.step() / decade;
        QVERIFY2(std::fabs(multiple - 1.0) < 1e-9 || std::fabs(multiple - 2.0) < 1e-9 || std::fabs(multiple - 5.0) < 1e-9,
                 qPrintable(context));
        QCOMPARE(QSet<QString>(ticks.labels().begin(), ticks.labels().end()).size(), count);
        const auto decimalsOf = [](const QString &label) {
            const int point = label.indexOf(QLatin1Char('.'));
            return point < 0 ? 0 : label.size() - point - 1;
        };
        for (const QString &label : ticks.labels()) {
            QCOMPARE(decimalsOf(label), decimalsOf(ticks.labels().first()));
            QVERIFY2(label.size() <= 8, qPrintable(context + QStringLiteral(": ") + label));
        }
    }
    // Three ticks only where no step gives four to eight (spans of 16 to 20 steps of 1).
    QVERIFY2(fewerThanFour < ranges / 20, qPrintable(QString::number(fewerThanFour)));
}

void TestAxisTicks::narrowAxesTakeFewerTicks()
{
    // Labels of 40 pixels with their gap: 420 pixels hold 11, so eight; 130 hold 4.
    QCOMPARE(AxisTicks::majorCountFor(420.0, 40.0), 8);
    QCOMPARE(AxisTicks::majorCountFor(200.0, 40.0), 6);
    QCOMPARE(AxisTicks::majorCountFor(50.0, 40.0), 4);
    QCOMPARE(AxisTicks::majorCountFor(300.0, 0.0), 4);
    QVERIFY(AxisTicks::forRange(2000.0, 2300.0, 5).major().size() <= 5);
}

void TestAxisTicks::rangeWithoutWidth()
{
    const AxisTicks flat = AxisTicks::forRange(5.0, 5.0);
    QCOMPARE(flat.labels(), QStringList{"5"});
    QCOMPARE(int(flat.minor().size()), 0);
    const AxisTicks broken = AxisTicks::forRange(0.0, qQNaN());
    QCOMPARE(int(broken.major().size()), 1);
    QVERIFY(AxisTicks::forRange(-qInf(), qInf()).title(QStringLiteral("x")) == QStringLiteral("x"));
    // A span beyond the largest double, and one too narrow for its values to
    // be counted in steps (1e20 to 1e20 + 98304: 5e15 steps of 2e4 from zero):
    // no overflow, the ends as they are.
    QCOMPARE(int(AxisTicks::forRange(-1e308, 1e308).major().size()), 1);
    const AxisTicks narrow = AxisTicks::forRange(1e20, 1e20 + 1e5);
    QCOMPARE(int(narrow.major().size()), 2);
    QCOMPARE(narrow.labels().first(), QStringLiteral("1e+20"));
    QCOMPARE(int(narrow.minor().size()), 0);
    // The smallest scale an automatic maximum gives a curve of zeros (half of
    // 1e-308): steps down to 1e-309, among the numbers below the normal range.
    const AxisTicks tiny = AxisTicks::forRange(0.0, 5e-309);
    QCOMPARE(tiny.labels(), (QStringList{"0", "1", "2", "3", "4", "5"}));
    QCOMPARE(tiny.exponent(), -309);
    QVERIFY(tiny.minor().size() > 0);
}

QTEST_GUILESS_MAIN(TestAxisTicks)
#include "tst_axisticks.moc"
