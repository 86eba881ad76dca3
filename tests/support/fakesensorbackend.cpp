#include "fakesensorbackend.h"

#include <QAmbientTemperatureSensor>
#include <QHumiditySensor>
#include <QPressureSensor>

FakeSensorBackend::FakeSensorBackend(QSensor *sensor, const QByteArray &type)
    : QSensorBackend(sensor)
{
    if (type == QPressureSensor::type)
        m_reading = setReading<QPressureReading>(nullptr);
    else if (type == QAmbientTemperatureSensor::type)
        m_reading = setReading<QAmbientTemperatureReading>(nullptr);
    else
        m_reading = setReading<QHumidityReading>(nullptr);
    addDataRate(1, 100);
}

void FakeSensorBackend::deliver(double value)
{
    if (auto *pressure = qobject_cast<QPressureReading *>(m_reading))
        pressure->setPressure(value);
    else if (auto *temperature = qobject_cast<QAmbientTemperatureReading *>(m_reading))
        temperature->setTemperature(value);
    else if (auto *humidity = qobject_cast<QHumidityReading *>(m_reading))
        humidity->setRelativeHumidity(value);
    m_reading->setTimestamp(++m_time);
    newReadingAvailable();
}
