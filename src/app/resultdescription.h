#pragma once

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
};
