#pragma once

#include "core/sensorsettings.h"
#include "sensors/iiochannel.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class IioReader;

// The environmental sensors of a Raspberry Pi Sense HAT board: pressure and
// temperature (LPS25H), relative humidity and temperature (HTS221). On Linux
// their drivers publish them through the Industrial I/O sysfs interface, one
// folder "iio:deviceN" per chip; the board's sensors are recognised by their
// channels (a pressure channel, a relative-humidity channel), whatever the
// chips are called, so another barometer or hygrometer on the bus serves the
// same way. Without such channels the board counts as unavailable.
//
// Each channel is read once every period off the main thread (IioReader): a
// driver that hangs never freezes the program. A channel whose read has not
// answered within the period gives no reading until it answers again.
//
// The folder that holds the "iio:deviceN" folders is $KOLVEX_IIO_ROOT, or
// /sys/bus/iio/devices.
class SenseHat : public QObject
{
    Q_OBJECT

public:
    using Quantity = SensorSettings::Quantity;

    // An empty iioRoot means the environment's or the system's folder. The
    // channels found are read from now on, every 200 ms until told otherwise.
    explicit SenseHat(QObject *parent = nullptr, const QString &iioRoot = QString());
    ~SenseHat() override;

    static QString defaultIioRoot();
    QString iioRoot() const { return m_iioRoot; }
    // Looks for the sensors again (the constructor has looked once).
    void findSensors();

    bool available() const { return hasBarometer() || hasThermometer() || hasHygrometer(); }
    bool hasBarometer() const { return m_pressure.isValid(); }
    bool hasThermometer() const { return m_temperature.isValid(); }
    bool hasHygrometer() const { return m_humidity.isValid(); }
    bool has(Quantity quantity) const;
    // The board has the channel and its last read answered within the period.
    bool answers(Quantity quantity) const;

    void setPeriod(int milliseconds);
    int period() const { return m_periodMs; }
    void startReading();
    void stopReading();

    // The last readings, none when the sensor is missing, does not answer or
    // could not be read: pressure in hPa, temperature in degrees Celsius,
    // relative humidity in percent.
    std::optional<double> pressure() const;
    std::optional<double> temperature() const;
    std::optional<double> humidity() const;

signals:
    // A reading arrived from one of the channels.
    void readingArrived();
    // A channel stopped or started answering within its period.
    void answeringChanged();

private:
    IioReader *reader(Quantity quantity) const;
    void makeReaders();
    std::optional<double> lastValue(Quantity quantity, double factor) const;

    QString m_iioRoot;
    IioChannel m_pressure;
    IioChannel m_temperature;
    IioChannel m_humidity;
    std::unique_ptr<IioReader> m_pressureReader;
    std::unique_ptr<IioReader> m_temperatureReader;
    std::unique_ptr<IioReader> m_humidityReader;
    int m_periodMs = 200;
    bool m_reading = true;
};
