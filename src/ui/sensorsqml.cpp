#include "ui/sensorsqml.h"

#include "app/kolvexcore.h"
#include "bluetooth/bluetoothdiscoverdevices.h"
#include "core/params.h"
#include "core/settingrules.h"
#include "sensors/sensors.h"
#include "sensors/sensorscellphone.h"
#include "sensors/sensortag.h"
#include "ui/numbertext.h"

#include <QCoreApplication>

#include <algorithm>
#include <limits>

namespace {

using Quantity = SensorSettings::Quantity;

QString translated(const QString &text)
{
    return QCoreApplication::translate("SensorsQml", text.toUtf8().constData());
}

QString withUnit(const QString &number, const QString &label)
{
    return number + QLatin1String(" (") + label + QLatin1Char(')');
}

} // namespace

SensorsQml::SensorsQml(QObject *parent, KolvexCore *core)
    : QObject(parent)
    , m_core(core)
    , m_sensors(core->sensors())
    , m_sensorTag(core->sensors()->sensorTag())
{
    connect(m_sensors, &Sensors::totalPressureUpdated, this, &SensorsQml::updateTotalPressureValue);
    connect(m_sensors, &Sensors::totalPressureUpdated, this, &SensorsQml::totalPressureSensorEnabledChanged);
    connect(m_sensors, &Sensors::temperatureUpdated, this, &SensorsQml::updateTemperatureValue);
    connect(m_sensors, &Sensors::temperatureUpdated, this, &SensorsQml::temperatureSensorEnabledChanged);
    connect(m_sensors, &Sensors::humidityUpdated, this, &SensorsQml::updateHumidityValue);
    connect(m_sensors, &Sensors::humidityUpdated, this, &SensorsQml::humiditySensorEnabledChanged);
    SensorsCellPhone *builtIn = m_sensors->cellPhone();
    connect(builtIn, &SensorsCellPhone::barometerActiveChanged, this, &SensorsQml::updateBarometerActiveState);
    connect(builtIn, &SensorsCellPhone::thermometerActiveChanged, this, &SensorsQml::updateThermometerActiveState);
    connect(builtIn, &SensorsCellPhone::humiditySensorActiveChanged, this,
            &SensorsQml::updateHumiditySensorActiveState);
    connect(m_sensorTag, &SensorTag::sensorTagConnectedChanged, this, [this] {
        emitPresenceTexts();
        emit totalPressureSensorIsPresentChanged();
        emit temperatureSensorIsPresentChanged();
        emit humidityBuiltInSensorIsPresentChanged();
        emit connectButtonTextChanged();
        emit sensorTagConnectedChanged();
        setConnectionMessage(m_sensorTag->connected() ? translated(QStringLiteral("SensorTag connected.")) : QString());
    });
    connect(m_sensorTag, &SensorTag::connectionFailed, this, &SensorsQml::setConnectionMessage);
    connect(m_sensors, &Sensors::useSensorTagStateChanged, this, [this] {
        emitPresenceTexts();
        emit useSensorTagChanged();
    });
    // A board's sensor stopped or started answering, or a reading was refused.
    connect(m_sensors, &Sensors::presenceChanged, this, [this] {
        emitPresenceTexts();
        emit totalPressureSensorIsPresentChanged();
        emit temperatureSensorIsPresentChanged();
        emit humidityBuiltInSensorIsPresentChanged();
    });
    connect(m_sensors, &Sensors::readingsChanged, this, &SensorsQml::readingsChanged);
    // Values of the path and sampling settings changed by a remote peer or
    // the configuration file.
    connect(m_core, &KolvexCore::valuesUpdated, this, [this] {
        emit samplingPeriodChanged();
        emit numSamplesToAverageChanged();
        emit averagingTimeChanged();
        emit totalPressureChanged();
        emit temperatureChanged();
        emit humidityChanged();
        emit totalPressureSensorEnabledChanged();
        emit temperatureSensorEnabledChanged();
        emit humiditySensorEnabledChanged();
        emit useSensorTagChanged();
        emitPresenceTexts();
        emit readingsChanged();
    });
}

void SensorsQml::emitPresenceTexts()
{
    emit humiditySensorLabelTextChanged();
    emit temperatureSensorLabelTextChanged();
    emit totalPressSensorLabelTextChanged();
}

void SensorsQml::setConnectionMessage(const QString &message)
{
    if (m_connectionMessage == message)
        return;
    m_connectionMessage = message;
    emit connectionMessageChanged();
}

QString SensorsQml::totalPressure() const
{
    const PressureUnits *units = m_core->pressureUnits();
    return withUnit(NumberText::print(PressureUnits::fromAtm(m_core->params()->pathConditions().totalPressure,
                                                             units->pressureUnit)),
                    units->pressureLabel());
}

QString SensorsQml::temperature() const
{
    const quint8 unit = m_core->temperatureUnit()->unit;
    return withUnit(NumberText::print(TemperatureUnit::fromKelvin(m_core->params()->pathConditions().temperature, unit)),
                    TemperatureUnit::label(unit));
}

QString SensorsQml::humidity() const
{
    const PathConditions &path = m_core->params()->pathConditions();
    const double ppmv = path.concentrations.empty() ? 0.0 : path.concentrations.front();
    return withUnit(concentrationNumber(ppmv), m_core->pressureUnits()->concentrationLabel());
}

QString SensorsQml::concentrationNumber(double ppmv) const
{
    const PathConditions &path = m_core->params()->pathConditions();
    const PressureUnits *units = m_core->pressureUnits();
    double shown = ppmv;
    if (units->concentrationMode == PressureUnits::Percent)
        shown = ppmv * 1e-4;
    else if (units->concentrationMode != PressureUnits::Ppmv)
        shown = PressureUnits::fromAtm(ppmv * 1e-6 * path.totalPressure, units->pressureUnit);
    return NumberText::locale().toString(shown, 'g', 5);
}

QString SensorsQml::readingText(Quantity quantity, const std::function<QString(double, double)> &valueText) const
{
    const Sensors::LatestReading latest = m_sensors->latestReading(quantity);
    if (!latest.watched)
        return QString();
    if (latest.missing) {
        return translated(QStringLiteral("no reading for %1 s"))
            .arg(NumberText::locale().toString(latest.ageMs / 1000));
    }
    if (!latest.value)
        return translated(QStringLiteral("waiting for a reading"));
    return translated(QStringLiteral("%1, %2 s ago"))
        .arg(valueText(*latest.value, latest.sourceValue),
             NumberText::locale().toString(double(latest.ageMs) / 1000.0, 'f', 1));
}

QString SensorsQml::totalPressureReading() const
{
    return readingText(Quantity::Pressure, [this](double atm, double) {
        const PressureUnits *units = m_core->pressureUnits();
        return NumberText::print(PressureUnits::fromAtm(atm, units->pressureUnit)) + QLatin1Char(' ')
            + units->pressureLabel();
    });
}

QString SensorsQml::temperatureReading() const
{
    return readingText(Quantity::Temperature, [this](double kelvin, double) {
        const quint8 unit = m_core->temperatureUnit()->unit;
        return NumberText::print(TemperatureUnit::fromKelvin(kelvin, unit)) + QLatin1Char(' ')
            + TemperatureUnit::label(unit);
    });
}

QString SensorsQml::humidityReading() const
{
    // The hygrometer measures relative humidity; the path takes it as water
    // vapour in the concentration unit of the screens.
    return readingText(Quantity::Humidity, [this](double ppmv, double relativeHumidity) {
        return translated(QStringLiteral("%1 % RH = %2 %3"))
            .arg(NumberText::print(relativeHumidity), concentrationNumber(ppmv),
                 m_core->pressureUnits()->concentrationLabel());
    });
}

int SensorsQml::samplingPeriod() const
{
    return m_sensors->samplingPeriod();
}

void SensorsQml::setSamplingPeriod(int milliseconds)
{
    // The timer takes whole milliseconds from 1 on; the field shows the value in use.
    if (milliseconds < 1 || milliseconds == samplingPeriod()) {
        emit samplingPeriodChanged();
        return;
    }
    m_sensors->setSamplingPeriod(milliseconds);
    emit samplingPeriodChanged();
    emit averagingTimeChanged();
    m_core->announce(Setting::SamplingPeriod);
}

namespace {

// A whole number from 1 on, or why the text is not one.
QString readSamplingEntry(const QString &text, int *value)
{
    QString problem = NumberText::parseWhole(text, value);
    if (problem.isEmpty())
        problem = SettingRules::samplingProblem(*value);
    return problem;
}

} // namespace

QString SensorsQml::enterSamplingPeriod(const QString &text)
{
    int milliseconds = 0;
    const QString problem = readSamplingEntry(text, &milliseconds);
    if (problem.isEmpty())
        setSamplingPeriod(milliseconds);
    return problem;
}

QString SensorsQml::enterSamplesToAverage(const QString &text)
{
    int samples = 0;
    const QString problem = readSamplingEntry(text, &samples);
    if (problem.isEmpty())
        setNumSamplesToAverage(samples);
    return problem;
}

int SensorsQml::averagingTime() const
{
    // Both factors may be as large as an int holds; the time shown is capped there.
    const qint64 time = qint64(numSamplesToAverage()) * qint64(samplingPeriod());
    return int(std::min<qint64>(time, std::numeric_limits<int>::max()));
}

int SensorsQml::numSamplesToAverage() const
{
    return m_sensors->numSamplesToAverage();
}

void SensorsQml::setNumSamplesToAverage(int samples)
{
    if (samples < 1 || samples == numSamplesToAverage()) {
        emit numSamplesToAverageChanged();
        return;
    }
    m_sensors->setNumSamplesToAverage(samples);
    emit numSamplesToAverageChanged();
    emit averagingTimeChanged();
    m_core->announce(Setting::SamplesToAverage);
}

bool SensorsQml::totalPressureSensorEnabled() const
{
    return m_sensors->pressureSensorEnabled();
}

void SensorsQml::setTotalPressureSensorEnabled(bool on)
{
    // The hub tells of the outcome, a refusal included, through its signal.
    if (on != totalPressureSensorEnabled())
        m_sensors->setPressureSensorEnabled(on);
    emit totalPressureSensorEnabledChanged();
    m_core->announce(Setting::PressureSensor);
}

bool SensorsQml::temperatureSensorEnabled() const
{
    return m_sensors->temperatureSensorEnabled();
}

void SensorsQml::setTemperatureSensorEnabled(bool on)
{
    if (on != temperatureSensorEnabled())
        m_sensors->setTemperatureSensorEnabled(on);
    emit temperatureSensorEnabledChanged();
    m_core->announce(Setting::TemperatureSensor);
}

bool SensorsQml::humiditySensorEnabled() const
{
    return m_sensors->humiditySensorEnabled();
}

void SensorsQml::setHumiditySensorEnabled(bool on)
{
    if (on != humiditySensorEnabled())
        m_sensors->setHumiditySensorEnabled(on);
    emit humiditySensorEnabledChanged();
    m_core->announce(Setting::HumiditySensor);
}

bool SensorsQml::totalPressureSensorIsPresent() const
{
    return m_sensors->pressureSensorPresent();
}

bool SensorsQml::temperatureSensorIsPresent() const
{
    return m_sensors->temperatureSensorPresent();
}

bool SensorsQml::humidityBuiltInSensorIsPresent() const
{
    // The Sense HAT's hygrometer counts as the device's own.
    return m_sensors->cellPhone()->hygrometerPresent() || m_sensors->senseHatHasHygrometer();
}

QString SensorsQml::humiditySensorLabelText() const
{
    return translated(m_sensors->presenceText(Quantity::Humidity));
}

QString SensorsQml::temperatureSensorLabelText() const
{
    return translated(m_sensors->presenceText(Quantity::Temperature));
}

QString SensorsQml::totalPressSensorLabelText() const
{
    return translated(m_sensors->presenceText(Quantity::Pressure));
}

bool SensorsQml::useSensorTag() const
{
    return m_sensors->useSensorTag();
}

void SensorsQml::setUseSensorTag(bool on)
{
    if (on != useSensorTag())
        m_sensors->setUseSensorTag(on);
    // Also after a refusal, so that the switch shows the state in use.
    emit useSensorTagChanged();
    m_core->announce(Setting::SensorTag);
}

bool SensorsQml::sensorTagConnected() const
{
    return m_sensorTag->connected();
}

int SensorsQml::tempMode() const
{
    return m_sensorTag->temperatureMode();
}

void SensorsQml::setTempMode(int mode)
{
    if (mode == tempMode())
        return;
    m_sensorTag->setTemperatureMode(mode);
    emit tempModeChanged();
}

QString SensorsQml::connectButtonText() const
{
    return m_sensorTag->connected() ? QStringLiteral(" Disconnect ") : QStringLiteral("  Connect  ");
}

int SensorsQml::selectedDeviceIndex() const
{
    return m_sensorTag->discovery()->selectedDeviceIndex();
}

void SensorsQml::setSelectedDeviceIndex(int index)
{
    if (index == selectedDeviceIndex())
        return;
    m_sensorTag->discovery()->setSelectedDeviceIndex(index);
    emit selectedDeviceIndexChanged();
}

void SensorsQml::discoverDevices()
{
    setConnectionMessage(QString());
    m_sensorTag->discovery()->startDiscovery(true);
}

void SensorsQml::connectSensorTagDevice()
{
    if (m_sensorTag->connected()) {
        m_sensors->setUseSensorTag(false);
        m_sensorTag->disconnectDevice();
        return;
    }
    const QList<QBluetoothDeviceInfo> devices = m_sensorTag->discovery()->discoveredDevices();
    if (!m_sensorTag->connectSelectedDevice()) {
        setConnectionMessage(translated(devices.isEmpty()
                                            ? QStringLiteral("No device to connect: press \"Discover devices\" first.")
                                            : QStringLiteral("Select the SensorTag in the list first.")));
        return;
    }
    const QBluetoothDeviceInfo device = devices.at(selectedDeviceIndex());
    setConnectionMessage(translated(QStringLiteral("Connecting to %1 ..."))
                             .arg(device.name().isEmpty() ? device.address().toString() : device.name()));
}
