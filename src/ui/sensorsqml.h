#pragma once

#include "core/sensorsettings.h"

#include <QObject>
#include <QString>

#include <functional>

class KolvexCore;
class Sensors;
class SensorTag;

// The sensor screen and the "Sensor value" choices of the pressure,
// temperature and molecule screens: the values the path has now in the
// user's units, the sampling settings, which quantities follow the sensors,
// which sensors there are and what the user reads when there are none, and
// the SensorTag connection. Everything is read live from the sensor hub, the
// SensorTag and the path conditions; writes go to them.
class SensorsQml : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString totalPressure READ totalPressure NOTIFY totalPressureChanged)
    Q_PROPERTY(QString temperature READ temperature NOTIFY temperatureChanged)
    Q_PROPERTY(QString humidity READ humidity NOTIFY humidityChanged)
    Q_PROPERTY(int samplingPeriod READ samplingPeriod WRITE setSamplingPeriod NOTIFY samplingPeriodChanged)
    Q_PROPERTY(int numSamplesToAverage READ numSamplesToAverage WRITE setNumSamplesToAverage NOTIFY numSamplesToAverageChanged)
    Q_PROPERTY(int averagingTime READ averagingTime NOTIFY averagingTimeChanged)
    Q_PROPERTY(bool totalPressureSensorEnabled READ totalPressureSensorEnabled WRITE setTotalPressureSensorEnabled NOTIFY totalPressureSensorEnabledChanged)
    Q_PROPERTY(bool temperatureSensorEnabled READ temperatureSensorEnabled WRITE setTemperatureSensorEnabled NOTIFY temperatureSensorEnabledChanged)
    Q_PROPERTY(bool humiditySensorEnabled READ humiditySensorEnabled WRITE setHumiditySensorEnabled NOTIFY humiditySensorEnabledChanged)
    Q_PROPERTY(bool totalPressureSensorIsPresent READ totalPressureSensorIsPresent NOTIFY totalPressureSensorIsPresentChanged)
    Q_PROPERTY(bool temperatureSensorIsPresent READ temperatureSensorIsPresent NOTIFY temperatureSensorIsPresentChanged)
    Q_PROPERTY(bool humidityBuiltInSensorIsPresent READ humidityBuiltInSensorIsPresent NOTIFY humidityBuiltInSensorIsPresentChanged)
    Q_PROPERTY(QString humiditySensorLabelText READ humiditySensorLabelText NOTIFY humiditySensorLabelTextChanged)
    Q_PROPERTY(QString temperatureSensorLabelText READ temperatureSensorLabelText NOTIFY temperatureSensorLabelTextChanged)
    Q_PROPERTY(QString totalPressSensorLabelText READ totalPressSensorLabelText NOTIFY totalPressSensorLabelTextChanged)
    Q_PROPERTY(bool useSensorTag READ useSensorTag WRITE setUseSensorTag NOTIFY useSensorTagChanged)
    Q_PROPERTY(bool sensorTagConnected READ sensorTagConnected NOTIFY sensorTagConnectedChanged)
    Q_PROPERTY(int tempMode READ tempMode WRITE setTempMode NOTIFY tempModeChanged)
    Q_PROPERTY(QString connectButtonText READ connectButtonText NOTIFY connectButtonTextChanged)
    Q_PROPERTY(int selectedDeviceIndex READ selectedDeviceIndex WRITE setSelectedDeviceIndex NOTIFY selectedDeviceIndexChanged)
    // What each quantity's source delivered last, in the user's units, and how
    // long ago; "no reading for N s" once it has fallen silent; empty while
    // its source is not read.
    Q_PROPERTY(QString totalPressureReading READ totalPressureReading NOTIFY readingsChanged)
    Q_PROPERTY(QString temperatureReading READ temperatureReading NOTIFY readingsChanged)
    Q_PROPERTY(QString humidityReading READ humidityReading NOTIFY readingsChanged)
    // How the last connection attempt stands, for the SensorTag screen.
    Q_PROPERTY(QString connectionMessage READ connectionMessage NOTIFY connectionMessageChanged)

public:
    SensorsQml(QObject *parent, KolvexCore *core);

    QString totalPressure() const;
    QString temperature() const;
    QString humidity() const;
    int samplingPeriod() const;
    void setSamplingPeriod(int milliseconds);
    int numSamplesToAverage() const;
    void setNumSamplesToAverage(int samples);
    // Store a committed text of the sampling period (ms) or of the number of
    // samples averaged; return why it cannot be used (nothing changes then), or
    // an empty text. Both are whole numbers from 1 on.
    Q_INVOKABLE QString enterSamplingPeriod(const QString &text);
    Q_INVOKABLE QString enterSamplesToAverage(const QString &text);
    int averagingTime() const;
    bool totalPressureSensorEnabled() const;
    void setTotalPressureSensorEnabled(bool on);
    bool temperatureSensorEnabled() const;
    void setTemperatureSensorEnabled(bool on);
    bool humiditySensorEnabled() const;
    void setHumiditySensorEnabled(bool on);
    bool totalPressureSensorIsPresent() const;
    bool temperatureSensorIsPresent() const;
    bool humidityBuiltInSensorIsPresent() const;
    QString humiditySensorLabelText() const;
    QString temperatureSensorLabelText() const;
    QString totalPressSensorLabelText() const;
    bool useSensorTag() const;
    void setUseSensorTag(bool on);
    bool sensorTagConnected() const;
    int tempMode() const;
    void setTempMode(int mode);
    QString connectButtonText() const;
    int selectedDeviceIndex() const;
    void setSelectedDeviceIndex(int index);
    QString connectionMessage() const { return m_connectionMessage; }
    QString totalPressureReading() const;
    QString temperatureReading() const;
    QString humidityReading() const;

    Q_INVOKABLE void discoverDevices();
    // Disconnects a connected SensorTag (what only it supplied goes back to
    // the user's values first), otherwise connects the selected device.
    Q_INVOKABLE void connectSensorTagDevice();

signals:
    void totalPressureChanged();
    void temperatureChanged();
    void humidityChanged();
    void samplingPeriodChanged();
    void numSamplesToAverageChanged();
    void averagingTimeChanged();
    void totalPressureSensorEnabledChanged();
    void temperatureSensorEnabledChanged();
    void humiditySensorEnabledChanged();
    void totalPressureSensorIsPresentChanged();
    void temperatureSensorIsPresentChanged();
    void humidityBuiltInSensorIsPresentChanged();
    void humiditySensorLabelTextChanged();
    void temperatureSensorLabelTextChanged();
    void totalPressSensorLabelTextChanged();
    void useSensorTagChanged();
    void sensorTagConnectedChanged();
    void tempModeChanged();
    void connectButtonTextChanged();
    void selectedDeviceIndexChanged();
    void connectionMessageChanged();
    void readingsChanged();

public slots:
    void updateTotalPressureValue() { emit totalPressureChanged(); }
    void updateTemperatureValue() { emit temperatureChanged(); }
    void updateHumidityValue() { emit humidityChanged(); }
    void updateBarometerActiveState() { emit totalPressureSensorEnabledChanged(); }
    void updateThermometerActiveState() { emit temperatureSensorEnabledChanged(); }
    void updateHumiditySensorActiveState() { emit humiditySensorEnabledChanged(); }

private:
    void emitPresenceTexts();
    // The reading text of a quantity; `valueText` puts the value in words from
    // the path's units and the source's.
    QString readingText(SensorSettings::Quantity quantity,
                        const std::function<QString(double, double)> &valueText) const;
    // A concentration of H2O in the unit the screens show it in.
    QString concentrationNumber(double ppmv) const;
    void setConnectionMessage(const QString &message);

    KolvexCore *m_core;
    Sensors *m_sensors;
    SensorTag *m_sensorTag;
    QString m_connectionMessage;
};
