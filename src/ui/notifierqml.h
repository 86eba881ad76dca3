#pragma once

#include <QObject>
#include <QString>

class KolvexCore;

// The progress and status banner: every long activity reports through the
// core's notify signal, and this object keeps what the banner shows.
class NotifierQml : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString notification READ notification NOTIFY notificationChanged)
    Q_PROPERTY(bool visible READ visible NOTIFY visibleChanged)
    Q_PROPERTY(double value READ value NOTIFY valueChanged)
    Q_PROPERTY(bool indeterminate READ indeterminate NOTIFY indeterminateChanged)
    Q_PROPERTY(bool cancelButtonVisible READ cancelButtonVisible NOTIFY cancelButtonVisibleChanged)

public:
    // The core is both the parent and the source of the reports.
    explicit NotifierQml(KolvexCore *source);

    QString notification() const { return m_notification; }
    void setNotification(const QString &notification);
    bool visible() const { return m_visible; }
    void setVisible(bool visible);
    // The progress fraction; 0 means no measurable progress and makes the bar
    // indeterminate.
    double value() const { return m_value; }
    void setValue(double value);
    bool indeterminate() const { return m_indeterminate; }
    bool cancelButtonVisible() const { return m_cancelButtonVisible; }
    void setCancelButtonVisible(bool visible);

signals:
    void notificationChanged();
    void visibleChanged();
    void valueChanged();
    void indeterminateChanged();
    void cancelButtonVisibleChanged();

public slots:
    // Shows a report, announces all five properties even when nothing changed,
    // and lets the event loop run once so that the banner is repainted and a
    // press of Cancel gets through during long synchronous work.
    void updateNotifications(const QString &message, double value, bool visible, bool cancelButtonVisible);

private:
    void emitAll();
    static double progressValue(double value);

    KolvexCore *m_source;
    QString m_notification;
    bool m_visible = true;
    bool m_cancelButtonVisible = false;
    double m_value = 0.0;
    bool m_indeterminate = true;
};
