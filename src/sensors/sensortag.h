#pragma once

#include "sensors/gattservice.h"

#include <QBluetoothUuid>
#include <QByteArray>
#include <QLowEnergyCharacteristic>
#include <QLowEnergyService>
#include <QObject>

#include <memory>
#include <optional>

class BluetoothDiscoverDevices;
class BluetoothLowEnergy;

// A TI SensorTag (CC2650 family) over Bluetooth low energy: relative humidity
// and temperature from its humidity sensor (HDC1000), pressure and
// temperature from its barometer (BMP280). Once the tag's services are found
// it switches both sensors on, turns their notifications on and keeps the
// latest decoded values; the sensor hub reads them on its own timer.
//
// Services and characteristics are recognised by a fragment of their UUID:
// "AA20" humidity service, "AA21" its data, "AA22" its configuration, "AA23"
// its period; "AA40" barometer service, "AA41" data, "AA42" configuration,
// "AA44" period.
class SensorTag : public QObject
{
    Q_OBJECT

public:
    // Which temperature temperature() gives; any other mode gives the mean.
    enum TemperatureMode { HumiditySensorTemperature = 0, BarometerTemperature = 1, MeanTemperature = 2 };

    // The humidity sensor's data: temperature in degrees Celsius, relative humidity in percent.
    struct HumidityData
    {
        double temperature;
        double humidity;
    };
    // The barometer's data: temperature in degrees Celsius, pressure in Pa.
    struct BarometerData
    {
        double temperature;
        double pressure;
    };

    explicit SensorTag(QObject *parent = nullptr);
    ~SensorTag() override;

    // The tag's services were found (before its sensors are configured).
    bool connected() const { return m_connected; }
    // The last decoded values; they stay after a disconnection.
    double humidity() const { return m_humidity; }
    double pressure() const { return m_pressure; }
    double temperature() const;
    // The same while connected and once the sensor has sent a value since the
    // connection was made; none otherwise.
    std::optional<double> humidityReading() const;
    std::optional<double> pressureReading() const;
    std::optional<double> temperatureReading() const;

    int temperatureMode() const { return m_temperatureMode; }
    void setTemperatureMode(int mode) { m_temperatureMode = mode; }

    // Connects the device selected in the search; false, doing nothing, when
    // no device is selected.
    bool connectSelectedDevice();
    void disconnectDevice();
    // Both sensors measure every p x 10 ms, p = milliseconds / 10 within
    // 10..255. The period is written now when connected, and to each sensor
    // as it is configured after a later connection.
    void setPeriod(int milliseconds);
    static quint8 periodByte(int milliseconds);

    BluetoothLowEnergy *lowEnergy() const { return m_lowEnergy; }
    BluetoothDiscoverDevices *discovery() const;

    // The characteristic handling, below the Qt low-energy layer: configures
    // a discovered service (the tag keeps it) and takes a notification.
    void configureService(std::unique_ptr<GattService> service);
    void handleNotification(const QBluetoothUuid &characteristic, const QByteArray &value);

    // The notifications' bytes, unsigned, little-endian; none when there are
    // fewer than 4 (humidity) or 6 (barometer) bytes.
    static std::optional<HumidityData> decodeHumidity(const QByteArray &value);
    static std::optional<BarometerData> decodeBarometer(const QByteArray &value);

signals:
    void sensorTagConnectedChanged();
    // The link failed; the message is for the user.
    void connectionFailed(const QString &message);

public slots:
    void setSensorTagDisconnected();
    void servicesDiscovered();
    void serviceCharacteristicsDiscovered(QLowEnergyService *service);
    void onCharacteristicWritten(const QLowEnergyCharacteristic &characteristic, const QByteArray &value);
    void onCharacteristicChanged(const QLowEnergyCharacteristic &characteristic, const QByteArray &value);
    void onStateChanged(QLowEnergyService::ServiceState state);

private:
    void writePeriod(GattService *service, const QBluetoothUuid &periodUuid);

    bool m_connected = false;
    double m_humidity = 0.0;                    // percent
    double m_pressure = 0.0;                    // Pa
    double m_humiditySensorTemperature = 0.0;   // degrees Celsius
    double m_barometerTemperature = 0.0;        // degrees Celsius
    int m_temperatureMode = MeanTemperature;
    BluetoothLowEnergy *m_lowEnergy;
    QBluetoothUuid m_humidityDataUuid;
    QBluetoothUuid m_barometerDataUuid;
    QBluetoothUuid m_humidityConfigUuid;
    QBluetoothUuid m_barometerConfigUuid;
    QBluetoothUuid m_humidityPeriodUuid;
    QBluetoothUuid m_barometerPeriodUuid;
    std::unique_ptr<GattService> m_humidityService;
    std::unique_ptr<GattService> m_barometerService;
    bool m_humidityDelivered = false;
    bool m_barometerDelivered = false;
    // A damaged notification is reported once per sensor, not at every beat.
    bool m_shortHumidityReported = false;
    bool m_shortBarometerReported = false;
    int m_period = 0;   // milliseconds; 0 until the hub sets one
};
