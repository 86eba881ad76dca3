#pragma once

#include "calc/lineconditions.h"
#include "calc/lineshapes.h"
#include "calc/profilekernels.h"

#include <QObject>
#include <QString>

#include <vector>

class LineSource;
class Params;
class XAxis;
struct LineRecord;
struct SpectraSet;

// The line-by-line engine: turns batches of HITRAN line records into the
// cross-section and optical-depth spectra of every molecule on the grid.
// start() zeroes the spectra and asks the source for the first batch; each
// dataAvailable() adds one batch, rescales the optical depths and asks for the
// next; noMoreDataAvailable() or a cancel ends it with calculationComplete().
class Lbl : public QObject
{
    Q_OBJECT

public:
    explicit Lbl(QObject *parent = nullptr, LineSource *source = nullptr);

    void setSpectra(SpectraSet *spectra) { m_spectra = spectra; }
    void setParams(Params *params) { m_params = params; }
    void setXAxis(XAxis *xAxis) { m_xAxis = xAxis; }
    void setSource(LineSource *source);

    // Stores the cancel flag and lets pending events run; a set flag ends the
    // calculation after the batch in hand, keeping what was computed so far.
    void setCancel(bool cancel);
    bool cancelRequested() const { return m_cancelRequested; }

    // Threads that share the per-point work of a batch (each takes a part of the
    // grid, so every point sums its lines in the same order). 0: one per core.
    void setThreadCount(int threads) { m_threadCount = threads; }
    // The plain per-point loops instead of the fast ones (for comparisons).
    void setReferenceKernels(bool reference) { m_referenceKernels = reference; }
    // Threads that shared the last batch (1 for batches too small to share).
    int threadsUsed() const { return m_threadsUsed; }

    void start();
    bool isRunning() const { return m_running; }

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
    void processBatch();
    void addJobs();
    void updateOpticalDepths();
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

    std::vector<double> m_grid;
    double m_gridStart = 0.0;
    double m_gridStep = 0.0;
    int m_lastIndex = -1;
    std::vector<LineJob> m_jobs;
    std::vector<double *> m_crossSectionValues;
    std::vector<bool> m_touched;
    int m_threadCount = 0;
    int m_threadsUsed = 1;
    bool m_referenceKernels = false;
    bool m_running = false;
    bool m_inBatch = false;
    bool m_batchPending = false;
};
