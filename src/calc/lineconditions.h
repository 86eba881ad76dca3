#pragma once

#include "calc/lineshapes.h"
#include "calc/profilekernels.h"

#include <vector>

class Params;
struct LineRecord;

// The conditions of one calculation as the lines see them: the temperature and
// pressure factors, each molecule's column and mole fraction, each
// isotopologue's partition-sum and abundance ratios and Doppler factor, and the
// line options. prepare() takes them from the parameter store once per
// calculation; prepareLine() then turns a HITRAN record into the job of adding
// its profile to a window of the grid.
class LineConditions
{
public:
    // The grid a job's window lies on: nu_i = start + i * step, i = 0 .. lastIndex.
    struct GridWindow
    {
        double start;
        double step;
        int lastIndex;
    };

    void prepare(const Params &params);
    // False for a line that adds nothing: not calculated, below the intensity
    // threshold, without a width, or with a window outside the grid.
    bool prepareLine(const LineRecord &record, const GridWindow &grid, LineJob &job) const;

    LineShape::Profile profile() const { return m_profile; }
    // Optical depth per cross-section of a molecule along the path.
    double columnFactor(std::size_t molecule) const { return m_columnFactors[molecule]; }

    // How far from its tabulated position a line can add to the spectrum with
    // the options and conditions of `params`: the widest wing extent a line can
    // have plus the largest pressure shift, from safe bounds on the widths and
    // shifts. The line source delivers the lines this far outside the range, and
    // no line reaches further, so a spectrum never depends on the range chosen.
    static double lineReach(const Params &params);

private:
    // What the lines of one isotopologue share during a calculation.
    struct IsotopologueFactors
    {
        bool usable = false;
        double partitionSumRatio = 0.0;   // Q(296 K) / Q(T), both from the same table
        double abundanceRatio = 0.0;      // abundance / natural abundance
        double dopplerFactor = 0.0;       // Doppler half-width per cm-1 of line position
    };

    std::vector<double> m_columnFactors;
    double m_c2OverT = 0.0;
    double m_c2Over296 = 0.0;
    double m_pressureRatio = 1.0;
    double m_tempRatio = 1.0;

    LineShape::Profile m_profile = LineShape::Lorentz;
    double m_numberDensity = 1.0;
    double m_intensityThreshold = 0.0;
    bool m_useShift = true;
    int m_broadeningType = 2;
    int m_wingHalfwidths = 50;
    double m_wingAbsolute = 1.0;
    double m_lineReach = 0.0;
    std::vector<double> m_moleFractions;
    std::vector<bool> m_moleculeCalculated;
    std::vector<std::vector<IsotopologueFactors>> m_isotopologueFactors;
};
