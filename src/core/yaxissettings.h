#pragma once

#include "core/optionlists.h"

#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <vector>

// What the vertical axis shows and its scale limits for each quantity, each
// with its own switch for a maximum that follows the curves (for transmission,
// which falls from 100 %, a minimum).
struct YAxisSettings
{
    enum DisplayedValue : quint8 { AbsorptionQuantities, Radiance };
    enum Unit : quint8 { CrossSection, OpticalDepth, Absorption, Transmission, UnitCount };
    static_assert(UnitCount == OptionLists::count(OptionLists::yUnits), "a code per listed unit");
    static_assert(Radiance + 1 == OptionLists::count(OptionLists::yQuantities), "a code per listed quantity");

    quint8 displayedValue = AbsorptionQuantities;
    double absMin = 0.0;
    double absMax = 100.0;
    quint8 yUnits = Absorption;
    double crossSectionMin = 0.0;
    double crossSectionMax = 1e-22;
    bool crossSectionAutoRecalc = true;
    double radianceMin = 0.0;
    double radianceMax = 1e-6;
    bool radianceAutoRecalc = true;
    bool enableRulers = true;
    bool showTotal = false;
    // Absorption keeps absMin/absMax; optical depth and transmission have
    // scales of their own, so that each can be fitted to its curve. They start
    // as the one scale the three used to share, with the automatic fit off:
    // which curves a peer is given depends on the scale (a curve too low to
    // show is not), and that stays as it was until the user switches it on.
    bool absorptionAutoRecalc = false;
    double opticalDepthMin = 0.0;
    double opticalDepthMax = 100.0;
    bool opticalDepthAutoRecalc = false;
    double transmissionMin = 0.0;
    double transmissionMax = 100.0;
    bool transmissionAutoRecalc = false;

    // The axis title of a quantity, as the screens list it, the plot and the
    // report show it and the data file names it.
    static QString title(quint8 unit)
    {
        return QString::fromUtf8(OptionLists::yUnits[unit < UnitCount ? unit : quint8(Absorption)].label);
    }
    static QString radianceTitle() { return QStringLiteral("Radiance, W/(sr cm² cm⁻¹)"); }

    QString title() const { return displayedValue == Radiance ? radianceTitle() : title(yUnits); }

private:
    // The scale pair and switch of the current quantity.
    template <typename Settings>
    static auto &minimumOf(Settings &axis)
    {
        if (axis.displayedValue == Radiance)
            return axis.radianceMin;
        switch (axis.yUnits) {
        case CrossSection: return axis.crossSectionMin;
        case OpticalDepth: return axis.opticalDepthMin;
        case Transmission: return axis.transmissionMin;
        default: return axis.absMin;
        }
    }
    template <typename Settings>
    static auto &maximumOf(Settings &axis)
    {
        if (axis.displayedValue == Radiance)
            return axis.radianceMax;
        switch (axis.yUnits) {
        case CrossSection: return axis.crossSectionMax;
        case OpticalDepth: return axis.opticalDepthMax;
        case Transmission: return axis.transmissionMax;
        default: return axis.absMax;
        }
    }
    template <typename Settings>
    static auto &autoRecalcOf(Settings &axis)
    {
        if (axis.displayedValue == Radiance)
            return axis.radianceAutoRecalc;
        switch (axis.yUnits) {
        case CrossSection: return axis.crossSectionAutoRecalc;
        case OpticalDepth: return axis.opticalDepthAutoRecalc;
        case Transmission: return axis.transmissionAutoRecalc;
        default: return axis.absorptionAutoRecalc;
        }
    }

public:
    double currentMinimum() const { return minimumOf(*this); }
    double currentMaximum() const { return maximumOf(*this); }
    void setCurrentMinimum(double value) { minimumOf(*this) = value; }
    void setCurrentMaximum(double value) { maximumOf(*this) = value; }
    bool currentAutoRecalc() const { return autoRecalcOf(*this); }
    void setCurrentAutoRecalc(bool on) { autoRecalcOf(*this) = on; }

    // The maximum an automatic scale gives a curve whose largest value is m:
    // the power of ten at or above m, or half of it when m lies below that
    // half. Not a positive finite number: m itself.
    static double autoScaleMaximum(double maximum)
    {
        if (!std::isfinite(maximum) || !(maximum > 0.0))
            return maximum;
        // For maxima below 1 this is the exponent truncated toward zero; a
        // curve above 1 is never cut off.
        double power = std::pow(10.0, std::ceil(std::log10(maximum)));
        if (power / 10.0 >= maximum)
            power /= 10.0;
        return maximum < 0.5 * power ? 0.5 * power : power;
    }

    // Fits the current quantity's scale to a curve whose extreme value, as the
    // quantity shows it, is `extreme` (the largest; for transmission the
    // smallest): the maximum rises or falls to the automatic maximum, never
    // beyond 100 % for absorption, and for transmission the minimum falls as
    // far below 100 % as the curve reaches. A fit that would leave no height
    // (no curve at all) keeps the scale. Returns whether it changed.
    bool fitScale(double extreme)
    {
        double minimum = currentMinimum();
        double maximum = currentMaximum();
        if (displayedValue == AbsorptionQuantities && yUnits == Transmission)
            minimum = 100.0 - std::min(100.0, autoScaleMaximum(100.0 - extreme));
        else if (displayedValue == AbsorptionQuantities && yUnits == Absorption)
            maximum = std::min(100.0, autoScaleMaximum(extreme));
        else
            maximum = autoScaleMaximum(extreme);
        if (!std::isfinite(minimum) || !std::isfinite(maximum) || !(minimum < maximum)
            || (minimum == currentMinimum() && maximum == currentMaximum()))
            return false;
        setCurrentMinimum(minimum);
        setCurrentMaximum(maximum);
        return true;
    }

    // An optical depth as the chosen quantity shows it.
    double fromOpticalDepth(double tau) const
    {
        if (displayedValue != AbsorptionQuantities)
            return tau;
        switch (yUnits) {
        case Absorption: return (1.0 - std::exp(-tau)) * 100.0;
        case Transmission: return std::exp(-tau) * 100.0;
        default: return tau;
        }
    }
    std::vector<double> fromOpticalDepth(const std::vector<double> &tau) const
    {
        std::vector<double> values(tau.size());
        for (std::size_t i = 0; i < values.size(); ++i)
            values[i] = fromOpticalDepth(tau[i]);
        return values;
    }

};
