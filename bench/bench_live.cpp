// Live mode in the real main window (offscreen, software rendering, its QML
// from the source tree), offline on a temporary data folder: the time from a
// change of the temperature, entered as the slider enters it, to the first
// frame that shows a spectrum calculated with it.
//
//   QT_QPA_PLATFORM=offscreen QT_QUICK_BACKEND=software bench_live [--changes N] [--interval MS]
//                                                       [--large-changes N] [--line-file]
//
// Two cases: the default one (the settings of a fresh data folder: 2000-2300
// cm-1, 10 000 points, the sample lines; Voigt) and the large one (10^6
// points, 1000-3500 cm-1, every molecule, Voigt). For each, two ways of
// changing:
// - one change at a time, the next once the last is shown: the latency of a
//   single change;
// - a drag: a change every --interval ms (16, a 60 Hz touch screen) while the
//   calculations run. Changes that come while one is calculated are
//   coalesced, so not each is shown; for each frame that shows a newer
//   spectrum, the time since the change it shows. The last change is always
//   shown; its latency is printed too.

#include "app/kolvexcore.h"
#include "app/livecalculation.h"
#include "core/params.h"
#include "core/xaxis.h"
#include "ui/livecontrolsqml.h"
#include "ui/plot.h"
#include "ui/qmltypes.h"
#include "ui/viewobjects.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <cstdio>
#include <vector>

namespace {

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const std::size_t index = std::min(values.size() - 1, std::size_t(fraction * double(values.size() - 1) + 0.5));
    return values[index];
}

// Follows changes to the frames that show them: a change is shown once the
// spectra calculated with its inputs were handed over, the plot has painted
// them and the frame with that paint is swapped.
class FrameWatch
{
public:
    FrameWatch(KolvexCore &core, QQuickWindow &window, Plot &plot)
        : m_core(core)
    {
        QObject::connect(&core, &KolvexCore::updateSpectra, [this] { delivered(); });
        QObject::connect(&plot, &Plot::plotInProgressChanged, [this, &plot] {
            if (!plot.plotInProgress())
                m_paintedIndex = std::max(m_paintedIndex, m_deliveredIndex);
        });
        QObject::connect(&window, &QQuickWindow::frameSwapped, [this] { swapped(); });
        m_clock.start();
    }

    void change(const CalculationInputs &inputs) { m_changes.push_back({now(), inputs, -1.0, -1.0}); }
    bool lastShown() const { return !m_changes.empty() && m_changes.back().latency >= 0.0; }
    double lastLatency() const { return m_changes.empty() ? -1.0 : m_changes.back().latency; }
    std::size_t changes() const { return m_changes.size(); }
    std::vector<double> latencies(bool calculatedOnly = false) const
    {
        std::vector<double> shown;
        for (const Change &c : m_changes) {
            if (c.latency >= 0.0)
                shown.push_back(calculatedOnly ? c.calculated : c.latency);
        }
        return shown;
    }
    void reset()
    {
        m_changes.clear();
        m_deliveredIndex = m_paintedIndex = m_shownIndex = -1;
    }

private:
    struct Change
    {
        double time;
        CalculationInputs inputs;
        double latency;
        double calculated;   // from the change to the spectra handed over
    };

    double now() const { return double(m_clock.nsecsElapsed()) / 1e6; }

    void delivered()
    {
        const CalculationInputs &settled = m_core.settledInputs();
        for (int i = int(m_changes.size()) - 1; i > m_shownIndex; --i) {
            if (m_changes[std::size_t(i)].inputs == settled) {
                m_deliveredIndex = i;
                if (m_changes[std::size_t(i)].calculated < 0.0)
                    m_changes[std::size_t(i)].calculated = now() - m_changes[std::size_t(i)].time;
                return;
            }
        }
    }

    void swapped()
    {
        if (m_paintedIndex <= m_shownIndex)
            return;
        Change &shown = m_changes[std::size_t(m_paintedIndex)];
        shown.latency = now() - shown.time;
        m_shownIndex = m_paintedIndex;
    }

    KolvexCore &m_core;
    QElapsedTimer m_clock;
    std::vector<Change> m_changes;
    int m_deliveredIndex = -1;
    int m_paintedIndex = -1;
    int m_shownIndex = -1;
};

void waitFor(const std::function<bool()> &done, int limitMs)
{
    QElapsedTimer limit;
    limit.start();
    while (!done() && limit.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

bool settled(KolvexCore &core)
{
    const LiveCalculation *live = core.liveCalculation();
    return !live->updating() && !live->pending() && !core.calculationIsRunning();
}

// A temperature position that differs from the last one, back and forth over
// the middle of the slider.
double positionOf(int change)
{
    const int step = change % 100;
    return 0.3 + 0.004 * (step < 50 ? step : 100 - step) + 1e-4 * (change % 7);
}

void report(const char *what, const FrameWatch &watch)
{
    const std::vector<double> shown = watch.latencies();
    const std::vector<double> calculated = watch.latencies(true);
    std::printf("    %-28s p50 %6.1f ms, p99 %6.1f ms, largest %6.1f ms (%zu of %zu changes shown; last %s, %.1f ms)\n"
                "    %-28s p50 %6.1f ms, p99 %6.1f ms of it until the spectra were handed over\n",
                what, percentile(shown, 0.5), percentile(shown, 0.99),
                shown.empty() ? 0.0 : *std::max_element(shown.begin(), shown.end()), shown.size(), watch.changes(),
                watch.lastShown() ? "shown" : "NOT shown", watch.lastLatency(), "", percentile(calculated, 0.5),
                percentile(calculated, 0.99));
}

void measure(KolvexCore &core, LiveControlsQml &controls, FrameWatch &watch, int changes, int intervalMs)
{
    int next = 1;
    // One change at a time.
    watch.reset();
    for (int i = 0; i < changes; ++i, ++next) {
        controls.moveTo(LiveControlsQml::Temperature, positionOf(next));
        watch.change(core.currentInputs());
        waitFor([&] { return watch.lastShown(); }, 60000);
        waitFor([&] { return settled(core); }, 60000);
    }
    report("one change at a time:", watch);
    // A drag: a change every intervalMs, whatever runs.
    watch.reset();
    QElapsedTimer drag;
    drag.start();
    for (int i = 0; i < changes; ++i, ++next) {
        waitFor([&] { return drag.elapsed() >= qint64(i) * intervalMs; }, 60000);
        controls.moveTo(LiveControlsQml::Temperature, positionOf(next));
        watch.change(core.currentInputs());
    }
    waitFor([&] { return settled(core) && watch.lastShown(); }, 120000);
    char what[64];
    std::snprintf(what, sizeof what, "drag, a change every %d ms:", intervalMs);
    report(what, watch);
}

void setLargeCase(KolvexCore &core)
{
    Params &params = *core.params();
    for (Molecule &molecule : params.molecules())
        molecule.selected = true;
    params.setCalcNotSelected(true);
    params.setLineShapeProfile(2);
    core.xAxis()->setUnits(XAxis::Wavenumber);
    core.xAxis()->setMinWavenumber(1000.0);
    core.xAxis()->setMaxWavenumber(3500.0);
    core.xAxis()->setNumPoints(1000000);
    emit core.valuesUpdated();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("From a change to the frame that shows it, in live mode."));
    parser.addHelpOption();
    parser.addOptions({{QStringLiteral("changes"), QStringLiteral("Changes per measurement (200)."), QStringLiteral("N")},
                       {QStringLiteral("interval"), QStringLiteral("Milliseconds between the changes of a drag (16)."),
                        QStringLiteral("MS")},
                       {QStringLiteral("large-changes"), QStringLiteral("Changes per measurement of the large case (30)."),
                        QStringLiteral("N")},
                       {QStringLiteral("line-file"), QStringLiteral("The sample as the data folder's own line file, "
                                                                    "instead of the offline fallback to it.")}});
    parser.process(app);
    const auto option = [&parser](const char *name, int fallback) {
        const QString value = parser.value(QLatin1String(name));
        return value.isEmpty() ? fallback : std::max(1, value.toInt());
    };
    const int changes = option("changes", 200);
    const int interval = option("interval", 16);
    const int largeChanges = option("large-changes", 30);

    QTemporaryDir folder;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.filePath(QStringLiteral("settings")));
    const bool ownLineFile = parser.isSet(QStringLiteral("line-file"));
    if (ownLineFile)
        QFile::copy(QStringLiteral(KOLVEX_SOURCE_DIR "/resources/sample/kolvex-sample.par"),
                    folder.filePath(QStringLiteral("HITRAN2012.par")));
    KolvexCore::Settings settings;
    settings.dataFolder = folder.path();
    settings.serviceBaseUrl = QStringLiteral("http://127.0.0.1:9");   // no network: the sample lines
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
    Plot *plot = window ? window->findChild<Plot *>(QStringLiteral("spectrumPlot")) : nullptr;
    if (!plot)
        return 1;
    window->resize(1280, 800);
    waitFor([&] { return core.tipsLoaded(); }, 60000);
    core.params()->setLineShapeProfile(2);   // Voigt
    FrameWatch watch(core, *window, *plot);
    LiveControlsQml &controls = *views.liveControls();

    // Live on: the first calculation of the process (the network manager, the
    // buffers faulted in) is not measured.
    core.liveCalculation()->setLiveCalculation(true);
    waitFor([&] { return settled(core); }, 60000);
    std::printf("Live mode, from a change of the temperature to the frame that shows it (1280x800, offscreen)\n");
    std::printf("  lines: %s\n", ownLineFile ? "the sample as the data folder's line file"
                                           : "none on the device, the service unreachable: the shipped sample");
    std::printf("  default case: 2000-2300 cm-1, 10 000 points, Voigt, sample lines\n");
    measure(core, controls, watch, changes, interval);

    setLargeCase(core);
    waitFor([&] { return settled(core); }, 120000);
    std::printf("  large case: 1000-3500 cm-1, 10^6 points, every molecule, Voigt, sample lines\n");
    measure(core, controls, watch, largeChanges, interval);
    return 0;
}
