#include "core/humidityconverter.h"

#include <QtTest>

#include <cmath>
#include <limits>

class TestHumidityConverter : public QObject
{
    Q_OBJECT

private slots:
    void concentration();
};

void TestHumidityConverter::concentration()
{
    QVERIFY(std::fabs(HumidityConverter::saturationVapourPressureKPa(20.0) - 2.33834) < 5e-6);
    QVERIFY(std::fabs(HumidityConverter::h2oPpmv(50.0, 20.0, 101325.0) - 11538.8) < 0.05);
    // Below freezing over ice: 0.61115 exp((23.036 + 10/333.7) (-10) / 269.82) kPa.
    QVERIFY(std::fabs(HumidityConverter::saturationVapourPressureKPa(-10.0) - 0.259947) < 5e-6);
    // No pressure or no reading gives no water rather than an infinite or NaN one.
    QCOMPARE(HumidityConverter::h2oPpmv(50.0, 20.0, 0.0), 0.0);
    QCOMPARE(HumidityConverter::h2oPpmv(std::numeric_limits<double>::quiet_NaN(), 20.0, 101325.0), 0.0);
}

QTEST_GUILESS_MAIN(TestHumidityConverter)
#include "tst_humidityconverter.moc"
