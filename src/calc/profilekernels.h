#pragma once

#include "calc/lineshapes.h"
#include "core/bufferallocator.h"

#include <cstddef>
#include <vector>

// One line ready to be added to a spectrum: its shifted centre, the amplitude that
// multiplies the unit-area profile, its widths and its index window on the grid.
struct LineJob
{
    double center = 0.0;
    double amplitude = 0.0;
    double gammaD = 0.0;
    double gammaL = 0.0;
    int start = 0;        // first grid index of the window
    int end = -1;         // last grid index, inclusive
    int molecule = 0;     // index of the spectrum the line adds to
};

// The jobs of one batch.
using LineJobs = std::vector<LineJob, BufferAllocator<LineJob>>;

// The per-point loops of the engine. Each adds the profiles of a list of lines,
// in list order, to the spectra they belong to, touching only the grid indices
// from `from` up to (not including) `to`. Splitting the grid between callers
// therefore gives the same sums in the same order as one call over all of it.
namespace ProfileKernels {

// The plain loops: one call of the inline profile function per grid point.
// They are the reference the fast loops are tested against.
void addLinesReference(LineShape::Profile profile, const LineJob *jobs, std::size_t count,
                       const double *grid, double *const *spectra, int from, int to);

// The fast loops: constants hoisted out of the point loop, no branches in it,
// fewer divisions in the Voigt sum and vectorised with the widest instruction
// set the processor offers (chosen at run time).
void addLines(LineShape::Profile profile, const LineJob *jobs, std::size_t count,
              const double *grid, double *const *spectra, int from, int to);

// Name of the instruction set the fast loops run with on this processor.
const char *instructionSet();

// The fast loops built for one instruction set, for comparing them with each
// other; false (and nothing added) when this processor lacks the set.
enum InstructionSet { Baseline, Avx2, Avx512 };
bool addLinesUsing(InstructionSet set, LineShape::Profile profile, const LineJob *jobs, std::size_t count,
                   const double *grid, double *const *spectra, int from, int to);

} // namespace ProfileKernels
