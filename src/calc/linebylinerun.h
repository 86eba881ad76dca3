#pragma once

#include "calc/lineconditions.h"
#include "calc/profilekernels.h"
#include "core/linerecord.h"
#include "core/moleculespectra.h"
#include "core/spectrumallocator.h"

#include <QtGlobal>

#include <atomic>
#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

class LineFeed;
class WorkerTeam;

// The line-by-line work of one calculation, done on the thread that calls
// run() with a team of helper threads: reads a feed of line records to its end
// and adds the profile of every line to the cross-section of its molecule, on
// spectra of its own that nothing else reads until run() has returned.
//
// A batch of lines is added in parts of a bounded amount of work, one part
// after the other, and a cancel is looked at between parts: a cancelled run
// holds every line up to a known wavenumber and none beyond it. Within a part
// the grid is cut into slices that the threads take one after the other; each
// point sums its lines in list order whatever the slices, so the values do not
// depend on the number of threads or the size of the batches. While the team
// adds the first part of a batch, this thread reads and prepares the next.
class LineByLineRun
{
public:
    struct Setup
    {
        LineConditions conditions;
        std::shared_ptr<const SpectrumValues> grid;   // nu_i = start + i * step
        double gridStep = 0.0;
        int moleculeCount = 0;
        // Threads that add lines, this one included; the team (not owned, may
        // be null) has the others.
        int threads = 1;
        WorkerTeam *team = nullptr;
        bool referenceKernels = false;
        // The most Voigt-point evaluations of one part per thread; 0: about
        // 30 ms of work, so that a cancel is seen within a few tens of
        // milliseconds however many lines a batch holds and however wide their wings.
        double partWork = 0.0;
    };

    // What the calculation's progress is, for another thread to read at any time.
    struct Progress
    {
        std::atomic<qint64> recordsDone{0};
        std::atomic<qint64> recordsExpected{0};
        std::atomic<double> wavenumberReached{0.0};
        std::atomic<bool> anyRecord{false};
    };

    explicit LineByLineRun(Setup setup);
    ~LineByLineRun();
    LineByLineRun(const LineByLineRun &) = delete;
    LineByLineRun &operator=(const LineByLineRun &) = delete;

    // Reads `feed` to its end, or until `cancel` is set, and adds its lines.
    void run(LineFeed &feed, const std::atomic<bool> &cancel);

    const Progress &progress() const { return m_progress; }
    bool cancelled() const { return m_cancelled; }
    // Profile values computed (one per line and grid point of its window).
    double pointEvaluations() const { return m_pointEvaluations; }
    // Threads that shared the last part added (1 for work too small to share).
    int threadsUsed() const { return m_threadsUsed; }
    // The spectra made: a record per molecule, with values where its lines
    // reached the grid, its column density and both maxima. Called once, after
    // run().
    std::vector<MoleculeSpectra> takeSpectra() { return std::move(m_spectra); }


private:
    // The lines of a batch as jobs, with the record each came from.
    struct PreparedBatch
    {
        LineJobs jobs;
        std::vector<int> recordOfJob;
    };

    void prepare(const LineBatch &records, PreparedBatch &prepared) const;
    void createValues(int molecule);
    // Cuts [0, jobs) into parts of at most partWork point evaluations each.
    std::vector<std::size_t> partBounds(const LineJobs &jobs) const;
    // Starts adding jobs [first, end) of the batch in hand on the team; with
    // one thread (or little work) adds them at once. True when the team adds.
    bool startPart(std::size_t first, std::size_t end);
    void finishPart();
    void addSlices();
    void findSliceJobs(std::size_t first, std::size_t end);
    std::vector<int> sliceCuts(int slices, std::size_t first, std::size_t end) const;
    void addRange(int from, int to, std::size_t firstJob, std::size_t endJob);
    void updateMaxima();

    Setup m_setup;
    int m_lastIndex = -1;
    int m_granule = 4096;   // grid points a slice boundary falls on a multiple of
    std::vector<MoleculeSpectra> m_spectra;
    std::vector<double *> m_crossSectionValues;
    // Per molecule with values, the largest and smallest value of each granule
    // of the grid, searched right after lines were added there (while the
    // values are in the cache); granules no line reached hold zeros.
    std::vector<std::vector<double>> m_granuleMaxima;
    std::vector<std::vector<double>> m_granuleMinima;
    PreparedBatch m_batch;      // in hand
    std::vector<int> m_slices;
    std::vector<std::pair<std::size_t, std::size_t>> m_sliceJobs;
    std::vector<int> m_windowEndsSoFar;
    std::vector<int> m_windowStartsFromHere;
    std::atomic<int> m_nextSlice{0};
    Progress m_progress;
    double m_pointEvaluations = 0.0;
    int m_threadsUsed = 1;
    bool m_cancelled = false;
};
