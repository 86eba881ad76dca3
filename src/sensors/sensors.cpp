#include "sensors/sensors.h"

#include "core/humidityconverter.h"
#include "core/params.h"
#include "core/pathconditions.h"
#include "core/settingrules.h"
#include "sensors/sensehat.h"
#include "sensors/sensorscellphone.h"
#include "sensors/sensortag.h"

#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

constexpr double absoluteZeroCelsius = -273.15;
constexpr SensorSettings::Quantity quantities[] = {SensorSettings::Quantity::Pressure,
                                                   SensorSettings::Quantity::Temperature,
                                                   SensorSettings::Quantity::Humidity};

} // namespace

Sensors::Sensors(QObject *parent, Params *params)
    : QObject(parent)
    , m_timer(new QTimer(this))
    , m_params(params)
    , m_conditions(&params->pathConditions())
    , m_sensorTag(new SensorTag(this))
    , m_cellPhone(new SensorsCellPhone(this))
    , m_senseHat(new SenseHat(this))
{
    // A board's sensor that stops answering is as good as absent, and one
    // that answers again is back.
    connect(m_senseHat, &SenseHat::answeringChanged, this, &Sensors::presenceChanged);
    connect(m_cellPhone, &SensorsCellPhone::totalPressureUpdated, this, [this] { ++m_pressure.builtInDeliveries; });
    connect(m_cellPhone, &SensorsCellPhone::temperatureUpdated, this, [this] { ++m_temperature.builtInDeliveries; });
    connect(m_cellPhone, &SensorsCellPhone::humidityUpdated, this, [this] { ++m_humidity.builtInDeliveries; });
    m_started.start();
    m_clock = [this] { return m_started.elapsed(); };
    emit useSensorTagStateChanged();
    // Until the core sets its own period.
    m_timer->setInterval(defaultSamplingPeriod);
    connect(m_timer, &QTimer::timeout, this, &Sensors::getUpdatedReadings);
    m_timer->start();
}

Sensors::~Sensors() = default;

Sensors::Channel &Sensors::channel(Quantity quantity)
{
    switch (quantity) {
    case Quantity::Pressure: return m_pressure;
    case Quantity::Temperature: return m_temperature;
    case Quantity::Humidity: break;
    }
    return m_humidity;
}

const Sensors::Channel &Sensors::channel(Quantity quantity) const
{
    return const_cast<Sensors *>(this)->channel(quantity);
}

bool Sensors::sensorEnabled(Quantity quantity) const
{
    return channel(quantity).enabled;
}

double Sensors::manualValue(Quantity quantity) const
{
    return channel(quantity).manual;
}

bool Sensors::sensorTagConnected() const
{
    return m_sensorTag->connected();
}

bool Sensors::builtInPresent(Quantity quantity) const
{
    switch (quantity) {
    case Quantity::Pressure: return m_cellPhone->barometerPresent();
    case Quantity::Temperature: return m_cellPhone->thermometerPresent();
    case Quantity::Humidity: break;
    }
    return m_cellPhone->hygrometerPresent();
}

bool Sensors::senseHatHas(Quantity quantity) const
{
    return m_senseHat->has(quantity);
}

bool Sensors::senseHatServes(Quantity quantity) const
{
    return m_senseHat->answers(quantity);
}

bool Sensors::sensorTagServes() const
{
    return sensorTagConnected() && m_useSensorTag;
}

bool Sensors::watched(Quantity quantity) const
{
    return channel(quantity).enabled || sensorTagServes() || senseHatHas(quantity);
}

bool Sensors::sensorPresent(Quantity quantity) const
{
    return sensorTagConnected() || senseHatServes(quantity) || builtInPresent(quantity);
}

void Sensors::setBuiltInActive(Quantity quantity, bool active)
{
    switch (quantity) {
    case Quantity::Pressure: m_cellPhone->setBarometerActive(active); return;
    case Quantity::Temperature: m_cellPhone->setThermometerActive(active); return;
    case Quantity::Humidity: m_cellPhone->setHygrometerActive(active); return;
    }
}

double Sensors::pathValue(Quantity quantity) const
{
    switch (quantity) {
    case Quantity::Pressure: return m_conditions->totalPressure;
    case Quantity::Temperature: return m_conditions->temperature;
    case Quantity::Humidity: break;
    }
    return m_conditions->concentrations.empty() ? 0.0 : m_conditions->concentrations.front();
}

void Sensors::setPathValue(Quantity quantity, double value)
{
    switch (quantity) {
    case Quantity::Pressure: m_conditions->totalPressure = value; return;
    case Quantity::Temperature: m_conditions->temperature = value; return;
    case Quantity::Humidity:
        if (m_conditions->concentrations.empty())
            m_conditions->concentrations.resize(1, 0.0);
        m_conditions->concentrations.front() = value;
        return;
    }
}

void Sensors::emitUpdated(Quantity quantity)
{
    switch (quantity) {
    case Quantity::Pressure: emit totalPressureUpdated(); return;
    case Quantity::Temperature: emit temperatureUpdated(); return;
    case Quantity::Humidity: emit humidityUpdated(); return;
    }
}

void Sensors::setSensorEnabled(Quantity quantity, bool on)
{
    Channel &c = channel(quantity);
    if (!sensorPresent(quantity)) {
        // Nothing can supply the quantity: it goes back to the user's value.
        if (c.enabled) {
            setPathValue(quantity, c.manual);
            c.enabled = false;
            setBuiltInActive(quantity, false);
            emitUpdated(quantity);
        }
        return;
    }
    if (!on && c.enabled) {
        setPathValue(quantity, c.manual);
        c.enabled = false;
        setRefusal(quantity, QString());
    } else if (on && !c.enabled) {
        c.manual = pathValue(quantity);
        c.enabled = true;
        c.sum = 0.0;
        c.samples = 0;
    }
    setBuiltInActive(quantity, c.enabled);
    emitUpdated(quantity);
}

void Sensors::setUseSensorTag(bool on)
{
    if (sensorTagConnected()) {
        m_useSensorTag = on;
        if (!on) {
            // What only the tag could supply goes back to the user's value.
            for (Quantity quantity : quantities) {
                Channel &c = channel(quantity);
                if (c.enabled && !builtInPresent(quantity) && !senseHatServes(quantity)) {
                    setPathValue(quantity, c.manual);
                    c.enabled = false;
                }
                setBuiltInActive(quantity, c.enabled);
                emitUpdated(quantity);
            }
        }
    } else {
        m_useSensorTag = false;
    }
    emit useSensorTagStateChanged();
}

int Sensors::samplingPeriod() const
{
    return m_timer->interval();
}

void Sensors::setSamplingPeriod(int milliseconds)
{
    // A timer of 0 ms would sample at every pass of the event loop.
    milliseconds = std::max(1, milliseconds);
    m_timer->setInterval(milliseconds);
    m_sensorTag->setPeriod(milliseconds);
    m_senseHat->setPeriod(milliseconds);
}

void Sensors::startSampling()
{
    m_timer->start();
    m_senseHat->startReading();
}

void Sensors::stopSampling()
{
    m_timer->stop();
    m_senseHat->stopReading();
}

bool Sensors::isSampling() const
{
    return m_timer->isActive();
}

QString Sensors::presenceText(Quantity quantity) const
{
    const Channel &c = channel(quantity);
    const bool tagServes = sensorTagConnected() && m_useSensorTag;
    if (senseHatHas(quantity) && !senseHatServes(quantity) && !tagServes) {
        static const char *const names[] = {"barometer", "thermometer", "hygrometer"};
        const QString what = builtInPresent(quantity) ? QStringLiteral("device's own sensor used")
            : c.enabled                              ? QStringLiteral("last value kept")
                                                     : QStringLiteral("manual value used");
        return QStringLiteral(" The Sense HAT's %1 does not answer\n (%2)")
            .arg(QLatin1String(names[int(quantity)]), what);
    }
    if (!c.refusal.isEmpty())
        return QStringLiteral(" Reading refused: %1\n (last value kept)").arg(c.refusal);
    if (senseHatHas(quantity) || builtInPresent(quantity))
        return QString();
    if (!sensorTagConnected())
        return noSensorText(quantity);
    if (!m_useSensorTag)
        return sensorTagNotEnabledText();
    return QString();
}

std::optional<double> Sensors::plausible(Quantity quantity, double reading)
{
    if (!std::isfinite(reading))
        return std::nullopt;
    switch (quantity) {
    case Quantity::Pressure:
        return reading > 0.0 ? std::optional<double>(reading) : std::nullopt;
    case Quantity::Temperature:
        return reading > absoluteZeroCelsius ? std::optional<double>(reading) : std::nullopt;
    case Quantity::Humidity:
        break;
    }
    if (reading < -humidityTolerance || reading > 100.0 + humidityTolerance)
        return std::nullopt;
    return std::clamp(reading, 0.0, 100.0);
}

QString Sensors::refusal(Quantity quantity) const
{
    return channel(quantity).refusal;
}

void Sensors::setRefusal(Quantity quantity, const QString &problem)
{
    Channel &c = channel(quantity);
    if (c.refusal == problem)
        return;
    c.refusal = problem;
    emit presenceChanged();
}

QString Sensors::ruleProblem(Quantity quantity, double value) const
{
    switch (quantity) {
    case Quantity::Pressure: return SettingRules::totalPressureProblem(value);
    case Quantity::Temperature: return SettingRules::temperatureProblem(value, *m_params);
    case Quantity::Humidity: break;
    }
    return SettingRules::concentrationProblem(value);
}

std::optional<double> Sensors::reading(Quantity quantity) const
{
    std::optional<double> value;
    if (sensorTagServes()) {
        switch (quantity) {
        case Quantity::Pressure: value = m_sensorTag->pressureReading(); break;
        case Quantity::Temperature: value = m_sensorTag->temperatureReading(); break;
        case Quantity::Humidity: value = m_sensorTag->humidityReading(); break;
        }
    } else if (senseHatServes(quantity)) {
        switch (quantity) {
        case Quantity::Pressure:
            value = m_senseHat->pressure();
            if (value)
                *value *= 100.0;   // hPa to Pa
            break;
        case Quantity::Temperature: value = m_senseHat->temperature(); break;
        case Quantity::Humidity: value = m_senseHat->humidity(); break;
        }
    } else {
        switch (quantity) {
        case Quantity::Pressure: value = m_cellPhone->pressureReading(); break;
        case Quantity::Temperature: value = m_cellPhone->temperatureReading(); break;
        case Quantity::Humidity: value = m_cellPhone->humidityReading(); break;
        }
    }
    return value ? plausible(quantity, *value) : std::nullopt;
}

double Sensors::converted(Quantity quantity, double reading) const
{
    switch (quantity) {
    case Quantity::Pressure: return reading * atmPerPa;
    case Quantity::Temperature: return reading - absoluteZeroCelsius;
    case Quantity::Humidity: break;
    }
    return HumidityConverter::h2oPpmv(reading, m_conditions->temperature + absoluteZeroCelsius,
                                      m_conditions->totalPressure * paPerAtm);
}

void Sensors::publish(Quantity quantity)
{
    Channel &c = channel(quantity);
    // The mean of the samples taken: a window that lost samples to a missing
    // or implausible reading, or that a smaller window size cut short, is
    // still averaged right.
    if (c.samples > 0) {
        const double average = c.sum / c.samples;
        // Each sample passed the rule, and the rules' ranges hold every mean
        // of their values; the mean is checked all the same, as it is what
        // reaches the path.
        const QString problem = ruleProblem(quantity, average);
        if (problem.isEmpty()) {
            c.average = average;
            setPathValue(quantity, c.average);
            emitUpdated(quantity);
        } else {
            setRefusal(quantity, problem);
        }
    }
    c.sum = 0.0;
    c.samples = 0;
}

void Sensors::setClock(std::function<qint64()> clock)
{
    m_clock = std::move(clock);
}

qint64 Sensors::missingAfter() const
{
    return std::max<qint64>(2 * qint64(samplingPeriod()), 1000);
}

Sensors::LatestReading Sensors::latestReading(Quantity quantity) const
{
    const Channel &c = channel(quantity);
    LatestReading latest;
    latest.watched = c.watched;
    if (!c.watched)
        return latest;
    const qint64 now = m_clock();
    if (c.lastAt >= 0) {
        latest.value = c.last;
        latest.sourceValue = c.lastSource;
        latest.ageMs = now - c.lastAt;
    } else {
        latest.ageMs = now - c.watchedSince;
    }
    latest.missing = latest.ageMs > missingAfter();
    return latest;
}

void Sensors::noteReading(Quantity quantity, const std::optional<double> &value, qint64 now)
{
    Channel &c = channel(quantity);
    if (!c.watched) {
        c.watched = true;
        c.watchedSince = now;
        c.lastAt = -1;
    }
    // The board and the tag are read anew every period (a board's file that
    // is gone or holds no number gives none); the device's own sensor keeps
    // its last value, so only a delivery since the last tick is new.
    bool fresh = value.has_value();
    if (!sensorTagServes() && !senseHatServes(quantity))
        fresh = fresh && c.builtInDeliveries != c.builtInSeen;
    c.builtInSeen = c.builtInDeliveries;
    if (!fresh)
        return;
    c.lastSource = *value;
    c.last = converted(quantity, *value);
    c.lastAt = now;
}

void Sensors::getUpdatedReadings()
{
    bool anyEnabled = false;
    bool readingsShown = false;
    const qint64 now = m_clock();
    for (Quantity quantity : quantities) {
        Channel &c = channel(quantity);
        if (!watched(quantity)) {
            readingsShown = readingsShown || c.watched;
            c.watched = false;
            continue;
        }
        readingsShown = true;
        const std::optional<double> value = reading(quantity);
        noteReading(quantity, value, now);
        if (!c.enabled)
            continue;
        anyEnabled = true;
        if (m_sampleCounter < m_numSamplesToAverage) {
            if (value) {
                // A value the screens would refuse is refused here too.
                const double pathUnits = converted(quantity, *value);
                const QString problem = ruleProblem(quantity, pathUnits);
                setRefusal(quantity, problem);
                if (problem.isEmpty()) {
                    c.sum += pathUnits;
                    ++c.samples;
                }
            }
        } else {
            publish(quantity);
        }
    }
    if (anyEnabled)
        m_sampleCounter = m_sampleCounter < m_numSamplesToAverage ? m_sampleCounter + 1 : 0;
    if (readingsShown)
        emit readingsChanged();
}
