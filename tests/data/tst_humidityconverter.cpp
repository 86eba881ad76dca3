#include "data/humidityconverter.h"

#include <QtTest>

#include <cmath>
#include <limits>

// Relative humidity to water-vapour concentration (Arden Buck equation).
class TestHumidityConverter : public QObject
{
    Q_OBJECT

private slots:
    void concentration_data();
    void concentration();
};

void TestHumidityConverter::concentration_data()
{
    QTest::addColumn<double>("rh");
    QTest::addColumn<double>("celsius");
    QTest::addColumn<double>("pascal");
    QTest::addColumn<double>("saturationKPa");
    QTest::addColumn<double>("ppmv");

    QTest::newRow("50 % at 20 C, 101325 Pa") << 50.0 << 20.0 << 101325.0 << 2.33834 << 11538.8;
    QTest::newRow("saturated at 0 C uses water") << 100.0 << 0.0 << 100000.0 << 0.61121 << 6112.1;
    // Below freezing the ice branch: 0.61115 exp((23.036 + 10/333.7) (-10) / 269.82) = 0.259947 kPa.
    QTest::newRow("ice at -10 C") << 100.0 << -10.0 << 100000.0 << 0.259947 << 2599.47;
    QTest::newRow("no pressure") << 50.0 << 20.0 << 0.0 << 2.33834 << 0.0;
    QTest::newRow("unknown humidity") << std::numeric_limits<double>::quiet_NaN() << 20.0 << 101325.0 << 2.33834
                                      << 0.0;
}

void TestHumidityConverter::concentration()
{
    QFETCH(double, rh);
    QFETCH(double, celsius);
    QFETCH(double, pascal);
    QFETCH(double, saturationKPa);
    QFETCH(double, ppmv);

    QVERIFY(std::fabs(HumidityConverter::saturationVapourPressureKPa(celsius) - saturationKPa) < 5e-6);
    const double result = HumidityConverter::h2oPpmv(rh, celsius, pascal);
    QVERIFY2(std::fabs(result - ppmv) < 0.05, qPrintable(QString::number(result, 'g', 10)));
}

QTEST_GUILESS_MAIN(TestHumidityConverter)
#include "tst_humidityconverter.moc"
