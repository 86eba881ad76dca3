#pragma once

#include <QString>
#include <QtGlobal>

#include <cmath>
#include <vector>

// What the vertical axis shows and its scale limits for each kind of quantity.
struct YAxisSettings
{
    enum DisplayedValue : quint8 { AbsorptionQuantities, Radiance };
    enum Unit : quint8 { CrossSection, OpticalDepth, Absorption, Transmission, UnitCount };

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

    static QString title(quint8 unit)
    {
        switch (unit) {
        case CrossSection: return QStringLiteral("Cross-section,  cm^2 / molecule");
        case OpticalDepth: return QStringLiteral("Optical depth");
        case Transmission: return QStringLiteral("Transmission (%)");
        default: return QStringLiteral("Absorption (%)");
        }
    }
    static QString radianceTitle() { return QStringLiteral("Radiance,  W / ( sr * cm^2 * cm-1 )"); }

    QString title() const { return displayedValue == Radiance ? radianceTitle() : title(yUnits); }

private:
    // The scale pair the current quantity uses: radiance, cross-section, or the
    // absorption quantities (optical depth, absorption, transmission).
    template <typename Settings>
    static auto &minimumOf(Settings &axis)
    {
        if (axis.displayedValue == Radiance)
            return axis.radianceMin;
        return axis.yUnits == CrossSection ? axis.crossSectionMin : axis.absMin;
    }
    template <typename Settings>
    static auto &maximumOf(Settings &axis)
    {
        if (axis.displayedValue == Radiance)
            return axis.radianceMax;
        return axis.yUnits == CrossSection ? axis.crossSectionMax : axis.absMax;
    }

public:
    double currentMinimum() const { return minimumOf(*this); }
    double currentMaximum() const { return maximumOf(*this); }
    void setCurrentMinimum(double value) { minimumOf(*this) = value; }
    void setCurrentMaximum(double value) { maximumOf(*this) = value; }

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
