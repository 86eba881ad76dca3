#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// The ticks of one plot axis over the range it shows: major ticks at round
// steps (1, 2 or 5 times a power of ten), as many as fit between four and
// eight, minor ticks between and beyond them, and labels with the fewest
// digits that tell neighbours apart, the same number of decimals along the
// axis. Very large or very small values share one power of ten, which the
// axis title carries ("Frequency, 10¹³ Hz") instead of every label.
class AxisTicks
{
public:
    static constexpr int fewestMajor = 4;
    static constexpr int mostMajor = 8;

    // The ticks of the range between `from` and `to` (in either order), at
    // most `maxMajor` major ones (kept within four to eight). A range without
    // width or not finite gets one tick at `from`.
    static AxisTicks forRange(double from, double to, int maxMajor = mostMajor);
    // The most major ticks whose labels fit along `pixels` when a label with
    // its gap takes `labelPixels`: four to eight.
    static int majorCountFor(double pixels, double labelPixels);

    // The axis title with the shared power of ten put before its unit (after
    // the first ", "), or appended as ", ×10ⁿ" when it names no unit.
    QString title(const QString &plainTitle) const;
    // 10ⁿ in superscript digits.
    static QString powerOfTen(int exponent);

    double step() const { return m_step; }
    double minorStep() const { return m_minorStep; }
    const std::vector<double> &major() const { return m_major; }
    const std::vector<double> &minor() const { return m_minor; }
    const QStringList &labels() const { return m_labels; }
    // The power of ten the labels are given in (0: none shared).
    int exponent() const { return m_exponent; }
    int decimals() const { return m_decimals; }

private:
    double m_step = 0.0;
    double m_minorStep = 0.0;
    std::vector<double> m_major;
    std::vector<double> m_minor;
    QStringList m_labels;
    int m_exponent = 0;
    int m_decimals = 0;
};
