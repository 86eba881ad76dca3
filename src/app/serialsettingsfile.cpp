#include "app/serialsettingsfile.h"

#include "core/filewriter.h"
#include "core/regularfile.h"

#include <QDebug>
#include <QFile>
#include <QSettings>
#include <QTemporaryFile>

#include <memory>

namespace {

// QSettings reads and writes only files of its own; it is given a private
// copy, so that the data folder's file is read and written like every other.
std::unique_ptr<QTemporaryFile> privateCopy(const QByteArray &content)
{
    auto copy = std::make_unique<QTemporaryFile>();
    if (!copy->open() || copy->write(content) != content.size() || !copy->flush())
        return nullptr;
    copy->close();
    return copy;
}

} // namespace

SerialSettings SerialSettingsFile::read(const QString &path)
{
    SerialSettings settings;
    QByteArray content;
    QString problem;
    if (!RegularFile::read(path, maxFileBytes, &content, &problem)) {
        qWarning().noquote() << "Cannot read" << path << ":" << problem << "- the serial line keeps its defaults.";
        return settings;
    }
    const std::unique_ptr<QTemporaryFile> copy = privateCopy(content);
    if (!copy)
        return settings;
    QSettings file(copy->fileName(), QSettings::IniFormat);
    file.beginGroup(QStringLiteral("SerialPort"));
    settings.portName = file.value(QStringLiteral("port"), settings.portName).toString();
    settings.baudRate = file.value(QStringLiteral("baudRate"), settings.baudRate).toInt();
    settings.dataBits = file.value(QStringLiteral("dataBits"), settings.dataBits).toInt();
    settings.parity = file.value(QStringLiteral("parity"), settings.parity).toInt();
    settings.stopBits = file.value(QStringLiteral("stopBits"), settings.stopBits).toInt();
    return settings;
}

bool SerialSettingsFile::write(const QString &path, const SerialSettings &settings, FileWriter &writer,
                               QString *problem)
{
    const std::unique_ptr<QTemporaryFile> copy = privateCopy(QByteArray());
    QByteArray content;
    if (copy) {
        QSettings file(copy->fileName(), QSettings::IniFormat);
        file.beginGroup(QStringLiteral("SerialPort"));
        file.setValue(QStringLiteral("port"), settings.portName);
        file.setValue(QStringLiteral("baudRate"), settings.baudRate);
        file.setValue(QStringLiteral("dataBits"), settings.dataBits);
        file.setValue(QStringLiteral("parity"), settings.parity);
        file.setValue(QStringLiteral("stopBits"), settings.stopBits);
        file.endGroup();
        file.sync();
        QFile written(copy->fileName());
        if (file.status() == QSettings::NoError && written.open(QIODevice::ReadOnly))
            content = written.readAll();
    }
    if (content.isEmpty()) {
        if (problem)
            *problem = QStringLiteral("the settings could not be put into words");
        return false;
    }
    if (writer.writeWhole(path, content))
        return true;
    if (problem)
        *problem = writer.errorString();
    return false;
}
