#include "sensors/sensehat.h"

#include "sensors/iioreader.h"

#include <QDir>

#include <algorithm>

namespace {

// "iio:device10" after "iio:device9".
int deviceNumber(const QString &folderName)
{
    return folderName.mid(int(sizeof("iio:device")) - 1).toInt();
}

} // namespace

SenseHat::SenseHat(QObject *parent, const QString &iioRoot)
    : QObject(parent)
    , m_iioRoot(iioRoot.isEmpty() ? defaultIioRoot() : iioRoot)
{
    findSensors();
}

SenseHat::~SenseHat() = default;

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
    makeReaders();
}

void SenseHat::makeReaders()
{
    const struct {
        const IioChannel &channel;
        std::unique_ptr<IioReader> &reader;
    } channels[] = {{m_pressure, m_pressureReader},
                    {m_temperature, m_temperatureReader},
                    {m_humidity, m_humidityReader}};
    for (const auto &c : channels) {
        c.reader.reset();
        if (!c.channel.isValid())
            continue;
        c.reader = std::make_unique<IioReader>(c.channel, m_periodMs);
        connect(c.reader.get(), &IioReader::readingArrived, this, &SenseHat::readingArrived);
        connect(c.reader.get(), &IioReader::answeringChanged, this, &SenseHat::answeringChanged);
        if (m_reading)
            c.reader->start();
    }
}

IioReader *SenseHat::reader(Quantity quantity) const
{
    switch (quantity) {
    case Quantity::Pressure: return m_pressureReader.get();
    case Quantity::Temperature: return m_temperatureReader.get();
    case Quantity::Humidity: break;
    }
    return m_humidityReader.get();
}

bool SenseHat::has(Quantity quantity) const
{
    return reader(quantity) != nullptr;
}

bool SenseHat::answers(Quantity quantity) const
{
    const IioReader *channel = reader(quantity);
    return channel && channel->answering();
}

void SenseHat::setPeriod(int milliseconds)
{
    m_periodMs = std::max(1, milliseconds);
    for (Quantity quantity : {Quantity::Pressure, Quantity::Temperature, Quantity::Humidity}) {
        if (IioReader *channel = reader(quantity))
            channel->setPeriod(m_periodMs);
    }
}

void SenseHat::startReading()
{
    m_reading = true;
    for (Quantity quantity : {Quantity::Pressure, Quantity::Temperature, Quantity::Humidity}) {
        if (IioReader *channel = reader(quantity))
            channel->start();
    }
}

void SenseHat::stopReading()
{
    m_reading = false;
    for (Quantity quantity : {Quantity::Pressure, Quantity::Temperature, Quantity::Humidity}) {
        if (IioReader *channel = reader(quantity))
            channel->stop();
    }
}

std::optional<double> SenseHat::lastValue(Quantity quantity, double factor) const
{
    const IioReader *channel = reader(quantity);
    if (!channel || !channel->answering() || !channel->value())
        return std::nullopt;
    return *channel->value() * factor;
}

std::optional<double> SenseHat::pressure() const
{
    return lastValue(Quantity::Pressure, 10.0);   // kPa to hPa
}

std::optional<double> SenseHat::temperature() const
{
    return lastValue(Quantity::Temperature, 0.001);   // milli-degrees to degrees Celsius
}

std::optional<double> SenseHat::humidity() const
{
    return lastValue(Quantity::Humidity, 0.001);   // milli-percent to percent
}
