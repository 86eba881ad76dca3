#pragma once

#include "core/settingrules.h"

#include <QHash>
#include <QLatin1String>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <functional>

// The text of a configuration file taken apart: the value of each setting,
// found by the comment that names it (so a missing or extra line shifts
// nothing), and the value fields of the concentration and colour tables. Each
// typed read takes a value only when it is there, readable and allowed, and
// otherwise notes why not among the problems.
class ConfigFileReader
{
public:
    explicit ConfigFileReader(const QString &text);

    // Numbers in the file are written and read in this locale.
    static QLocale fileLocale();
    // The lines that open the two tables.
    static QLatin1String concentrationHeader() { return QLatin1String("Molecular concentrations, ppmv"); }
    static QLatin1String colourHeader() { return QLatin1String("Molecule colors"); }

    void reject(const char *comment, const QString &why);
    // A finite number, or nothing (and a problem noted).
    bool number(const char *comment, double *value);
    // A number that `problem`, one of the setting rules, has nothing against.
    bool checked(const char *comment, double *value, const std::function<QString(double)> &problem);
    bool numberWhere(const char *comment, double *value, bool (*acceptable)(double), const char *rule);
    bool positive(const char *comment, double *value);
    bool nonNegative(const char *comment, double *value);
    // A whole number for which `valid` holds.
    bool code(const char *comment, int *value, const std::function<bool(int)> &valid);
    bool codeBelow(const char *comment, int *value, int count);
    bool option(const char *comment, int *value, SettingRules::Option option);
    bool flag(const char *comment, bool *value);
    // A pair of scale limits; both are taken only when the minimum is below the maximum.
    bool range(const char *minComment, const char *maxComment, double *minimum, double *maximum);
    double tableNumber(const QString &field, bool *ok) const;

    bool hasConcentrationTable() const { return m_hasConcentrationTable; }
    const QStringList &concentrations() const { return m_concentrations; }
    bool hasColourTable() const { return m_hasColourTable; }
    const QStringList &colours() const { return m_colours; }
    // What could not be read, one line each.
    const QStringList &problems() const { return m_problems; }
    void addProblem(const QString &problem) { m_problems.append(problem); }

private:
    QHash<QString, QString> m_settings;
    QStringList m_concentrations;
    QStringList m_colours;
    bool m_hasConcentrationTable = false;
    bool m_hasColourTable = false;
    QStringList m_problems;
    QLocale m_locale;
};
