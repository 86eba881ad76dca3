#include "calc/totalspectra.h"

#include "calc/instrumentfunction.h"
#include "calc/radiancecalculator.h"
#include "core/params.h"
#include "core/spectraset.h"
#include "core/xaxis.h"

#include <algorithm>

bool TotalSpectra::moleculeShown(const Params &params, std::size_t index)
{
    return int(index) < params.moleculeCount() && params.molecule(int(index)).selected;
}

void TotalSpectra::prepare(Spectrum &total, std::size_t points)
{
    total.values.assign(points, 0.0);
    total.auxValues.clear();
    total.windowStart = 0;
    total.windowEnd = int(points) - 1;
}

void TotalSpectra::sumShown(Spectrum &total, const SpectraSet &spectra, const Params &params, std::size_t points,
                            bool crossSection)
{
    prepare(total, points);
    for (std::size_t i = 0; i < spectra.molecules.size(); ++i) {
        if (!moleculeShown(params, i))
            continue;
        const MoleculeSpectra &molecule = spectra.molecules[i];
        const SpectrumValues &values = molecule.crossSection.values;
        // A molecule without values (no line of it reached the grid, or none
        // calculated yet) adds nothing.
        if (values.size() != total.values.size())
            continue;
        if (crossSection) {
            for (std::size_t j = 0; j < values.size(); ++j)
                total.values[j] += values[j];
        } else {
            const double columnDensity = molecule.columnDensity;
            for (std::size_t j = 0; j < values.size(); ++j)
                total.values[j] += columnDensity * values[j];
        }
    }
    total.updateMaximum();
}

void TotalSpectra::convolve(const Spectrum &source, Spectrum &target, InstrumentFunction &instrument, XAxis *xAxis)
{
    const std::size_t points = xAxis->grid().size();
    prepare(target, points);
    // Nothing is computed until the convolution says which points it computed.
    target.windowEnd = -1;
    instrument.setXAxis(xAxis);
    instrument.convolve(source, target);
    target.auxValues.clear();
    target.values.resize(points, 0.0);
    target.windowStart = std::max(0, target.windowStart);
    target.windowEnd = std::min(int(target.values.size()) - 1, target.windowEnd);
    target.updateMaximum();
}

void TotalSpectra::compute(SpectraSet &spectra, const Request &request, const Params &params, XAxis *xAxis,
                           InstrumentFunction &instrument)
{
    if (!request.plain && !request.instrument && !request.radiance)
        return;
    const std::size_t points = xAxis->grid().size();
    if (request.crossSection && !request.radiance) {
        sumShown(spectra.crossSectionTotal, spectra, params, points, true);
        if (request.instrument)
            convolve(spectra.crossSectionTotal, spectra.instrCrossSectionTotal, instrument, xAxis);
        return;
    }
    sumShown(spectra.opticalDepthTotal, spectra, params, points, false);
    if (request.instrument)
        convolve(spectra.opticalDepthTotal, spectra.instrOpticalDepthTotal, instrument, xAxis);
    if (!request.radiance)
        return;
    const RadianceCalculator radiance;
    const double temperature = params.pathConditions().temperature;
    if (request.plain) {
        radiance.calculate(spectra.opticalDepthTotal, spectra.radianceTotal, xAxis->grid(), temperature);
        spectra.radianceTotal.updateMaximum();
    }
    if (request.instrument) {
        radiance.calculate(spectra.instrOpticalDepthTotal, spectra.instrRadianceTotal, xAxis->grid(), temperature);
        spectra.instrRadianceTotal.windowStart = spectra.instrOpticalDepthTotal.windowStart;
        spectra.instrRadianceTotal.windowEnd = spectra.instrOpticalDepthTotal.windowEnd;
        spectra.instrRadianceTotal.updateMaximum();
    }
}
