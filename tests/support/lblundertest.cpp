#include "lblundertest.h"

#include "data/parameterfiles.h"

#include <QDir>
#include <QFile>
#include <QTest>

const char *LblUnderTest::fixturePath()
{
    return KOLVEX_TEST_DATA "/calc/lines.par";
}

std::vector<LineRecord> LblUnderTest::fixtureLines()
{
    return StandInLineSource::readFile(QString::fromLatin1(fixturePath()));
}

bool LblUnderTest::loadShippedPartitionSums()
{
    if (!m_tips.isValid())
        return false;
    const QString shipped = QStringLiteral(KOLVEX_SOURCE_DIR "/resources/hitran/TIPS");
    for (const QString &name : QDir(shipped).entryList({QStringLiteral("q*.txt")}, QDir::Files)) {
        if (!QFile::copy(shipped + QLatin1Char('/') + name, m_tips.filePath(name)))
            return false;
    }
    ParameterFiles files(m_params.get());
    files.setTipsFolder(m_tips.path());
    files.loadAllTipsFiles();
    return m_params->molecule(4).isotopologues.at(0).tipsLoaded;
}

void LblUnderTest::setStandardConditions()
{
    Params &p = *m_params;
    p.setLineShapeProfile(2);
    p.setLineWingHalfwidths(50);
    p.setLineWingAbsolute(1.0);
    p.setBroadeningType(2);
    p.setIntensityThreshold(0.0);
    p.setLineShiftUsage(1);
    p.setCalcNotSelected(true);
    p.setCrossSectionOnly(true);
    PathConditions &c = p.pathConditions();
    c.temperature = 296.0;
    c.totalPressure = 1.0;
    c.pathLength = 1000.0;
    c.concentrations.assign(std::size_t(p.moleculeCount()), 0.0);
    c.concentrations[0] = 7750.0;   // H2O
    c.concentrations[1] = 330.0;    // CO2
    c.concentrations[3] = 0.32;     // N2O
    c.concentrations[4] = 0.15;     // CO
    c.concentrations[7] = 3e-4;     // NO
    for (Molecule &molecule : p.molecules()) {
        molecule.selected = true;
        for (Isotopologue &isotopologue : molecule.isotopologues)
            isotopologue.abundance = isotopologue.naturalAbundance;
    }
}

std::unique_ptr<LblRun> LblUnderTest::newRun(double minWavenumber, double maxWavenumber, int points)
{
    auto run = std::make_unique<LblRun>();
    run->xAxis = XAxis(XAxis::Wavenumber, minWavenumber, maxWavenumber, points);
    run->lbl.setParams(m_params.get());
    run->lbl.setXAxis(&run->xAxis);
    run->lbl.setSpectra(&run->spectra);
    run->lbl.setThreadCount(1);
    LblRun *r = run.get();
    QObject::connect(&run->lbl, &Lbl::notify, &run->lbl, [r](const QString &text, double fraction) {
        r->notes.append(text);
        r->fractions.append(fraction);
    });
    QObject::connect(&run->lbl, &Lbl::calculationComplete, &run->lbl, [r] { ++r->completions; });
    return run;
}

bool LblUnderTest::calculate(LblRun &run, std::vector<LineRecord> records, int batchSize)
{
    run.source.setRecords(std::move(records));
    run.source.setBatchSize(batchSize);
    run.lbl.start(run.source.feed());
    QTest::qWaitFor([&run] { return run.completions > 0; }, 20000);
    return run.completions == 1 && !run.lbl.isRunning();
}
