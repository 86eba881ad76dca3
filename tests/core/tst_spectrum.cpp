#include "core/linerecord.h"
#include "core/spectrum.h"

#include <QtTest>

#include <algorithm>
#include <cstddef>
#include <vector>

// Spectra are sized without their zeros being written, so that each page is
// first written by the thread that adds lines to it: the values must still read
// as zero wherever nothing was added, whatever the memory held before.
class TestSpectrum : public QObject
{
    Q_OBJECT

private slots:
    void resetValuesReadsAsZero_data();
    void resetValuesReadsAsZero();
    void freedValuesAreNotSeenAgain();
    void batchBuffersKeepTheirRecords();
};

namespace {

bool allZero(const SpectrumValues &values)
{
    return std::all_of(values.begin(), values.end(), [](double value) { return value == 0.0; });
}

} // namespace

void TestSpectrum::resetValuesReadsAsZero_data()
{
    QTest::addColumn<int>("points");
    QTest::newRow("a short grid (heap)") << 1000;
    QTest::newRow("a million points (mapped)") << 1000000;
}

void TestSpectrum::resetValuesReadsAsZero()
{
    QFETCH(int, points);
    Spectrum spectrum;
    spectrum.auxValues = {1.0, 2.0};
    for (int round = 0; round < 3; ++round) {
        spectrum.resetValues(std::size_t(points));
        QCOMPARE(spectrum.values.size(), std::size_t(points));
        QVERIFY(spectrum.auxValues.empty());
        QVERIFY2(allZero(spectrum.values), qPrintable(QStringLiteral("round %1").arg(round)));
        std::fill(spectrum.values.begin(), spectrum.values.end(), 7.5);
    }
    // Grown again with an explicit value, as the totals are, a vector that held
    // values before reads as zero where it grew.
    spectrum.values.resize(std::size_t(points) / 2);
    spectrum.values.resize(std::size_t(points), 0.0);
    QCOMPARE(spectrum.values.front(), 7.5);
    QVERIFY(std::all_of(spectrum.values.begin() + points / 2, spectrum.values.end(),
                        [](double value) { return value == 0.0; }));
}

void TestSpectrum::freedValuesAreNotSeenAgain()
{
    // The heap hands a freed block of the same size straight back; its old
    // values must not show through a vector sized without a value.
    for (int round = 0; round < 20; ++round) {
        {
            SpectrumValues used(4096);
            std::fill(used.begin(), used.end(), -3.25);
        }
        SpectrumValues fresh;
        fresh.resize(4096);
        QVERIFY2(allZero(fresh), qPrintable(QStringLiteral("round %1").arg(round)));
        const SpectrumValues counted(4096);
        QVERIFY(allZero(counted));
    }
}

// Line batches grow from heap blocks into huge-page mappings and shrink back;
// each block goes back the way it came (a mapping freed as a heap block would
// end the program) and the records survive every move.
void TestSpectrum::batchBuffersKeepTheirRecords()
{
    LineBatch batch;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 30000; ++i) {
            LineRecord record;
            record.molecule = 1 + i % 49;
            record.wavenumber = 1000.0 + 0.01 * i;
            batch.push_back(record);
        }
        QVERIFY(batch.capacity() * sizeof(LineRecord) > BufferAllocator<LineRecord>::hugePagesFrom);
        for (int i = 0; i < 30000; i += 997) {
            QCOMPARE(batch[std::size_t(i)].molecule, 1 + i % 49);
            QCOMPARE(batch[std::size_t(i)].wavenumber, 1000.0 + 0.01 * i);
        }
        batch.resize(100);
        batch.shrink_to_fit();
        QCOMPARE(batch.back().wavenumber, 1000.0 + 0.01 * 99);
        batch.clear();
        batch.shrink_to_fit();
    }
}

QTEST_GUILESS_MAIN(TestSpectrum)
#include "tst_spectrum.moc"
