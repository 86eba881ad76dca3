#include "app/programsettings.h"

#include "core/atmospheremodelset.h"
#include "core/params.h"

#include <QSettings>
#include <QStringList>

namespace {

const char selectedKey[] = "molecules/selected";
const char atmosphereKey[] = "atmosphere/model";
const char geometryKey[] = "window/geometry";
const char liveKey[] = "calculation/live";

} // namespace

ProgramSettings::ProgramSettings(const QString &file)
    : m_settings(file.isEmpty()
                     ? std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("kolvex"),
                                                   QStringLiteral("kolvex"))
                     : std::make_unique<QSettings>(file, QSettings::IniFormat))
{
}

ProgramSettings::~ProgramSettings() = default;

QString ProgramSettings::fileName() const
{
    return m_settings->fileName();
}

void ProgramSettings::saveSelection(const Params &params, const AtmosphereModelSet &models)
{
    // The molecules by their HITRAN numbers, which do not change between tables.
    QStringList selected;
    for (int m = 0; m < params.moleculeCount(); ++m) {
        if (params.molecule(m).selected)
            selected << QString::number(m + 1);
    }
    m_settings->setValue(QLatin1String(selectedKey), selected.join(QLatin1Char(',')));
    m_settings->setValue(QLatin1String(atmosphereKey), int(models.currentIndex()));
    m_settings->sync();
}

void ProgramSettings::restoreSelection(Params &params, AtmosphereModelSet &models) const
{
    if (m_settings->contains(QLatin1String(selectedKey))) {
        const QStringList numbers = m_settings->value(QLatin1String(selectedKey)).toString().split(
            QLatin1Char(','), Qt::SkipEmptyParts);
        for (int m = 0; m < params.moleculeCount(); ++m)
            params.molecule(m).selected = numbers.contains(QString::number(m + 1));
    }
    bool ok = false;
    const int model = m_settings->value(QLatin1String(atmosphereKey)).toInt(&ok);
    if (ok)
        models.setCurrentIndex(model);
}

QRect ProgramSettings::windowGeometry() const
{
    return m_settings->value(QLatin1String(geometryKey)).toRect();
}

void ProgramSettings::setWindowGeometry(const QRect &geometry)
{
    m_settings->setValue(QLatin1String(geometryKey), geometry);
    m_settings->sync();
}

bool ProgramSettings::liveCalculation() const
{
    return m_settings->value(QLatin1String(liveKey), false).toBool();
}

void ProgramSettings::setLiveCalculation(bool on)
{
    m_settings->setValue(QLatin1String(liveKey), on);
    m_settings->sync();
}
