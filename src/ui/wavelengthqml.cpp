#include "ui/wavelengthqml.h"

#include "app/kolvexcore.h"
#include "core/settingrules.h"
#include "ui/numbertext.h"
#include "ui/okdialog.h"

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
    if (NumberText::isComplete(text))
        enterStart(text);
}

QString WavelengthQml::endWavelength() const
{
    return NumberText::print(m_core->xAxis()->displayEnd());
}

void WavelengthQml::setEndWavelength(const QString &text)
{
    if (NumberText::isComplete(text))
        enterEnd(text);
}

QString WavelengthQml::enterStart(const QString &text)
{
    if (text.trimmed() == startWavelength())
        return QString();
    return storeEnd(text, End::Start);
}

QString WavelengthQml::enterEnd(const QString &text)
{
    if (text.trimmed() == endWavelength())
        return QString();
    return storeEnd(text, End::End);
}

QString WavelengthQml::storeEnd(const QString &text, End end)
{
    XAxis *axis = m_core->xAxis();
    double value = 0.0;
    QString problem = NumberText::parse(text, &value);
    if (problem.isEmpty())
        problem = SettingRules::spectralValueProblem(value, axis->units());
    if (!problem.isEmpty())
        return problem;
    // Wavelengths fall as wavenumbers rise, so the displayed start of a
    // wavelength range is the grid's highest wavenumber. The other end is not
    // consulted: the pair is judged when a calculation starts, so that the ends
    // can be entered in either order.
    const bool wavelength = axis->units() == XAxis::WavelengthNm || axis->units() == XAxis::WavelengthMicron;
    const double wavenumber = axis->toWavenumber(value);
    if ((end == End::Start) != wavelength)
        axis->setMinWavenumber(wavenumber);
    else
        axis->setMaxWavenumber(wavenumber);
    if (end == End::Start)
        emit startWavelengthChanged();
    else
        emit endWavelengthChanged();
    emit resolWavelengthChanged();
    // In wavelength units the start field holds the end of the wavenumber
    // range: both ends go to the peers.
    m_core->announce(Setting::SpectralStart);
    m_core->announce(Setting::SpectralEnd);
    return QString();
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
    m_core->announce(Setting::XUnits);
}

int WavelengthQml::numPoints() const
{
    return m_core->xAxis()->numPoints();
}

void WavelengthQml::setNumPoints(int points)
{
    if (points == numPoints() || !SettingRules::pointsProblem(points).isEmpty())
        return;
    m_core->xAxis()->setNumPoints(points);
    emit numPointsChanged();
    emit resolWavelengthChanged();
    m_core->announce(Setting::Points);
}

QString WavelengthQml::enterNumPoints(const QString &text)
{
    int points = 0;
    QString problem = NumberText::parseWhole(text, &points);
    if (problem.isEmpty())
        problem = SettingRules::pointsProblem(points);
    if (problem.isEmpty())
        setNumPoints(points);
    return problem;
}

void WavelengthQml::setUpdatedValues()
{
    emit startWavelengthChanged();
    emit endWavelengthChanged();
    emit resolWavelengthChanged();
    emit unitsChanged();
    emit numPointsChanged();
}
