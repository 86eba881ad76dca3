#include "calc/lbl.h"

#include "core/linerecord.h"
#include "core/linesource.h"
#include "core/params.h"
#include "core/spectraset.h"
#include "core/xaxis.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <limits>
#include <system_error>
#include <thread>

namespace {

// Below this many Voigt-point evaluations (about 2 ms on one core) a batch is
// not worth starting threads for.
constexpr double minimumThreadedWork = 1000000.0;

// Cost of one point of each profile relative to the standard Voigt profile.
double relativePointCost(LineShape::Profile profile)
{
    switch (profile) {
    case LineShape::Lorentz: return 0.1;
    case LineShape::VoigtHigh: return 1.4;
    default: return 1.0;
    }
}

} // namespace

Lbl::Lbl(QObject *parent, LineSource *source)
    : QObject(parent)
{
    setSource(source);
}

void Lbl::setSource(LineSource *source)
{
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = source;
    if (!m_source)
        return;
    connect(m_source, &LineSource::dataAvailable, this, &Lbl::calcWnSegment);
    connect(m_source, &LineSource::noMoreDataAvailable, this, &Lbl::postCalculation);
}

void Lbl::setCancel(bool cancel)
{
    m_cancelRequested = cancel;
    QCoreApplication::processEvents();
}

void Lbl::start()
{
    m_running = true;
    m_batchPending = false;
    m_recordCounter = 0;
    m_cancelled = false;
    m_anyLine = false;
    if (!m_spectra || !m_params || !m_xAxis || !m_source) {
        finish();
        return;
    }

    m_xAxis->buildGrid();
    const std::size_t points = m_xAxis->grid().size();
    // The grid stays as built for the whole calculation, whatever the user edits meanwhile.
    m_grid = m_xAxis->grid();
    m_gridStart = m_xAxis->minWavenumber();
    m_gridStep = m_xAxis->step();
    m_lastIndex = int(points) - 1;
    const int moleculeCount = m_params->moleculeCount();
    m_spectra->molecules.resize(std::size_t(moleculeCount));
    const double smallest = std::numeric_limits<double>::min();
    for (MoleculeSpectra &molecule : m_spectra->molecules) {
        molecule.opticalDepth.resetValues(points);
        molecule.crossSection.resetValues(points);
        molecule.opticalDepth.maximum = smallest;
        molecule.crossSection.maximum = smallest;
    }
    m_spectra->opticalDepthTotal.resetValues(points);
    m_spectra->crossSectionTotal.resetValues(points);
    m_crossSectionValues.resize(std::size_t(moleculeCount));
    for (int m = 0; m < moleculeCount; ++m)
        m_crossSectionValues[std::size_t(m)] = m_spectra->molecules[std::size_t(m)].crossSection.values.data();
    m_touched.assign(std::size_t(moleculeCount), false);

    m_conditions.prepare(*m_params);

    // A grid without a step or conditions without a finite positive temperature
    // give no lines; the zeroed spectra are the result. The core refuses both
    // before it starts a calculation.
    const PathConditions &conditions = m_params->pathConditions();
    const bool usable = points >= 2 && m_gridStep > 0.0 && std::isfinite(conditions.temperature)
        && conditions.temperature > 0.0 && std::isfinite(conditions.totalPressure)
        && std::isfinite(conditions.pathLength);
    if (m_cancelRequested || !usable) {
        m_cancelled = m_cancelRequested;
        finish();
        return;
    }
    m_source->requestNextChunk();
}

void Lbl::calcWnSegment()
{
    if (!m_running || !m_source)
        return;
    // A source that answers a request at once would otherwise nest each batch
    // inside the previous one; the batch is taken by the loop below instead.
    if (m_inBatch) {
        m_batchPending = true;
        return;
    }
    m_inBatch = true;
    do {
        m_batchPending = false;
        processBatch();
        if (!m_running)
            break;
        if (m_cancelRequested) {
            m_cancelled = true;
            finish();
            break;
        }
        m_source->requestNextChunk();
    } while (m_batchPending && m_running);
    m_inBatch = false;
}

void Lbl::postCalculation()
{
    finish();
}

double Lbl::cancelledAt() const
{
    if (m_grid.empty())
        return 0.0;
    if (!m_anyLine)
        return m_grid.front();
    return std::max(m_grid.front(), std::min(m_grid.back(), m_lastLineWavenumber));
}

void Lbl::finish()
{
    if (!m_running)
        return;
    m_running = false;
    emit calculationComplete();
}

void Lbl::processBatch()
{
    const qint64 found = m_source->expectedRecordCount();
    const int batchSize = int(m_source->lineRecords().size());
    QCoreApplication::processEvents();
    // The sample shipped with the program is not HITRAN, and the banner says so.
    emit notify(QStringLiteral("Found %1 %2 records.\nRunning the line-by-line calculation.\n"
                               "Processing segment %3-%4.")
                    .arg(found)
                    .arg(m_source->usesSampleLines() ? QStringLiteral("sample") : QStringLiteral("HITRAN"))
                    .arg(m_recordCounter + 1)
                    .arg(m_recordCounter + batchSize + 1),
                0.0, true, true);
    QCoreApplication::processEvents();
    if (!m_running)
        return;

    m_jobs.clear();
    const LineConditions::GridWindow grid{m_gridStart, m_gridStep, m_lastIndex};
    const std::vector<LineRecord> &records = m_source->lineRecords();
    m_jobs.reserve(records.size());
    for (const LineRecord &record : records) {
        ++m_recordCounter;
        LineJob job;
        if (m_conditions.prepareLine(record, grid, job)) {
            m_jobs.push_back(job);
            m_touched[std::size_t(job.molecule)] = true;
        }
    }
    if (!records.empty()) {
        m_anyLine = true;
        m_lastLineWavenumber = records.back().wavenumber;
    }
    addJobs();
    updateOpticalDepths();
    emit updateSpectra(true, true);
    QCoreApplication::processEvents();
}

void Lbl::addJobs()
{
    if (m_jobs.empty())
        return;
    const int points = int(m_grid.size());
    const double *grid = m_grid.data();
    double *const *spectra = m_crossSectionValues.data();
    const auto kernel = m_referenceKernels ? ProfileKernels::addLinesReference : ProfileKernels::addLines;
    const LineShape::Profile profile = m_conditions.profile();

    int threads = m_threadCount > 0 ? m_threadCount : int(std::thread::hardware_concurrency());
    threads = std::max(1, std::min(threads, 16));
    double work = 0.0;
    for (const LineJob &job : m_jobs)
        work += double(job.end - job.start + 1);
    m_threadsUsed = 1;
    if (threads == 1 || work * relativePointCost(profile) < minimumThreadedWork) {
        kernel(profile, m_jobs.data(), m_jobs.size(), grid, spectra, 0, points);
        return;
    }

    // Cut the grid where the point evaluations divide evenly between the threads.
    // Each thread adds every line, in order, to its own part of the grid only.
    std::vector<double> perPoint(std::size_t(points) + 1, 0.0);
    for (const LineJob &job : m_jobs) {
        perPoint[std::size_t(job.start)] += 1.0;
        perPoint[std::size_t(job.end) + 1] -= 1.0;
    }
    std::vector<int> cuts{0};
    double running = 0.0;
    double cumulative = 0.0;
    for (int i = 0; i < points && int(cuts.size()) < threads; ++i) {
        running += perPoint[std::size_t(i)];
        cumulative += running;
        if (cumulative >= work * double(cuts.size()) / double(threads))
            cuts.push_back(i + 1);
    }
    cuts.push_back(points);

    std::vector<std::thread> workers;
    for (std::size_t part = 1; part + 1 < cuts.size(); ++part) {
        try {
            workers.emplace_back(kernel, profile, m_jobs.data(), m_jobs.size(), grid, spectra,
                                 cuts[part], cuts[part + 1]);
        } catch (const std::system_error &) {
            // No thread to be had: this part is added here instead.
            kernel(profile, m_jobs.data(), m_jobs.size(), grid, spectra, cuts[part], cuts[part + 1]);
        }
    }
    kernel(profile, m_jobs.data(), m_jobs.size(), grid, spectra, cuts[0], cuts[1]);
    m_threadsUsed = int(workers.size()) + 1;
    for (std::thread &worker : workers)
        worker.join();
}

void Lbl::updateOpticalDepths()
{
    for (std::size_t m = 0; m < m_touched.size(); ++m) {
        if (!m_touched[m])
            continue;
        m_touched[m] = false;
        MoleculeSpectra &molecule = m_spectra->molecules[m];
        const double factor = m_conditions.columnFactor(m);
        const std::vector<double> &crossSection = molecule.crossSection.values;
        std::vector<double> &opticalDepth = molecule.opticalDepth.values;
        for (std::size_t j = 0; j < crossSection.size(); ++j)
            opticalDepth[j] = factor * crossSection[j];
        molecule.crossSection.updateMaximum();
        molecule.opticalDepth.updateMaximum();
    }
}
