#include "fakeiiotree.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <sys/stat.h>

FakeIioTree::FakeIioTree() = default;

bool FakeIioTree::set(int device, const QString &attribute, const QString &value)
{
    const QString folder = m_folder.filePath(QStringLiteral("iio:device%1").arg(device));
    if (!QDir().mkpath(folder))
        return false;
    // Put in place whole, as a driver's attribute is read whole: the channels
    // are read on threads of their own while a test changes them.
    QSaveFile file(folder + QLatin1Char('/') + attribute);
    return file.open(QIODevice::WriteOnly) && file.write((value + QLatin1Char('\n')).toLatin1()) > 0 && file.commit();
}

QString FakeIioTree::filePath(int device, const QString &attribute) const
{
    return m_folder.filePath(QStringLiteral("iio:device%1/%2").arg(device).arg(attribute));
}

bool FakeIioTree::makeFifo(int device, const QString &attribute)
{
    const QString path = filePath(device, attribute);
    QFile::remove(path);
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

bool FakeIioTree::remove(int device, const QString &attribute)
{
    return QFile::remove(m_folder.filePath(QStringLiteral("iio:device%1/%2").arg(device).arg(attribute)));
}

void FakeIioTree::addPressureChip(int device, int pressureRaw, int temperatureRaw)
{
    set(device, QStringLiteral("name"), QStringLiteral("lps25h"));
    set(device, QStringLiteral("in_pressure_raw"), QString::number(pressureRaw));
    set(device, QStringLiteral("in_pressure_scale"), QStringLiteral("0.000024414"));
    set(device, QStringLiteral("in_temp_raw"), QString::number(temperatureRaw));
    set(device, QStringLiteral("in_temp_offset"), QStringLiteral("20400"));
    set(device, QStringLiteral("in_temp_scale"), QStringLiteral("2.083333333"));
    set(device, QStringLiteral("sampling_frequency"), QStringLiteral("25"));
}

void FakeIioTree::addHumidityChip(int device, int humidityRaw, int temperatureRaw)
{
    set(device, QStringLiteral("name"), QStringLiteral("hts221"));
    set(device, QStringLiteral("in_humidityrelative_raw"), QString::number(humidityRaw));
    set(device, QStringLiteral("in_humidityrelative_offset"), QStringLiteral("-8412"));
    set(device, QStringLiteral("in_humidityrelative_scale"), QStringLiteral("-4.203883495"));
    set(device, QStringLiteral("in_temp_raw"), QString::number(temperatureRaw));
    set(device, QStringLiteral("in_temp_offset"), QStringLiteral("-14560"));
    set(device, QStringLiteral("in_temp_scale"), QStringLiteral("-9.876543210"));
}
