#pragma once

#include "core/linerecord.h"

#include <QString>
#include <QtGlobal>

// The line records of one calculation as the calculation's own thread reads
// them, batch after batch, in wavenumber order. A feed is made on the main
// thread (by a line source, which knows where the lines are) and then used by
// that one thread only, apart from interrupt(), which any thread may call.
class LineFeed
{
public:
    virtual ~LineFeed() = default;

    // Replaces `batch` by the next records; false (and `batch` empty) when no
    // records are left or the feed was interrupted. May block while the lines
    // are read or awaited.
    virtual bool next(LineBatch &batch) = 0;
    // How many records the calculation will read in all, for its progress; 0
    // while unknown. Known at the latest once the first batch has been read.
    virtual qint64 expectedRecordCount() const = 0;
    // What the user must know about the lines read (a line file found out of
    // wavenumber order, so that lines may be missing), as a message; empty
    // when nothing.
    virtual QString problem() const { return QString(); }
    // Makes a blocked next() return false soon, and every later one at once.
    virtual void interrupt() {}
};
