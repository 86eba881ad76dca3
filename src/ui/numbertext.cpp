#include "ui/numbertext.h"

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
    bool ok = false;
    const double number = locale().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(number))
        return QStringLiteral("\"%1\" is not a number.").arg(text.trimmed());
    *value = number;
    return QString();
}
