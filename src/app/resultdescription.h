#pragma once

#include <QLocale>
#include <QStringList>

class KolvexCore;

// How the results of a calculation were obtained, in lines a reader of a saved
// data file or image understands without the program: the conditions in the
// units the user works in, the spectral range, the line options, the
// instrument function, and where the lines, the partition sums and the
// isotopologue parameters came from.
class ResultDescription
{
public:
    static QStringList lines(KolvexCore &core);
    // Replaces the line that says where the lines came from.
    static void setLineOrigin(QStringList &lines, const QString &origin);
    // A duration in milliseconds as the user reads it: "0.42 s", "12.3 s".
    static QString duration(qint64 milliseconds, const QLocale &locale);
    // The lines with one more naming the program's version and the duration.
    static QStringList withProgram(QStringList lines, const QString &duration);
};
