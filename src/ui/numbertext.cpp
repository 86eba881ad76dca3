#include "ui/numbertext.h"

#include <algorithm>
#include <cmath>

QLocale NumberText::locale()
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return locale;
}

QString NumberText::print(double value)
{
    return locale().toString(value, 'g', significantDigits);
}

bool NumberText::isComplete(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return false;
    const QChar last = trimmed.back();
    static const QString unfinished = QStringLiteral(".,eE-+");
    if (unfinished.contains(last))
        return false;
    // The locale's own separator, exponent and signs, where they differ from the above.
    const QLocale l = locale();
    return last != l.decimalPoint() && last != l.exponential() && last != l.negativeSign()
        && last != l.positiveSign();
}

QString NumberText::parse(const QString &text, double *value)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return QStringLiteral("Enter a number.");
    bool ok = false;
    const QLocale l = locale();
    const double number = l.toDouble(trimmed, &ok);
    if (ok && std::isfinite(number)) {
        *value = number;
        return QString();
    }
    // A number beyond the range of a double ("1e309") is refused as such: a
    // mantissa and an exponent that are numbers, whose value overflows.
    const int mark = std::max(trimmed.lastIndexOf(QLatin1Char('e'), -1, Qt::CaseInsensitive),
                              trimmed.lastIndexOf(l.exponential(), -1, Qt::CaseInsensitive));
    bool mantissaOk = false;
    bool exponentOk = false;
    const double mantissa = mark > 0 ? l.toDouble(trimmed.left(mark), &mantissaOk) : 0.0;
    const int exponent = mark > 0 ? trimmed.mid(mark + 1).toInt(&exponentOk) : 0;
    if (mantissaOk && exponentOk && std::isfinite(mantissa) && mantissa != 0.0
        && std::log10(std::fabs(mantissa)) + exponent > 308.0)
        return QStringLiteral("%1 is too large a number.").arg(trimmed);
    return QStringLiteral("\"%1\" is not a number.").arg(trimmed);
}

QString NumberText::parseWhole(const QString &text, int *value)
{
    double number = 0.0;
    const QString problem = parse(text, &number);
    if (!problem.isEmpty())
        return problem;
    if (number != std::floor(number) || std::fabs(number) > 2147483647.0)
        return QStringLiteral("%1 is not a whole number.").arg(text.trimmed());
    *value = int(number);
    return QString();
}
