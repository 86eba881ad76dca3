#pragma once

#include "core/optionlists.h"
#include "core/spectrumallocator.h"

#include <QString>
#include <QtGlobal>

#include <memory>

// The calculation grid in wavenumbers (cm-1) and the unit in which its ends are
// shown: wavelength in nm or µm, wavenumber, or frequency.
class XAxis
{
public:
    enum Unit : quint8 { WavelengthNm, WavelengthMicron, Wavenumber, FrequencyHz, UnitCount };
    static_assert(UnitCount == OptionLists::count(OptionLists::xUnits), "a code per listed unit");

    XAxis(quint8 unit = Wavenumber, double minWavenumber = 2000.0, double maxWavenumber = 2300.0,
          int numPoints = 10000);

    double minWavenumber() const { return m_minWavenumber; }
    double maxWavenumber() const { return m_maxWavenumber; }
    void setMinWavenumber(double wavenumber);
    void setMaxWavenumber(double wavenumber);
    int numPoints() const { return m_numPoints; }
    void setNumPoints(int points);   // also recomputes the step
    double step() const { return m_step; }
    quint8 units() const { return m_units; }
    void setUnits(quint8 unit) { m_units = unit < UnitCount ? unit : quint8(Wavenumber); }

    // Conversions between wavenumbers and the display unit.
    static double toWavenumber(double value, quint8 unit);
    static double fromWavenumber(double wavenumber, quint8 unit);
    double toWavenumber(double value) const { return toWavenumber(value, m_units); }
    double fromWavenumber(double wavenumber) const { return fromWavenumber(wavenumber, m_units); }

    // The ends in display units; the start is always the smaller number, so for
    // wavelengths it comes from the largest wavenumber.
    double displayStart() const;
    double displayEnd() const;
    void setDisplayStart(double value);
    void setDisplayEnd(double value);
    double displayResolution() const;

    static QString title(quint8 unit);
    QString title() const { return title(m_units); }

    // Empty when the grid can be calculated; otherwise why it cannot, naming
    // both ends of the range in `unit`. Each value alone obeys SettingRules.
    QString validationProblem(quint8 unit = Wavenumber) const;
    static QString validationProblem(double minWavenumber, double maxWavenumber, int numPoints,
                                     quint8 unit = Wavenumber);
    // The short name of a unit in messages, plain text that every peer and
    // terminal shows ("nm", "micron", "cm-1", "Hz"), and the unit as the axis
    // title writes it ("nm", "µm", "cm⁻¹", "Hz").
    static QString unitName(quint8 unit);
    static QString unitSymbol(quint8 unit);

    // Builds the grid: nu_i = min + i * step (the last one built serves again
    // when start, step and count are the same). The grid stays as built,
    // whatever is edited since, until the next build. Copies of the axis share
    // its values (a grid of a million points is 8 MB).
    void buildGrid();
    // Takes the grid another axis built, so that the next buildGrid() serves
    // it again when start, step and count are those it was built for.
    void takeGridOf(const XAxis &other);
    const SpectrumValues &grid() const;
    std::shared_ptr<const SpectrumValues> sharedGrid() const { return m_grid; }

private:
    void recomputeStep();

    double m_minWavenumber;
    double m_maxWavenumber;
    double m_step = 0.0;
    int m_numPoints;
    quint8 m_units;
    std::shared_ptr<const SpectrumValues> m_grid;
    double m_gridStart = 0.0;   // what m_grid was built from
    double m_gridStep = 0.0;
};
