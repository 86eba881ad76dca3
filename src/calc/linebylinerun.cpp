#include "calc/linebylinerun.h"

#include "calc/workerteam.h"
#include "core/linefeed.h"
#include "core/params.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// Below this many Voigt-point evaluations (about 1 ms on one core) a part is
// not worth waking the other threads for.
constexpr double minimumThreadedWork = 500000.0;
// The most Voigt-point evaluations of one part per thread unless the setup
// says: about 30 ms at 1.5 ns each. Smaller parts would cover too few slices of
// the grid to keep the threads equally busy when the lines have wide wings.
constexpr double partWorkPerThread = 2e7;
// Slices of the grid per thread in a part added by several threads.
constexpr int slicesPerThread = 32;
// The narrowest and widest granule of the slice boundaries, grid points: the
// fast loops compute the points in groups of eight.
constexpr int smallestGranule = 256;
constexpr int largestGranule = 4096;

// Cost of one point of each profile relative to the standard Voigt profile.
double relativePointCost(LineShape::Profile profile)
{
    switch (profile) {
    case LineShape::Lorentz: return 0.1;
    case LineShape::VoigtHigh: return 1.4;
    default: return 1.0;
    }
}

double jobWork(const LineJob &job)
{
    return double(job.end - job.start + 1);
}

} // namespace

LineByLineRun::LineByLineRun(Setup setup)
    : m_setup(std::move(setup))
{
    m_lastIndex = m_setup.grid ? int(m_setup.grid->size()) - 1 : -1;
    m_setup.threads = std::max(1, m_setup.threads);
    // Slices as narrow as the grid needs for every thread to get several, but
    // no narrower than a granule of smallestGranule points, and on a large grid
    // of largestGranule: each line that crosses a slice boundary costs its
    // set-up once more, and lines with wide wings cross many.
    const int wanted = (m_lastIndex + 1) / (m_setup.threads * slicesPerThread);
    m_granule = std::max(smallestGranule, std::min(largestGranule, (wanted + smallestGranule - 1) / smallestGranule
                                                                       * smallestGranule));
}

LineByLineRun::~LineByLineRun()
{
    if (m_setup.team)
        m_setup.team->wait();
}

void LineByLineRun::run(LineFeed &feed, const std::atomic<bool> &cancel)
{
    const int moleculeCount = std::max(0, m_setup.moleculeCount);
    m_spectra.assign(std::size_t(moleculeCount), MoleculeSpectra());
    for (int m = 0; m < moleculeCount; ++m) {
        MoleculeSpectra &molecule = m_spectra[std::size_t(m)];
        molecule.crossSection.maximum = std::numeric_limits<double>::min();
        molecule.columnDensity = m_setup.conditions.columnFactor(std::size_t(m));
    }
    m_crossSectionValues.assign(std::size_t(moleculeCount), nullptr);
    m_granuleMaxima.assign(std::size_t(moleculeCount), {});
    m_granuleMinima.assign(std::size_t(moleculeCount), {});
    if (m_lastIndex < 1 || cancel.load()) {
        m_cancelled = cancel.load();
        return;
    }

    LineBatch current;
    LineBatch ahead;
    PreparedBatch next;
    bool more = feed.next(current);
    m_progress.recordsExpected.store(feed.expectedRecordCount());
    if (more)
        prepare(current, m_batch);
    qint64 doneBefore = 0;
    while (more) {
        const std::vector<std::size_t> bounds = partBounds(m_batch.jobs);
        bool moreAhead = false;
        for (std::size_t part = 0; part + 1 < bounds.size(); ++part) {
            // A molecule gets its values when its first line is added.
            for (std::size_t job = bounds[part]; job < bounds[part + 1]; ++job) {
                const int molecule = m_batch.jobs[job].molecule;
                if (!m_crossSectionValues[std::size_t(molecule)])
                    createValues(molecule);
            }
            const bool teamAdds = startPart(bounds[part], bounds[part + 1]);
            // The next batch is read and prepared while the team adds the
            // first part of this one.
            if (part == 0 && !cancel.load()) {
                moreAhead = feed.next(ahead);
                m_progress.recordsExpected.store(feed.expectedRecordCount());
                if (moreAhead)
                    prepare(ahead, next);
            }
            if (teamAdds)
                finishPart();
            const bool lastPart = part + 2 == bounds.size();
            const std::size_t records = lastPart || bounds[part + 1] == 0
                ? current.size()
                : std::size_t(m_batch.recordOfJob[bounds[part + 1] - 1]) + 1;
            m_progress.recordsDone.store(doneBefore + qint64(records));
            if (records > 0) {
                m_progress.wavenumberReached.store(current[records - 1].wavenumber);
                m_progress.anyRecord.store(true);
            }
            if (cancel.load() && !lastPart) {
                m_cancelled = true;
                break;
            }
        }
        if (m_cancelled)
            break;
        doneBefore += qint64(current.size());
        // A cancel that came with the last part leaves the batch read meanwhile alone.
        if (cancel.load()) {
            m_cancelled = true;
            break;
        }
        current.swap(ahead);
        std::swap(m_batch, next);
        more = moreAhead;
    }
    updateMaxima();
}

void LineByLineRun::prepare(const LineBatch &records, PreparedBatch &prepared) const
{
    const LineConditions::GridWindow grid{m_setup.grid->front(), m_setup.gridStep, m_lastIndex};
    prepared.jobs.clear();
    prepared.jobs.reserve(records.size());
    prepared.recordOfJob.clear();
    prepared.recordOfJob.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        LineJob job;
        if (!m_setup.conditions.prepareLine(records[i], grid, job))
            continue;
        prepared.jobs.push_back(job);
        prepared.recordOfJob.push_back(int(i));
    }
}

void LineByLineRun::createValues(int molecule)
{
    Spectrum &crossSection = m_spectra[std::size_t(molecule)].crossSection;
    crossSection.resetValues(m_setup.grid->size());
    m_crossSectionValues[std::size_t(molecule)] = crossSection.values.data();
    const std::size_t granules = (m_setup.grid->size() + m_granule - 1) / m_granule;
    m_granuleMaxima[std::size_t(molecule)].assign(granules, 0.0);
    m_granuleMinima[std::size_t(molecule)].assign(granules, 0.0);
}

std::vector<std::size_t> LineByLineRun::partBounds(const LineJobs &jobs) const
{
    const double perThread = m_setup.partWork > 0.0 ? m_setup.partWork : partWorkPerThread;
    const double limit = perThread * m_setup.threads / relativePointCost(m_setup.conditions.profile());
    std::vector<std::size_t> bounds{0};
    double work = 0.0;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const double line = jobWork(jobs[i]);
        if (work > 0.0 && work + line > limit) {
            bounds.push_back(i);
            work = 0.0;
        }
        work += line;
    }
    bounds.push_back(jobs.size());
    return bounds;
}

bool LineByLineRun::startPart(std::size_t first, std::size_t end)
{
    m_threadsUsed = 1;
    if (first >= end)
        return false;
    double work = 0.0;
    for (std::size_t i = first; i < end; ++i)
        work += jobWork(m_batch.jobs[i]);
    m_pointEvaluations += work;
    const int points = m_lastIndex + 1;
    WorkerTeam *team = m_setup.team;
    if (m_setup.threads == 1 || !team || team->members() == 0
        || work * relativePointCost(m_setup.conditions.profile()) < minimumThreadedWork || points < 2 * m_granule) {
        addRange(0, points, first, end);
        return false;
    }
    // The grid is cut into several slices per thread, each about the same
    // number of point evaluations, and each thread takes the next slice when it
    // is done with one. The estimate leaves out what differs from place to place
    // (the first writes to a page of a new spectrum, the cost of a profile value
    // far from or near its centre); a thread that meets more of it takes fewer
    // slices instead of holding the others up at the end of the part.
    m_slices = sliceCuts((team->members() + 1) * slicesPerThread, first, end);
    findSliceJobs(first, end);
    m_nextSlice.store(0, std::memory_order_relaxed);
    team->start([this](int) { addSlices(); });
    m_threadsUsed = team->members() + 1;
    return true;
}

void LineByLineRun::finishPart()
{
    addSlices();
    m_setup.team->wait();
}

// Adds the slices of the part that no thread has taken yet.
void LineByLineRun::addSlices()
{
    const int last = int(m_slices.size()) - 1;
    for (int slice = m_nextSlice.fetch_add(1, std::memory_order_relaxed); slice < last;
         slice = m_nextSlice.fetch_add(1, std::memory_order_relaxed))
        addRange(m_slices[std::size_t(slice)], m_slices[std::size_t(slice) + 1], m_sliceJobs[std::size_t(slice)].first,
                 m_sliceJobs[std::size_t(slice)].second);
}

// The jobs of the part whose windows may meet each slice, so that a slice does
// not look at every line of the part. Before the first of them every window
// ends left of the slice, from the end on every window starts right of it; the
// lines in between are taken in their order, so the sums are those of all lines.
void LineByLineRun::findSliceJobs(std::size_t first, std::size_t end)
{
    const LineJobs &jobs = m_batch.jobs;
    const std::size_t count = end - first;
    m_windowEndsSoFar.resize(count);
    m_windowStartsFromHere.resize(count);
    int windowEnd = std::numeric_limits<int>::min();
    for (std::size_t i = 0; i < count; ++i) {
        windowEnd = std::max(windowEnd, jobs[first + i].end);
        m_windowEndsSoFar[i] = windowEnd;
    }
    int windowStart = std::numeric_limits<int>::max();
    for (std::size_t i = count; i-- > 0;) {
        windowStart = std::min(windowStart, jobs[first + i].start);
        m_windowStartsFromHere[i] = windowStart;
    }
    m_sliceJobs.resize(m_slices.size() - 1);
    for (std::size_t s = 0; s + 1 < m_slices.size(); ++s) {
        const auto from = std::lower_bound(m_windowEndsSoFar.begin(), m_windowEndsSoFar.end(), m_slices[s]);
        const auto beyond
            = std::lower_bound(m_windowStartsFromHere.begin(), m_windowStartsFromHere.end(), m_slices[s + 1]);
        const std::size_t firstJob = first + std::size_t(from - m_windowEndsSoFar.begin());
        const std::size_t endJob = first + std::size_t(beyond - m_windowStartsFromHere.begin());
        m_sliceJobs[s] = {firstJob, std::max(firstJob, endJob)};
    }
}

// Slice boundaries on multiples of m_granule, where the point evaluations of
// the part divide evenly.
std::vector<int> LineByLineRun::sliceCuts(int slices, std::size_t first, std::size_t end) const
{
    const int points = m_lastIndex + 1;
    const int granules = (points + m_granule - 1) / m_granule;
    std::vector<double> granuleWork(std::size_t(granules) + 1, 0.0);
    std::vector<double> wholeGranules(std::size_t(granules) + 1, 0.0);   // differences
    double work = 0.0;
    for (std::size_t i = first; i < end; ++i) {
        const LineJob &job = m_batch.jobs[i];
        const int firstGranule = job.start / m_granule;
        const int lastGranule = job.end / m_granule;
        work += jobWork(job);
        if (firstGranule == lastGranule) {
            granuleWork[std::size_t(firstGranule)] += jobWork(job);
            continue;
        }
        granuleWork[std::size_t(firstGranule)] += double((firstGranule + 1) * m_granule - job.start);
        granuleWork[std::size_t(lastGranule)] += double(job.end - lastGranule * m_granule + 1);
        wholeGranules[std::size_t(firstGranule) + 1] += 1.0;
        wholeGranules[std::size_t(lastGranule)] -= 1.0;
    }
    std::vector<int> cuts{0};
    double whole = 0.0;
    double done = 0.0;
    for (int g = 0; g < granules && int(cuts.size()) < slices; ++g) {
        whole += wholeGranules[std::size_t(g)];
        done += granuleWork[std::size_t(g)] + whole * m_granule;
        if (done >= work * double(cuts.size()) / double(slices))
            cuts.push_back((g + 1) * m_granule);
    }
    while (int(cuts.size()) < slices)
        cuts.push_back(points);
    cuts.push_back(points);
    for (int &cut : cuts)
        cut = std::min(cut, points);
    return cuts;
}

// Adds the jobs firstJob..endJob-1 (those that may reach them) to the grid
// points from..to-1 (from a multiple of m_granule), and searches the
// granules they reached for the maxima.
void LineByLineRun::addRange(int from, int to, std::size_t firstJob, std::size_t endJob)
{
    if (firstJob >= endJob)
        return;
    const auto kernel = m_setup.referenceKernels ? ProfileKernels::addLinesReference : ProfileKernels::addLines;
    kernel(m_setup.conditions.profile(), m_batch.jobs.data() + firstJob, endJob - firstJob, m_setup.grid->data(),
           m_crossSectionValues.data(), from, to);
    // Where the lines of each molecule reached (there are fewer than 64).
    static_assert(Params::maxMoleculeCount <= 64, "a place per molecule");
    constexpr int most = 64;
    int reachedFrom[most];
    int reachedTo[most];
    std::uint64_t touched = 0;
    for (std::size_t i = firstJob; i < endJob; ++i) {
        const LineJob &job = m_batch.jobs[i];
        const int m = job.molecule;
        const std::uint64_t bit = std::uint64_t(1) << m;
        if (!(touched & bit)) {
            touched |= bit;
            reachedFrom[m] = job.start;
            reachedTo[m] = job.end;
        } else {
            reachedFrom[m] = std::min(reachedFrom[m], job.start);
            reachedTo[m] = std::max(reachedTo[m], job.end);
        }
    }
    for (int m = 0; m < most && m < int(m_spectra.size()); ++m) {
        if (!(touched >> m & 1))
            continue;
        const int first = std::max(reachedFrom[m], from);
        const int last = std::min(reachedTo[m], to - 1);
        const double *values = m_crossSectionValues[std::size_t(m)];
        for (int granule = first / m_granule; first <= last && granule <= last / m_granule; ++granule) {
            const int begin = granule * m_granule;
            const int end = std::min(begin + m_granule, m_lastIndex + 1);
            double largest = -std::numeric_limits<double>::infinity();
            double smallest = std::numeric_limits<double>::infinity();
            for (int i = begin; i < end; ++i) {
                largest = values[i] > largest ? values[i] : largest;
                smallest = values[i] < smallest ? values[i] : smallest;
            }
            m_granuleMaxima[std::size_t(m)][std::size_t(granule)] = largest;
            m_granuleMinima[std::size_t(m)][std::size_t(granule)] = smallest;
        }
    }
}

// The maxima of every molecule with values, from its granules. They equal a
// search of every value from the smallest positive normal double that passes
// over not-a-number values; the optical depth is the column density times the
// cross-section, so its largest value comes from the largest cross-section
// (the smallest for a negative column density).
void LineByLineRun::updateMaxima()
{
    const double tiny = std::numeric_limits<double>::min();
    for (std::size_t m = 0; m < m_spectra.size(); ++m) {
        MoleculeSpectra &spectra = m_spectra[m];
        if (!spectra.hasValues())
            continue;
        double largest = -std::numeric_limits<double>::infinity();
        double smallest = std::numeric_limits<double>::infinity();
        for (double value : m_granuleMaxima[m])
            largest = value > largest ? value : largest;
        for (double value : m_granuleMinima[m])
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
}
