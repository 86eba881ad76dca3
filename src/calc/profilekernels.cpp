#include "calc/profilekernels.h"

#include <algorithm>
#include <cmath>

using namespace LineShape;

// The loops are compiled once per instruction set: each set's entry point below
// must take them in whole rather than call a copy built for another set.
#define KOLVEX_KERNEL inline __attribute__((always_inline))

namespace {

template<Profile P>
inline void addLineReference(double *values, const double *grid, int start, int end,
                             const LineJob &job)
{
    for (int i = start; i <= end; ++i)
        values[i] += job.amplitude * profileValue(P, grid[i] - job.center, job.gammaD, job.gammaL);
}

KOLVEX_KERNEL void addLorentzLine(double *__restrict values, const double *__restrict grid, int start,
                           int end, double center, double amplitude, double gammaL)
{
    const double numerator = amplitude * invPi * gammaL;
    const double gammaSquared = gammaL * gammaL;
    for (int i = start; i <= end; ++i) {
        const double delta = grid[i] - center;
        values[i] += numerator / (gammaSquared + delta * delta);
    }
}

// Eight grid points at a time, in the widest registers the target offers (the
// compiler splits them for narrower ones). Arithmetic with a scalar broadcasts it.
typedef double Vec8 __attribute__((vector_size(64)));
typedef long long Int8 __attribute__((vector_size(64)));
constexpr int lanes = 8;

// Unaligned loads and stores (macros: a 64-byte vector passed to a function
// would change the calling convention between instruction sets).
#define KOLVEX_LOAD8(target, pointer) __builtin_memcpy(&(target), (pointer), sizeof(Vec8))
#define KOLVEX_STORE8(pointer, source) __builtin_memcpy((pointer), &(source), sizeof(Vec8))

// exp(a) for a <= 0, to about one unit in the last place: a = n ln2 + r with
// |r| <= ln2 / 2, a degree-13 Taylor polynomial for exp(r), and 2^n put straight
// into the exponent bits. Below -708 (where exp leaves the normal range) it gives 0.
#define KOLVEX_EXP_NONPOSITIVE(a, result)                                                        \
    do {                                                                                         \
        const Vec8 clamped = (a) < -708.0 ? Vec8{} - 708.0 : (a);                                \
        const double shifter = 6755399441055744.0; /* 1.5 * 2^52 */                              \
        const Vec8 shifted = clamped * 1.4426950408889634 + shifter;                             \
        const Vec8 n = shifted - shifter;                                                        \
        const Vec8 r = (clamped - n * 0.6931471803691238) - n * 1.9082149292705877e-10;           \
        Vec8 p = r * (1.0 / 6227020800.0) + (1.0 / 479001600.0);                                 \
        p = p * r + (1.0 / 39916800.0);                                                          \
        p = p * r + (1.0 / 3628800.0);                                                           \
        p = p * r + (1.0 / 362880.0);                                                            \
        p = p * r + (1.0 / 40320.0);                                                             \
        p = p * r + (1.0 / 5040.0);                                                              \
        p = p * r + (1.0 / 720.0);                                                               \
        p = p * r + (1.0 / 120.0);                                                               \
        p = p * r + (1.0 / 24.0);                                                                \
        p = p * r + (1.0 / 6.0);                                                                 \
        p = p * r + 0.5;                                                                         \
        p = p * r + 1.0;                                                                         \
        p = p * r + 1.0;                                                                         \
        const Int8 exponent = ((Int8)shifted - (Int8)(Vec8{} + shifter) + 1023) << 52;           \
        const Vec8 value = p * (Vec8)exponent;                                                   \
        (result) = (a) < -708.0 ? Vec8{} : value;                                                \
    } while (false)

// Adds one line to the points of its window [windowStart, windowEnd] that lie
// in [from, to). The points are taken as in one pass over the whole window:
// in groups of `lanes` counted from the window's first point, and the points
// after the last whole group one at a time. A group that the edge of [from, to)
// cuts is computed whole and kept only inside, so every point gets exactly the
// same arithmetic however the grid is split between threads (the vector and the
// single-point forms of a profile need not round alike, and the compiler fuses
// multiplications and additions where it may).
//
// Points supplies the profile: group(nu, sum) adds it to eight points,
// point(nu, value) to one.
template<typename Points>
KOLVEX_KERNEL void addWindow(double *__restrict values, const double *__restrict grid, int windowStart,
                             int windowEnd, int from, int to, const Points &points)
{
    const int start = std::max(windowStart, from);
    const int end = std::min(windowEnd, to - 1);
    if (start > end)
        return;
    const int lastGroup = windowEnd - (lanes - 1);
    int g = windowStart + (start - windowStart) / lanes * lanes;
    for (; g <= end && g <= lastGroup; g += lanes) {
        // A cut group goes through a copy of its points, so that it takes the
        // same code, and the same rounding, as a whole one.
        const bool whole = g >= start && g + lanes - 1 <= end;
        const int first = std::max(g, start);
        const int last = std::min(g + lanes - 1, end);
        double scratch[lanes] = {};
        double *target = values + g;
        if (!whole) {
            for (int i = first; i <= last; ++i)
                scratch[i - g] = values[i];
            target = scratch;
        }
        Vec8 nu;
        KOLVEX_LOAD8(nu, grid + g);
        Vec8 sum;
        KOLVEX_LOAD8(sum, target);
        points.group(nu, sum);
        KOLVEX_STORE8(target, sum);
        if (!whole) {
            for (int i = first; i <= last; ++i)
                values[i] = scratch[i - g];
        }
    }
    for (int i = std::max(g, start); i <= end; ++i)
        points.point(grid[i], values[i]);
}

struct DopplerPoints
{
    double center;
    double inverseWidth;
    double peak;

    KOLVEX_KERNEL void group(const Vec8 &nu, Vec8 &sum) const
    {
        const Vec8 t = (nu - center) * inverseWidth;
        const Vec8 argument = -t * ln2 * t;
        Vec8 e;
        KOLVEX_EXP_NONPOSITIVE(argument, e);
        sum += peak * e;
    }
    KOLVEX_KERNEL void point(double nu, double &value) const
    {
        const double t = (nu - center) * inverseWidth;
        value += peak * std::exp(-t * ln2 * t);
    }
};

KOLVEX_KERNEL void addDopplerLine(double *__restrict values, const double *__restrict grid, const LineJob &job,
                                  int from, int to)
{
    const DopplerPoints points{job.center, 1.0 / job.gammaD, job.amplitude * sqrtLn2OverPi / job.gammaD};
    addWindow(values, grid, job.start, job.end, from, to, points);
}

// The Voigt sum per point, rearranged so that each term costs two multiply-adds,
// one addition and a division shared with its neighbour term:
//   numerator_m   = (alpha + gamma Y)(beta + Y2) + (gamma Y - alpha) x2
//   denominator_m = (beta + Y2 - x2)^2 + 4 Y2 x2
// and two terms n1/d1 + n2/d2 are summed as (n1 d2 + n2 d1) / (d1 d2). The
// denominators grow as x^4; with x below 1e25 (Doppler widths of at least
// 1e-20 cm-1 over grids of at most 50000 cm-1) their products stay finite.
template<typename C>
struct VoigtPoints
{
    static_assert(C::count % 2 == 0, "terms are summed in pairs");
    double center;
    double xScale;
    double fourY2;
    double scale;
    double constantPart[C::count];
    double x2Part[C::count];
    double betaPlusY2[C::count];

    KOLVEX_KERNEL void group(const Vec8 &nu, Vec8 &sum) const
    {
        const Vec8 x = (nu - center) * xScale;
        const Vec8 x2 = x * x;
        const Vec8 crossTerm = fourY2 * x2;
        Vec8 k = {};
#pragma GCC unroll 16
        for (int m = 0; m < C::count; m += 2) {
            const Vec8 t1 = betaPlusY2[m] - x2;
            const Vec8 t2 = betaPlusY2[m + 1] - x2;
            const Vec8 d1 = t1 * t1 + crossTerm;
            const Vec8 d2 = t2 * t2 + crossTerm;
            const Vec8 n1 = constantPart[m] + x2Part[m] * x2;
            const Vec8 n2 = constantPart[m + 1] + x2Part[m + 1] * x2;
            k += (n1 * d2 + n2 * d1) / (d1 * d2);
        }
        sum += scale * k;
    }
    KOLVEX_KERNEL void point(double nu, double &value) const
    {
        const double x = (nu - center) * xScale;
        const double x2 = x * x;
        const double crossTerm = fourY2 * x2;
        double k = 0.0;
        for (int m = 0; m < C::count; m += 2) {
            const double t1 = betaPlusY2[m] - x2;
            const double t2 = betaPlusY2[m + 1] - x2;
            const double d1 = t1 * t1 + crossTerm;
            const double d2 = t2 * t2 + crossTerm;
            const double n1 = constantPart[m] + x2Part[m] * x2;
            const double n2 = constantPart[m + 1] + x2Part[m + 1] * x2;
            k += (n1 * d2 + n2 * d1) / (d1 * d2);
        }
        value += scale * k;
    }
};

template<typename C>
KOLVEX_KERNEL void addVoigtLine(double *__restrict values, const double *__restrict grid, const LineJob &job,
                                int from, int to)
{
    if (job.gammaD < minimumDopplerWidth) {
        addLorentzLine(values, grid, std::max(job.start, from), std::min(job.end, to - 1), job.center,
                       job.amplitude, job.gammaL);
        return;
    }
    VoigtPoints<C> points;
    points.center = job.center;
    points.xScale = sqrtLn2 / job.gammaD;
    const double y = std::fabs(sqrtLn2 * job.gammaL / job.gammaD) + voigtYShift;
    const double y2 = y * y;
    points.fourY2 = 4.0 * y2;
    points.scale = job.amplitude * sqrtLn2 / (job.gammaD * sqrtPi());
    for (int m = 0; m < C::count; ++m) {
        const double gammaY = C::gamma[m] * y;
        points.constantPart[m] = (C::alpha[m] + gammaY) * (C::beta[m] + y2);
        points.x2Part[m] = gammaY - C::alpha[m];
        points.betaPlusY2[m] = C::beta[m] + y2;
    }
    addWindow(values, grid, job.start, job.end, from, to, points);
}

template<Profile P>
KOLVEX_KERNEL void addLinesFastImpl(const LineJob *jobs, std::size_t count, const double *grid,
                             double *const *spectra, int from, int to)
{
    for (std::size_t j = 0; j < count; ++j) {
        const LineJob &job = jobs[j];
        if (std::max(job.start, from) > std::min(job.end, to - 1))
            continue;
        double *values = spectra[job.molecule];
        switch (P) {
        case Doppler:
            addDopplerLine(values, grid, job, from, to);
            break;
        case Lorentz:
            addLorentzLine(values, grid, std::max(job.start, from), std::min(job.end, to - 1), job.center,
                           job.amplitude, job.gammaL);
            break;
        case VoigtHigh:
            addVoigtLine<VoigtCoefficients16>(values, grid, job, from, to);
            break;
        default:
            addVoigtLine<VoigtCoefficients12>(values, grid, job, from, to);
            break;
        }
    }
}

KOLVEX_KERNEL void addLinesFastAny(Profile profile, const LineJob *jobs, std::size_t count,
                            const double *grid, double *const *spectra, int from, int to)
{
    switch (profile) {
    case Doppler: addLinesFastImpl<Doppler>(jobs, count, grid, spectra, from, to); break;
    case Lorentz: addLinesFastImpl<Lorentz>(jobs, count, grid, spectra, from, to); break;
    case VoigtHigh: addLinesFastImpl<VoigtHigh>(jobs, count, grid, spectra, from, to); break;
    default: addLinesFastImpl<VoigtStandard>(jobs, count, grid, spectra, from, to); break;
    }
}

using AddLinesFunction = void (*)(Profile, const LineJob *, std::size_t, const double *,
                                  double *const *, int, int);

void addLinesBaseline(Profile profile, const LineJob *jobs, std::size_t count, const double *grid,
                      double *const *spectra, int from, int to)
{
    addLinesFastAny(profile, jobs, count, grid, spectra, from, to);
}

#if defined(__x86_64__) && defined(__GNUC__)
#define KOLVEX_RUNTIME_DISPATCH 1

__attribute__((target("avx2,fma"))) void addLinesAvx2(Profile profile, const LineJob *jobs,
                                                       std::size_t count, const double *grid,
                                                       double *const *spectra, int from, int to)
{
    addLinesFastAny(profile, jobs, count, grid, spectra, from, to);
}

__attribute__((target("avx512f,avx512dq,avx512vl,avx2,fma"))) void
addLinesAvx512(Profile profile, const LineJob *jobs, std::size_t count, const double *grid,
               double *const *spectra, int from, int to)
{
    addLinesFastAny(profile, jobs, count, grid, spectra, from, to);
}
#endif

struct Dispatch
{
    AddLinesFunction function = addLinesBaseline;
    const char *name = "x86-64 baseline";
    Dispatch()
    {
#ifdef KOLVEX_RUNTIME_DISPATCH
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq")
            && __builtin_cpu_supports("avx512vl")) {
            function = addLinesAvx512;
            name = "AVX-512";
        } else if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) {
            function = addLinesAvx2;
            name = "AVX2";
        }
#else
        name = "portable";
#endif
    }
};

const Dispatch &dispatch()
{
    static const Dispatch chosen;
    return chosen;
}

} // namespace

namespace ProfileKernels {

void addLinesReference(Profile profile, const LineJob *jobs, std::size_t count, const double *grid,
                       double *const *spectra, int from, int to)
{
    for (std::size_t j = 0; j < count; ++j) {
        const LineJob &job = jobs[j];
        const int start = std::max(job.start, from);
        const int end = std::min(job.end, to - 1);
        if (start > end)
            continue;
        double *values = spectra[job.molecule];
        switch (profile) {
        case Doppler: addLineReference<Doppler>(values, grid, start, end, job); break;
        case Lorentz: addLineReference<Lorentz>(values, grid, start, end, job); break;
        case VoigtHigh: addLineReference<VoigtHigh>(values, grid, start, end, job); break;
        default: addLineReference<VoigtStandard>(values, grid, start, end, job); break;
        }
    }
}

void addLines(Profile profile, const LineJob *jobs, std::size_t count, const double *grid,
              double *const *spectra, int from, int to)
{
    dispatch().function(profile, jobs, count, grid, spectra, from, to);
}

const char *instructionSet()
{
    return dispatch().name;
}

bool addLinesUsing(InstructionSet set, Profile profile, const LineJob *jobs, std::size_t count,
                   const double *grid, double *const *spectra, int from, int to)
{
    AddLinesFunction function = addLinesBaseline;
#ifdef KOLVEX_RUNTIME_DISPATCH
    __builtin_cpu_init();
    if (set == Avx2) {
        if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("fma"))
            return false;
        function = addLinesAvx2;
    } else if (set == Avx512) {
        if (!__builtin_cpu_supports("avx512f") || !__builtin_cpu_supports("avx512dq")
            || !__builtin_cpu_supports("avx512vl"))
            return false;
        function = addLinesAvx512;
    }
#else
    if (set != Baseline)
        return false;
#endif
    function(profile, jobs, count, grid, spectra, from, to);
    return true;
}

} // namespace ProfileKernels
