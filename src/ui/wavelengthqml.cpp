#include "ui/wavelengthqml.h"

#include "app/kolvexcore.h"
#include "core/settingrules.h"
#include "ui/numbertext.h"
#include "ui/okdialog.h"

#include <cmath>

WavelengthQml::WavelengthQml(QObject *parent, KolvexCore *core)
    : QObject(parent)
    , m_core(core)
{
    connect(m_core, &KolvexCore::valuesUpdated, this, &WavelengthQml::setUpdatedValues);
}

QString WavelengthQml::startWavelength() const
{
    return NumberText::print(m_core->xAxis()->displayStart());
}

void WavelengthQml::setStartWavelength(const QString &text)
{
    if (text == startWavelength() || !NumberText::isComplete(text))
        return;
    const bool written = applyEnd(text, End::Start);
    emit startWavelengthChanged();
    if (written)
        emit resolWavelengthChanged();
}

QString WavelengthQml::endWavelength() const
{
    return NumberText::print(m_core->xAxis()->displayEnd());
}

void WavelengthQml::setEndWavelength(const QString &text)
{
    if (text == endWavelength() || !NumberText::isComplete(text))
        return;
    const bool written = applyEnd(text, End::End);
    emit endWavelengthChanged();
    if (written)
        emit resolWavelengthChanged();
}

bool WavelengthQml::applyEnd(const QString &text, End end)
{
    XAxis *axis = m_core->xAxis();
    double value = 0.0;
    QString problem = NumberText::parse(text, &value);
    const double wavenumber = axis->toWavenumber(value);
    if (problem.isEmpty() && !std::isfinite(wavenumber))
        problem = QStringLiteral("%1 cannot be converted to a wavenumber.").arg(text.trimmed());

    // Wavelengths fall as wavenumbers rise, so the displayed start of a
    // wavelength range is the grid's highest wavenumber. The other end is not
    // consulted: the pair is judged when a calculation starts, so that the ends
    // can be entered in either order.
    const bool wavelength = axis->units() == XAxis::WavelengthNm || axis->units() == XAxis::WavelengthMicron;
    const bool setsMinimum = (end == End::Start) != wavelength;
    if (problem.isEmpty())
        problem = SettingRules::wavenumberProblem(wavenumber);
    if (!problem.isEmpty()) {
        OkDialog::show(m_core, problem);
        return false;
    }
    if (setsMinimum)
        axis->setMinWavenumber(wavenumber);
    else
        axis->setMaxWavenumber(wavenumber);
    return true;
}

QString WavelengthQml::resolWavelength() const
{
    return NumberText::print(m_core->xAxis()->displayResolution());
}

quint8 WavelengthQml::units() const
{
    return m_core->xAxis()->units();
}

void WavelengthQml::setUnits(quint8 code)
{
    if (code == units())
        return;
    if (code >= XAxis::UnitCount) {
        OkDialog::show(m_core, QStringLiteral("Unknown spectral unit %1.").arg(code));
        emit unitsChanged();
        return;
    }
    m_core->xAxis()->setUnits(code);
    emit unitsChanged();
    emit startWavelengthChanged();
    emit endWavelengthChanged();
    emit resolWavelengthChanged();
}

int WavelengthQml::numPoints() const
{
    return m_core->xAxis()->numPoints();
}

void WavelengthQml::setNumPoints(int points)
{
    XAxis *axis = m_core->xAxis();
    if (points == axis->numPoints())
        return;
    const QString problem = SettingRules::pointsProblem(points);
    if (!problem.isEmpty()) {
        OkDialog::show(m_core, problem);
        emit numPointsChanged();
        return;
    }
    axis->setNumPoints(points);
    emit numPointsChanged();
    emit resolWavelengthChanged();
}

void WavelengthQml::setUpdatedValues()
{
    emit startWavelengthChanged();
    emit endWavelengthChanged();
    emit resolWavelengthChanged();
    emit unitsChanged();
    emit numPointsChanged();
}
