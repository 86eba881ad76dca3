#include "app/configfilereader.h"

#include <QDebug>

#include <cmath>

QLocale ConfigFileReader::fileLocale()
{
    QLocale locale(QLocale::English, QLocale::UnitedStates);
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

ConfigFileReader::ConfigFileReader(const QString &text)
    : m_locale(fileLocale())
{
    enum Section { Settings, Concentrations, BetweenTables, Colours, End };
    Section section = Settings;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const bool empty = line.trimmed().isEmpty();
        if (line == concentrationHeader() && section == Settings) {
            m_hasConcentrationTable = true;
            section = Concentrations;
            continue;
        }
        if (line == colourHeader() && section < Colours) {
            m_hasColourTable = true;
            section = Colours;
            continue;
        }
        switch (section) {
        case Settings: {
            if (empty)
                break;
            const int tab = line.indexOf(QLatin1Char('\t'));
            const QString comment = tab < 0 ? QString() : line.mid(tab + 1).trimmed();
            if (comment.isEmpty()) {
                qWarning() << "Configuration file: line without a setting name:" << line.left(80);
                break;
            }
            if (m_settings.contains(comment)) {
                qWarning() << "Configuration file: repeated setting, the first one counts:" << comment;
                break;
            }
            m_settings.insert(comment, line.left(tab).trimmed());
            break;
        }
        case Concentrations:
            if (empty)
                section = BetweenTables;
            else
                m_concentrations.append(line.section(QLatin1Char('\t'), 0, 0).trimmed());
            break;
        case BetweenTables:
            if (!empty)
                qWarning() << "Configuration file: unexpected line:" << line.left(80);
            break;
        case Colours:
            if (empty)
                section = End;
            else
                m_colours.append(line.section(QLatin1Char('\t'), 0, 0).trimmed());
            break;
        case End:
            if (!empty)
                qWarning() << "Configuration file: unexpected line after the colour table:" << line.left(80);
            break;
        }
    }
}

// Reads settings from a parsed file and collects what could not be read.

void ConfigFileReader::reject(const char *comment, const QString &why)
{
    m_problems.append(QStringLiteral("\"%1\": %2").arg(QLatin1String(comment), why));
}

bool ConfigFileReader::number(const char *comment, double *value)
{
    const auto it = m_settings.constFind(QLatin1String(comment));
    if (it == m_settings.constEnd()) {
        reject(comment, QStringLiteral("missing"));
        return false;
    }
    bool ok = false;
    const double parsed = m_locale.toDouble(*it, &ok);
    if (!ok || !std::isfinite(parsed)) {
        reject(comment, QStringLiteral("not a number: \"%1\"").arg(it->left(40)));
        return false;
    }
    *value = parsed;
    return true;
}

bool ConfigFileReader::checked(const char *comment, double *value, const std::function<QString(double)> &problem)
{
    double parsed = 0.0;
    if (!number(comment, &parsed))
        return false;
    const QString why = problem(parsed);
    if (!why.isEmpty()) {
        reject(comment, QStringLiteral("%1: %2").arg(parsed, 0, 'g', 7).arg(why));
        return false;
    }
    *value = parsed;
    return true;
}

bool ConfigFileReader::numberWhere(const char *comment, double *value, bool (*acceptable)(double), const char *rule)
{
    double parsed = 0.0;
    if (!number(comment, &parsed))
        return false;
    if (!acceptable(parsed)) {
        reject(comment, QStringLiteral("%1 is not %2").arg(parsed, 0, 'g', 7).arg(QLatin1String(rule)));
        return false;
    }
    *value = parsed;
    return true;
}

bool ConfigFileReader::positive(const char *comment, double *value)
{
    return numberWhere(comment, value, [](double v) { return v > 0.0; }, "above zero");
}

bool ConfigFileReader::nonNegative(const char *comment, double *value)
{
    return numberWhere(comment, value, [](double v) { return v >= 0.0; }, "zero or more");
}

bool ConfigFileReader::code(const char *comment, int *value, const std::function<bool(int)> &valid)
{
    double parsed = 0.0;
    if (!number(comment, &parsed))
        return false;
    if (parsed != std::floor(parsed) || parsed < -1e6 || parsed > 1e6 || !valid(int(parsed))) {
        reject(comment, QStringLiteral("%1 is not an allowed value").arg(parsed, 0, 'g', 7));
        return false;
    }
    *value = int(parsed);
    return true;
}

bool ConfigFileReader::codeBelow(const char *comment, int *value, int count)
{
    return code(comment, value, [count](int c) { return c >= 0 && c < count; });
}

bool ConfigFileReader::option(const char *comment, int *value, SettingRules::Option option)
{
    return code(comment, value, [option](int c) { return SettingRules::isOption(option, c); });
}

bool ConfigFileReader::flag(const char *comment, bool *value)
{
    int parsed = 0;
    if (!code(comment, &parsed, [](int c) { return c == 0 || c == 1; }))
        return false;
    *value = parsed == 1;
    return true;
}

bool ConfigFileReader::range(const char *minComment, const char *maxComment, double *minimum, double *maximum)
{
    double low = 0.0;
    double high = 0.0;
    const bool lowRead = number(minComment, &low);
    const bool highRead = number(maxComment, &high);
    if (!lowRead || !highRead)
        return false;
    if (!(low < high)) {
        reject(minComment, QStringLiteral("the minimum %1 is not below the maximum %2")
                               .arg(low, 0, 'g', 7)
                               .arg(high, 0, 'g', 7));
        return false;
    }
    *minimum = low;
    *maximum = high;
    return true;
}

double ConfigFileReader::tableNumber(const QString &field, bool *ok) const
{
    return m_locale.toDouble(field, ok);
}
