#pragma once

#include <QString>
#include <QStringList>

#include <cstddef>

// Every list of numbered choices the program offers, each defined once: its
// entries in the order of their numbers, with the label a screen lists
// (which may break lines), the words running text uses (the description of
// results, messages, unit names) and, for instrument functions, what the
// resolution g means. The setting rules count the choices here, the screens
// and the descriptions name them from here.
namespace OptionLists {

struct Choice
{
    const char *label;
    const char *words;
    const char *note = "";
    // Offered on the screens; choices that are not are read from files only,
    // and come after those that are.
    bool offered = true;
};

inline constexpr Choice accessOptions[] = {
    {"Segmented download as new regions\nare requested and saving for later reuse", "segmented download, kept for reuse"},
    {"Complete download once (auto or\nmanual) and offline reuse later", "complete download, used offline"},
    {"Download every time\n(no saving of downloaded data ever)", "downloaded for every calculation"},
};

inline constexpr Choice lineShapes[] = {
    {"Doppler lineshape profile", "Doppler"},
    {"Lorentz lineshape profile", "Lorentz"},
    {"Voigt lineshape / Standard precision", "Voigt, standard precision"},
    {"Voigt lineshape / Higher precision", "Voigt, higher precision"},
};

inline constexpr Choice broadenings[] = {
    {"Air", "air"},
    {"Self", "self"},
    {"Air and Self", "air and self"},
};

inline constexpr Choice instrumentFunctions[] = {
    {"None", "none", ""},
    {"Rectangular (Boxcar)", "rectangular (boxcar)", "g - slit width or the instrument resolution"},
    {"Triangular", "triangular", "g - line width == half base of the triangle"},
    {"Gaussian", "Gaussian", "g/2 - Gaussian half-width at half-maximum"},
    {"Dispersion (Lorentz)", "dispersion (Lorentz)", "g/2 - Lorentzian half-width at half-maximum"},
    {"Diffraction", "diffraction", "g - the width of the diffraction slit function"},
    {"Michelson", "Michelson", "1/g - the maximum optical path difference"},
    {"Cosine", "raised cosine", "g - width at half maximum (zero beyond ±g)"},
};

inline constexpr Choice atmosphereModels[] = {
    {"Tropical", "Tropical"},
    {"Midlatitude\nsummer", "Midlatitude summer"},
    {"Midlatitude\nwinter", "Midlatitude winter"},
    {"Subarctic\nsummer", "Subarctic summer"},
    {"Subarctic\nwinter", "Subarctic winter"},
    {"US Standard\n(default)", "US Standard"},
};

inline constexpr Choice yQuantities[] = {
    {"Absorption", "absorption"},
    {"Radiance", "radiance"},
};

inline constexpr Choice yUnits[] = {
    {"Cross-section, cm²/molecule", "cross-section"},
    {"Optical depth", "optical depth"},
    {"Absorption, %", "absorption"},
    {"Transmission, %", "transmission"},
};

inline constexpr Choice xUnits[] = {
    {"Wavelength, nm", "nm"},
    {"Wavelength, µm", "micron"},
    {"Wavenumber, cm⁻¹", "cm-1"},
    {"Frequency, Hz", "Hz"},
};

inline constexpr Choice pathLengthUnits[] = {
    {"Kilometers, km", "km"}, {"Meters, m", "m"}, {"Centimeters, cm", "cm"},
    {"Miles, mi", "mi"}, {"Feet, ft", "ft"}, {"Inches, in", "in"},
};

inline constexpr Choice temperatureUnits[] = {
    {"Kelvin, K", "K"},
    {"Celsius, °C", "°C"},
    {"Fahrenheit, °F", "°F"},
};

inline constexpr Choice pressureUnits[] = {
    {"Atmospheres, atm", "atm"},
    {"Millibar, mbar", "mbar"},
    {"Torr, Torr", "Torr"},
    {"Pascal, Pa", "Pa"},
    {"Pounds per square inch, psi", "psi"},
    {"Torr (alternative factor), Torr", "Torr", "", false},
    {"Inches of mercury, inHg", "inHg", "", false},
};

// Percent, ppmv, then a partial pressure in each pressure unit.
inline constexpr Choice concentrationUnits[] = {
    {"Concentration, (%)", "%"},
    {"Parts per million,\n(ppmv)", "ppmv"},
    {"Atmospheres, (atm)", "atm"},
    {"Millibar, (mbar)", "mbar"},
    {"Torr, (Torr)", "Torr"},
    {"Pascal, (Pa)", "Pa"},
    {"Pounds per square\ninch, (psi)", "psi"},
    {"Torr (alternative factor), (Torr)", "Torr", "", false},
    {"Inches of mercury, (inHg)", "inHg", "", false},
};

template <std::size_t N>
constexpr int count(const Choice (&)[N])
{
    return int(N);
}

// The words of choice `index`, or `fallback`'s where there is no such choice.
template <std::size_t N>
QString words(const Choice (&list)[N], int index, int fallback = 0)
{
    const int at = index >= 0 && index < int(N) ? index : fallback;
    return QString::fromUtf8(list[at].words);
}

// The labels (or the notes) of the choices offered on the screens, in order.
QStringList labels(const Choice *list, int count);
QStringList notes(const Choice *list, int count);
template <std::size_t N>
QStringList labels(const Choice (&list)[N])
{
    return labels(list, int(N));
}
template <std::size_t N>
QStringList notes(const Choice (&list)[N])
{
    return notes(list, int(N));
}

} // namespace OptionLists
