#pragma once

#include "calc/lbl.h"
#include "core/linerecord.h"
#include "core/params.h"
#include "core/spectraset.h"
#include "core/xaxis.h"
#include "standinlinesource.h"

#include <QList>
#include <QStringList>
#include <QTemporaryDir>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

// The ten lines of the engine's test line list (tests/data/calc/lines.par), by name.
enum FixtureLine { Co1, CoSecond, Co13, H2oOutside, N2o, Ph3a, Ph3b, Co2, H2o, No };

// One calculation of the engine: its grid, the stand-in source of its lines,
// and what it reported.
struct LblRun
{
    SpectraSet spectra;
    XAxis xAxis{XAxis::Wavenumber, 2000.0, 2300.0, 10000};
    StandInLineSource source;
    Lbl lbl;
    QStringList notes;
    QList<double> fractions;
    int completions = 0;
};

// The engine with the shipped partition sums and the conditions its tests
// start from: 296 K, 1 atm, 1 km, the Voigt profile, wings of 50 half-widths
// or 1 cm-1, every molecule selected with natural abundances, and ground
// amounts of H2O, CO2, N2O, CO and NO.
class LblUnderTest
{
public:
    static const char *fixturePath();
    // The lines as the engine gets them: through the program's record parser.
    static std::vector<LineRecord> fixtureLines();


    // Reads the shipped tables from a copy (reading leaves a compact copy beside them).
    bool loadShippedPartitionSums();
    void setStandardConditions();
    Params &params() { return *m_params; }

    std::unique_ptr<LblRun> newRun(double minWavenumber, double maxWavenumber, int points);
    // Calculates from `records` handed in batches of `batchSize`; whether the
    // calculation ended, once.
    bool calculate(LblRun &run, std::vector<LineRecord> records, int batchSize = 20000);

private:
    QTemporaryDir m_tips;
    std::unique_ptr<Params> m_params = std::make_unique<Params>();
};

inline std::vector<LineRecord> fixtureLines()
{
    return LblUnderTest::fixtureLines();
}

// The maximum a spectrum starts from, and keeps while no line adds to it: the
// smallest positive double, so that any line's value is larger.
constexpr double tinyMaximum = std::numeric_limits<double>::min();

// |value - reference| / |reference|.
inline double relativeError(double value, double reference)
{
    return std::fabs(value - reference) / std::fabs(reference);
}
