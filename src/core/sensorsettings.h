#pragma once

#include <QString>

// The sensor choices that a remote peer, the configuration file and the
// screens switch: which readings replace the user's own values, whether the
// SensorTag is preferred, how often the sensors are sampled and how many
// samples are averaged. The sensor hub implements it; the layers that may not
// know the hub reach it through this interface.
class SensorSettings
{
public:
    // The three quantities of the path that sensors can supply.
    enum class Quantity { Pressure, Temperature, Humidity };

    virtual ~SensorSettings() = default;

    virtual bool sensorEnabled(Quantity quantity) const = 0;
    // Switches a quantity between the sensor readings and the user's value;
    // switching on is refused (nothing changes) while no source exists for it,
    // switching off puts the user's value back.
    virtual void setSensorEnabled(Quantity quantity, bool on) = 0;
    // Whether some source (SensorTag, Sense HAT, a sensor of the device) can
    // supply the quantity now.
    virtual bool sensorPresent(Quantity quantity) const = 0;
    // The user's own value while the sensors supply the quantity (atm, K, ppmv
    // of H2O); it comes back when the sensor is switched off.
    virtual double manualValue(Quantity quantity) const = 0;

    virtual bool useSensorTag() const = 0;
    virtual void setUseSensorTag(bool on) = 0;
    virtual bool sensorTagConnected() const = 0;

    virtual int samplingPeriod() const = 0;   // milliseconds
    virtual void setSamplingPeriod(int milliseconds) = 0;
    virtual int numSamplesToAverage() const = 0;
    virtual void setNumSamplesToAverage(int samples) = 0;

    // What the user reads when a quantity has no source: " No barometer
    // detected\n (manual value used)" and its kin, with their leading blanks.
    static QString noSensorText(Quantity quantity)
    {
        switch (quantity) {
        case Quantity::Pressure: return QStringLiteral(" No barometer detected\n (manual value used)");
        case Quantity::Temperature: return QStringLiteral(" No thermometer found\n (manual value used)");
        case Quantity::Humidity: return QStringLiteral(" No humidity sensors\n (manual value used)");
        }
        return QString();
    }
};
