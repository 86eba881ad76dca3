// The window during a heavy calculation: the real main window (offscreen, its
// QML from the source tree) on a temporary data folder whose own line file is
// the sample line list, read offline.
//
//   QT_QPA_PLATFORM=offscreen bench_ui [--runs N] [--points N] [--cancel-after MS]
//
// The heavy case: 1 000 000 points, 1000-3500 cm-1, every molecule calculated
// and shown, Voigt, line wing 2000 half-widths and 50 cm-1. Prints
// - the lateness of a 10 ms timer of the main thread during the first run
//   (p50, p99, largest): how long an event (a repaint, a click, a peer's
//   message) waits while the lines are added;
// - the time from Calc to the first progress shown in the banner, and the
//   longest time the banner's text and fraction stayed unchanged;
// - how long the window takes to draw itself again after a resize and a zoom,
//   with the curves of the heavy case;
// - how long a Cancel takes to end a run, pressed after --cancel-after ms;
// - the resident memory after the first and after the last of --runs runs,
//   and after one more run of the default case (10 000 points, 2000-2300 cm-1).

#include "app/kolvexcore.h"
#include "core/params.h"
#include "core/xaxis.h"
#include "download/hitranonlinedownloader.h"
#include "ui/qmltypes.h"
#include "ui/viewobjects.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double residentMegabytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0.0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : 0.0;
}

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const std::size_t index = std::min(values.size() - 1, std::size_t(fraction * double(values.size() - 1) + 0.5));
    return values[index];
}

// Runs the event loop until the core's calculation has ended.
void waitForEnd(KolvexCore &core)
{
    QEventLoop loop;
    QTimer check;
    check.setInterval(1);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (!core.calculationIsRunning())
            loop.quit();
    });
    check.start();
    loop.exec();
}

struct RunFigures
{
    double seconds = 0.0;
    std::vector<double> lateness;   // ms
    double firstProgress = -1.0;    // ms after Calc
    double longestUnchanged = 0.0;  // ms
    double cancelLatency = -1.0;    // ms
};

// One calculation started from the event loop, as a click on Calc starts it;
// cancelled after cancelAfter ms unless that is negative.
RunFigures measureRun(KolvexCore &core, int cancelAfter)
{
    RunFigures figures;
    QElapsedTimer clock;
    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (sinceTick.isValid())
            figures.lateness.push_back(std::max(0.0, double(sinceTick.nsecsElapsed()) / 1e6 - 10.0));
        sinceTick.start();
    });
    QString lastText;
    double lastValue = -1.0;
    double lastChange = 0.0;
    const auto connection = QObject::connect(
        &core, &KolvexCore::notify, [&](const QString &message, double value, bool visible, bool) {
            if (!visible || message.isEmpty() || !clock.isValid())
                return;
            const double now = double(clock.nsecsElapsed()) / 1e6;
            if (figures.firstProgress < 0.0)
                figures.firstProgress = now;
            if (message != lastText || value != lastValue) {
                if (lastValue >= 0.0)
                    figures.longestUnchanged = std::max(figures.longestUnchanged, now - lastChange);
                lastChange = now;
                lastText = message;
                lastValue = value;
            }
        });
    QElapsedTimer cancelClock;
    QTimer cancelTimer;
    cancelTimer.setSingleShot(true);
    QObject::connect(&cancelTimer, &QTimer::timeout, [&] {
        cancelClock.start();
        core.cancelCalculation();
    });

    QTimer::singleShot(0, &core, [&] {
        clock.start();
        ticker.start();
        if (cancelAfter >= 0)
            cancelTimer.start(cancelAfter);
        core.calculate();
    });
    // The calculation may run inside calculate() itself, with events served
    // from within; the wait starts once it has been asked for.
    while (!clock.isValid())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    waitForEnd(core);
    figures.seconds = double(clock.nsecsElapsed()) / 1e9;
    if (cancelClock.isValid())
        figures.cancelLatency = double(cancelClock.nsecsElapsed()) / 1e6;
    ticker.stop();
    QObject::disconnect(connection);
    if (lastValue >= 0.0)
        figures.longestUnchanged = std::max(figures.longestUnchanged, double(clock.nsecsElapsed()) / 1e6 - lastChange);
    // What the end of the calculation left for the window to do (the curves, a paint).
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return figures;
}

void setCase(KolvexCore &core, int points, double from, double to, bool heavy)
{
    Params &params = *core.params();
    static std::vector<bool> selection;
    if (heavy) {
        selection.clear();
        for (Molecule &molecule : params.molecules()) {
            selection.push_back(molecule.selected);
            molecule.selected = true;
        }
    } else {
        for (std::size_t i = 0; i < selection.size() && i < params.molecules().size(); ++i)
            params.molecules()[i].selected = selection[i];
    }
    params.setCalcNotSelected(true);
    params.setLineShapeProfile(heavy ? 2 : 1);
    params.setLineWingHalfwidths(heavy ? 2000 : 50);
    params.setLineWingAbsolute(heavy ? 50.0 : 1.0);
    core.xAxis()->setUnits(XAxis::Wavenumber);
    core.xAxis()->setMinWavenumber(from);
    core.xAxis()->setMaxWavenumber(to);
    core.xAxis()->setNumPoints(points);
    emit core.valuesUpdated();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The window's responsiveness and memory during heavy calculations."));
    parser.addHelpOption();
    parser.addOptions({{QStringLiteral("runs"), QStringLiteral("Heavy runs for the memory figures (10)."), QStringLiteral("N")},
                       {QStringLiteral("points"), QStringLiteral("Grid points of the heavy case (1000000)."), QStringLiteral("N")},
                       {QStringLiteral("cancel-after"), QStringLiteral("Cancel the measured run after MS (1000)."), QStringLiteral("MS")}});
    parser.process(app);
    const int runs = std::max(1, parser.value(QStringLiteral("runs")).isEmpty() ? 10 : parser.value(QStringLiteral("runs")).toInt());
    const int points = parser.value(QStringLiteral("points")).isEmpty() ? 1000000 : parser.value(QStringLiteral("points")).toInt();
    const int cancelAfter = parser.value(QStringLiteral("cancel-after")).isEmpty() ? 1000 : parser.value(QStringLiteral("cancel-after")).toInt();

    QTemporaryDir folder;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.filePath(QStringLiteral("settings")));
    QFile::copy(QStringLiteral(KOLVEX_SOURCE_DIR "/resources/sample/kolvex-sample.par"),
                folder.filePath(QStringLiteral("HITRAN2012.par")));
    KolvexCore::Settings settings;
    settings.dataFolder = folder.path();
    settings.serviceBaseUrl = QStringLiteral("http://127.0.0.1:9");   // no network
    settings.productBaseUrl = settings.serviceBaseUrl;
    registerQmlTypes();
    KolvexCore core(settings);
    ViewObjects views(&core);
    QQmlApplicationEngine engine;
    views.publish(engine.rootContext());
    engine.load(QUrl::fromLocalFile(QStringLiteral(KOLVEX_SOURCE_DIR "/qml/main.qml")));
    if (engine.rootObjects().isEmpty())
        return 1;
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    if (window)
        window->resize(1280, 800);
    while (!core.tipsLoaded())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    core.downloader()->setUsage(HitranOnlineDownloader::CompleteUsage);
    setCase(core, points, 1000.0, 3500.0, true);

    std::printf("Window during heavy calculations: %d points, 1000-3500 cm-1, every molecule, Voigt,\n"
                "wing 2000 half-widths / 50 cm-1, sample lines from the data folder's line file\n",
                points);
    const double before = residentMegabytes();
    const RunFigures first = measureRun(core, -1);
    const double afterFirst = residentMegabytes();
    // A resize and a zoom redraw the window with the curves of a million points.
    double resizeMs = 0.0;
    double zoomMs = 0.0;
    if (window) {
        QElapsedTimer paint;
        paint.start();
        window->resize(1000, 700);
        QCoreApplication::processEvents();
        window->grabWindow();
        resizeMs = double(paint.nsecsElapsed()) / 1e6;
        QObject *plot = window->findChild<QObject *>(QStringLiteral("spectrumPlot"));
        if (plot) {
            plot->setProperty("isHorizontalPinch", true);
            plot->setProperty("touchCenterX", 500.0);
            plot->setProperty("scale", 1.0);
            plot->setProperty("scale", 1.25);
        }
        paint.start();
        QCoreApplication::processEvents();
        window->grabWindow();
        zoomMs = double(paint.nsecsElapsed()) / 1e6;
        window->resize(1280, 800);
        window->grabWindow();
    }
    std::printf("  run 1: %.2f s\n", first.seconds);
    std::printf("  main-thread event lateness (10 ms timer): p50 %.1f ms, p99 %.1f ms, largest %.1f ms (%zu ticks)\n",
                percentile(first.lateness, 0.5), percentile(first.lateness, 0.99),
                first.lateness.empty() ? 0.0 : *std::max_element(first.lateness.begin(), first.lateness.end()),
                first.lateness.size());
    std::printf("  first progress in the banner after %.1f ms; banner unchanged for at most %.0f ms\n",
                first.firstProgress, first.longestUnchanged);
    std::printf("  the window drawn again after a resize in %.1f ms, after a zoom in %.1f ms\n", resizeMs, zoomMs);
    for (int run = 2; run <= runs; ++run)
        measureRun(core, -1);
    const double afterRuns = residentMegabytes();
    const RunFigures cancelled = measureRun(core, cancelAfter);
    std::printf("  cancel pressed after %d ms: the run ended %.1f ms later\n", cancelAfter, cancelled.cancelLatency);
    setCase(core, 10000, 2000.0, 2300.0, false);
    measureRun(core, -1);
    const double afterDefault = residentMegabytes();
    std::printf("  resident memory: %.0f MB before, %.0f MB after run 1, %.0f MB after run %d, "
                "%.0f MB after the default case\n",
                before, afterFirst, afterRuns, runs, afterDefault);
    return 0;
}
