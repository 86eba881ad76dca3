#include "app/serialsettingsfile.h"

#include <QSettings>

SerialSettings SerialSettingsFile::read(const QString &path)
{
    SerialSettings settings;
    QSettings file(path, QSettings::IniFormat);
    file.beginGroup(QStringLiteral("SerialPort"));
    settings.portName = file.value(QStringLiteral("port"), settings.portName).toString();
    settings.baudRate = file.value(QStringLiteral("baudRate"), settings.baudRate).toInt();
    settings.dataBits = file.value(QStringLiteral("dataBits"), settings.dataBits).toInt();
    settings.parity = file.value(QStringLiteral("parity"), settings.parity).toInt();
    settings.stopBits = file.value(QStringLiteral("stopBits"), settings.stopBits).toInt();
    return settings;
}

bool SerialSettingsFile::write(const QString &path, const SerialSettings &settings)
{
    QSettings file(path, QSettings::IniFormat);
    file.beginGroup(QStringLiteral("SerialPort"));
    file.setValue(QStringLiteral("port"), settings.portName);
    file.setValue(QStringLiteral("baudRate"), settings.baudRate);
    file.setValue(QStringLiteral("dataBits"), settings.dataBits);
    file.setValue(QStringLiteral("parity"), settings.parity);
    file.setValue(QStringLiteral("stopBits"), settings.stopBits);
    file.endGroup();
    file.sync();
    return file.status() == QSettings::NoError;
}
