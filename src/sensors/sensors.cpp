#include "sensors/sensors.h"

#include "core/humidityconverter.h"
#include "core/pathconditions.h"
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

Sensors::Sensors(QObject *parent, PathConditions *conditions)
    : QObject(parent)
    , m_timer(new QTimer(this))
    , m_conditions(conditions)
    , m_sensorTag(new SensorTag(this))
    , m_cellPhone(new SensorsCellPhone(this))
    , m_senseHat(new SenseHat(this))
{
    emit useSensorTagStateChanged();
    // Until the core sets its own period.
    m_timer->setInterval(200);
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
    switch (quantity) {
    case Quantity::Pressure: return m_senseHat->hasBarometer();
    case Quantity::Temperature: return m_senseHat->hasThermometer();
    case Quantity::Humidity: break;
    }
    return m_senseHat->hasHygrometer();
}

bool Sensors::sensorPresent(Quantity quantity) const
{
    return sensorTagConnected() || senseHatHas(quantity) || builtInPresent(quantity);
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
                if (c.enabled && !builtInPresent(quantity) && !senseHatHas(quantity)) {
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
}

void Sensors::startSampling()
{
    m_timer->start();
}

void Sensors::stopSampling()
{
    m_timer->stop();
}

bool Sensors::isSampling() const
{
    return m_timer->isActive();
}

QString Sensors::presenceText(Quantity quantity) const
{
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

std::optional<double> Sensors::reading(Quantity quantity) const
{
    std::optional<double> value;
    if (sensorTagConnected() && m_useSensorTag) {
        switch (quantity) {
        case Quantity::Pressure: value = m_sensorTag->pressureReading(); break;
        case Quantity::Temperature: value = m_sensorTag->temperatureReading(); break;
        case Quantity::Humidity: value = m_sensorTag->humidityReading(); break;
        }
    } else if (senseHatHas(quantity)) {
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
        c.average = c.sum / c.samples;
        setPathValue(quantity, c.average);
        emitUpdated(quantity);
    }
    c.sum = 0.0;
    c.samples = 0;
}

void Sensors::getUpdatedReadings()
{
    bool anyEnabled = false;
    for (Quantity quantity : quantities) {
        Channel &c = channel(quantity);
        if (!c.enabled)
            continue;
        anyEnabled = true;
        if (m_sampleCounter < m_numSamplesToAverage) {
            if (const std::optional<double> value = reading(quantity)) {
                c.sum += converted(quantity, *value);
                ++c.samples;
            }
        } else {
            publish(quantity);
        }
    }
    if (anyEnabled)
        m_sampleCounter = m_sampleCounter < m_numSamplesToAverage ? m_sampleCounter + 1 : 0;
}
