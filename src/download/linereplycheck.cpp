#include "download/linereplycheck.h"

#include "core/linerecord.h"
#include "download/linefilestore.h"

#include <cstring>

namespace LineReplyCheck {

QString problem(const QByteArray &body, double start, double end)
{
    if (body.trimmed().isEmpty())
        return QString();
    const QString range = QStringLiteral("%1 - %2 cm-1").arg(start, 0, 'g', 6).arg(end, 0, 'g', 6);
    const char *p = body.constData();
    const char *const bodyEnd = p + body.size();
    int lineNumber = 0;
    LineRecord record;
    while (p < bodyEnd) {
        const char *newline = static_cast<const char *>(std::memchr(p, '\n', std::size_t(bodyEnd - p)));
        const char *lineEnd = newline ? newline : bodyEnd;
        int length = int(lineEnd - p);
        if (length > 0 && p[length - 1] == '\r')
            --length;
        ++lineNumber;
        const bool last = !newline;
        if (length == 0 && last)
            break;
        if (last && length < recordLength)
            return QStringLiteral("The line data for %1 end inside a record: the transfer was cut short.").arg(range);
        if (length != recordLength || !LineFileStore::parseRecord(p, length, record))
            return QStringLiteral("The reply for %1 is not line data from line %2 on.").arg(range).arg(lineNumber);
        if (record.wavenumber < start || record.wavenumber > end)
            return QStringLiteral("The reply for %1 holds a line at %2 cm-1, outside the range asked for.")
                .arg(range)
                .arg(record.wavenumber, 0, 'g', 10);
        p = newline ? newline + 1 : bodyEnd;
    }
    return QString();
}

} // namespace LineReplyCheck
