#pragma once

#include <QLocale>
#include <QString>

// How the settings screens print and read numbers: the default locale without
// digit-group separators, format 'g' with six significant digits.
class NumberText
{
public:
    static constexpr int significantDigits = 6;

    // The default locale; group separators are omitted when printing and refused
    // when reading, so that "1.500" in a locale with a decimal comma is not
    // silently taken for 1500.
    static QLocale locale();

    static QString print(double value);

    // True when the user has finished typing a number: the text is not empty and
    // does not end in a decimal separator, an exponent mark or a sign.
    static bool isComplete(const QString &text);

    // Reads a finite number into value. Returns an empty string on success,
    // otherwise a message for the user (nothing typed, not a number, or a
    // number too large to hold).
    static QString parse(const QString &text, double *value);
    // The same for a whole number.
    static QString parseWhole(const QString &text, int *value);
};
