#include "core/calculationinputs.h"

#include "core/params.h"
#include "core/xaxis.h"

CalculationInputs CalculationInputs::of(const Params &params, const XAxis &axis)
{
    CalculationInputs inputs;
    std::vector<double> &v = inputs.m_values;
    const PathConditions &path = params.pathConditions();
    v = {axis.minWavenumber(), axis.maxWavenumber(), double(axis.numPoints()), path.pathLength,
         path.totalPressure, path.temperature, double(params.lineShapeProfile()),
         double(params.lineWingHalfwidths()), params.lineWingAbsolute(), double(params.broadeningType()),
         params.intensityThreshold(), double(params.lineShiftUsage()), double(params.calcNotSelected()),
         double(params.crossSectionOnly())};
    for (const Molecule &molecule : params.molecules()) {
        v.push_back(molecule.selected ? 1.0 : 0.0);
        for (const Isotopologue &isotopologue : molecule.isotopologues)
            v.push_back(isotopologue.abundance);
    }
    v.insert(v.end(), path.concentrations.begin(), path.concentrations.end());
    return inputs;
}
