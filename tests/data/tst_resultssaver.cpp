#include "calc/radiancecalculator.h"
#include "core/calculationresults.h"
#include "core/spectrum.h"
#include "data/resultssaver.h"
#include "failingfilewriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

class TestResultsSaver : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void dataFileFormat();
    void dataFileNotWritable();
    void headerAndFileNames();
    void textForms_data();
    void textForms();
    void radianceStaysFinite();

private:
    void fillColumns(CalculationResults &results) const;
    QTemporaryDir m_folder;
};

void TestResultsSaver::init()
{
    QLocale::setDefault(QLocale::c());
    QVERIFY(m_folder.isValid());
}

void TestResultsSaver::cleanup()
{
    QLocale::setDefault(QLocale::c());
}

void TestResultsSaver::fillColumns(CalculationResults &results) const
{
    results.addColumn({2000.0, 2000.5, 2001.0}, QStringLiteral("Wavenumber, cm-1"));
    results.addColumn({5.0, 4.99875, 4.9975}, QStringLiteral("Wavelength, micron"));
    results.addColumn({1.0 / 3.0, 1234567.891, 0.0}, QStringLiteral("CO"));
    results.addColumn({1e-21, 2.5e-22, -3.0}, QStringLiteral("CO2"));
}

// A title line joined by tabs, then one line per grid point, numbers with eight
// significant digits, no digit grouping.
void TestResultsSaver::dataFileFormat()
{
    CalculationResults results;
    ResultsSaver saver(&results);
    saver.setOutputFolder(m_folder.path());
    fillColumns(results);
    saver.prepareFileNames(QDateTime(QDate(2026, 3, 7), QTime(9, 5, 1)));
    QVERIFY(saver.writeDataFile());
    QFile file(saver.dataFilePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    // Every point of every column holds a result: the header says so.
    QCOMPARE(QString::fromUtf8(file.readAll()),
             QStringLiteral("# Valid points: all 3.\n"
                            "Wavenumber, cm-1\tWavelength, micron\tCO\tCO2\n"
                            "2000\t5\t0.33333333\t1e-21\n"
                            "2000.5\t4.99875\t1234567.9\t2.5e-22\n"
                            "2001\t4.9975\t0\t-3\n"));

    // What the results are comes first, on lines that table readers skip as
    // comments: the quantity, a cancel, sample lines, how they were obtained.
    results.setQuantity(QStringLiteral("Absorption (%)"));
    results.setCancelledAt(2150.25);
    results.setSampleLines(true);
    results.setDescription({QStringLiteral("Path length 1 km")});
    QVERIFY(results.dataFileText().startsWith(
        QStringLiteral("# Kolvex spectra: Absorption (%)\n"
                       "# Cancelled at 2150.25 cm⁻¹: the calculation was stopped, lines beyond this wavenumber "
                       "are missing.\n"
                       "# Calculated from the sample lines shipped with Kolvex, not the HITRAN database.\n"
                       "# Path length 1 km\n"
                       "# Valid points: all 3.\n"
                       "Wavenumber, cm-1\tWavelength, micron\tCO\tCO2\n2000\t")));
    QCOMPARE(results.marks(), (QStringList{QStringLiteral("Cancelled at 2150.25 cm⁻¹"),
                                           QStringLiteral("Sample lines, not the HITRAN database")}));
    results = CalculationResults();
    fillColumns(results);

    // Cleared columns give a file with an empty title line and no rows.
    results.clearColumns();
    QCOMPARE(results.columnCount(), 0);
    QCOMPARE(results.dataFileText(), QStringLiteral("\n"));
}

// A folder that is not there, and a disk that fills up part-way: no file is
// left behind, neither the data file nor the image, and the reason is given.
void TestResultsSaver::dataFileNotWritable()
{
    CalculationResults results;
    ResultsSaver saver(&results);
    fillColumns(results);
    QVERIFY(!saver.writeDataFile(m_folder.path() + QStringLiteral("/missing/folder/data.txt")));

    QTemporaryDir folder;
    FailingFileWriter fullDisk(40);
    saver.setFileWriter(&fullDisk);
    saver.setOutputFolder(folder.path());
    saver.prepareFileNames(QDateTime(QDate(2026, 3, 7), QTime(9, 5, 1)));
    QVERIFY(!saver.writeDataFile());
    QVERIFY(!saver.writeImageFile(QByteArray(100, 'p')));
    QCOMPARE(saver.writeError(), QStringLiteral("No space left on device"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    saver.setFileWriter(nullptr);
    QVERIFY(saver.writeImageFile(QByteArray(100, 'p')));
    QCOMPARE(QFileInfo(saver.imageFilePath()).size(), 100);
}

void TestResultsSaver::headerAndFileNames()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    CalculationResults results;
    ResultsSaver saver(&results);
    saver.setOutputFolder(QStringLiteral("/results"));
    XAxis grid(XAxis::Wavenumber, 2000.0, 2300.0, 4);
    results.setCalculationConditions(288.15, 0.98692, 12345.5, {}, {}, nullptr, grid);
    saver.prepareFileNames(QDateTime(QDate(2026, 3, 7), QTime(9, 5, 1)));
    QCOMPARE(saver.headerText(), QStringLiteral("12345,5 meters;   288,15 Kelvin;   0,98692 Atm;"));
    QCOMPARE(saver.baseName(), QStringLiteral("kolvex-03_07_2026-09_05_01"));
    QCOMPARE(saver.imageFilePath(), QStringLiteral("/results/kolvex-03_07_2026-09_05_01.png"));
    QCOMPARE(saver.dataFilePath(), QStringLiteral("/results/kolvex-03_07_2026-09_05_01.txt"));
    QCOMPARE(saver.configFilePath(), QStringLiteral("/results/kolvex-03_07_2026-09_05_01-config.txt"));
}

void TestResultsSaver::textForms_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    // "CO" names CO's column, never CO2's that follows it.
    QTest::newRow("CO is not CO2") << "co" << "3.3E-01;1.2E+06;0.0E+00";
    QTest::newRow("CO2") << "CO2" << "1.0E-21;2.5E-22;-3.0E+00";
    QTest::newRow("prefix before a blank") << "Wavenumber," << "2.0E+03;2.0E+03;2.0E+03";
    QTest::newRow("prefix before a comma") << "Wavenumber" << "";
    QTest::newRow("exact") << "wavelength, MICRON" << "5.0E+00;5.0E+00;5.0E+00";
    QTest::newRow("no match") << "H2O" << "";
}

void TestResultsSaver::textForms()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    CalculationResults results;
    fillColumns(results);
    QCOMPARE(results.spectrumText(name, QStringLiteral(";"), 'E', 1), expected);

    results.setCalculationConditions(296.0, 1.0, 1.0, {}, {}, nullptr, XAxis(XAxis::Wavenumber, 2000.0, 2001.0, 3));
    QCOMPARE(results.gridText(QStringLiteral(", "), 'f', 2), QStringLiteral("2000.00, 2000.50, 2001.00"));
}

// Radiance at wavenumber 0, at 0 K, and of huge optical depths is finite.
void TestResultsSaver::radianceStaysFinite()
{
    Spectrum tau;
    tau.values = {0.0, 1.0, 1e300, 5.0};
    Spectrum radiance;
    radiance.values = {9.0};
    RadianceCalculator calculator;
    calculator.calculate(tau, radiance, {0.0, 1e-300, 2000.0, 50000.0}, 296.0);
    QCOMPARE(radiance.values.size(), std::size_t(4));
    for (double value : radiance.values)
        QVERIFY(std::isfinite(value) && value >= 0.0);
    QCOMPARE(radiance.values[0], 0.0);
    QVERIFY(radiance.values[2] > 0.0);
    calculator.calculate(tau, radiance, {0.0, 1e-300, 2000.0, 50000.0}, 0.0);
    QCOMPARE(radiance.values, SpectrumValues(4, 0.0));
}

QTEST_GUILESS_MAIN(TestResultsSaver)
#include "tst_resultssaver.moc"
