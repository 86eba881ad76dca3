#include "calc/lineconditions.h"

#include "core/linerecord.h"
#include "core/params.h"
#include "core/settingrules.h"

#include <algorithm>
#include <cmath>
#include <limits>

static_assert(LineShape::VoigtHigh + 1 == SettingRules::optionCount(SettingRules::Option::LineShapeProfile),
              "every line shape is an option of the settings");

namespace {

constexpr double c2 = 1.4388028496642258;               // second radiation constant, cm K
constexpr double boltzmann = 1.380648813e-16;           // erg / K
constexpr double atmPerDynPerCm2 = 9.869233e-07;
constexpr double numberDensity296 = 2.47937196e19;      // cm-3 at 296 K and 1 atm
constexpr double ppmvMetresToFractionCm = 9.999999999999999e-05;
constexpr double referenceTemperature = 296.0;

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

} // namespace

double LineConditions::lineReach(const Params &params)
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

void LineConditions::prepare(const Params &params)
{
    const PathConditions &conditions = params.pathConditions();
    const double temperature = conditions.temperature;
    m_c2OverT = -c2 / temperature;
    m_c2Over296 = -c2 / referenceTemperature;
    m_pressureRatio = conditions.totalPressure / 1.0;
    m_tempRatio = referenceTemperature / temperature;
    m_numberDensity = params.crossSectionOnly()
        ? 1.0
        : conditions.totalPressure / (atmPerDynPerCm2 * boltzmann * temperature);
    m_profile = LineShape::profileFromIndex(params.lineShapeProfile());
    m_intensityThreshold = params.intensityThreshold();
    m_useShift = params.lineShiftUsage() != 0;
    m_broadeningType = params.broadeningType();
    m_wingHalfwidths = params.lineWingHalfwidths();
    m_wingAbsolute = params.lineWingAbsolute();
    m_lineReach = lineReach(params);

    const int moleculeCount = params.moleculeCount();
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
        const Molecule &molecule = params.molecule(m);
        m_moleculeCalculated[index] = molecule.selected || params.calcNotSelected();

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

bool LineConditions::prepareLine(const LineRecord &record, const GridWindow &grid, LineJob &job) const
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
    const int lastIndex = grid.lastIndex;
    const double lowEdge = std::max(center - wing, position - m_lineReach);
    const double highEdge = std::min(center + wing, position + m_lineReach);
    const double low = (lowEdge - grid.start) / grid.step;
    const double high = (highEdge - grid.start) / grid.step;
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
