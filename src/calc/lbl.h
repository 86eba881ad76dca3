#pragma once

#include "calc/lineconditions.h"
#include "calc/lineshapes.h"
#include "calc/profilekernels.h"
#include "core/spectrumallocator.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <utility>
#include <vector>

class LineSource;
class Params;
class WorkerTeam;
class XAxis;
struct LineRecord;
struct SpectraSet;

// The line-by-line engine: turns batches of HITRAN line records into the
// cross-section and optical-depth spectra of every molecule on the grid.
// start() zeroes the spectra and asks the source for the first batch; each
// dataAvailable() adds one batch, updates the maxima and asks for the next;
// noMoreDataAvailable() or a cancel ends it with calculationComplete().
//
// A molecule gets its cross-section array when its first line arrives; its
// optical depth is its column density times that array (MoleculeSpectra). The
// maxima are kept per block of the grid, and after a batch only the blocks its
// lines reached are searched again. updateSpectra() follows every batch while
// the receivers handle it quickly; when they take long (a plot of a million
// points) it waits until four times their last handling time has passed, and a
// batch left unannounced is announced before calculationComplete().
class Lbl : public QObject
{
    Q_OBJECT

public:
    explicit Lbl(QObject *parent = nullptr, LineSource *source = nullptr);
    ~Lbl() override;

    void setSpectra(SpectraSet *spectra) { m_spectra = spectra; }
    void setParams(Params *params) { m_params = params; }
    void setXAxis(XAxis *xAxis) { m_xAxis = xAxis; }
    void setSource(LineSource *source);

    // Stores the cancel flag and lets pending events run; a set flag ends the
    // calculation after the batch in hand, keeping what was computed so far.
    void setCancel(bool cancel);
    bool cancelRequested() const { return m_cancelRequested; }

    // Threads that share the per-point work of a batch (each takes a part of the
    // grid, so every point sums its lines in the same order and gets the same
    // value whatever the number of threads). 0: one per core. With more than
    // one, the threads are kept from one batch and calculation to the next, and
    // the source reads the next batch while they add the present one.
    void setThreadCount(int threads) { m_threadCount = threads; }
    // The plain per-point loops instead of the fast ones (for comparisons).
    void setReferenceKernels(bool reference) { m_referenceKernels = reference; }
    // Threads that shared the last batch (1 for batches too small to share).
    int threadsUsed() const { return m_threadsUsed; }
    // Profile values computed in this calculation so far (one per line and
    // grid point of its window), for the benchmarks.
    double pointEvaluations() const { return m_pointEvaluations; }

    void start();
    bool isRunning() const { return m_running; }
    // Returns when the threads have finished adding the batch in hand, after
    // which the spectra may be read. Whatever may read them while the source
    // reads ahead (a banner update lets events run) calls this first.
    void waitForThreads();

    // How far from its tabulated position a line can add to the spectrum (LineConditions).
    static double lineReach(const Params &params) { return LineConditions::lineReach(params); }

    int recordCounter() const { return m_recordCounter; }
    // Whether the last calculation ended on a cancel, and the wavenumber up to
    // which its lines had been added then (the lines come in wavenumber order):
    // the grid's start when none had, never beyond its end.
    bool cancelled() const { return m_cancelled; }
    double cancelledAt() const;

signals:
    void notify(const QString &message, double value, bool visible, bool cancelButtonVisible);
    void updateSpectra(bool updateScale, bool updateTotal);
    void calculationComplete();

public slots:
    void calcWnSegment();
    void postCalculation();

private:
    // Grid points per block of the maxima.
    static constexpr int maximumBlock = 4096;
    // Slices of the grid per thread in a batch added by several threads.
    static constexpr int slicesPerThread = 32;

    // The lines of a batch that reach one molecule: the grid indices from `first`
    // to `last`; first > last when none.
    struct Reach
    {
        int first = 0;
        int last = -1;
    };

    // The lines of the next batch as jobs, made while the threads may still
    // add the batch before.
    struct PreparedBatch
    {
        LineJobs jobs;
        std::vector<Reach> reach;   // per molecule
        std::vector<int> reached;
        int records = 0;
        double lastWavenumber = 0.0;
        bool ready = false;
    };

    void processBatch();
    void prepareBatch();
    void createValues(int molecule);
    void addJobs();
    void completeBatch();
    void addSlices();
    void findSliceJobs();
    void addPart(int from, int to, std::size_t firstJob, std::size_t endJob);
    std::vector<int> partCuts(int parts) const;
    void updateMaxima();
    void announceSpectra();
    void finish();

    SpectraSet *m_spectra = nullptr;
    Params *m_params = nullptr;
    XAxis *m_xAxis = nullptr;
    LineSource *m_source = nullptr;
    int m_recordCounter = 0;
    bool m_cancelRequested = false;
    bool m_cancelled = false;
    double m_lastLineWavenumber = 0.0;
    bool m_anyLine = false;

    LineConditions m_conditions;

    // The grid of the calculation, held for its whole length whatever the axis
    // builds meanwhile.
    std::shared_ptr<const SpectrumValues> m_grid;
    double m_gridStart = 0.0;
    double m_gridStep = 0.0;
    int m_lastIndex = -1;
    LineJobs m_jobs;
    std::vector<double *> m_crossSectionValues;
    std::vector<Reach> m_reach;                    // per molecule, in the batch in hand
    std::vector<int> m_reached;                    // the molecules with a reach
    PreparedBatch m_next;
    std::vector<std::vector<double>> m_blockMaxima;   // per molecule and block, of the raw values
    std::vector<std::vector<double>> m_blockMinima;
    int m_threadCount = 0;
    int m_threadsUsed = 1;
    double m_pointEvaluations = 0.0;
    std::unique_ptr<WorkerTeam> m_team;
    int m_teamSize = 0;                            // members asked for
    std::vector<int> m_slices;                     // the slices' bounds in the batch in hand
    std::vector<std::pair<std::size_t, std::size_t>> m_sliceJobs;   // per slice, the jobs that may meet it
    std::vector<int> m_windowEndsSoFar;            // per job, the last window end up to it
    std::vector<int> m_windowStartsFromHere;       // per job, the first window start from it on
    std::atomic<int> m_nextSlice{0};
    bool m_referenceKernels = false;
    bool m_running = false;
    bool m_inBatch = false;
    bool m_batchPending = false;
    bool m_batchIncomplete = false;               // added (or being added), maxima and announcement due
    bool m_threadsAdding = false;
    bool m_spectraUnannounced = false;
    qint64 m_announceCost = 0;                     // ns the receivers of updateSpectra last took
    QElapsedTimer m_sinceAnnounced;
};
