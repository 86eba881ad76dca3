#pragma once

#include <QString>
#include <QtGlobal>

#include <cmath>

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

    double currentMinimum() const { return const_cast<YAxisSettings *>(this)->minimumRef(); }
    double currentMaximum() const { return const_cast<YAxisSettings *>(this)->maximumRef(); }
    void setCurrentMinimum(double value) { minimumRef() = value; }
    void setCurrentMaximum(double value) { maximumRef() = value; }

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

private:
    double &minimumRef()
    {
        if (displayedValue == Radiance)
            return radianceMin;
        return yUnits == CrossSection ? crossSectionMin : absMin;
    }
    double &maximumRef()
    {
        if (displayedValue == Radiance)
            return radianceMax;
        return yUnits == CrossSection ? crossSectionMax : absMax;
    }
};
