#include "app/livecalculation.h"

#include "app/kolvexcore.h"
#include "calc/lbl.h"
#include "sensors/sensors.h"

LiveCalculation::LiveCalculation(KolvexCore *core, QObject *parent)
    : QObject(parent)
    , m_core(core)
{
    // Whatever may change an input: the screens announce what they set, a
    // peer's commands and the configuration end in valuesUpdated(), and the
    // sensors publish their averages.
    connect(core, &KolvexCore::settingChanged, this, &LiveCalculation::inputChanged);
    connect(core, &KolvexCore::valuesUpdated, this, &LiveCalculation::inputChanged);
    connect(core, &KolvexCore::applyCurrentAtmModel, this, &LiveCalculation::inputChanged);
    Sensors *sensors = core->sensors();
    connect(sensors, &Sensors::totalPressureUpdated, this, &LiveCalculation::inputChanged);
    connect(sensors, &Sensors::temperatureUpdated, this, &LiveCalculation::inputChanged);
    connect(sensors, &Sensors::humidityUpdated, this, &LiveCalculation::inputChanged);
    connect(core, &KolvexCore::calculationEnded, this, &LiveCalculation::calculationEnded);
    // Switched on before the partition sums were read: the first spectrum
    // follows once they are.
    connect(core, &KolvexCore::startupFinished, this, &LiveCalculation::inputChanged);
}

bool LiveCalculation::abandons(double fractionDone, bool replacesAbandoned)
{
    return !replacesAbandoned && fractionDone < nearlyDone;
}

void LiveCalculation::setLiveCalculation(bool on)
{
    if (on == m_enabled)
        return;
    m_enabled = on;
    if (!on) {
        m_pending = false;
        setProblem(QString());
    }
    emit enabledChanged();
    // Switched on, the spectrum follows the inputs as they are now.
    if (on)
        schedule();
    updateState();
}

void LiveCalculation::switchFromWindow(bool on)
{
    if (on == m_enabled)
        return;
    setLiveCalculation(on);
    m_core->announce(Setting::Live);
}

void LiveCalculation::inputChanged()
{
    if (m_enabled)
        schedule();
}

void LiveCalculation::schedule()
{
    if (m_scheduled)
        return;
    m_scheduled = true;
    updateState();
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_scheduled = false;
            follow();
        },
        Qt::QueuedConnection);
}

// Brings the spectra up to the inputs as they are now: starts a calculation,
// or leaves one pending behind the one that runs.
void LiveCalculation::follow()
{
    if (!m_enabled) {
        updateState();
        return;
    }
    const CalculationInputs now = m_core->currentInputs();
    if (m_core->calculationIsRunning()) {
        m_pending = m_core->runInputs() != now;
        if (m_pending && m_core->liveCalculationRunning()
            && abandons(m_core->lbl()->fractionDone(), m_runReplacesAbandoned)) {
            m_nextReplacesAbandoned = true;
            m_core->abandonCalculation();
        }
        updateState();
        return;
    }
    m_pending = false;
    if (now != m_core->settledInputs()) {
        const QString problem = m_core->startLiveCalculation();
        m_runReplacesAbandoned = problem.isEmpty() && m_nextReplacesAbandoned;
        m_nextReplacesAbandoned = false;
        setProblem(problem);
    } else {
        setProblem(QString());
    }
    updateState();
}

void LiveCalculation::calculationEnded()
{
    m_runReplacesAbandoned = false;
    // The pending change starts at once, with the values as they are now.
    if (m_enabled && m_pending)
        follow();
    else
        updateState();
}

void LiveCalculation::setProblem(const QString &problem)
{
    if (problem == m_problem)
        return;
    m_problem = problem;
    emit problemChanged();
}

void LiveCalculation::updateState()
{
    const bool updating = m_enabled && (m_scheduled || m_pending || m_core->liveCalculationRunning());
    if (updating == m_updating)
        return;
    m_updating = updating;
    emit updatingChanged();
}
