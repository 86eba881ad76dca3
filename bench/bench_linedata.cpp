// Line-data figures: records parsed per second, bisection in a ~700 MB line file
// and reading the records of a 300 cm-1 range, from the shipped sample list.
#include "download/linefilestore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {

QString samplePath()
{
    return QStringLiteral(KOLVEX_SOURCE_DIR "/resources/sample/kolvex-sample.par");
}

double seconds(const QElapsedTimer &clock)
{
    return double(clock.nsecsElapsed()) * 1e-9;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QFile sample(samplePath());
    if (!sample.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "Cannot open %s\n", qPrintable(samplePath()));
        return 1;
    }
    const QByteArray text = sample.readAll();
    std::vector<const char *> lines;
    for (int i = 0; i < text.size(); i = text.indexOf('\n', i) + 1) {
        lines.push_back(text.constData() + i);
        if (text.indexOf('\n', i) < 0)
            break;
    }

    // 1. Parsing alone, one core, the records already in memory.
    LineRecord record;
    double checksum = 0.0;
    QElapsedTimer clock;
    const int rounds = 20;
    clock.start();
    for (int r = 0; r < rounds; ++r) {
        for (const char *line : lines) {
            LineFileStore::parseRecord(line, 160, record);
            checksum += record.wavenumber;
        }
    }
    const double parseSeconds = seconds(clock);
    std::printf("parsing: %.2f million records per second (%zu records x %d, checksum %.6g)\n",
                double(lines.size()) * rounds / parseSeconds * 1e-6, lines.size(), rounds, checksum);

    // 2. A ~700 MB sorted line file: every record of the sample repeated in place.
    QTemporaryDir dir(QStringLiteral("/tmp/kolvex-bench-XXXXXX"));
    const QString bigPath = dir.filePath(QStringLiteral("big.par"));
    const int copies = int(700.0e6 / double(text.size())) + 1;
    {
        QFile big(bigPath);
        if (!big.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "Cannot write %s\n", qPrintable(bigPath));
            return 1;
        }
        QByteArray block;
        for (size_t i = 0; i < lines.size(); ++i) {
            const QByteArray line = QByteArray::fromRawData(lines[i], 161);
            block.clear();
            for (int c = 0; c < copies; ++c)
                block += line;
            big.write(block);
        }
    }
    const qint64 bigSize = QFileInfo(bigPath).size();
    LineFileStore store;
    const double targets[] = {1000.0, 1234.567, 2000.0, 2150.25, 2299.9, 2800.0, 3333.3, 3499.0, 5000.0};
    double worst = 0.0;
    double total = 0.0;
    for (double target : targets) {
        clock.restart();
        const qint64 offset = store.recordOffsetAtOrAbove(bigPath, target);
        const double s = seconds(clock);
        worst = std::max(worst, s);
        total += s;
        if (offset < 0 || offset % 161 != 0)
            std::printf("  unexpected offset %lld for %g\n", static_cast<long long>(offset), target);
    }
    std::printf("bisection in a %.0f MB file: %.3f ms on average, %.3f ms at worst (%zu targets)\n",
                bigSize / 1e6, total / std::size(targets) * 1e3, worst * 1e3, std::size(targets));

    // 3. Reading a 300 cm-1 range of the sample in chunks of 20000 records; the
    // first pass finds the file cold and the batch not yet grown.
    for (int pass = 1; pass <= 3; ++pass) {
        clock.restart();
        qint64 from = 0;
        qint64 to = 0;
        store.locateInFile(samplePath(), 2000.0, 2300.0, &from, &to);
        qint64 count = 0;
        qint64 position = from;
        while (position < to) {
            qint64 next = position;
            store.readRange(samplePath(), position, std::min(to, position + 20000 * 161), &next);
            count += qint64(store.batch().size());
            position = next;
        }
        const double rangeSeconds = seconds(clock);
        std::printf("reading 2000-2300 cm-1 of the sample, pass %d: %lld records in %.2f ms "
                    "(%.2f million records per second)\n",
                    pass, static_cast<long long>(count), rangeSeconds * 1e3, count / rangeSeconds * 1e-6);
    }

    // The same range in the big file.
    clock.restart();
    qint64 from = 0;
    qint64 to = 0;
    store.locateInFile(bigPath, 2000.0, 2300.0, &from, &to);
    qint64 count = 0;
    qint64 position = from;
    while (position < to) {
        qint64 next = position;
        store.readRange(bigPath, position, std::min(to, position + 20000 * 161), &next);
        count += qint64(store.batch().size());
        position = next;
    }
    const double bigRangeSeconds = seconds(clock);
    std::printf("reading 2000-2300 cm-1 of the big file: %lld records in %.1f ms (%.2f million records per second)\n",
                static_cast<long long>(count), bigRangeSeconds * 1e3, count / bigRangeSeconds * 1e-6);
    QFile::remove(bigPath);
    return 0;
}
