#pragma once

// The sensor choices a remote peer can switch: which readings replace the
// user's values, how often the sensors are sampled and how many samples are
// averaged.
struct SensorSettings
{
    bool useBarometer = false;
    bool useThermometer = false;
    bool useHygrometer = false;
    bool useSensorTag = false;
    int samplingPeriod = 200;     // milliseconds
    int samplesToAverage = 5;
};
