#include "sensors/iiochannel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>

namespace {

// A sysfs attribute holds one short line.
std::optional<double> readNumber(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool ok = false;
    const double value = QString::fromLatin1(file.read(64)).trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// "in_temp0_scale", or the device's shared "in_temp_scale".
QString attributePath(const QDir &device, const QString &kind, const QString &index, const QString &attribute)
{
    for (const QString &name : {QStringLiteral("in_%1%2_%3").arg(kind, index, attribute),
                                QStringLiteral("in_%1_%2").arg(kind, attribute)}) {
        if (QFileInfo::exists(device.filePath(name)))
            return device.filePath(name);
    }
    return QString();
}

} // namespace

IioChannel IioChannel::find(const QString &deviceFolder, const QString &kind)
{
    const QDir device(deviceFolder);
    const QRegularExpression pattern(QStringLiteral("^in_%1(\\d*)_(input|raw)$").arg(QRegularExpression::escape(kind)));
    // The lowest index wins ("in_temp" counts as below "in_temp0"); of one
    // channel the processed value wins over the raw count.
    QString bestName;
    QString bestIndex;
    int bestRank = 0;
    for (const QString &name : device.entryList(QDir::Files | QDir::System, QDir::Name)) {
        const QRegularExpressionMatch match = pattern.match(name);
        if (!match.hasMatch())
            continue;
        const QString index = match.captured(1);
        const int rank = (index.isEmpty() ? -1 : index.toInt()) * 2 + (match.captured(2) == QLatin1String("raw"));
        if (!bestName.isEmpty() && rank >= bestRank)
            continue;
        bestName = name;
        bestIndex = index;
        bestRank = rank;
    }
    IioChannel channel;
    if (bestName.isEmpty())
        return channel;
    channel.m_valuePath = device.filePath(bestName);
    channel.m_raw = bestName.endsWith(QLatin1String("_raw"));
    if (channel.m_raw) {
        channel.m_scalePath = attributePath(device, kind, bestIndex, QStringLiteral("scale"));
        channel.m_offsetPath = attributePath(device, kind, bestIndex, QStringLiteral("offset"));
    }
    return channel;
}

std::optional<double> IioChannel::read() const
{
    if (!isValid())
        return std::nullopt;
    const std::optional<double> value = readNumber(m_valuePath);
    if (!value || !m_raw)
        return value;
    double scale = 1.0;
    double offset = 0.0;
    if (!m_scalePath.isEmpty()) {
        const std::optional<double> s = readNumber(m_scalePath);
        if (!s)
            return std::nullopt;
        scale = *s;
    }
    if (!m_offsetPath.isEmpty()) {
        const std::optional<double> o = readNumber(m_offsetPath);
        if (!o)
            return std::nullopt;
        offset = *o;
    }
    const double result = (*value + offset) * scale;
    return std::isfinite(result) ? std::optional<double>(result) : std::nullopt;
}
