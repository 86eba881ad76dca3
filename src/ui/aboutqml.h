#pragma once

#include <QObject>
#include <QString>

class KolvexCore;

// What the About screen shows and where its buttons lead.
class AboutQml : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString version READ version CONSTANT)
    Q_PROPERTY(QString licence READ licence CONSTANT)
    Q_PROPERTY(QString webSite READ webSite CONSTANT)
    Q_PROPERTY(QString contact READ contact CONSTANT)
    Q_PROPERTY(QString licenceUrl READ licenceUrl CONSTANT)
    Q_PROPERTY(QString phoneSearchUrl READ phoneSearchUrl CONSTANT)
    Q_PROPERTY(QString donationUrl READ donationUrl CONSTANT)

public:
    explicit AboutQml(QObject *parent = nullptr, KolvexCore *core = nullptr);

    QString version() const;
    QString licence() const;
    QString webSite() const { return QStringLiteral("https://kolvex.org"); }
    QString contact() const { return QStringLiteral("info@kolvex.org"); }
    QString licenceUrl() const { return webSite() + QStringLiteral("/licence.htm"); }
    QString phoneSearchUrl() const { return webSite() + QStringLiteral("/phones.htm"); }
    QString donationUrl() const { return webSite() + QStringLiteral("/donate.htm"); }
};
