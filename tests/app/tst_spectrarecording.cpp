#include "app/kolvexcore.h"
#include "app/spectraresultsqml.h"
#include "calc/instrumentfunction.h"
#include "calc/profilekernels.h"
#include "consolescript.h"
#include "core/calculationresults.h"
#include "core/params.h"
#include "offlinesettings.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// The spectra Kolvex computes must not change when the way it computes them
// does. Calculations on the shipped sample lines (every line shape, quantity,
// instrument function and several conditions) are run through kolvex-console
// and the data file is written from the results table; the replies and the file
// must match the recordings in tests/data/calc byte for byte. Long texts are
// recorded as their length, SHA-256 and first characters.
//
// An optimised build lets the compiler fuse multiplications and additions in
// the per-point loops built for processors with fused multiply-add (AVX2 and
// AVX-512 give the same sums); the last bits of its spectra differ from those of
// an unoptimised build, and in the 8 digits of a reply that shows now and then.
// Each kind of build therefore has its own recording, "-fused" for the former.
// A target whose every processor has fused multiply-add (arm64) is built with
// it throughout, so an optimised build for it fuses in those loops too, and
// gives the "-fused" replies digit for digit (an arm64 build compared with both
// recordings differs from the other one in one reply).
//
// The recordings were made before the engine and the results table were
// reworked for large grids; their instrument-function totals were made anew
// when the kernels were centred on each point (they had sat one step high) and
// the cosine kernel became the raised cosine, and both data-file recordings
// once more when the file began to write nan outside the range where the
// instrument function is valid (every other number stayed as it was). To record anew after a
// deliberate change of the results, set KOLVEX_SPECTRA_RECORD to a folder the
// new recordings go to.
class TestSpectraRecording : public QObject
{
    Q_OBJECT

private slots:
    void consoleRepliesMatchTheRecording();
    void dataFilesMatchTheRecording();
};

namespace {

const QString scriptPath = QStringLiteral(KOLVEX_TEST_DATA "/calc/spectra-script.txt");
QString recordingName(const char *stem)
{
    bool fused = false;
#if defined(__OPTIMIZE__) && defined(__FP_FAST_FMA)
    fused = true;
#elif defined(__OPTIMIZE__)
    fused = QByteArray(ProfileKernels::instructionSet()) == "AVX2"
        || QByteArray(ProfileKernels::instructionSet()) == "AVX-512";
#endif
    return QLatin1String(stem) + (fused ? QLatin1String("-fused.txt") : QLatin1String(".txt"));
}

QByteArray summary(const QByteArray &text)
{
    if (text.size() <= 200)
        return text;
    QByteArray start = text.left(80);
    start.replace('\n', "\\n").replace('\t', "\\t");
    return "[" + QByteArray::number(text.size()) + " bytes, sha256 "
        + QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex() + "] " + start + "...";
}

// Compares the transcript with the recording of that name, after writing it
// into the folder KOLVEX_SPECTRA_RECORD names, if any.
void compareWithRecording(const QByteArray &transcript, const QString &name)
{
    const QString recordTo = qEnvironmentVariable("KOLVEX_SPECTRA_RECORD");
    const QString difference = ConsoleScript::recordingDifference(
        transcript, QStringLiteral(KOLVEX_TEST_DATA "/calc/") + name,
        recordTo.isEmpty() ? QString() : recordTo + QLatin1Char('/') + name);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

} // namespace

void TestSpectraRecording::consoleRepliesMatchTheRecording()
{
    const QList<QByteArray> lines = ConsoleScript::scriptLines(scriptPath);
    QVERIFY2(!lines.isEmpty(), qPrintable(scriptPath));
    const ConsoleScript::Replies console = ConsoleScript::runMarked(lines, 280000);
    QVERIFY2(console.problem.isEmpty(), qPrintable(console.problem));

    QByteArray transcript("Spectra recording: each message sent to kolvex-console (>) and its replies (<).\n");
    for (int i = 0; i < lines.size(); ++i) {
        QList<QByteArray> replies = console.replies.at(i).split('\n');
        replies.removeLast();   // the text after the last line end, always empty
        transcript += "> " + lines.at(i) + '\n';
        for (const QByteArray &reply : qAsConst(replies))
            transcript += "< " + summary(reply) + '\n';
    }
    compareWithRecording(transcript, recordingName("spectra-recording"));
}

void TestSpectraRecording::dataFilesMatchTheRecording()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    KolvexCore core(offlineSettings(folder.path()));
    QTRY_VERIFY_WITH_TIMEOUT(core.tipsLoaded(), 20000);
    SpectraResultsQml results(nullptr, &core);
    results.setHeightPoints(500);
    core.xAxis()->setMinWavenumber(1900.0);
    core.xAxis()->setMaxWavenumber(2400.0);
    core.xAxis()->setNumPoints(5001);
    core.params()->setCalcNotSelected(true);
    core.params()->setLineShapeProfile(2);

    QByteArray transcript("Data files: the table of each display after one calculation on the sample lines.\n");
    // The table only: the "#" lines before it say how the results were obtained
    // (folders of this run included), not what they are.
    const auto record = [&](const QByteArray &display) {
        QString table = core.results()->dataFileText();
        while (table.startsWith(QLatin1Char('#')))
            table = table.mid(table.indexOf(QLatin1Char('\n')) + 1);
        transcript += display + ": " + summary(table.toUtf8()) + '\n';
    };
    core.calculate();
    QTRY_VERIFY_WITH_TIMEOUT(!core.calculationIsRunning(), 120000);
    record("molecules, absorption");
    YAxisSettings *yAxis = core.yAxis();
    const struct {
        const char *name;
        quint8 displayedValue;
        quint8 units;
    } displays[] = {{"molecules, cross-section", YAxisSettings::AbsorptionQuantities, YAxisSettings::CrossSection},
                    {"molecules, optical depth", YAxisSettings::AbsorptionQuantities, YAxisSettings::OpticalDepth},
                    {"molecules, transmission", YAxisSettings::AbsorptionQuantities, YAxisSettings::Transmission},
                    {"molecules, radiance", YAxisSettings::Radiance, YAxisSettings::Absorption}};
    for (const auto &display : displays) {
        yAxis->displayedValue = display.displayedValue;
        yAxis->yUnits = display.units;
        results.updatePlot();
        record(display.name);
    }
    results.setShowTotal(true);
    for (const auto &display : displays) {
        yAxis->displayedValue = display.displayedValue;
        yAxis->yUnits = display.units;
        results.updatePlot();
        record(QByteArray("totals") + QByteArray(display.name).mid(9));
    }
    core.instrumentFunction()->setType(InstrumentFunction::Triangular);
    results.setShowPlainTotal(false);
    results.updatePlot();
    record("instrument-function total alone, radiance");
    compareWithRecording(transcript, recordingName("datafile-recording"));
}

QTEST_GUILESS_MAIN(TestSpectraRecording)
#include "tst_spectrarecording.moc"
