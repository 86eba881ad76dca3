#include "calc/lbl.h"
#include "calc/linebylinerun.h"
#include "core/linefeed.h"
#include "core/params.h"
#include "core/spectraset.h"
#include "core/xaxis.h"
#include "lblundertest.h"

#include <QtTest>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>

namespace {

// A feed of one batch that, asked for the next (which the calculation does
// while it adds the first part of a batch), sets the cancel flag instead:
// a cancel that comes in the middle of a batch.
class CancellingFeed : public LineFeed
{
public:
    CancellingFeed(LineBatch batch, std::atomic<bool> *cancel)
        : m_batch(std::move(batch))
        , m_cancel(cancel)
    {
    }
    bool next(LineBatch &batch) override
    {
        ++calls;
        batch.clear();
        if (calls == 1) {
            batch = m_batch;
            return true;
        }
        m_cancel->store(true);
        return false;
    }
    qint64 expectedRecordCount() const override { return qint64(m_batch.size()); }

    int calls = 0;

private:
    LineBatch m_batch;
    std::atomic<bool> *m_cancel;
};

// Every record of a batch, once.
class OneBatch : public LineFeed
{
public:
    explicit OneBatch(LineBatch batch)
        : m_batch(std::move(batch))
    {
    }
    bool next(LineBatch &batch) override
    {
        batch.swap(m_batch);
        m_batch.clear();
        return !batch.empty();
    }
    qint64 expectedRecordCount() const override { return 0; }

private:
    LineBatch m_batch;
};

} // namespace

// How the engine runs: batch after batch with its progress, on one thread or
// several with the same sums, and how a cancel ends it.
class TestLblRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void batchesAndProgress();
    void immediateSourceAndThreadsGiveSameSums();
    void cancelKeepsPartialResults();
    void cancelInsideABatchStopsAtALine();

private:
    LblUnderTest m_engine;
    Params *m_params = &m_engine.params();
};

void TestLblRun::initTestCase()
{
    QVERIFY(m_engine.loadShippedPartitionSums());
}

void TestLblRun::init()
{
    m_engine.setStandardConditions();
}

// Batches of 20000, each asked for while the one before is added: the
// banner hears of the records added and how far they reach, its fraction only
// grows and ends at 1, and the result equals one big batch.
void TestLblRun::batchesAndProgress()
{
    std::vector<LineRecord> lines(25000, fixtureLines().at(Co1));
    for (std::size_t i = 0; i < lines.size(); ++i)
        lines[i].wavenumber = 2001.0 + double(i) * 0.01;
    m_params->setLineShapeProfile(1);
    m_params->setLineWingAbsolute(0.05);
    m_params->setLineWingHalfwidths(1);
    auto run = m_engine.newRun(2000.0, 2300.0, 3001);
    // Every event loop pass reports, and the second batch comes a while after
    // it is asked for: the progress between the batches is seen.
    run->lbl.setProgressInterval(0);
    QVERIFY(m_engine.calculate(*run, lines, 20000));
    QCOMPARE(run->lbl.recordCounter(), 25000);
    // Two batches and the end: each asked for once.
    QCOMPARE(run->source.requestCount(), 3);
    QVERIFY(run->notes.size() >= 2);
    QCOMPARE(run->notes.first(), QStringLiteral("Running the line-by-line calculation.\nReading the lines."));
    QCOMPARE(run->notes.last(), QStringLiteral("Found 25000 HITRAN records.\nRunning the line-by-line calculation.\n"
                                               "25000 records added, up to 2250.99 cm-1."));
    QCOMPARE(run->fractions.last(), 1.0);
    for (int i = 1; i < run->fractions.size(); ++i)
        QVERIFY2(run->fractions.at(i) >= run->fractions.at(i - 1), qPrintable(run->notes.at(i)));
    QVERIFY(run->fractions.at(run->fractions.size() - 2) < 1.0);

    auto single = m_engine.newRun(2000.0, 2300.0, 3001);
    QVERIFY(m_engine.calculate(*single, lines, 30000));
    QCOMPARE(single->spectra.molecules.at(4).crossSection.values, run->spectra.molecules.at(4).crossSection.values);
    QCOMPARE(single->spectra.molecules.at(4).opticalDepthMaximum, run->spectra.molecules.at(4).opticalDepthMaximum);
}

// A source that answers at once, on the calculation's thread, is served batch after batch
// (not nested), and two threads give the very same sums as one; the fast loops
// agree with the plain ones.
void TestLblRun::immediateSourceAndThreadsGiveSameSums()
{
    std::vector<LineRecord> lines;
    for (int k = 0; k < 100; ++k) {
        for (const LineRecord &line : fixtureLines()) {
            LineRecord copy = line;
            copy.wavenumber += 0.15 * k;
            lines.push_back(copy);
        }
    }
    auto queued = m_engine.newRun(2000.0, 2300.0, 120001);
    QVERIFY(m_engine.calculate(*queued, lines, 20000));

    auto immediate = m_engine.newRun(2000.0, 2300.0, 120001);
    immediate->source.setImmediate(true);
    QVERIFY(m_engine.calculate(*immediate, lines, 7));
    QCOMPARE(immediate->source.requestCount(), int(lines.size() + 6) / 7 + 1);

    auto threaded = m_engine.newRun(2000.0, 2300.0, 120001);
    threaded->lbl.setThreadCount(2);
    QVERIFY(m_engine.calculate(*threaded, lines, 20000));
    QCOMPARE(threaded->lbl.threadsUsed(), 2);

    // Threads with a source that reads the next batch while they add one.
    auto overlapped = m_engine.newRun(2000.0, 2300.0, 120001);
    overlapped->source.setImmediate(true);
    overlapped->lbl.setThreadCount(2);
    QVERIFY(m_engine.calculate(*overlapped, lines, 500));
    QCOMPARE(overlapped->lbl.threadsUsed(), 2);

    auto reference = m_engine.newRun(2000.0, 2300.0, 120001);
    reference->lbl.setReferenceKernels(true);
    QVERIFY(m_engine.calculate(*reference, lines));

    for (int m : {0, 1, 3, 4, 7}) {
        const SpectrumValues &a = queued->spectra.molecules.at(std::size_t(m)).crossSection.values;
        QCOMPARE(immediate->spectra.molecules.at(std::size_t(m)).crossSection.values, a);
        QCOMPARE(threaded->spectra.molecules.at(std::size_t(m)).crossSection.values, a);
        QCOMPARE(overlapped->spectra.molecules.at(std::size_t(m)).crossSection.values, a);
        QCOMPARE(threaded->spectra.molecules.at(std::size_t(m)).crossSection.maximum,
                 queued->spectra.molecules.at(std::size_t(m)).crossSection.maximum);
        QCOMPARE(threaded->spectra.molecules.at(std::size_t(m)).opticalDepthMaximum,
                 queued->spectra.molecules.at(std::size_t(m)).opticalDepthMaximum);
        const SpectrumValues &r = reference->spectra.molecules.at(std::size_t(m)).crossSection.values;
        for (std::size_t i = 0; i < a.size(); ++i)
            QVERIFY(r[i] == 0.0 ? a[i] == 0.0 : relativeError(a[i], r[i]) < 1e-11);
    }
}

// A cancel while the next batch is awaited (a download that stalls) ends the
// calculation at once: the spectra keep the lines added, the end is announced
// once, and the spectra set held the last results until then.
void TestLblRun::cancelKeepsPartialResults()
{
    const std::vector<LineRecord> lines = fixtureLines();
    auto run = m_engine.newRun(2000.0, 2300.0, 3001);
    run->spectra.molecules.resize(std::size_t(m_params->moleculeCount()));
    run->spectra.molecules.at(4).crossSection.resetValues(17);
    run->source.setStallAfter(1);
    run->source.setRecords(lines);
    run->source.setBatchSize(2);
    run->lbl.start(run->source.feed());
    QTRY_COMPARE(run->source.requestCount(), 2);
    QVERIFY(run->lbl.isRunning());
    // Nothing of the calculation reaches the spectra set while it runs.
    QCOMPARE(run->spectra.molecules.at(4).crossSection.values.size(), std::size_t(17));
    run->lbl.setCancel(true);
    QTRY_COMPARE(run->completions, 1);
    QVERIFY(run->lbl.cancelled());
    QCOMPARE(run->lbl.recordCounter(), 2);
    QCOMPARE(run->lbl.cancelledAt(), lines.at(1).wavenumber);

    auto firstTwo = m_engine.newRun(2000.0, 2300.0, 3001);
    QVERIFY(m_engine.calculate(*firstTwo, {lines.at(0), lines.at(1)}));
    QCOMPARE(run->spectra.molecules.at(4).crossSection.values, firstTwo->spectra.molecules.at(4).crossSection.values);
    QVERIFY(run->spectra.molecules.at(4).crossSection.maximum > 1e-20);

    // A cancel set before the start gives zeroed spectra and asks for nothing.
    auto early = m_engine.newRun(2000.0, 2300.0, 3001);
    early->lbl.setCancel(true);
    QVERIFY(m_engine.calculate(*early, lines));
    QCOMPARE(early->source.requestCount(), 0);
    QVERIFY(!early->spectra.molecules.at(4).hasValues());
    QCOMPARE(early->spectra.molecules.at(4).crossSection.maximum, tinyMaximum);
}

// A cancel that comes while the lines of a batch are added stops at the end of
// the part in hand, before the next batch is read: the spectra hold exactly the
// lines up to the one reached and none after it.
void TestLblRun::cancelInsideABatchStopsAtALine()
{
    LineBatch lines;
    for (int k = 0; k < 40; ++k) {
        for (const LineRecord &line : fixtureLines()) {
            LineRecord copy = line;
            copy.wavenumber += 0.5 * k;
            lines.push_back(copy);
        }
    }
    std::sort(lines.begin(), lines.end(),
              [](const LineRecord &a, const LineRecord &b) { return a.wavenumber < b.wavenumber; });
    XAxis axis(XAxis::Wavenumber, 2000.0, 2300.0, 30001);
    axis.buildGrid();
    const auto setup = [&] {
        LineByLineRun::Setup setup;
        setup.conditions.prepare(*m_params);
        setup.grid = axis.sharedGrid();
        setup.gridStep = axis.step();
        setup.moleculeCount = m_params->moleculeCount();
        // Parts of about 20 lines of some 200 points each.
        setup.partWork = 4000.0;
        return setup;
    };
    std::atomic<bool> cancel{false};
    CancellingFeed feed(lines, &cancel);
    LineByLineRun run(setup());
    run.run(feed, cancel);
    QVERIFY(run.cancelled());
    // The next batch was asked for once (while the first part was added), then never again.
    QCOMPARE(feed.calls, 2);
    const qint64 done = run.progress().recordsDone.load();
    QVERIFY2(done > 0 && done < qint64(lines.size()), qPrintable(QString::number(done)));
    QCOMPARE(run.progress().wavenumberReached.load(), lines[std::size_t(done - 1)].wavenumber);

    std::atomic<bool> never{false};
    OneBatch firstLines(LineBatch(lines.begin(), lines.begin() + done));
    LineByLineRun reference(setup());
    reference.run(firstLines, never);
    QVERIFY(!reference.cancelled());
    const std::vector<MoleculeSpectra> cut = run.takeSpectra();
    const std::vector<MoleculeSpectra> expected = reference.takeSpectra();
    int compared = 0;
    for (std::size_t m = 0; m < expected.size(); ++m) {
        QCOMPARE(cut[m].crossSection.values, expected[m].crossSection.values);
        QCOMPARE(cut[m].crossSection.maximum, expected[m].crossSection.maximum);
        compared += expected[m].hasValues() ? 1 : 0;
    }
    QVERIFY(compared >= 1);
}

QTEST_GUILESS_MAIN(TestLblRun)
#include "tst_lblrun.moc"
