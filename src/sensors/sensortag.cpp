#include "sensors/sensortag.h"

#include "sensors/bluetoothlowenergy.h"
#include "sensors/lowenergygattservice.h"

#include <QDebug>

#include <algorithm>

namespace {

bool hasFragment(const QBluetoothUuid &uuid, const char *fragment)
{
    return uuid.toString().toUpper().contains(QLatin1String(fragment));
}

unsigned byteAt(const QByteArray &value, int i)
{
    return unsigned(quint8(value.at(i)));
}

} // namespace

SensorTag::SensorTag(QObject *parent)
    : QObject(parent)
    , m_lowEnergy(new BluetoothLowEnergy(this))
{
    emit sensorTagConnectedChanged();
    connect(m_lowEnergy, &BluetoothLowEnergy::servicesDiscovered, this, &SensorTag::servicesDiscovered);
    connect(m_lowEnergy, &BluetoothLowEnergy::characteristicsDiscovered, this,
            &SensorTag::serviceCharacteristicsDiscovered);
    connect(m_lowEnergy, &BluetoothLowEnergy::disconnected, this, &SensorTag::setSensorTagDisconnected);
    connect(m_lowEnergy, &BluetoothLowEnergy::errorOccurred, this, &SensorTag::connectionFailed);
}

SensorTag::~SensorTag() = default;

BluetoothDiscoverDevices *SensorTag::discovery() const
{
    return m_lowEnergy->discovery();
}

double SensorTag::temperature() const
{
    switch (m_temperatureMode) {
    case HumiditySensorTemperature: return m_humiditySensorTemperature;
    case BarometerTemperature: return m_barometerTemperature;
    default: return (m_humiditySensorTemperature + m_barometerTemperature) * 0.5;
    }
}

std::optional<double> SensorTag::humidityReading() const
{
    return m_connected && m_humidityDelivered ? std::optional<double>(m_humidity) : std::nullopt;
}

std::optional<double> SensorTag::pressureReading() const
{
    return m_connected && m_barometerDelivered ? std::optional<double>(m_pressure) : std::nullopt;
}

std::optional<double> SensorTag::temperatureReading() const
{
    if (!m_connected)
        return std::nullopt;
    switch (m_temperatureMode) {
    case HumiditySensorTemperature:
        return m_humidityDelivered ? std::optional<double>(m_humiditySensorTemperature) : std::nullopt;
    case BarometerTemperature:
        return m_barometerDelivered ? std::optional<double>(m_barometerTemperature) : std::nullopt;
    default:
        // The mean of a measured and a never measured temperature would be
        // neither; until both have spoken the one that has serves.
        if (m_humidityDelivered && m_barometerDelivered)
            return temperature();
        if (m_humidityDelivered)
            return m_humiditySensorTemperature;
        if (m_barometerDelivered)
            return m_barometerTemperature;
        return std::nullopt;
    }
}

bool SensorTag::connectSelectedDevice()
{
    return m_lowEnergy->connectSelectedDevice();
}

void SensorTag::disconnectDevice()
{
    m_lowEnergy->disconnectFromDevice();
}

quint8 SensorTag::periodByte(int milliseconds)
{
    return quint8(std::clamp(int(milliseconds * 0.1), 10, 255));
}

void SensorTag::setPeriod(int milliseconds)
{
    m_period = milliseconds;
    if (!m_connected)
        return;
    writePeriod(m_humidityService.get(), m_humidityPeriodUuid);
    writePeriod(m_barometerService.get(), m_barometerPeriodUuid);
}

void SensorTag::writePeriod(GattService *service, const QBluetoothUuid &periodUuid)
{
    if (service && !periodUuid.isNull() && m_period > 0)
        service->writeCharacteristic(periodUuid, QByteArray(1, char(periodByte(m_period))));
}

void SensorTag::setSensorTagDisconnected()
{
    m_connected = false;
    m_humidityService.reset();
    m_barometerService.reset();
    m_humidityDataUuid = m_humidityConfigUuid = m_humidityPeriodUuid = QBluetoothUuid();
    m_barometerDataUuid = m_barometerConfigUuid = m_barometerPeriodUuid = QBluetoothUuid();
    m_humidityDelivered = false;
    m_barometerDelivered = false;
    emit sensorTagConnectedChanged();
}

void SensorTag::servicesDiscovered()
{
    m_lowEnergy->connectToService(QStringLiteral("AA20"));
    m_lowEnergy->connectToService(QStringLiteral("AA40"));
    m_connected = true;
    emit sensorTagConnectedChanged();
}

void SensorTag::serviceCharacteristicsDiscovered(QLowEnergyService *service)
{
    connect(service, &QLowEnergyService::stateChanged, this, &SensorTag::onStateChanged, Qt::UniqueConnection);
    connect(service, &QLowEnergyService::characteristicChanged, this, &SensorTag::onCharacteristicChanged,
            Qt::UniqueConnection);
    connect(service, &QLowEnergyService::characteristicWritten, this, &SensorTag::onCharacteristicWritten,
            Qt::UniqueConnection);
    connect(service, QOverload<QLowEnergyService::ServiceError>::of(&QLowEnergyService::error), this,
            [service](QLowEnergyService::ServiceError error) {
                qWarning() << "SensorTag service" << service->serviceUuid().toString() << "error" << error;
            });
    configureService(std::make_unique<LowEnergyGattService>(service));
}

void SensorTag::configureService(std::unique_ptr<GattService> service)
{
    GattService *configured = service.get();
    const QBluetoothUuid serviceUuid = service->serviceUuid();
    const QList<QBluetoothUuid> characteristics = service->characteristicUuids();
    QBluetoothUuid data;
    QBluetoothUuid config;
    QBluetoothUuid period;
    if (hasFragment(serviceUuid, "AA20")) {
        for (const QBluetoothUuid &uuid : characteristics) {
            if (hasFragment(uuid, "AA21"))
                data = m_humidityDataUuid = uuid;
            else if (hasFragment(uuid, "AA22"))
                config = m_humidityConfigUuid = uuid;
            else if (hasFragment(uuid, "AA23"))
                period = m_humidityPeriodUuid = uuid;
        }
        m_humidityService = std::move(service);
        m_humidityDelivered = false;
    } else if (hasFragment(serviceUuid, "AA40")) {
        for (const QBluetoothUuid &uuid : characteristics) {
            if (hasFragment(uuid, "AA41"))
                data = m_barometerDataUuid = uuid;
            else if (hasFragment(uuid, "AA42"))
                config = m_barometerConfigUuid = uuid;
            else if (hasFragment(uuid, "AA44"))
                period = m_barometerPeriodUuid = uuid;
        }
        m_barometerService = std::move(service);
        m_barometerDelivered = false;
    } else {
        return;
    }
    if (!data.isNull() && !configured->writeNotificationConfig(data, QByteArray::fromHex("0100")))
        qWarning() << "SensorTag: no notifications from" << data.toString();
    if (!config.isNull())
        configured->writeCharacteristic(config, QByteArray::fromHex("01"));
    writePeriod(configured, period);
}

void SensorTag::handleNotification(const QBluetoothUuid &characteristic, const QByteArray &value)
{
    if (characteristic.isNull())
        return;
    if (characteristic == m_humidityDataUuid) {
        const std::optional<HumidityData> data = decodeHumidity(value);
        if (!data) {
            if (!m_shortHumidityReported)
                qWarning() << "SensorTag: a humidity notification of" << value.size() << "bytes (4 expected) ignored";
            m_shortHumidityReported = true;
            return;
        }
        m_humiditySensorTemperature = data->temperature;
        m_humidity = data->humidity;
        m_humidityDelivered = true;
    } else if (characteristic == m_barometerDataUuid) {
        const std::optional<BarometerData> data = decodeBarometer(value);
        if (!data) {
            if (!m_shortBarometerReported)
                qWarning() << "SensorTag: a barometer notification of" << value.size() << "bytes (6 expected) ignored";
            m_shortBarometerReported = true;
            return;
        }
        m_barometerTemperature = data->temperature;
        m_pressure = data->pressure;
        m_barometerDelivered = true;
    }
}

std::optional<SensorTag::HumidityData> SensorTag::decodeHumidity(const QByteArray &value)
{
    if (value.size() < 4)
        return std::nullopt;
    const unsigned rawT = byteAt(value, 1) * 256 + byteAt(value, 0);
    const unsigned rawH = byteAt(value, 3) * 256 + byteAt(value, 2);
    return HumidityData{rawT / 65536.0 * 165.0 - 40.0, rawH / 65536.0 * 100.0};
}

std::optional<SensorTag::BarometerData> SensorTag::decodeBarometer(const QByteArray &value)
{
    if (value.size() < 6)
        return std::nullopt;
    const unsigned rawT = byteAt(value, 2) * 65536 + byteAt(value, 1) * 256 + byteAt(value, 0);
    const unsigned rawP = byteAt(value, 5) * 65536 + byteAt(value, 4) * 256 + byteAt(value, 3);
    return BarometerData{double(float(rawT) / 100.0f), double(rawP)};
}

void SensorTag::onCharacteristicWritten(const QLowEnergyCharacteristic &, const QByteArray &)
{
}

void SensorTag::onCharacteristicChanged(const QLowEnergyCharacteristic &characteristic, const QByteArray &value)
{
    handleNotification(characteristic.uuid(), value);
}

void SensorTag::onStateChanged(QLowEnergyService::ServiceState)
{
}
