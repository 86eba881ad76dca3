#pragma once

class AtmosphereModelSet;
class CalculationResults;
class HitranOnlineDownloader;
class InstrumentFunction;
class MeasuredFitting;
class LiveSwitch;
class Params;
class XAxis;
class SensorSettings;
struct YAxisSettings;

// The objects that the remote commands read and write, none of them owned. A
// command whose object is missing does nothing and answers an empty text.
struct CommandTargets
{
    Params *params = nullptr;   // path conditions, molecules, line options, reply format
    XAxis *xAxis = nullptr;
    YAxisSettings *yAxis = nullptr;
    SensorSettings *sensors = nullptr;
    InstrumentFunction *instrumentFunction = nullptr;
    AtmosphereModelSet *atmosphereModels = nullptr;
    HitranOnlineDownloader *downloader = nullptr;   // its usage mode is the access option
    const CalculationResults *results = nullptr;     // of the last calculation, for RESULT
    MeasuredFitting *fitting = nullptr;              // the measured spectrum and its fit
    LiveSwitch *live = nullptr;                      // whether changes recalculate by themselves
};
