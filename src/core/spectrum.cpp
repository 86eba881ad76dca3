#include "core/spectrum.h"

#include <limits>

double Spectrum::maximumOf(const std::vector<double> &values)
{
    double largest = std::numeric_limits<double>::min();
    for (double value : values) {
        if (value > largest)
            largest = value;
    }
    return largest;
}
