#include "ui/notifierqml.h"

#include "app/kolvexcore.h"

#include <cmath>

NotifierQml::NotifierQml(KolvexCore *source)
    : QObject(source)
    , m_source(source)
    , m_notification(QStringLiteral("Initializing Kolvex"))
{
    connect(m_source, &KolvexCore::notify, this, &NotifierQml::updateNotifications);
    emitAll();
}

// A progress value that is not a number would leave the bar undefined; it shows
// as work without measurable progress instead.
double NotifierQml::progressValue(double value)
{
    return std::isfinite(value) ? value : 0.0;
}

void NotifierQml::setNotification(const QString &notification)
{
    if (notification == m_notification)
        return;
    m_notification = notification;
    emit notificationChanged();
}

void NotifierQml::setVisible(bool visible)
{
    if (visible == m_visible)
        return;
    m_visible = visible;
    emit visibleChanged();
}

void NotifierQml::setValue(double value)
{
    value = progressValue(value);
    if (value != m_value) {
        m_value = value;
        emit valueChanged();
    }
    const bool indeterminate = m_value == 0.0;
    if (indeterminate != m_indeterminate) {
        m_indeterminate = indeterminate;
        emit indeterminateChanged();
    }
}

void NotifierQml::setCancelButtonVisible(bool visible)
{
    if (visible == m_cancelButtonVisible)
        return;
    m_cancelButtonVisible = visible;
    emit cancelButtonVisibleChanged();
}

void NotifierQml::updateNotifications(const QString &message, double value, bool visible,
                                      bool cancelButtonVisible)
{
    m_notification = message;
    m_value = progressValue(value);
    m_visible = visible;
    m_indeterminate = m_value == 0.0;
    m_cancelButtonVisible = cancelButtonVisible;
    // The banner is drawn with the next frame: no work holds the window's
    // thread up, and running other events from inside a report would let them
    // meet their sender half way.
    emitAll();
}

void NotifierQml::emitAll()
{
    emit visibleChanged();
    emit valueChanged();
    emit indeterminateChanged();
    emit notificationChanged();
    emit cancelButtonVisibleChanged();
}
