#pragma once

#include <QByteArray>
#include <QSensorBackend>

// A built-in sensor the test drives: QtSensors creates it for the hub's
// sensor of a type (pressure, ambient temperature or, otherwise, humidity),
// and the test hands it readings.
class FakeSensorBackend : public QSensorBackend
{
public:
    FakeSensorBackend(QSensor *sensor, const QByteArray &type);

    void start() override { running = true; }
    void stop() override { running = false; }

    // A new reading of `value` in the sensor's own unit (Pa, degrees Celsius, percent).
    void deliver(double value);

    bool running = false;

private:
    QSensorReading *m_reading = nullptr;
    quint64 m_time = 0;
};
