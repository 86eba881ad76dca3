#pragma once

#include "calc/linebylinerun.h"
#include "core/xaxis.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <memory>

class LineFeed;
class Params;
class WorkerTeam;
struct SpectraSet;

// The line-by-line engine: turns the HITRAN line records of a calculation into
// the cross-section and optical-depth spectra of every molecule on the grid.
//
// The work runs on a thread of its own (LineByLineRun, with a team of helper
// threads); the thread that calls start() only starts it, reports its progress
// every progressInterval through notify(), and takes the finished spectra over
// when it ends: the engine's arrays become those of the spectra set (no value
// is copied) and calculationComplete() follows. Until then the spectra set
// keeps the last results, untouched, for whatever shows or saves them.
//
// The lines come from a feed that the calculation's thread reads (line files
// read there, or batches a download hands in). A cancel ends the work within
// one part of a batch, or the wait for the next batch; the spectra then hold
// every line up to cancelledAt().
class Lbl : public QObject
{
    Q_OBJECT

public:
    explicit Lbl(QObject *parent = nullptr);
    ~Lbl() override;

    void setSpectra(SpectraSet *spectra) { m_spectra = spectra; }
    void setParams(Params *params) { m_params = params; }
    // The axis whose grid the next start() calculates on (copied at the start).
    void setXAxis(const XAxis *xAxis) { m_xAxis = xAxis; }

    // A set flag ends the calculation after the part of a batch in hand,
    // keeping what was added so far; a cleared one lets the next start run.
    void setCancel(bool cancel);
    bool cancelRequested() const { return m_cancelRequested.load(); }
    // Stops the calculation in hand as a cancel does, but its spectra are
    // thrown away: the spectra set keeps the last results, and abandoned()
    // says so once calculationComplete() has come. A newer calculation is to
    // take its place.
    void abandon();
    bool abandoned() const { return m_abandoned; }
    // How much of the calculation in hand is done, 0 to 1 (0 before its lines
    // are known).
    double fractionDone() const;

    // Threads that share the work (each takes slices of the grid, so every
    // point sums its lines in the same order and gets the same value whatever
    // the number of threads). 0: one per core. The helper threads are kept from
    // one calculation to the next.
    void setThreadCount(int threads) { m_threadCount = threads; }
    // The plain per-point loops instead of the fast ones (for comparisons).
    void setReferenceKernels(bool reference) { m_referenceKernels = reference; }
    // How often, milliseconds, the banner hears of a running calculation.
    void setProgressInterval(int milliseconds) { m_progressTimer.setInterval(milliseconds); }
    // Threads that shared the last part of the last calculation (1 for work
    // too small to share).
    int threadsUsed() const { return m_threadsUsed; }
    // Profile values computed in the last calculation (one per line and grid
    // point of its window), for the benchmarks.
    double pointEvaluations() const { return m_pointEvaluations; }

    // Calculates from the lines of `feed` (null: none); `sampleLines` says
    // that they are the sample, not the HITRAN database.
    void start(std::unique_ptr<LineFeed> feed, bool sampleLines = false);
    bool isRunning() const { return m_running; }

    // How far from its tabulated position a line can add to the spectrum.
    static double lineReach(const Params &params);

    // Line records read and handled by the last calculation (all of them, or
    // those up to the cancel).
    qint64 recordCounter() const { return m_recordCounter; }
    // Whether the last calculation ended on a cancel, and the wavenumber up to
    // which its lines had been added then (the lines come in wavenumber order):
    // the grid's start when none had, never beyond its end.
    bool cancelled() const { return m_cancelled; }
    double cancelledAt() const;
    // The axis of the spectra last handed over, with the grid they lie on.
    const XAxis &calculatedAxis() const { return m_calculatedAxis; }

signals:
    void notify(const QString &message, double value, bool visible, bool cancelButtonVisible);
    void calculationComplete();
    // Something about the lines read that the user must know (a line file out
    // of order).
    void openOkDialog(const QString &text);

private:
    void reportProgress();
    double fractionOf(const LineByLineRun::Progress &progress) const;
    void reportProgressOf(const LineByLineRun::Progress &progress, bool complete);
    void complete();
    void joinWorker();

    SpectraSet *m_spectra = nullptr;
    Params *m_params = nullptr;
    const XAxis *m_xAxis = nullptr;
    int m_threadCount = 0;
    bool m_referenceKernels = false;
    std::unique_ptr<WorkerTeam> m_team;
    int m_teamSize = -1;

    // The calculation in hand.
    bool m_running = false;
    std::atomic<bool> m_cancelRequested{false};
    XAxis m_runAxis;
    std::unique_ptr<LineByLineRun> m_run;
    std::shared_ptr<LineFeed> m_feed;
    std::unique_ptr<WorkerTeam> m_worker;   // the calculation's own thread
    QTimer m_progressTimer;
    double m_lastFraction = 0.0;
    bool m_sampleLines = false;

    // The last calculation.
    XAxis m_calculatedAxis;
    qint64 m_recordCounter = 0;
    bool m_cancelled = false;
    bool m_discard = false;
    bool m_abandoned = false;
    bool m_anyLine = false;
    double m_lastLineWavenumber = 0.0;
    double m_pointEvaluations = 0.0;
    int m_threadsUsed = 1;
};
