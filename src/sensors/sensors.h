#pragma once

#include "core/sensorsettings.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class Params;
class QTimer;
class SenseHat;
class SensorTag;
class SensorsCellPhone;
struct PathConditions;

// The sensor hub: for each of total pressure, temperature and water vapour it
// picks a source (a connected SensorTag the user prefers, else a Sense HAT,
// else the device's own sensor), samples it on a timer, averages a window of
// samples and writes the average into the path conditions. Relative humidity
// becomes an H2O concentration on the way. Switching a quantity to the
// sensors remembers the user's value, and switching back restores it.
//
// With a window of N samples a new average is published every N + 1 ticks:
// N ticks take samples, the next one publishes. A sample is only taken from a
// source that is there, answers and has measured, and only when the reading
// is possible (finite, pressure above 0, temperature above absolute zero,
// relative humidity within 0-100 % give or take the sensors' tolerance) and
// its value in the path's units passes the rule a typed value passes
// (SettingRules: a temperature the partition sums cover, a concentration of
// at most the whole mixture). A window without a single such sample
// publishes nothing, so the path keeps the last average instead of taking
// 0 Pa from a lost source or 1.6e206 ppmv of H2O from a barometer gone wrong;
// the presence text says why a reading was refused.
//
// Apart from the averages, the hub keeps what each quantity's source last
// delivered and when, for the screen: the quantities that follow the sensors,
// and those a Sense HAT or a SensorTag in use reads anyway. A source counts as
// silent once nothing usable has come from it for longer than missingAfter().
class Sensors : public QObject, public SensorSettings
{
    Q_OBJECT

public:
    // A sample every 200 ms, the mean of 5 published: a new value a second.
    static constexpr int defaultSamplingPeriod = 200;
    static constexpr int defaultSamplesToAverage = 5;

    // How far a hygrometer may read outside 0-100 % and still be believed
    // (the HDC1000 and HTS221 promise +-3 to 4.5 %); such readings are
    // clamped to 0 or 100 %.
    static constexpr double humidityTolerance = 5.0;
    // Pa to atm, and the other way for the humidity conversion.
    static constexpr double atmPerPa = 9.8692e-6;
    static constexpr double paPerAtm = 101325.33539;

    // The path conditions of `params` receive the averages; its partition
    // sums decide which temperatures can be taken.
    Sensors(QObject *parent, Params *params);
    ~Sensors() override;

    // SensorSettings
    bool sensorEnabled(Quantity quantity) const override;
    void setSensorEnabled(Quantity quantity, bool on) override;
    bool sensorPresent(Quantity quantity) const override;
    double manualValue(Quantity quantity) const override;
    bool useSensorTag() const override { return m_useSensorTag; }
    void setUseSensorTag(bool on) override;
    bool sensorTagConnected() const override;
    int samplingPeriod() const override;
    void setSamplingPeriod(int milliseconds) override;
    int numSamplesToAverage() const override { return m_numSamplesToAverage; }
    void setNumSamplesToAverage(int samples) override { m_numSamplesToAverage = samples; }

    void setPressureSensorEnabled(bool on) { setSensorEnabled(Quantity::Pressure, on); }
    void setTemperatureSensorEnabled(bool on) { setSensorEnabled(Quantity::Temperature, on); }
    void setHumiditySensorEnabled(bool on) { setSensorEnabled(Quantity::Humidity, on); }
    bool pressureSensorEnabled() const { return m_pressure.enabled; }
    bool temperatureSensorEnabled() const { return m_temperature.enabled; }
    bool humiditySensorEnabled() const { return m_humidity.enabled; }
    bool pressureSensorPresent() const { return sensorPresent(Quantity::Pressure); }
    bool temperatureSensorPresent() const { return sensorPresent(Quantity::Temperature); }
    bool humiditySensorPresent() const { return sensorPresent(Quantity::Humidity); }

    // The last published averages: atm, K, ppmv of H2O.
    double averagePressure() const { return m_pressure.average; }
    double averageTemperature() const { return m_temperature.average; }
    double averageH2O() const { return m_humidity.average; }
    int sampleCounter() const { return m_sampleCounter; }

    // The timer runs from construction; the core stops it while a
    // calculation runs, so that the conditions stay as the calculation began.
    void startSampling();
    void stopSampling();
    bool isSampling() const;

    // What the sensor screen says about a quantity's source: empty when one
    // is there and its readings are taken, otherwise why the typed value or
    // the last average stays (untranslated).
    QString presenceText(Quantity quantity) const;
    static QString sensorTagNotEnabledText() { return QStringLiteral(" SensorTag is connected\n but not enabled"); }
    // Why the last reading of the quantity was refused (a sentence of the
    // setting's rule); empty when it was taken.
    QString refusal(Quantity quantity) const;

    // Whether a reading in the source's units (Pa, degrees Celsius, percent)
    // can be averaged, and the value to average; none for an impossible one.
    static std::optional<double> plausible(Quantity quantity, double reading);

    // What a quantity's source delivered last, as the screen shows it.
    struct LatestReading
    {
        // The source is read: the quantity follows it, or a Sense HAT or a
        // SensorTag in use measures it anyway. Nothing else is set otherwise.
        bool watched = false;
        // The last usable reading in the path's units (atm, K, ppmv of H2O)
        // and in the source's (Pa, degrees Celsius, percent relative
        // humidity); none before the first one since the source was watched.
        std::optional<double> value;
        double sourceValue = 0.0;
        // Milliseconds since that reading arrived, or, before the first one,
        // since the source has been watched.
        qint64 ageMs = 0;
        // Nothing usable arrived for longer than missingAfter().
        bool missing = false;
    };
    LatestReading latestReading(Quantity quantity) const;
    // How long a source may stay silent before the screen says so: two
    // sampling periods, and at least a second, so that a sensor that measures
    // a little slower than the hub samples does not flicker.
    qint64 missingAfter() const;
    // The clock the ages are measured with, in milliseconds (a monotonic
    // clock started with the hub unless a test hands it another).
    void setClock(std::function<qint64()> clock);

    bool senseHatHasHygrometer() const { return senseHatServes(Quantity::Humidity); }

    SensorTag *sensorTag() const { return m_sensorTag; }
    SensorsCellPhone *cellPhone() const { return m_cellPhone; }
    SenseHat *senseHat() const { return m_senseHat; }

signals:
    void useSensorTagStateChanged();
    void totalPressureUpdated();
    void temperatureUpdated();
    void humidityUpdated();
    void barometerActiveChanged();
    void thermometerActiveChanged();
    void humiditySensorActiveChanged();
    void sensorActiveChanged();
    // What presenceText() says may have changed.
    void presenceChanged();
    // What latestReading() gives may have changed (at every sampling tick
    // while a source is watched).
    void readingsChanged();

public slots:
    void getUpdatedReadings();

private:
    // One quantity's state: whether it follows the sensors, the user's value,
    // the window being filled and the last average.
    struct Channel
    {
        bool enabled = false;
        double manual = 0.0;
        double sum = 0.0;
        int samples = 0;
        double average = 0.0;
        QString refusal;   // why the last reading was refused
        // The source's last reading, for the screen (LatestReading).
        bool watched = false;
        qint64 watchedSince = 0;
        qint64 lastAt = -1;   // clock time of the last usable reading; -1: none yet
        double last = 0.0;
        double lastSource = 0.0;
        // Readings the device's own sensor delivered, and how many of them
        // the hub has seen: a sensor that stopped delivering keeps its last
        // value, which must not pass for a new one.
        quint64 builtInDeliveries = 0;
        quint64 builtInSeen = 0;
    };

    Channel &channel(Quantity quantity);
    const Channel &channel(Quantity quantity) const;
    bool builtInPresent(Quantity quantity) const;
    bool senseHatHas(Quantity quantity) const;
    bool sensorTagServes() const;
    // Whether the quantity's source is read at every tick (LatestReading::watched).
    bool watched(Quantity quantity) const;
    // Takes `value`, the reading of this tick, as the latest when it is a new one.
    void noteReading(Quantity quantity, const std::optional<double> &value, qint64 now);
    // The board has the sensor and it answers within the sampling period.
    bool senseHatServes(Quantity quantity) const;
    void setBuiltInActive(Quantity quantity, bool active);
    // The chosen source's reading, in its units, if it has one.
    std::optional<double> reading(Quantity quantity) const;
    // The reading in the path's units: atm, K, ppmv of H2O.
    double converted(Quantity quantity, double reading) const;
    // Why a value in the path's units cannot be taken; empty when it can.
    QString ruleProblem(Quantity quantity, double value) const;
    void setRefusal(Quantity quantity, const QString &problem);
    double pathValue(Quantity quantity) const;
    void setPathValue(Quantity quantity, double value);
    void publish(Quantity quantity);
    void emitUpdated(Quantity quantity);

    QTimer *m_timer;
    Params *m_params;
    PathConditions *m_conditions;
    Channel m_pressure;
    Channel m_temperature;
    Channel m_humidity;
    int m_numSamplesToAverage = defaultSamplesToAverage;
    int m_sampleCounter = 0;
    bool m_useSensorTag = false;
    SensorTag *m_sensorTag;
    SensorsCellPhone *m_cellPhone;
    SenseHat *m_senseHat;
    QElapsedTimer m_started;
    std::function<qint64()> m_clock;
};
