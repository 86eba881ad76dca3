#include "calc/lbl.h"

#include "calc/workerteam.h"
#include "core/linerecord.h"
#include "core/linesource.h"
#include "core/params.h"
#include "core/spectraset.h"
#include "core/xaxis.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <limits>
#include <thread>

namespace {

// Below this many Voigt-point evaluations (about 1 ms on one core) a batch is
// not worth waking the other threads for.
constexpr double minimumThreadedWork = 500000.0;
// Receivers of updateSpectra that take less than this (nanoseconds) hear of
// every batch.
constexpr qint64 quickAnnouncement = 10000000;

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

Lbl::~Lbl() = default;

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

void Lbl::waitForThreads()
{
    if (!m_threadsAdding)
        return;
    addSlices();
    m_team->wait();
    m_threadsAdding = false;
}

void Lbl::start()
{
    waitForThreads();
    m_running = true;
    m_batchPending = false;
    m_batchIncomplete = false;
    m_spectraUnannounced = false;
    m_announceCost = 0;
    m_recordCounter = 0;
    m_cancelled = false;
    m_anyLine = false;
    m_pointEvaluations = 0.0;
    if (!m_spectra || !m_params || !m_xAxis || !m_source) {
        finish();
        return;
    }

    m_xAxis->buildGrid();
    m_grid = m_xAxis->sharedGrid();
    const std::size_t points = m_grid->size();
    m_gridStart = m_xAxis->minWavenumber();
    m_gridStep = m_xAxis->step();
    m_lastIndex = int(points) - 1;
    const int moleculeCount = m_params->moleculeCount();
    m_conditions.prepare(*m_params);

    // Every spectrum reads as zero until lines reach it; the memory of the last
    // calculation goes back first.
    m_spectra->molecules.resize(std::size_t(moleculeCount));
    const double smallest = std::numeric_limits<double>::min();
    for (int m = 0; m < moleculeCount; ++m) {
        MoleculeSpectra &molecule = m_spectra->molecules[std::size_t(m)];
        molecule.crossSection.releaseValues();
        molecule.crossSection.maximum = smallest;
        molecule.opticalDepthMaximum = smallest;
        molecule.columnDensity = m_conditions.columnFactor(std::size_t(m));
    }
    m_spectra->opticalDepthTotal.releaseValues();
    m_spectra->crossSectionTotal.releaseValues();
    m_crossSectionValues.assign(std::size_t(moleculeCount), nullptr);
    m_reach.assign(std::size_t(moleculeCount), Reach());
    m_reached.clear();
    m_next = PreparedBatch();
    m_next.reach.assign(std::size_t(moleculeCount), Reach());
    m_blockMaxima.assign(std::size_t(moleculeCount), {});
    m_blockMinima.assign(std::size_t(moleculeCount), {});

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
    m_sinceAnnounced.start();
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
        // The threads, if any, go on adding this batch while the source reads
        // the next and its lines are prepared; before anything else runs, the
        // batch is completed. A cancel that came with its completion leaves the
        // batch read meanwhile alone.
        m_source->requestNextChunk();
        if (m_batchPending && m_threadsAdding && !m_cancelRequested)
            prepareBatch();
        completeBatch();
        if (m_running && m_cancelRequested) {
            m_cancelled = true;
            finish();
            break;
        }
    } while (m_batchPending && m_running);
    m_inBatch = false;
}

void Lbl::postCalculation()
{
    finish();
}

double Lbl::cancelledAt() const
{
    if (!m_grid || m_grid->empty())
        return 0.0;
    if (!m_anyLine)
        return m_grid->front();
    return std::max(m_grid->front(), std::min(m_grid->back(), m_lastLineWavenumber));
}

void Lbl::finish()
{
    if (!m_running)
        return;
    completeBatch();
    // The receivers see the last batch before the end, as after every batch.
    if (m_spectraUnannounced)
        announceSpectra();
    m_running = false;
    emit calculationComplete();
}

void Lbl::announceSpectra()
{
    m_spectraUnannounced = false;
    QElapsedTimer handling;
    handling.start();
    emit updateSpectra(true, true);
    m_announceCost = handling.nsecsElapsed();
    m_sinceAnnounced.start();
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

    if (!m_next.ready)
        prepareBatch();
    // The prepared batch becomes the one in hand; the reach of the one before
    // was emptied when its maxima were taken.
    std::swap(m_jobs, m_next.jobs);
    std::swap(m_reach, m_next.reach);
    std::swap(m_reached, m_next.reached);
    m_next.jobs.clear();
    m_next.ready = false;
    m_recordCounter += m_next.records;
    for (int molecule : m_reached) {
        if (!m_crossSectionValues[std::size_t(molecule)])
            createValues(molecule);
    }
    if (m_next.records > 0) {
        m_anyLine = true;
        m_lastLineWavenumber = m_next.lastWavenumber;
    }
    m_batchIncomplete = true;
    addJobs();
    if (!m_threadsAdding)
        completeBatch();
}

// Turns the source's lines into jobs, and the reach of each molecule, without
// touching what the threads may be adding meanwhile.
void Lbl::prepareBatch()
{
    const LineConditions::GridWindow grid{m_gridStart, m_gridStep, m_lastIndex};
    const LineBatch &records = m_source->lineRecords();
    m_next.jobs.clear();
    m_next.jobs.reserve(records.size());
    for (const LineRecord &record : records) {
        LineJob job;
        if (!m_conditions.prepareLine(record, grid, job))
            continue;
        m_next.jobs.push_back(job);
        Reach &reach = m_next.reach[std::size_t(job.molecule)];
        if (reach.first > reach.last) {
            reach = {job.start, job.end};
            m_next.reached.push_back(job.molecule);
        } else {
            reach.first = std::min(reach.first, job.start);
            reach.last = std::max(reach.last, job.end);
        }
    }
    m_next.records = int(records.size());
    m_next.lastWavenumber = records.empty() ? 0.0 : records.back().wavenumber;
    m_next.ready = true;
}

void Lbl::completeBatch()
{
    waitForThreads();
    if (!m_batchIncomplete)
        return;
    m_batchIncomplete = false;
    updateMaxima();
    if (m_announceCost < quickAnnouncement || m_sinceAnnounced.nsecsElapsed() >= 4 * m_announceCost)
        announceSpectra();
    else
        m_spectraUnannounced = true;
    QCoreApplication::processEvents();
}

void Lbl::createValues(int molecule)
{
    const std::size_t m = std::size_t(molecule);
    Spectrum &crossSection = m_spectra->molecules[m].crossSection;
    crossSection.resetValues(m_grid->size());
    m_crossSectionValues[m] = crossSection.values.data();
    const std::size_t blocks = (m_grid->size() + maximumBlock - 1) / maximumBlock;
    m_blockMaxima[m].assign(blocks, 0.0);
    m_blockMinima[m].assign(blocks, 0.0);
}

void Lbl::addJobs()
{
    m_threadsUsed = 1;
    if (m_jobs.empty())
        return;
    int threads = m_threadCount > 0 ? m_threadCount : int(std::thread::hardware_concurrency());
    threads = std::max(1, std::min(threads, 16));
    double work = 0.0;
    for (const LineJob &job : m_jobs)
        work += double(job.end - job.start + 1);
    m_pointEvaluations += work;
    const int points = m_lastIndex + 1;
    if (threads == 1 || work * relativePointCost(m_conditions.profile()) < minimumThreadedWork || points < 2 * maximumBlock) {
        addPart(0, points, 0, m_jobs.size());
        return;
    }
    // The team has one thread fewer than the calculation may use: this thread
    // reads and prepares the next batch meanwhile and then adds with the team,
    // so that the threads never outnumber the ones asked for.
    if (!m_team || m_teamSize != threads - 1) {
        m_team = std::make_unique<WorkerTeam>(threads - 1);
        m_teamSize = threads - 1;
    }
    // The grid is cut into several slices per thread, each about the same
    // number of point evaluations, and each thread takes the next slice when it
    // is done with one. The estimate leaves out what differs from place to place
    // (the first writes to a page of a new spectrum, the cost of a profile value
    // far from or near its centre); a thread that meets more of it takes fewer
    // slices instead of holding the others up at the end of the batch.
    m_slices = partCuts(threads * slicesPerThread);
    findSliceJobs();
    m_nextSlice.store(0, std::memory_order_relaxed);
    m_threadsAdding = true;
    m_team->start([this](int) { addSlices(); });
    m_threadsUsed = m_team->members() + 1;
}

// Adds the slices of the batch that no thread has taken yet.
void Lbl::addSlices()
{
    const int last = int(m_slices.size()) - 1;
    for (int slice = m_nextSlice.fetch_add(1, std::memory_order_relaxed); slice < last;
         slice = m_nextSlice.fetch_add(1, std::memory_order_relaxed))
        addPart(m_slices[std::size_t(slice)], m_slices[std::size_t(slice) + 1], m_sliceJobs[std::size_t(slice)].first,
                m_sliceJobs[std::size_t(slice)].second);
}

// The jobs whose windows may meet each slice, so that a slice does not look at
// every line of the batch. Before the first of them every window ends left of
// the slice, from the end on every window starts right of it; the lines in
// between are taken in their order, so the sums are those of all lines.
void Lbl::findSliceJobs()
{
    const std::size_t count = m_jobs.size();
    m_windowEndsSoFar.resize(count);
    m_windowStartsFromHere.resize(count);
    int end = std::numeric_limits<int>::min();
    for (std::size_t i = 0; i < count; ++i) {
        end = std::max(end, m_jobs[i].end);
        m_windowEndsSoFar[i] = end;
    }
    int start = std::numeric_limits<int>::max();
    for (std::size_t i = count; i-- > 0;) {
        start = std::min(start, m_jobs[i].start);
        m_windowStartsFromHere[i] = start;
    }
    m_sliceJobs.resize(m_slices.size() - 1);
    for (std::size_t s = 0; s + 1 < m_slices.size(); ++s) {
        const auto first = std::lower_bound(m_windowEndsSoFar.begin(), m_windowEndsSoFar.end(), m_slices[s]);
        const auto beyond
            = std::lower_bound(m_windowStartsFromHere.begin(), m_windowStartsFromHere.end(), m_slices[s + 1]);
        const std::size_t firstJob = std::size_t(first - m_windowEndsSoFar.begin());
        const std::size_t endJob = std::size_t(beyond - m_windowStartsFromHere.begin());
        m_sliceJobs[s] = {firstJob, std::max(firstJob, endJob)};
    }
}

// Part boundaries on block boundaries, where the point evaluations of the batch
// divide evenly: each part then owns its blocks of the maxima too.
std::vector<int> Lbl::partCuts(int parts) const
{
    const int points = m_lastIndex + 1;
    const int blocks = (points + maximumBlock - 1) / maximumBlock;
    std::vector<double> blockWork(std::size_t(blocks) + 1, 0.0);
    std::vector<double> wholeBlocks(std::size_t(blocks) + 1, 0.0);   // differences
    double work = 0.0;
    for (const LineJob &job : m_jobs) {
        const int first = job.start / maximumBlock;
        const int last = job.end / maximumBlock;
        work += double(job.end - job.start + 1);
        if (first == last) {
            blockWork[std::size_t(first)] += double(job.end - job.start + 1);
            continue;
        }
        blockWork[std::size_t(first)] += double((first + 1) * maximumBlock - job.start);
        blockWork[std::size_t(last)] += double(job.end - last * maximumBlock + 1);
        wholeBlocks[std::size_t(first) + 1] += 1.0;
        wholeBlocks[std::size_t(last)] -= 1.0;
    }
    std::vector<int> cuts{0};
    double whole = 0.0;
    double done = 0.0;
    for (int b = 0; b < blocks && int(cuts.size()) < parts; ++b) {
        whole += wholeBlocks[std::size_t(b)];
        done += blockWork[std::size_t(b)] + whole * maximumBlock;
        if (done >= work * double(cuts.size()) / double(parts))
            cuts.push_back((b + 1) * maximumBlock);
    }
    while (int(cuts.size()) < parts)
        cuts.push_back(points);
    cuts.push_back(points);
    for (int &cut : cuts)
        cut = std::min(cut, points);
    return cuts;
}

// Adds the jobs firstJob..endJob-1 of the batch (those that may reach them) to
// the grid points from..to-1 and searches the blocks of the maxima that lie
// there and that the batch reached.
void Lbl::addPart(int from, int to, std::size_t firstJob, std::size_t endJob)
{
    const auto kernel = m_referenceKernels ? ProfileKernels::addLinesReference : ProfileKernels::addLines;
    kernel(m_conditions.profile(), m_jobs.data() + firstJob, endJob - firstJob, m_grid->data(),
           m_crossSectionValues.data(), from, to);
    for (int molecule : m_reached) {
        const std::size_t m = std::size_t(molecule);
        const Reach &reach = m_reach[m];
        const int first = std::max(reach.first, from);
        const int last = std::min(reach.last, to - 1);
        if (first > last)
            continue;
        const double *values = m_crossSectionValues[m];
        for (int block = first / maximumBlock; block <= last / maximumBlock; ++block) {
            const int begin = block * maximumBlock;
            const int end = std::min(begin + maximumBlock, m_lastIndex + 1);
            double largest = -std::numeric_limits<double>::infinity();
            double smallest = std::numeric_limits<double>::infinity();
            for (int i = begin; i < end; ++i) {
                largest = values[i] > largest ? values[i] : largest;
                smallest = values[i] < smallest ? values[i] : smallest;
            }
            m_blockMaxima[m][std::size_t(block)] = largest;
            m_blockMinima[m][std::size_t(block)] = smallest;
        }
    }
}

// The maxima of the molecules the batch reached, from their blocks. They equal
// a search of every value from the smallest positive normal double that passes
// over not-a-number values; the optical depth is the column density times the
// cross-section, so its largest value comes from the largest cross-section (the
// smallest for a negative column density).
void Lbl::updateMaxima()
{
    const double tiny = std::numeric_limits<double>::min();
    for (int molecule : m_reached) {
        const std::size_t m = std::size_t(molecule);
        m_reach[m] = Reach();
        MoleculeSpectra &spectra = m_spectra->molecules[m];
        double largest = -std::numeric_limits<double>::infinity();
        double smallest = std::numeric_limits<double>::infinity();
        for (double value : m_blockMaxima[m])
            largest = value > largest ? value : largest;
        for (double value : m_blockMinima[m])
            smallest = value < smallest ? value : smallest;
        spectra.crossSection.maximum = largest > tiny ? largest : tiny;
        const double density = spectra.columnDensity;
        double opticalDepth = tiny;
        if (std::isfinite(density)) {
            opticalDepth = density >= 0.0 ? density * largest : density * smallest;
        } else {
            for (double value : spectra.crossSection.values)
                opticalDepth = density * value > opticalDepth ? density * value : opticalDepth;
        }
        spectra.opticalDepthMaximum = opticalDepth > tiny ? opticalDepth : tiny;
    }
    m_reached.clear();
}
