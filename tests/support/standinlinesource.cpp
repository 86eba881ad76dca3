#include "standinlinesource.h"

#include <QFile>
#include <QTimer>

#include <algorithm>

StandInLineSource::StandInLineSource(std::vector<LineRecord> records, int batchSize, QObject *parent)
    : LineSource(parent)
    , m_records(std::move(records))
    , m_batchSize(batchSize)
{
}

LineRecord StandInLineSource::parseRecord(const QString &line)
{
    const auto real = [&line](int offset, int width) { return line.mid(offset, width).trimmed().toDouble(); };
    LineRecord record;
    record.molecule = line.mid(0, 2).trimmed().toInt();
    const QChar isotopologue = line.size() > 2 ? line.at(2) : QChar(' ');
    if (isotopologue == QLatin1Char('0'))
        record.isotopologue = 10;
    else if (isotopologue == QLatin1Char('A'))
        record.isotopologue = 11;
    else if (isotopologue == QLatin1Char('B'))
        record.isotopologue = 12;
    else
        record.isotopologue = QString(isotopologue).toInt();
    record.wavenumber = real(3, 12);
    record.intensity = real(15, 10);
    record.intensityCopy = record.intensity;
    record.einsteinA = real(25, 10);
    record.gammaAir = real(35, 5);
    record.gammaSelf = real(40, 5);
    record.lowerStateEnergy = real(45, 10);
    record.nAir = real(55, 4);
    record.deltaAir = real(59, 8);
    return record;
}

std::vector<LineRecord> StandInLineSource::readFile(const QString &path)
{
    std::vector<LineRecord> records;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return records;
    while (!file.atEnd()) {
        QString line = QString::fromLatin1(file.readLine());
        while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.size() >= 67)
            records.push_back(parseRecord(line));
    }
    return records;
}

void StandInLineSource::fetchForCalculation()
{
    QTimer::singleShot(0, this, [this] { emit hitranDownloadComplete(); });
}

void StandInLineSource::requestNextChunk()
{
    ++m_requestCount;
    if (m_immediate)
        deliver();
    else
        QTimer::singleShot(0, this, [this] { deliver(); });
}

void StandInLineSource::deliver()
{
    if (m_next >= m_records.size()) {
        m_batch.clear();
        emit noMoreDataAvailable();
        return;
    }
    const std::size_t count = std::min(m_records.size() - m_next, std::size_t(std::max(1, m_batchSize)));
    m_batch.assign(m_records.begin() + std::ptrdiff_t(m_next), m_records.begin() + std::ptrdiff_t(m_next + count));
    m_next += count;
    emit dataAvailable();
}
