#include "sensors/sensehat.h"

#include <QDir>

#include <algorithm>

namespace {

// "iio:device10" after "iio:device9".
int deviceNumber(const QString &folderName)
{
    return folderName.mid(int(sizeof("iio:device")) - 1).toInt();
}

std::optional<double> scaled(const std::optional<double> &value, double factor)
{
    return value ? std::optional<double>(*value * factor) : std::nullopt;
}

} // namespace

SenseHat::SenseHat(QObject *parent, const QString &iioRoot)
    : QObject(parent)
    , m_iioRoot(iioRoot.isEmpty() ? defaultIioRoot() : iioRoot)
{
    findSensors();
}

QString SenseHat::defaultIioRoot()
{
    const QString root = qEnvironmentVariable("KOLVEX_IIO_ROOT");
    return root.isEmpty() ? QStringLiteral("/sys/bus/iio/devices") : root;
}

void SenseHat::findSensors()
{
    m_pressure = IioChannel();
    m_temperature = IioChannel();
    m_humidity = IioChannel();
    QStringList devices = QDir(m_iioRoot).entryList({QStringLiteral("iio:device*")},
                                                    QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(devices.begin(), devices.end(),
              [](const QString &a, const QString &b) { return deviceNumber(a) < deviceNumber(b); });
    // The temperature is taken from the humidity sensor where there is one,
    // as the board's own software does: the pressure chip sits closer to the
    // warm board. Temperature channels of other devices (the die temperature
    // of a motion sensor, say) are not the air's and are left alone.
    IioChannel pressureChipTemperature;
    for (const QString &name : qAsConst(devices)) {
        const QString folder = QDir(m_iioRoot).filePath(name);
        const IioChannel pressure = IioChannel::find(folder, QStringLiteral("pressure"));
        const IioChannel humidity = IioChannel::find(folder, QStringLiteral("humidityrelative"));
        if (pressure.isValid() && !m_pressure.isValid()) {
            m_pressure = pressure;
            if (!pressureChipTemperature.isValid())
                pressureChipTemperature = IioChannel::find(folder, QStringLiteral("temp"));
        }
        if (humidity.isValid() && !m_humidity.isValid()) {
            m_humidity = humidity;
            m_temperature = IioChannel::find(folder, QStringLiteral("temp"));
        }
    }
    if (!m_temperature.isValid())
        m_temperature = pressureChipTemperature;
}

std::optional<double> SenseHat::pressure() const
{
    return scaled(m_pressure.read(), 10.0);   // kPa to hPa
}

std::optional<double> SenseHat::temperature() const
{
    return scaled(m_temperature.read(), 0.001);   // milli-degrees to degrees Celsius
}

std::optional<double> SenseHat::humidity() const
{
    return scaled(m_humidity.read(), 0.001);   // milli-percent to percent
}
