#pragma once

// The settings a user changes on the screens (and a peer with its commands),
// each named once. A change made on the screens is announced by its name (and
// the molecule, for those kept per molecule, numbered from 1); whoever follows
// changes (the peers, the plot, the molecule list) knows the setting by it.
enum class Setting {
    None,
    SpectralStart,
    SpectralEnd,
    Points,
    XUnits,
    PathLength,
    TotalPressure,
    Temperature,
    Concentration,      // per molecule
    MoleculeSelected,   // per molecule
    CalculateAll,
    LineShape,
    IntensityThreshold,
    WingHalfwidths,
    WingAbsolute,
    Broadening,
    LineShift,
    InstrumentFunction,
    InstrumentResolution,
    InstrumentWing,
    AccessOption,
    AtmosphereModel,
    YQuantity,
    YUnits,
    YScale,
    ShowTotal,
    PressureSensor,
    TemperatureSensor,
    HumiditySensor,
    SensorTag,
    SamplingPeriod,
    SamplesToAverage,
    Live,               // every change of an input recalculates
    Calculation,        // the user started a calculation
};
