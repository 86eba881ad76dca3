#pragma once

#include <cstdint>

// Decimal numbers read exactly without the library's full conversion, for the
// numbers of the data files (line records, partition sums), which are short.
namespace ExactDecimal {

// The decimal number of [begin, end) when it is plain ([-]digits[.digits][E[+-]digits])
// and its digits and exponent are few enough to be converted exactly: an integer
// below 2^53 times or divided by a power of ten up to 10^22 are both exact
// doubles, so the one multiplication or division rounds correctly and gives the
// double the text names, as a full conversion would. False for anything else,
// which is left to that full conversion.
inline bool parse(const char *begin, const char *end, double *value)
{
    static constexpr double powersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                             1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                             1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const bool negative = begin < end && *begin == '-';
    const char *p = negative ? begin + 1 : begin;
    std::uint64_t mantissa = 0;
    int digits = 0;
    int scale = 0;   // digits after the decimal point
    bool point = false;
    for (; p < end; ++p) {
        const char c = *p;
        if (c >= '0' && c <= '9') {
            if (++digits > 15)
                return false;
            mantissa = mantissa * 10 + std::uint64_t(c - '0');
            scale += point ? 1 : 0;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0)
        return false;
    int exponent = 0;
    if (p < end && (*p == 'E' || *p == 'e')) {
        ++p;
        const bool negativeExponent = p < end && *p == '-';
        if (p < end && (*p == '-' || *p == '+'))
            ++p;
        if (p == end || end - p > 3)
            return false;
        for (; p < end; ++p) {
            if (*p < '0' || *p > '9')
                return false;
            exponent = exponent * 10 + (*p - '0');
        }
        exponent = negativeExponent ? -exponent : exponent;
    }
    if (p != end)
        return false;
    const int power = exponent - scale;
    if (power < -22 || power > 22)
        return false;
    const double magnitude
        = power < 0 ? double(mantissa) / powersOfTen[-power] : double(mantissa) * powersOfTen[power];
    *value = negative ? -magnitude : magnitude;
    return true;
}

} // namespace ExactDecimal
