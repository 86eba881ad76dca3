#include "sensors/sensorscellphone.h"

#include <QAmbientTemperatureSensor>
#include <QHumiditySensor>
#include <QPressureSensor>

SensorsCellPhone::SensorsCellPhone(QObject *parent)
    : QObject(parent)
    , m_barometer(std::make_unique<QPressureSensor>())
    , m_thermometer(std::make_unique<QAmbientTemperatureSensor>())
    , m_hygrometer(std::make_unique<QHumiditySensor>())
{
    for (QSensor *sensor : {static_cast<QSensor *>(m_barometer.get()), static_cast<QSensor *>(m_thermometer.get()),
                            static_cast<QSensor *>(m_hygrometer.get())})
        sensor->setAlwaysOn(true);
    connect(m_barometer.get(), &QSensor::activeChanged, this, &SensorsCellPhone::barometerActiveChanged);
    connect(m_thermometer.get(), &QSensor::activeChanged, this, &SensorsCellPhone::thermometerActiveChanged);
    connect(m_hygrometer.get(), &QSensor::activeChanged, this, &SensorsCellPhone::humiditySensorActiveChanged);
    connect(m_barometer.get(), &QSensor::readingChanged, this, [this] {
        m_pressureDelivered = true;
        emit totalPressureUpdated();
    });
    connect(m_thermometer.get(), &QSensor::readingChanged, this, [this] {
        m_temperatureDelivered = true;
        emit temperatureUpdated();
    });
    connect(m_hygrometer.get(), &QSensor::readingChanged, this, [this] {
        m_humidityDelivered = true;
        emit humidityUpdated();
    });
}

SensorsCellPhone::~SensorsCellPhone() = default;

bool SensorsCellPhone::present(const QSensor &sensor)
{
    return !QSensor::sensorsForType(sensor.type()).isEmpty();
}

bool SensorsCellPhone::barometerPresent() const
{
    return present(*m_barometer);
}

bool SensorsCellPhone::thermometerPresent() const
{
    return present(*m_thermometer);
}

bool SensorsCellPhone::hygrometerPresent() const
{
    return present(*m_hygrometer);
}

double SensorsCellPhone::pressure() const
{
    return barometerPresent() && m_barometer->reading() ? m_barometer->reading()->pressure() : 0.0;
}

double SensorsCellPhone::temperature() const
{
    return thermometerPresent() && m_thermometer->reading() ? m_thermometer->reading()->temperature() : 0.0;
}

double SensorsCellPhone::humidity() const
{
    return hygrometerPresent() && m_hygrometer->reading() ? m_hygrometer->reading()->relativeHumidity() : 0.0;
}

std::optional<double> SensorsCellPhone::pressureReading() const
{
    return m_pressureDelivered && m_barometer->isActive() ? std::optional<double>(pressure()) : std::nullopt;
}

std::optional<double> SensorsCellPhone::temperatureReading() const
{
    return m_temperatureDelivered && m_thermometer->isActive() ? std::optional<double>(temperature()) : std::nullopt;
}

std::optional<double> SensorsCellPhone::humidityReading() const
{
    return m_humidityDelivered && m_hygrometer->isActive() ? std::optional<double>(humidity()) : std::nullopt;
}

bool SensorsCellPhone::barometerActive() const
{
    return m_barometer->isActive();
}

bool SensorsCellPhone::thermometerActive() const
{
    return m_thermometer->isActive();
}

bool SensorsCellPhone::hygrometerActive() const
{
    return m_hygrometer->isActive();
}

void SensorsCellPhone::setActive(QSensor &sensor, bool &delivered, bool active)
{
    if (!present(sensor) || active == sensor.isActive())
        return;
    if (active) {
        // A reading left from an earlier run is not a measurement of now.
        delivered = false;
        sensor.start();
    } else {
        sensor.stop();
    }
}

void SensorsCellPhone::setBarometerActive(bool active)
{
    setActive(*m_barometer, m_pressureDelivered, active);
}

void SensorsCellPhone::setThermometerActive(bool active)
{
    setActive(*m_thermometer, m_temperatureDelivered, active);
}

void SensorsCellPhone::setHygrometerActive(bool active)
{
    setActive(*m_hygrometer, m_humidityDelivered, active);
}
