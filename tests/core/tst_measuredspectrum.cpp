#include "core/measuredspectrum.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

// Reading measured spectra: units, separators, order, and every kind of bad
// input refused whole with the line and what is wrong.
class TestMeasuredSpectrum : public QObject
{
    Q_OBJECT

private slots:
    void unitsOfX_data();
    void unitsOfX();
    void quantitiesOfY();
    void separatorsAndOrder();
    void uncertainties();
    void badInput_data();
    void badInput();
    void failedReadKeepsThePreviousSpectrum();
    void onlyRegularFilesAreRead();
    void restrictToRange();
};

void TestMeasuredSpectrum::unitsOfX_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QByteArray>("x");
    QTest::addColumn<int>("unit");
    // 2500 cm-1 is 4 micron (1e4 / 2500), 4000 nm (1e7 / 2500) and
    // 2500 * 29979245800 Hz = 7.49481145e13 Hz.
    QTest::newRow("default cm-1") << QByteArray() << QByteArray("2500") << int(XAxis::Wavenumber);
    QTest::newRow("cm-1") << QByteArray("# x: cm-1\n") << QByteArray("2500") << int(XAxis::Wavenumber);
    QTest::newRow("um") << QByteArray("# x: um\n") << QByteArray("4") << int(XAxis::WavelengthMicron);
    QTest::newRow("nm") << QByteArray("#X:nm\n") << QByteArray("4000.0") << int(XAxis::WavelengthNm);
    QTest::newRow("Hz") << QByteArray("# x: Hz\n") << QByteArray("7.49481145e13") << int(XAxis::FrequencyHz);
}

void TestMeasuredSpectrum::unitsOfX()
{
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, x);
    QFETCH(int, unit);
    MeasuredSpectrum spectrum;
    QString problem;
    QVERIFY2(spectrum.parse("# my cell\n" + header + x + " 0.5\n", "m.txt", &problem), qPrintable(problem));
    QCOMPARE(spectrum.points().size(), std::size_t(1));
    QVERIFY(qAbs(spectrum.points()[0].wavenumber - 2500.0) < 1e-6);
    QCOMPARE(int(spectrum.xUnit()), unit);
    QCOMPARE(spectrum.points()[0].y, 0.5);
}

void TestMeasuredSpectrum::quantitiesOfY()
{
    const struct {
        const char *header;
        MeasuredSpectrum::Quantity quantity;
        double atTauOne;   // y at optical depth 1: exp(-1) = 0.36787944
    } cases[] = {
        {"", MeasuredSpectrum::Transmission, 0.36787944117144233},
        {"# y: transmission\n", MeasuredSpectrum::Transmission, 0.36787944117144233},
        {"# y: Transmission %\n", MeasuredSpectrum::TransmissionPercent, 36.787944117144233},
        {"# y: absorption%\n", MeasuredSpectrum::AbsorptionPercent, 63.212055882855767},
        {"# y: absorbance\n", MeasuredSpectrum::Absorbance, 1.0},
    };
    for (const auto &c : cases) {
        MeasuredSpectrum spectrum;
        QString problem;
        QVERIFY2(spectrum.parse(QByteArray(c.header) + "2100 1\n", "m.txt", &problem), qPrintable(problem));
        QCOMPARE(spectrum.quantity(), c.quantity);
        QVERIFY(qAbs(MeasuredSpectrum::fromOpticalDepth(1.0, c.quantity) - c.atTauOne) < 1e-12);
        // The slope agrees with a central difference of the conversion.
        const double h = 1e-6;
        const double numeric = (MeasuredSpectrum::fromOpticalDepth(1.0 + h, c.quantity)
                                - MeasuredSpectrum::fromOpticalDepth(1.0 - h, c.quantity))
            / (2 * h);
        QVERIFY(qAbs(MeasuredSpectrum::slopeOverOpticalDepth(1.0, c.quantity) - numeric) < 1e-6);
    }
}

void TestMeasuredSpectrum::separatorsAndOrder()
{
    // Rows in falling wavelength order with every separator; CRLF line ends,
    // a byte-order mark, blank lines and a comment between the rows.
    const QByteArray text = "\xef\xbb\xbf# x: um\r\n"
                            "5.0\t0.9\r\n"
                            "\r\n"
                            "4.0 ,0.8\r\n"
                            "# a comment among the rows\n"
                            "2.5;0.7;\n"
                            "2.0  \t 0.6\n";
    MeasuredSpectrum spectrum;
    QString problem;
    QVERIFY2(spectrum.parse(text, "m.txt", &problem), qPrintable(problem));
    QCOMPARE(spectrum.points().size(), std::size_t(4));
    // 1e4 / (5, 4, 2.5, 2) micron = 2000, 2500, 4000, 5000 cm-1: rising.
    const double expected[4][2] = {{2000, 0.9}, {2500, 0.8}, {4000, 0.7}, {5000, 0.6}};
    for (int i = 0; i < 4; ++i) {
        QVERIFY(qAbs(spectrum.points()[std::size_t(i)].wavenumber - expected[i][0]) < 1e-9);
        QCOMPARE(spectrum.points()[std::size_t(i)].y, expected[i][1]);
    }
    QVERIFY(!spectrum.hasUncertainties());
}

void TestMeasuredSpectrum::uncertainties()
{
    MeasuredSpectrum spectrum;
    QString problem;
    QVERIFY2(spectrum.parse("2101,0.5,0.01\n2100,0.4,0.02\n", "m.txt", &problem), qPrintable(problem));
    QVERIFY(spectrum.hasUncertainties());
    QCOMPARE(spectrum.points()[0].sigma, 0.02);
    QCOMPARE(spectrum.points()[1].sigma, 0.01);
}

void TestMeasuredSpectrum::badInput_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("expected");   // part of the message
    QTest::newRow("empty") << QByteArray() << QString("holds no data rows");
    QTest::newRow("comments only") << QByteArray("# x: cm-1\n# nothing\n") << QString("holds no data rows");
    QTest::newRow("one number") << QByteArray("2100 0.5\n2101\n") << QString("line 2: 1 number(s)");
    QTest::newRow("four numbers") << QByteArray("2100 0.5 0.1 7\n") << QString("line 1: 4 number(s)");
    QTest::newRow("word") << QByteArray("# h\n2100 abc\n") << QString("line 2: \"abc\" (y) is not a number");
    QTest::newRow("decimal comma") << QByteArray("2100;0,5;0,1\n") << QString("line 1: 5 number(s)");
    QTest::newRow("empty field") << QByteArray("2100,,0.5\n") << QString("line 1: an empty field");
    QTest::newRow("leading separator") << QByteArray(";2100;0.5\n") << QString("line 1: an empty field");
    QTest::newRow("nan") << QByteArray("2100 nan\n") << QString("line 1: y is not a finite number");
    QTest::newRow("inf") << QByteArray("2100 0.5\ninf 0.5\n") << QString("line 2: x is not a finite number");
    QTest::newRow("mixed columns") << QByteArray("2100 0.5 0.1\n2101 0.5\n")
                                   << QString("line 2: 2 numbers, but the rows before have 3 (line 1)");
    QTest::newRow("zero sigma") << QByteArray("2100 0.5 0\n") << QString("line 1: the uncertainty 0 is not above");
    QTest::newRow("negative sigma") << QByteArray("2100 0.5 -0.1\n") << QString("the uncertainty -0.1 is not");
    QTest::newRow("negative wavenumber") << QByteArray("-5 0.5\n") << QString("line 1: x = -5 cm-1");
    QTest::newRow("zero wavelength") << QByteArray("# x: nm\n0 0.5\n") << QString("line 2: x = 0 nm");
    QTest::newRow("unknown x unit") << QByteArray("# x: furlong\n1 1\n") << QString("line 1: unknown x unit \"furlong\"");
    QTest::newRow("unknown y") << QByteArray("# y: radiance\n1 1\n") << QString("line 1: unknown y quantity");
    QTest::newRow("contradiction") << QByteArray("# x: nm\n# x: um\n1 1\n")
                                   << QString("line 2: the x unit \"um\" contradicts the one on line 1");
    QTest::newRow("unit after data") << QByteArray("2100 1\n# y: absorbance\n2101 1\n")
                                     << QString("line 2: the y unit is stated after the data rows");
    QTest::newRow("binary") << QByteArray("2100 1\n\0\1\2", 10) << QString("not a text file");
}

void TestMeasuredSpectrum::badInput()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, expected);
    MeasuredSpectrum spectrum;
    QString problem;
    QVERIFY(!spectrum.parse(text, "bad.txt", &problem));
    QVERIFY2(problem.contains(expected), qPrintable(problem));
    QVERIFY2(problem.startsWith("bad.txt"), qPrintable(problem));
    QVERIFY(problem.contains("Nothing was loaded"));
    QVERIFY(spectrum.isEmpty());
}

void TestMeasuredSpectrum::failedReadKeepsThePreviousSpectrum()
{
    // A file whose fault lies at its end loads none of its rows: the spectrum
    // read before stays whole.
    MeasuredSpectrum spectrum;
    QString problem;
    QVERIFY(spectrum.parse("# y: absorbance\n2100 0.25\n2101 0.5\n", "good.txt", &problem));
    QVERIFY(!spectrum.parse("2200 0.9\n2201 0.8\n2202 x\n", "bad.txt", &problem));
    QCOMPARE(spectrum.points().size(), std::size_t(2));
    QCOMPARE(spectrum.points()[0].y, 0.25);
    QCOMPARE(spectrum.quantity(), MeasuredSpectrum::Absorbance);
    QCOMPARE(spectrum.name(), QString("good.txt"));
}

void TestMeasuredSpectrum::onlyRegularFilesAreRead()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString fifo = dir.filePath("fifo.txt");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    MeasuredSpectrum spectrum;
    QString problem;
    QVERIFY(!spectrum.read(fifo, &problem));
    QVERIFY2(problem.contains("fifo.txt"), qPrintable(problem));
    QVERIFY(!spectrum.read(dir.path(), &problem));
    QVERIFY(!spectrum.read(dir.filePath("missing.txt"), &problem));
    QVERIFY2(problem.contains("missing.txt"), qPrintable(problem));

    QFile file(dir.filePath("good.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("# x: nm\n4000 0.5\n");
    file.close();
    QVERIFY2(spectrum.read(file.fileName(), &problem), qPrintable(problem));
    QCOMPARE(spectrum.name(), QString("good.txt"));
    QVERIFY(qAbs(spectrum.points()[0].wavenumber - 2500.0) < 1e-9);
}

void TestMeasuredSpectrum::restrictToRange()
{
    MeasuredSpectrum spectrum;
    QString problem;
    QVERIFY(spectrum.parse("1999 1\n2000 1\n2150 1\n2300 1\n2300.5 1\n", "m.txt", &problem));
    QCOMPARE(spectrum.restrictTo(2000.0, 2300.0), std::size_t(2));
    QCOMPARE(spectrum.points().size(), std::size_t(3));
    QCOMPARE(spectrum.points().front().wavenumber, 2000.0);
    QCOMPARE(spectrum.points().back().wavenumber, 2300.0);
}

QTEST_GUILESS_MAIN(TestMeasuredSpectrum)
#include "tst_measuredspectrum.moc"
