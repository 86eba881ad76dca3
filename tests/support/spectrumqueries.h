#pragma once

#include <QString>

// The remote command that asks for one spectrum, "#RESULT;<item>;<molecule>",
// and the start of its error replies; the molecule may be left out.
inline QString spectrumResultItemName()
{
    return QStringLiteral("SPEC");   // the spectrum item of RESULT
}

inline QString spectrumQuery(const QString &molecule = QString())
{
    const QString spectrumCommand = QStringLiteral("#RESULT;") + spectrumResultItemName();
    return molecule.isNull() ? spectrumCommand : spectrumCommand + QLatin1Char(';') + molecule;
}

inline QString spectrumErrorReply(const QString &reason)
{
    return QStringLiteral("RESULT;") + spectrumResultItemName() + QStringLiteral(" : ") + reason;
}
