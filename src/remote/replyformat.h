#pragma once

#include "core/params.h"

#include <QLocale>
#include <QString>

// How numbers are written for a remote peer: in the given locale without digit
// grouping, floating-point values with the reply format and precision the peer
// chose, values of a list joined by its separator.
class ReplyFormat
{
public:
    ReplyFormat(const QLocale &locale, const Params *params)
        : m_locale(locale)
        , m_format(params ? params->replyFormat() : 'g')
        , m_precision(params ? params->replyPrecision() : 8)
        , m_separator(params ? params->replySeparator() : QStringLiteral(";"))
    {
    }

    QString real(double value) const { return m_locale.toString(value, m_format, m_precision); }
    QString integer(qint64 value) const { return m_locale.toString(qlonglong(value)); }
    QString unsignedInteger(uint value) const { return m_locale.toString(value); }

    char format() const { return m_format; }
    int precision() const { return m_precision; }
    QString separator() const { return m_separator; }

private:
    QLocale m_locale;
    char m_format;
    int m_precision;
    QString m_separator;
};
