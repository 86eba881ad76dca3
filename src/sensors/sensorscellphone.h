#pragma once

#include <QObject>

#include <memory>
#include <optional>

class QAmbientTemperatureSensor;
class QHumiditySensor;
class QPressureSensor;
class QSensor;

// The device's own barometer, thermometer and hygrometer, through QtSensors.
// A sensor is present when the platform offers one of its type; it runs only
// while switched active. Its reading counts once it has delivered one since
// it was started, so a sensor that has not yet measured never passes for 0.
class SensorsCellPhone : public QObject
{
    Q_OBJECT

public:
    explicit SensorsCellPhone(QObject *parent = nullptr);
    ~SensorsCellPhone() override;

    bool barometerPresent() const;
    bool thermometerPresent() const;
    bool hygrometerPresent() const;

    // The current readings: pressure in Pa, temperature in degrees Celsius,
    // relative humidity in percent; 0.0 when the sensor is missing.
    double pressure() const;
    double temperature() const;
    double humidity() const;
    // The same, but none until the sensor has delivered a reading since it was
    // last started.
    std::optional<double> pressureReading() const;
    std::optional<double> temperatureReading() const;
    std::optional<double> humidityReading() const;

    bool barometerActive() const;
    bool thermometerActive() const;
    bool hygrometerActive() const;
    void setBarometerActive(bool active);
    void setThermometerActive(bool active);
    void setHygrometerActive(bool active);

signals:
    void totalPressureUpdated();
    void temperatureUpdated();
    void humidityUpdated();
    void barometerActiveChanged();
    void thermometerActiveChanged();
    void humiditySensorActiveChanged();
    void sensorActiveChanged();

private:
    static bool present(const QSensor &sensor);
    void setActive(QSensor &sensor, bool &delivered, bool active);

    std::unique_ptr<QPressureSensor> m_barometer;
    std::unique_ptr<QAmbientTemperatureSensor> m_thermometer;
    std::unique_ptr<QHumiditySensor> m_hygrometer;
    bool m_pressureDelivered = false;
    bool m_temperatureDelivered = false;
    bool m_humidityDelivered = false;
};
