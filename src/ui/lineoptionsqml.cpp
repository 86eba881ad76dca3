#include "ui/lineoptionsqml.h"

#include "app/kolvexcore.h"
#include "core/params.h"
#include "core/settingrules.h"
#include "ui/numbertext.h"

#include <cmath>

namespace {

// The threshold is shown in units of 1e-25 cm/molecule.
constexpr double thresholdUnit = 1e-25;

// Reads a committed text for a number setting: why it cannot be stored, or
// nothing with *value set. `scale` turns the shown number into the stored one.
QString readEntry(const QString &text, double scale, QString (*rule)(double), double *value)
{
    double shown = 0.0;
    QString problem = NumberText::parse(text, &shown);
    if (problem.isEmpty())
        problem = rule(shown * scale);
    if (problem.isEmpty())
        *value = shown * scale;
    return problem;
}

} // namespace

LineOptionsQml::LineOptionsQml(QObject *parent, KolvexCore *core)
    : QObject(parent)
    , m_core(core)
{
    m_lineshapeProfile = lineshapeProfile();
    m_lineBroadening = lineBroadening();
    m_useLineShift = useLineShift();
    if (m_core)
        connect(m_core, &KolvexCore::valuesUpdated, this, &LineOptionsQml::setUpdatedValues);
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
    m_core->announce(Setting::LineShape);
}

QString LineOptionsQml::intensThresh() const
{
    return m_core ? NumberText::print(m_core->params()->intensityThreshold() / thresholdUnit) : QString();
}

void LineOptionsQml::setIntensThresh(const QString &text)
{
    if (NumberText::isComplete(text))
        enterIntensThresh(text);
}

QString LineOptionsQml::enterIntensThresh(const QString &text)
{
    double threshold = 0.0;
    if (!m_core || text.trimmed() == intensThresh())
        return QString();
    const QString problem = readEntry(text, thresholdUnit, SettingRules::intensityThresholdProblem, &threshold);
    if (!problem.isEmpty())
        return problem;
    m_core->params()->setIntensityThreshold(threshold);
    emit intensThreshChanged();
    m_core->announce(Setting::IntensityThreshold);
    return QString();
}

QString LineOptionsQml::wingContribSatHw() const
{
    return m_core ? NumberText::locale().toString(m_core->params()->lineWingHalfwidths()) : QString();
}

void LineOptionsQml::setWingContribSatHw(const QString &text)
{
    if (NumberText::isComplete(text))
        enterWingContribSatHw(text);
}

QString LineOptionsQml::enterWingContribSatHw(const QString &text)
{
    double halfwidths = 0.0;
    if (!m_core || text.trimmed() == wingContribSatHw())
        return QString();
    const QString problem = readEntry(text, 1.0, SettingRules::wingHalfwidthsProblem, &halfwidths);
    if (!problem.isEmpty())
        return problem;
    // The wing is kept in whole half-widths: a fraction is refused rather than cut off unseen.
    if (halfwidths != std::trunc(halfwidths))
        return QStringLiteral("The line wing is a whole number of half-widths (0 to 2147483647).");
    m_core->params()->setLineWingHalfwidths(int(halfwidths));
    emit wingContribSatHwChanged();
    m_core->announce(Setting::WingHalfwidths);
    return QString();
}

QString LineOptionsQml::wingContribAbs() const
{
    return m_core ? NumberText::print(m_core->params()->lineWingAbsolute()) : QString();
}

void LineOptionsQml::setWingContribAbs(const QString &text)
{
    if (NumberText::isComplete(text))
        enterWingContribAbs(text);
}

QString LineOptionsQml::enterWingContribAbs(const QString &text)
{
    double wing = 0.0;
    if (!m_core || text.trimmed() == wingContribAbs())
        return QString();
    const QString problem = readEntry(text, 1.0, SettingRules::wingAbsoluteProblem, &wing);
    if (!problem.isEmpty())
        return problem;
    m_core->params()->setLineWingAbsolute(wing);
    emit wingContribAbsChanged();
    m_core->announce(Setting::WingAbsolute);
    return QString();
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
    m_core->announce(Setting::Broadening);
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
    m_core->announce(Setting::LineShift);
}

void LineOptionsQml::setUpdatedValues()
{
    m_lineshapeProfile = lineshapeProfile();
    m_lineBroadening = lineBroadening();
    m_useLineShift = useLineShift();
    emit lineshapeProfileChanged();
    emit intensThreshChanged();
    emit wingContribSatHwChanged();
    emit wingContribAbsChanged();
    emit lineBroadeningChanged();
    emit useLineShiftChanged();
}
