#include "calc/lbl.h"

#include "calc/lineconditions.h"
#include "calc/linebylinerun.h"
#include "calc/workerteam.h"
#include "core/linefeed.h"
#include "core/params.h"
#include "core/spectraset.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// How often the banner hears of a running calculation, milliseconds.
constexpr int defaultProgressInterval = 200;

// The feed of a calculation that can add no line (a grid or conditions that
// cannot be calculated): the spectra stay zero.
class NoLines : public LineFeed
{
public:
    bool next(LineBatch &batch) override
    {
        batch.clear();
        return false;
    }
    qint64 expectedRecordCount() const override { return 0; }
};

QString count(qint64 value)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value);
}

QString wavenumber(double value)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', 2);
}

} // namespace

Lbl::Lbl(QObject *parent)
    : QObject(parent)
{
    m_progressTimer.setInterval(defaultProgressInterval);
    connect(&m_progressTimer, &QTimer::timeout, this, &Lbl::reportProgress);
}

Lbl::~Lbl()
{
    // The program ends while a calculation runs: it stops at its next check.
    m_cancelRequested.store(true);
    if (m_feed)
        m_feed->interrupt();
    joinWorker();
}

double Lbl::lineReach(const Params &params)
{
    return LineConditions::lineReach(params);
}

void Lbl::setCancel(bool cancel)
{
    m_cancelRequested.store(cancel);
    if (cancel && m_feed)
        m_feed->interrupt();
}

void Lbl::abandon()
{
    if (m_running)
        m_discard = true;
    setCancel(true);
}

void Lbl::joinWorker()
{
    if (m_worker)
        m_worker->wait();
}

void Lbl::start(std::unique_ptr<LineFeed> feed, bool sampleLines)
{
    if (m_running)
        return;
    joinWorker();
    m_running = true;
    m_recordCounter = 0;
    m_cancelled = false;
    m_discard = false;
    m_abandoned = false;
    m_anyLine = false;
    m_pointEvaluations = 0.0;
    m_lastFraction = 0.0;
    if (!m_spectra || !m_params || !m_xAxis) {
        m_running = false;
        emit calculationComplete();
        return;
    }

    // The grid of the last calculation serves again when nothing of it changed.
    m_runAxis = *m_xAxis;
    m_runAxis.takeGridOf(m_calculatedAxis);
    m_runAxis.buildGrid();
    LineByLineRun::Setup setup;
    setup.conditions.prepare(*m_params);
    setup.grid = m_runAxis.sharedGrid();
    setup.gridStep = m_runAxis.step();
    setup.moleculeCount = m_params->moleculeCount();
    setup.referenceKernels = m_referenceKernels;
    int threads = m_threadCount > 0 ? m_threadCount : int(std::thread::hardware_concurrency());
    threads = std::max(1, std::min(threads, 16));
    // The team has one thread fewer than the calculation may use: the
    // calculation's own thread reads and prepares the next batch meanwhile and
    // then adds with the team, so that the threads never outnumber those asked for.
    if (threads > 1 && (!m_team || m_teamSize != threads - 1)) {
        m_team = std::make_unique<WorkerTeam>(threads - 1);
        m_teamSize = threads - 1;
    }
    setup.threads = threads;
    setup.team = threads > 1 ? m_team.get() : nullptr;

    // A grid without a step or conditions without a finite positive temperature
    // give no lines; the zeroed spectra are the result. The core refuses both
    // before it starts a calculation.
    const PathConditions &conditions = m_params->pathConditions();
    const bool usable = m_runAxis.grid().size() >= 2 && setup.gridStep > 0.0
        && std::isfinite(conditions.temperature) && conditions.temperature > 0.0
        && std::isfinite(conditions.totalPressure) && std::isfinite(conditions.pathLength);
    if (usable && feed)
        m_feed = std::move(feed);
    else
        m_feed = std::make_shared<NoLines>();
    if (m_cancelRequested.load())
        m_feed->interrupt();
    m_sampleLines = sampleLines;
    m_run = std::make_unique<LineByLineRun>(std::move(setup));

    reportProgress();
    m_progressTimer.start();
    // The calculation's own thread is kept from one calculation to the next.
    if (!m_worker)
        m_worker = std::make_unique<WorkerTeam>(1);
    if (m_worker->members() == 0) {
        // Without a thread of its own the calculation cannot wait for lines
        // that this thread would have to fetch: it ends without them.
        m_feed->interrupt();
        emit openOkDialog(QStringLiteral("The calculation could not start a thread of its own; no lines were added."));
    }
    m_worker->start([this, run = m_run.get(), feed = m_feed](int) {
        run->run(*feed, m_cancelRequested);
        QMetaObject::invokeMethod(this, &Lbl::complete, Qt::QueuedConnection);
    });
}

// The banner's text and fraction: the records added out of those to add when
// their number is known, otherwise how far the lines added reach into the grid.
void Lbl::reportProgress()
{
    if (m_run)
        reportProgressOf(m_run->progress(), false);
}

double Lbl::fractionOf(const LineByLineRun::Progress &progress) const
{
    const qint64 expected = progress.recordsExpected.load();
    if (expected > 0)
        return double(progress.recordsDone.load()) / double(expected);
    const SpectrumValues &grid = m_runAxis.grid();
    if (!progress.anyRecord.load() || grid.size() < 2)
        return 0.0;
    return (progress.wavenumberReached.load() - grid.front()) / (grid.back() - grid.front());
}

double Lbl::fractionDone() const
{
    if (!m_running || !m_run)
        return 0.0;
    return std::min(1.0, std::max(0.0, fractionOf(m_run->progress())));
}

void Lbl::reportProgressOf(const LineByLineRun::Progress &progress, bool complete)
{
    const qint64 done = progress.recordsDone.load();
    const qint64 expected = progress.recordsExpected.load();
    const bool anyRecord = progress.anyRecord.load();
    const double reached = progress.wavenumberReached.load();
    double fraction = fractionOf(progress);
    // The fraction only grows, and reaches 1 when the results are in.
    fraction = complete ? 1.0 : std::max(m_lastFraction, std::min(0.999, std::max(0.0, fraction)));
    m_lastFraction = fraction;
    const QString kind = m_sampleLines ? QStringLiteral("sample") : QStringLiteral("HITRAN");
    QString text;
    if (expected > 0)
        text = QStringLiteral("Found %1 %2 records.\nRunning the line-by-line calculation.\n").arg(count(expected), kind);
    else
        text = QStringLiteral("Running the line-by-line calculation.\n");
    if (!anyRecord)
        text += QStringLiteral("Reading the lines.");
    else
        text += QStringLiteral("%1 records added, up to %2 cm-1.").arg(count(done), wavenumber(reached));
    emit notify(text, fraction, true, true);
}

void Lbl::complete()
{
    joinWorker();
    m_progressTimer.stop();
    if (!m_run)
        return;
    const LineByLineRun::Progress &progress = m_run->progress();
    m_recordCounter = progress.recordsDone.load();
    m_anyLine = progress.anyRecord.load();
    m_lastLineWavenumber = progress.wavenumberReached.load();
    m_cancelled = m_run->cancelled();
    m_pointEvaluations = m_run->pointEvaluations();
    m_threadsUsed = m_run->threadsUsed();
    const QString problem = m_feed ? m_feed->problem() : QString();
    if (m_discard) {
        // An abandoned calculation leaves the last results as they were, and
        // its arrays go with it.
        m_abandoned = true;
        m_discard = false;
        m_run.reset();
        m_feed.reset();
        m_running = false;
        emit calculationComplete();
        return;
    }
    if (!m_cancelled)
        reportProgressOf(progress, true);

    // The engine's arrays become the results; those of the last calculation,
    // and the totals made of them, go.
    m_spectra->molecules = m_run->takeSpectra();
    for (Spectrum *total : {&m_spectra->crossSectionTotal, &m_spectra->instrCrossSectionTotal,
                            &m_spectra->opticalDepthTotal, &m_spectra->instrOpticalDepthTotal,
                            &m_spectra->radianceTotal, &m_spectra->instrRadianceTotal})
        total->releaseValues();
    m_calculatedAxis = m_runAxis;
    m_run.reset();
    m_feed.reset();
    m_running = false;
    if (!problem.isEmpty())
        emit openOkDialog(problem);
    emit calculationComplete();
}

double Lbl::cancelledAt() const
{
    const SpectrumValues &grid = m_calculatedAxis.grid();
    if (grid.empty())
        return 0.0;
    if (!m_anyLine)
        return grid.front();
    return std::max(grid.front(), std::min(grid.back(), m_lastLineWavenumber));
}
