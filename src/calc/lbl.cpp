#include "calc/lbl.h"

#include "calc/workerteam.h"
#include "core/linerecord.h"
#include "core/linesource.h"
#include "core/params.h"
#include "core/settingrules.h"
#include "core/spectraset.h"
#include "core/xaxis.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <limits>

static_assert(LineShape::VoigtHigh + 1 == SettingRules::optionCount(SettingRules::Option::LineShapeProfile),
              "every line shape is an option of the settings");
#include <thread>

namespace {

constexpr double c2 = 1.4388028496642258;               // second radiation constant, cm K
constexpr double boltzmann = 1.380648813e-16;           // erg / K
constexpr double atmPerDynPerCm2 = 9.869233e-07;
constexpr double numberDensity296 = 2.47937196e19;      // cm-3 at 296 K and 1 atm
constexpr double ppmvMetresToFractionCm = 9.999999999999999e-05;
constexpr double referenceTemperature = 296.0;
// Below this many Voigt-point evaluations (about 1 ms on one core) a batch is
// not worth waking the other threads for.
constexpr double minimumThreadedWork = 500000.0;
// Receivers of updateSpectra that take less than this (nanoseconds) hear of
// every batch.
constexpr qint64 quickAnnouncement = 10000000;

// Bounds on the lines of HITRAN, for the reach of a line. In the HITRAN line
// lists the program is tested with (90 000 lines of 15 molecules) the widest
// air-broadened half-width is 0.148 cm-1/atm, the widest self-broadened one
// 1.185 (HCN), the temperature exponents lie within -0.61 and 1.21 and the
// pressure shifts within 0.04 cm-1/atm; the bounds leave room above all of
// them. A line beyond them (a damaged record) is cut at the reach rather than
// read from outside it, so that the spectrum still does not depend on the range.
constexpr double maxGammaAir = 0.5;          // cm-1/atm at 296 K
constexpr double maxGammaSelf = 2.0;         // cm-1/atm at 296 K
constexpr double minTemperatureExponent = -1.0;
constexpr double maxTemperatureExponent = 1.5;
constexpr double maxPressureShift = 0.5;     // cm-1/atm
constexpr double highestWavenumber = 50000.0;

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
    prepareConstants();

    // Every spectrum reads as zero until lines reach it; the memory of the last
    // calculation goes back first.
    m_spectra->molecules.resize(std::size_t(moleculeCount));
    const double smallest = std::numeric_limits<double>::min();
    for (int m = 0; m < moleculeCount; ++m) {
        MoleculeSpectra &molecule = m_spectra->molecules[std::size_t(m)];
        molecule.crossSection.releaseValues();
        molecule.crossSection.maximum = smallest;
        molecule.opticalDepthMaximum = smallest;
        molecule.columnDensity = m_columnFactors[std::size_t(m)];
    }
    m_spectra->opticalDepthTotal.releaseValues();
    m_spectra->crossSectionTotal.releaseValues();
    m_crossSectionValues.assign(std::size_t(moleculeCount), nullptr);
    m_reach.assign(std::size_t(moleculeCount), Reach());
    m_reached.clear();
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
        finish();
        return;
    }
    m_sinceAnnounced.start();
    m_source->requestNextChunk();
}

double Lbl::lineReach(const Params &params)
{
    const PathConditions &conditions = params.pathConditions();
    const double temperature = conditions.temperature;
    const double pressureRatio = std::fabs(conditions.totalPressure) / 1.0;
    const LineShape::Profile profile = LineShape::profileFromIndex(params.lineShapeProfile());

    // The largest mole fraction and the lightest isotopologue among the lines
    // that are calculated.
    double moleFraction = 0.0;
    double lightest = std::numeric_limits<double>::infinity();
    for (int m = 0; m < params.moleculeCount(); ++m) {
        const Molecule &molecule = params.molecule(m);
        if (!molecule.selected && !params.calcNotSelected())
            continue;
        const std::size_t index = std::size_t(m);
        const double concentration =
            index < conditions.concentrations.size() ? conditions.concentrations[index] : 0.0;
        if (std::isfinite(concentration))
            moleFraction = std::max(moleFraction, std::min(1.0, concentration * 1e-06));
        for (const Isotopologue &isotopologue : molecule.isotopologues) {
            if (isotopologue.naturalAbundance > 0.0 && isotopologue.molarMass > 0.0)
                lightest = std::min(lightest, isotopologue.molarMass);
        }
    }

    // The widest Lorentz width: the temperature factor (296/T)^n at its largest
    // exponent bound, times the broadening of the bounded widths.
    const double tempRatio = referenceTemperature / temperature;
    const double temperatureFactor = std::pow(tempRatio, tempRatio >= 1.0 ? maxTemperatureExponent
                                                                           : minTemperatureExponent);
    double gammaL = 0.0;
    switch (params.broadeningType()) {
    case 0: gammaL = maxGammaAir; break;
    case 1: gammaL = moleFraction * maxGammaSelf; break;
    default: gammaL = (1.0 - moleFraction) * maxGammaAir + moleFraction * maxGammaSelf; break;
    }
    gammaL *= temperatureFactor * pressureRatio;
    // The widest Doppler width: the lightest isotopologue at the top of the
    // wavenumber scale, whatever the range, so that the reach is the same for
    // every range.
    const double gammaD = std::isfinite(lightest)
        ? LineShape::dopplerHalfWidth(highestWavenumber, temperature, lightest)
        : 0.0;

    // Conditions without a number give no bound: every line.
    if (!std::isfinite(gammaL) || !std::isfinite(gammaD))
        return highestWavenumber;
    const double wing = LineShape::wingExtent(profile, gammaD, gammaL, std::max(0, params.lineWingHalfwidths()),
                                              std::max(0.0, params.lineWingAbsolute()));
    const double shift = params.lineShiftUsage() != 0 ? maxPressureShift * pressureRatio : 0.0;
    const double reach = wing + shift;
    // Beyond the whole wavenumber scale a reach means every line.
    return std::isfinite(reach) ? std::min(reach, highestWavenumber) : highestWavenumber;
}

void Lbl::prepareConstants()
{
    const PathConditions &conditions = m_params->pathConditions();
    const double temperature = conditions.temperature;
    m_c2OverT = -c2 / temperature;
    m_c2Over296 = -c2 / referenceTemperature;
    m_pressureRatio = conditions.totalPressure / 1.0;
    m_tempRatio = referenceTemperature / temperature;
    m_numberDensity = m_params->crossSectionOnly()
        ? 1.0
        : conditions.totalPressure / (atmPerDynPerCm2 * boltzmann * temperature);
    m_profile = LineShape::profileFromIndex(m_params->lineShapeProfile());
    m_intensityThreshold = m_params->intensityThreshold();
    m_useShift = m_params->lineShiftUsage() != 0;
    m_broadeningType = m_params->broadeningType();
    m_wingHalfwidths = m_params->lineWingHalfwidths();
    m_wingAbsolute = m_params->lineWingAbsolute();
    m_lineReach = lineReach(*m_params);

    const int moleculeCount = m_params->moleculeCount();
    m_columnFactors.assign(std::size_t(moleculeCount), 0.0);
    m_moleFractions.assign(std::size_t(moleculeCount), 0.0);
    m_moleculeCalculated.assign(std::size_t(moleculeCount), false);
    m_isotopologueFactors.assign(std::size_t(moleculeCount), {});
    const double sqrtTemperature = std::sqrt(temperature);
    for (int m = 0; m < moleculeCount; ++m) {
        const std::size_t index = std::size_t(m);
        double concentration = index < conditions.concentrations.size() ? conditions.concentrations[index] : 0.0;
        if (!std::isfinite(concentration))
            concentration = 0.0;
        m_columnFactors[index] = (referenceTemperature / temperature) * ppmvMetresToFractionCm
            * numberDensity296 * concentration * m_pressureRatio * conditions.pathLength;
        m_moleFractions[index] = concentration * 1e-06;
        const Molecule &molecule = m_params->molecule(m);
        m_moleculeCalculated[index] = molecule.selected || m_params->calcNotSelected();

        std::vector<IsotopologueFactors> &factors = m_isotopologueFactors[index];
        factors.resize(molecule.isotopologues.size());
        for (std::size_t i = 0; i < molecule.isotopologues.size(); ++i) {
            const Isotopologue &isotopologue = molecule.isotopologues[i];
            IsotopologueFactors &f = factors[i];
            // The reference Q(296 K) comes from the same table as Q(T): the table and
            // the parameter file's Q(296 K) are of different editions, and only the
            // same table reproduces the tabulated intensity at 296 K.
            const double q = isotopologue.partitionSum(temperature);
            const double qReference = isotopologue.tipsLoaded
                ? isotopologue.partitionSum(referenceTemperature)
                : isotopologue.q296;
            f.usable = isotopologue.naturalAbundance > 0.0 && std::isfinite(q) && q > 0.0
                && std::isfinite(qReference) && qReference > 0.0 && std::isfinite(isotopologue.abundance);
            if (!f.usable)
                continue;
            f.partitionSumRatio = qReference / q;
            f.abundanceRatio = isotopologue.abundance / isotopologue.naturalAbundance;
            f.dopplerFactor = isotopologue.molarMass > 0.0
                ? sqrtTemperature * LineShape::dopplerWidthFactor / std::sqrt(isotopologue.molarMass)
                : 0.0;
        }
    }
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
            finish();
            break;
        }
        // The threads, if any, go on adding this batch while the source reads
        // the next; before anything else runs, the batch is completed. A cancel
        // that came with its completion leaves the batch read meanwhile alone.
        m_source->requestNextChunk();
        completeBatch();
        if (m_running && m_cancelRequested) {
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
    emit notify(QStringLiteral("Found %1 HITRAN records.\nRunning the line-by-line calculation.\n"
                               "Processing segment %2-%3.")
                    .arg(found)
                    .arg(m_recordCounter + 1)
                    .arg(m_recordCounter + batchSize + 1),
                0.0, true, true);
    QCoreApplication::processEvents();
    if (!m_running)
        return;

    m_jobs.clear();
    const std::vector<LineRecord> &records = m_source->lineRecords();
    m_jobs.reserve(records.size());
    for (const LineRecord &record : records) {
        ++m_recordCounter;
        LineJob job;
        if (!prepareLine(record, job))
            continue;
        m_jobs.push_back(job);
        const std::size_t m = std::size_t(job.molecule);
        if (!m_crossSectionValues[m])
            createValues(job.molecule);
        Reach &reach = m_reach[m];
        if (reach.first > reach.last) {
            reach = {job.start, job.end};
            m_reached.push_back(job.molecule);
        } else {
            reach.first = std::min(reach.first, job.start);
            reach.last = std::max(reach.last, job.end);
        }
    }
    m_batchIncomplete = true;
    addJobs();
    if (!m_threadsAdding)
        completeBatch();
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

bool Lbl::prepareLine(const LineRecord &record, LineJob &job) const
{
    const int molecule = record.molecule - 1;
    if (molecule < 0 || molecule >= int(m_isotopologueFactors.size())
        || !m_moleculeCalculated[std::size_t(molecule)])
        return false;
    const std::vector<IsotopologueFactors> &isotopologues = m_isotopologueFactors[std::size_t(molecule)];
    const int isotopologue = record.isotopologue - 1;
    if (isotopologue < 0 || isotopologue >= int(isotopologues.size()))
        return false;
    const IsotopologueFactors &factors = isotopologues[std::size_t(isotopologue)];
    if (!factors.usable)
        return false;

    const double position = record.wavenumber;
    if (!std::isfinite(position) || position < 0.0)
        return false;
    const double shift = m_useShift ? m_pressureRatio * record.deltaAir : 0.0;
    const double center = position + shift;

    // Stimulated emission (1 - e^(-c2 nu / T)) / (1 - e^(-c2 nu / 296)); a line at
    // wavenumber 0 takes the limit 296 / T of the ratio instead of 0 / 0.
    const double emissionAt296 = std::expm1(m_c2Over296 * position);
    const double emission = emissionAt296 != 0.0 ? std::expm1(m_c2OverT * position) / emissionAt296
                                                 : m_tempRatio;
    const double population = std::exp((m_c2OverT - m_c2Over296) * record.lowerStateEnergy);
    const double intensity = record.intensity * factors.partitionSumRatio * emission * population;
    if (!std::isfinite(intensity) || intensity < m_intensityThreshold)
        return false;

    const double gammaD = factors.dopplerFactor * position;
    const double gammaL = LineShape::lorentzHalfWidth(m_broadeningType, m_tempRatio, m_pressureRatio,
                                                      record.nAir, record.gammaAir, record.gammaSelf,
                                                      m_moleFractions[std::size_t(molecule)]);
    if (!std::isfinite(gammaD) || !std::isfinite(gammaL))
        return false;
    const bool hasDoppler = gammaD >= LineShape::minimumDopplerWidth;
    const bool hasLorentz = gammaL > 0.0;
    // A profile of zero width has no finite value at its centre: such lines are left out.
    switch (m_profile) {
    case LineShape::Doppler:
        if (!hasDoppler)
            return false;
        break;
    case LineShape::Lorentz:
        if (!hasLorentz)
            return false;
        break;
    default:
        if (!hasDoppler && !hasLorentz)
            return false;
        break;
    }

    const double wing = LineShape::wingExtent(m_profile, gammaD, gammaL, m_wingHalfwidths, m_wingAbsolute);
    const double amplitude = m_numberDensity * intensity * factors.abundanceRatio;
    if (!std::isfinite(amplitude))
        return false;

    // The window never reaches further from the tabulated position than the
    // line source looked beyond the grid (it matters only for a line beyond the
    // bounds of lineReach).
    const int lastIndex = m_lastIndex;
    const double lowEdge = std::max(center - wing, position - m_lineReach);
    const double highEdge = std::min(center + wing, position + m_lineReach);
    const double low = (lowEdge - m_gridStart) / m_gridStep;
    const double high = (highEdge - m_gridStart) / m_gridStep;
    // A window wholly outside the grid contributes nothing (also a NaN wing).
    if (!(high >= 0.0) || !(low <= double(lastIndex)))
        return false;
    job.start = low <= 0.0 ? 0 : int(low);
    job.end = high >= double(lastIndex) ? lastIndex : int(high);
    if (job.start > job.end)
        return false;
    job.center = center;
    job.amplitude = amplitude;
    job.gammaD = gammaD;
    job.gammaL = gammaL;
    job.molecule = molecule;
    return true;
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
    if (threads == 1 || work * relativePointCost(m_profile) < minimumThreadedWork || points < 2 * maximumBlock) {
        addPart(0, points);
        return;
    }
    if (!m_team || m_team->parts() != threads)
        m_team = std::make_unique<WorkerTeam>(threads);
    const std::vector<int> cuts = partCuts(m_team->parts());
    m_threadsAdding = true;
    m_team->start([this, cuts](int part) { addPart(cuts[std::size_t(part)], cuts[std::size_t(part) + 1]); });
    m_threadsUsed = m_team->parts();
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

// Adds the batch to the grid points from..to-1 and searches the blocks of the
// maxima that lie there and that the batch reached.
void Lbl::addPart(int from, int to)
{
    const auto kernel = m_referenceKernels ? ProfileKernels::addLinesReference : ProfileKernels::addLines;
    kernel(m_profile, m_jobs.data(), m_jobs.size(), m_grid->data(), m_crossSectionValues.data(), from, to);
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
