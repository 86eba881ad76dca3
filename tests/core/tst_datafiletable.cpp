#include "core/calculationresults.h"
#include "core/spectrum.h"
#include "core/xaxis.h"

#include <QStringList>
#include <QtTest>

#include <limits>

// The data file's table tells no more than the results hold: a value the
// calculation did not produce (outside the instrument function's valid rows,
// beyond the point a cancelled calculation reached) is written "nan", so
// that a plotting tool shows a gap, and the header counts the valid points.
class TestDataFileTable : public QObject
{
    Q_OBJECT

private slots:
    void pointsWithoutResultAreNan();

private:
    // Results on the grid 2000, 2001, ..., 2010 cm-1 (11 points): the grid
    // columns, a molecule's transmission of 50 % everywhere and an
    // instrument-function total of 100 % that is data from row 2 to row 8 only.
    static void fill(CalculationResults &results);
    // The table's rows after the header: one QStringList of fields per row.
    static QList<QStringList> rows(const QString &text);
};

void TestDataFileTable::fill(CalculationResults &results)
{
    XAxis axis(XAxis::Wavenumber, 2000.0, 2010.0, 11);
    axis.buildGrid();
    results.setCalculationConditions(296.0, 1.0, 1.0, {QStringLiteral("CO")}, {1.0}, nullptr, axis);
    results.setQuantity(QStringLiteral("Transmission, %"));
    results.addGridColumn(11, [](std::size_t i) { return 2000.0 + double(i); }, QStringLiteral("Wavenumber, cm-1"));
    results.addGridColumn(11, [](std::size_t i) { return 1e4 / (2000.0 + double(i)); },
                          QStringLiteral("Wavelength, micron"));
    results.addColumn(std::vector<double>(11, 50.0), QStringLiteral("CO"));
    results.addColumn(std::vector<double>(11, 100.0), QStringLiteral("Instr. funct. Total"), 2, 8);
}

QList<QStringList> TestDataFileTable::rows(const QString &text)
{
    QList<QStringList> found;
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (int i = 0; i < lines.size(); ++i) {
        // The "#" lines and the line of titles come first.
        if (lines[i].startsWith(QLatin1Char('#')) || lines[i].startsWith(QLatin1String("Wavenumber")))
            continue;
        found << lines[i].split(QLatin1Char('\t'));
    }
    return found;
}

void TestDataFileTable::pointsWithoutResultAreNan()
{
    CalculationResults results;
    fill(results);
    // Cancelled at 2006.5 cm-1: rows 7 to 10 (2007-2010 cm-1) lie beyond it.
    results.setCancelledAt(2006.5);
    const QString text = results.dataFileText();
    const QList<QStringList> table = rows(text);
    QCOMPARE(table.size(), 11);
    for (int r = 0; r < 11; ++r) {
        QCOMPARE(table[r].size(), 4);
        // The grid is written on every row, also beyond the cancel point.
        QCOMPARE(table[r][0], QString::number(2000 + r));
        QVERIFY2(table[r][1] != QLatin1String("nan"), qPrintable(table[r].join(QLatin1Char(' '))));
        const bool reached = r <= 6;
        QCOMPARE(table[r][2], reached ? QStringLiteral("50") : QStringLiteral("nan"));
        // The instrument column: rows 2 to 8 valid, and of those 2 to 6 reached.
        QCOMPARE(table[r][3], reached && r >= 2 ? QStringLiteral("100") : QStringLiteral("nan"));
    }
    // Valid: CO rows 0-6 (7 points); the instrument column rows 2-6 (5 points).
    QVERIFY2(text.contains(QLatin1String("# Valid points of 11 (the others are written as nan): CO 7, "
                                         "Instr. funct. Total 5.\n")),
             qPrintable(text.left(600)));
    QVERIFY(text.contains(QStringLiteral("# Cancelled at 2006.5 cm⁻¹")));
}

QTEST_GUILESS_MAIN(TestDataFileTable)
#include "tst_datafiletable.moc"
