#pragma once

#include <cstddef>

class InstrumentFunction;
class Params;
class XAxis;
struct SpectraSet;
struct Spectrum;

// The totals of a calculation's spectra: the sum over the molecules shown, and
// that sum smoothed with the instrument function where its kernel fits.
class TotalSpectra
{
public:
    // Whether molecule `index` (0-based) is one the user chose to show.
    static bool moleculeShown(const Params &params, std::size_t index);
    // A total of `points` zeros, its window the whole grid.
    static void prepare(Spectrum &total, std::size_t points);
    // The sum of the cross-sections (or optical depths) of the shown molecules
    // on the grid of `points`; a molecule without a spectrum on it adds nothing.
    static void sumShown(Spectrum &total, const SpectraSet &spectra, const Params &params, std::size_t points,
                         bool crossSection);
    // `source` convolved with the instrument function on the grid of `xAxis`;
    // the target's window says which points the kernel reached.
    static void convolve(const Spectrum &source, Spectrum &target, InstrumentFunction &instrument, XAxis *xAxis);

    // Which totals a display needs: of the cross-sections, the optical depths or
    // the radiance; plain, smoothed with the instrument function, or both.
    struct Request
    {
        bool crossSection;
        bool radiance;
        bool plain;
        bool instrument;
    };
    // Fills the totals of `spectra` that `request` names (radiance at the path
    // temperature of `params`).
    static void compute(SpectraSet &spectra, const Request &request, const Params &params, XAxis *xAxis,
                        InstrumentFunction &instrument);
};
