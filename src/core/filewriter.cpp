#include "core/filewriter.h"

bool FileWriter::writeWhole(const QString &path, const QByteArray &bytes, Access access)
{
    if (!open(path, access))
        return false;
    if (!write(bytes)) {
        cancel();
        return false;
    }
    return commit();
}
