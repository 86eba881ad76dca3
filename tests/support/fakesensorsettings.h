#pragma once

#include "core/sensorsettings.h"

// The sensor hub as the commands see it: switches that stick while a source
// is there, and the refusals when none is.
class FakeSensorSettings : public SensorSettings
{
public:
    bool enabled[3] = {false, false, false};
    bool present = true;
    bool tagConnected = true;
    bool tag = false;
    int period = 200;
    int samples = 5;

    bool sensorEnabled(Quantity q) const override { return enabled[int(q)]; }
    void setSensorEnabled(Quantity q, bool on) override { enabled[int(q)] = on && present; }
    bool sensorPresent(Quantity) const override { return present; }
    double manualValue(Quantity) const override { return 0.0; }
    bool useSensorTag() const override { return tag; }
    void setUseSensorTag(bool on) override { tag = on && tagConnected; }
    bool sensorTagConnected() const override { return tagConnected; }
    int samplingPeriod() const override { return period; }
    void setSamplingPeriod(int milliseconds) override { period = milliseconds; }
    int numSamplesToAverage() const override { return samples; }
    void setNumSamplesToAverage(int n) override { samples = n; }
};
