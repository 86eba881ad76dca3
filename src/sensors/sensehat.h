#pragma once

#include "sensors/iiochannel.h"

#include <QObject>
#include <QString>

#include <optional>

// The environmental sensors of a Raspberry Pi Sense HAT board: pressure and
// temperature (LPS25H), relative humidity and temperature (HTS221). On Linux
// their drivers publish them through the Industrial I/O sysfs interface, one
// folder "iio:deviceN" per chip; the board's sensors are recognised by their
// channels (a pressure channel, a relative-humidity channel), whatever the
// chips are called, so another barometer or hygrometer on the bus serves the
// same way. Without such channels the board counts as unavailable.
//
// The folder that holds the "iio:deviceN" folders is $KOLVEX_IIO_ROOT, or
// /sys/bus/iio/devices.
class SenseHat : public QObject
{
    Q_OBJECT

public:
    // An empty iioRoot means the environment's or the system's folder.
    explicit SenseHat(QObject *parent = nullptr, const QString &iioRoot = QString());

    static QString defaultIioRoot();
    QString iioRoot() const { return m_iioRoot; }
    // Looks for the sensors again (the constructor has looked once).
    void findSensors();

    bool available() const { return hasBarometer() || hasThermometer() || hasHygrometer(); }
    bool hasBarometer() const { return m_pressure.isValid(); }
    bool hasThermometer() const { return m_temperature.isValid(); }
    bool hasHygrometer() const { return m_humidity.isValid(); }

    // The current readings, none when the sensor is missing or cannot be
    // read: pressure in hPa, temperature in degrees Celsius, relative humidity
    // in percent.
    std::optional<double> pressure() const;
    std::optional<double> temperature() const;
    std::optional<double> humidity() const;

private:
    QString m_iioRoot;
    IioChannel m_pressure;
    IioChannel m_temperature;
    IioChannel m_humidity;
};
