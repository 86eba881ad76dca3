#include "ui/lineoptionsqml.h"

#include "app/kolvexcore.h"
#include "core/params.h"
#include "core/settingrules.h"

#include <cmath>
#include <limits>

LineOptionsQml::LineOptionsQml(QObject *parent, KolvexCore *core)
    : QObject(parent)
    , m_core(core)
{
    m_locale.setNumberOptions(QLocale::OmitGroupSeparator);
    m_lineshapeProfile = lineshapeProfile();
    m_lineBroadening = lineBroadening();
    m_useLineShift = useLineShift();
    m_intensThreshText = intensThresh();
    m_wingContribSatHwText = wingContribSatHw();
    m_wingContribAbsText = wingContribAbs();
    if (m_core)
        connect(m_core, &KolvexCore::valuesUpdated, this, &LineOptionsQml::setUpdatedValues);
}

bool LineOptionsQml::isCompleteNumber(const QString &text)
{
    if (text.isEmpty())
        return false;
    const QChar last = text.at(text.size() - 1);
    return !QStringLiteral(".,eE-+").contains(last);
}

int LineOptionsQml::lineshapeProfile() const
{
    return m_core ? m_core->params()->lineShapeProfile() : 0;
}

void LineOptionsQml::setLineshapeProfile(int profile)
{
    if (!m_core || profile == m_lineshapeProfile
        || !SettingRules::isOption(SettingRules::Option::LineShapeProfile, profile))
        return;
    m_lineshapeProfile = profile;
    m_core->params()->setLineShapeProfile(profile);
    emit lineshapeProfileChanged();
}

QString LineOptionsQml::intensThresh() const
{
    return m_core ? m_locale.toString(m_core->params()->intensityThreshold() * 1e+25, 'g', 6) : QString();
}

void LineOptionsQml::setIntensThresh(const QString &text)
{
    if (!m_core || text == m_intensThreshText || !isCompleteNumber(text))
        return;
    m_intensThreshText = text;
    m_core->params()->setIntensityThreshold(m_locale.toDouble(text) * 1e-25);
    emit intensThreshChanged();
}

QString LineOptionsQml::wingContribSatHw() const
{
    return m_core ? m_locale.toString(m_core->params()->lineWingHalfwidths()) : QString();
}

void LineOptionsQml::setWingContribSatHw(const QString &text)
{
    if (!m_core || text == m_wingContribSatHwText || !isCompleteNumber(text))
        return;
    m_wingContribSatHwText = text;
    // Truncated to an integer; numbers beyond the integer range are held at its ends.
    const double value = std::trunc(m_locale.toDouble(text));
    const double limit = double(std::numeric_limits<int>::max());
    m_core->params()->setLineWingHalfwidths(int(std::max(-limit, std::min(limit, value))));
    emit wingContribSatHwChanged();
}

QString LineOptionsQml::wingContribAbs() const
{
    return m_core ? m_locale.toString(m_core->params()->lineWingAbsolute(), 'g', 6) : QString();
}

void LineOptionsQml::setWingContribAbs(const QString &text)
{
    if (!m_core || text == m_wingContribAbsText || !isCompleteNumber(text))
        return;
    m_wingContribAbsText = text;
    m_core->params()->setLineWingAbsolute(m_locale.toDouble(text));
    emit wingContribAbsChanged();
}

int LineOptionsQml::lineBroadening() const
{
    return m_core ? m_core->params()->broadeningType() : 0;
}

void LineOptionsQml::setLineBroadening(int broadening)
{
    if (!m_core || broadening == m_lineBroadening
        || !SettingRules::isOption(SettingRules::Option::BroadeningType, broadening))
        return;
    m_lineBroadening = broadening;
    m_core->params()->setBroadeningType(broadening);
    emit lineBroadeningChanged();
}

bool LineOptionsQml::useLineShift() const
{
    return m_core && m_core->params()->lineShiftUsage() != 0;
}

void LineOptionsQml::setUseLineShift(bool use)
{
    if (!m_core || use == m_useLineShift)
        return;
    m_useLineShift = use;
    m_core->params()->setLineShiftUsage(use ? 1 : 0);
    emit useLineShiftChanged();
}

void LineOptionsQml::setUpdatedValues()
{
    m_lineshapeProfile = lineshapeProfile();
    m_lineBroadening = lineBroadening();
    m_useLineShift = useLineShift();
    m_intensThreshText = intensThresh();
    m_wingContribSatHwText = wingContribSatHw();
    m_wingContribAbsText = wingContribAbs();
    emit lineshapeProfileChanged();
    emit intensThreshChanged();
    emit wingContribSatHwChanged();
    emit wingContribAbsChanged();
    emit lineBroadeningChanged();
    emit useLineShiftChanged();
}
